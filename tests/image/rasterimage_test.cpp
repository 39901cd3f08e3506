#include "image/rasterimage.h"

#include "framework/painterdc.h"
#include "framework/recordingdc.h"
#include "picture_samples.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(RasterImage, CreateLaysOutPaddedBottomUpRows)
{
    struct Case { DWORD width, bpp; int stride, colours; };
    for (const Case c : {Case{10, 24, 32, 0}, Case{33, 1, 8, 2}, Case{9, 4, 8, 16}, Case{5, 8, 8, 256},
                         Case{3, 32, 12, 0}}) {
        CRasterImage image;
        BYTE* bits = image.Create(c.width, 3, c.bpp, RASTER_FORMAT_BMP);
        ASSERT_NE(bits, nullptr) << c.bpp;
        EXPECT_EQ(image.GetRowStride(), c.stride) << c.bpp;
        EXPECT_EQ(image.GetNumColors(), c.colours) << c.bpp;
        EXPECT_EQ(image.GetBits(0), bits);
        EXPECT_EQ(image.GetBits(2), bits + 2 * c.stride);
        EXPECT_EQ(image.GetBits(3), nullptr);
    }

    // Row 0 is the bottom of the picture.
    CRasterImage image;
    image.Create(2, 2, 24);
    image.GetBits(0)[2] = 255;  // bottom-left red
    EXPECT_EQ(image.ToQImage().pixel(0, 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.ToQImage().pixel(0, 0), qRgb(0, 0, 0));
}

TEST(RasterImage, CreateRefusesWhatItCannotHold)
{
    CRasterImage image;
    EXPECT_EQ(image.Create(20000, 20000, 24), nullptr);
    EXPECT_EQ(image.GetLastError(), QStringLiteral("RASTER_MAX_MEMORY exceeded"));
    EXPECT_FALSE(image.IsValid());

    // 8192 x 8192 x 4 bytes is the limit exactly; one row more is refused.
    EXPECT_EQ(image.Create(8192, 8193, 32), nullptr);
    EXPECT_EQ(image.Create(0, 10, 24), nullptr);
    EXPECT_EQ(image.Create(10, 10, 16), nullptr);
    EXPECT_FALSE(image.GetLastError().isEmpty());
}

TEST(RasterImage, ResolutionIsKeptAndWrittenAsPixelsPerMetre)
{
    CRasterImage image;
    image.Create(4, 4, 24);
    image.SetXDPI(0);
    image.SetYDPI(-5);
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetYDPI(), 96);
    image.SetXDPI(300);
    image.SetYDPI(72);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 2835);

    for (int format : {RASTER_FORMAT_BMP, RASTER_FORMAT_PNG, RASTER_FORMAT_JPG, RASTER_FORMAT_TIF}) {
        CRasterImage back;
        ASSERT_TRUE(back.Decode(image.Encode(format), format)) << format;
        EXPECT_EQ(back.GetXDPI(), 300) << format;
        EXPECT_EQ(back.GetYDPI(), 72) << format;
    }
}

TEST(RasterImage, LoadFallsBackToEveryFormatAndFailsEmpty)
{
    CRasterImage source;
    ASSERT_TRUE(source.FromQImage(samples::Colourful()));
    // A PNG file with a .bmp name, loaded as BMP.
    const QString path = samples::OutputPath(QStringLiteral("really-a-png.bmp"));
    ASSERT_TRUE(source.Save(path, RASTER_FORMAT_PNG));
    CRasterImage image;
    ASSERT_TRUE(image.Load(path, RASTER_FORMAT_BMP));
    EXPECT_EQ(image.GetType(), RASTER_FORMAT_PNG);
    EXPECT_EQ(samples::MaxDifference(image.ToQImage(), source.ToQImage()), 0);

    // Format 0 finds it by its signature.
    ASSERT_TRUE(image.Load(path, RASTER_FORMAT_UNKNOWN));

    const QString junk = samples::OutputPath(QStringLiteral("junk.bmp"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no picture at all, just some text that goes on for a while");
    file.close();
    EXPECT_FALSE(image.Load(junk, RASTER_FORMAT_BMP));
    EXPECT_FALSE(image.IsValid());

    EXPECT_FALSE(image.Load(samples::OutputPath(QStringLiteral("missing.bmp")), RASTER_FORMAT_BMP));
    EXPECT_FALSE(source.Save(samples::OutputPath(QStringLiteral("no-such-dir/x.bmp")), RASTER_FORMAT_BMP));
    EXPECT_FALSE(source.Save(samples::OutputPath(QStringLiteral("x.xyz")), 5));
    CRasterImage empty;
    EXPECT_TRUE(empty.Encode(RASTER_FORMAT_BMP).isEmpty());
}

TEST(RasterImage, DrawStretchesThroughTheDeviceContext)
{
    CRasterImage image;
    ASSERT_TRUE(image.FromQImage(samples::Blocks(4, 2)));

    CRecordingDC recorder;
    EXPECT_FALSE(image.Draw(nullptr, CRect(0, 0, 8, 4)));
    ASSERT_TRUE(image.Draw(&recorder, CRect(10, 20, 50, 40)));
    ASSERT_EQ(recorder.records.size(), 1u);
    EXPECT_EQ(recorder.records[0].rect, CRect(10, 20, 50, 40));
    EXPECT_EQ(recorder.records[0].image.size(), QSize(4, 2));

    // Drawn at twice the size in logical units that are half a pixel: one pixel for one pixel,
    // placed by the mapping.
    QImage canvas(20, 10, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        CPainterDC dc(&canvas);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(2, 2);
        dc.SetViewportExt(1, 1);
        ASSERT_TRUE(image.Draw(&dc, CRect(4, 2, 12, 6)));
    }
    const QImage expected = samples::Blocks(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.pixel(2 + x, 1 + y), expected.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(canvas.pixel(6, 1), qRgb(255, 255, 255));

    // Stretched three times.
    QImage big(12, 6, QImage::Format_RGB32);
    {
        CPainterDC dc(&big);
        image.Draw(&dc, CRect(0, 0, 12, 6));
    }
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(big.pixel(x, y), expected.pixel(x / 3, y / 3)) << x << "," << y;
}
