// Pictures drawn from their own rows at the size the device shows them, and the bounds a picture
// meets while it is read: memory, the data its header claims, and the work a metafile costs.

#include "framework/painterdc.h"
#include "framework/recordingdc.h"
#include "image/rasterimage.h"
#include "support/madepictures.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A picture whose pixels come in 2 x 2 blocks of one colour (and alpha, at 32 bits), so that the
// picture halved keeps each block's colour.
CRasterImage Blocks(int bpp, int width, int height)
{
    CRasterImage image;
    image.Create(DWORD(width), DWORD(height), DWORD(bpp));
    for (int i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(i, BYTE(i * 37), BYTE(255 - i * 11), BYTE(i * 101));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int block = (x / 2) * 7 + (y / 2) * 3;
            BYTE* row = image.ScanLine(y);
            if (bpp <= 8)
                row[x * bpp / 8] |= BYTE((block % image.GetNumColors()) << (8 - bpp - x * bpp % 8));
            else
                for (int c = 0; c < bpp / 8; ++c)
                    row[x * bpp / 8 + c] = BYTE(c == 3 ? (block % 2 ? 255 : 128) : block * (5 + 4 * c));
        }
    return image;
}

QRgb Argb(const RGBQUAD& c) { return qRgba(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved); }
}  // namespace

TEST(PictureDrawing, RenderedPixelsAreThePicturesInEveryDepth)
{
    struct Case {
        int bpp;
        int transparent;
    } cases[] = {{1, -1}, {4, -1}, {8, -1}, {8, 3}, {24, -1}, {32, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        CRasterImage image = Blocks(c.bpp, 22, 14);
        image.SetTransparentIndex(c.transparent);
        // Whole, and a part at half its size.
        for (const auto& [part, size] : {std::pair(QRect(0, 0, 22, 14), QSize(22, 14)), std::pair(QRect(4, 2, 16, 10), QSize(8, 5))}) {
            const QImage out = image.Render(part, size);
            ASSERT_EQ(out.size(), size);
            EXPECT_LE(out.depth(), std::max(c.bpp, 8));
            const int step = part.width() / size.width();
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    ASSERT_EQ(out.pixel(x, y), Argb(image.GetPixelColor(part.x() + step * x, part.y() + step * y))) << x << "," << y;
        }
        EXPECT_TRUE(image.Render(QRect(10, 0, 20, 14), QSize(5, 5)).isNull());  // beyond the picture
    }
}

TEST(PictureDrawing, ALargePictureIsMadeOnlyAsFarAsTheDeviceShowsIt)
{
    // 6000 x 4000 pixels, black left of column 3000 and white from it.
    CRasterImage image;
    ASSERT_NE(image.Create(6000, 4000, 1), nullptr);
    image.SetPaletteColor(1, 255, 255, 255);
    for (int y = 0; y < 4000; ++y)
        std::memset(image.ScanLine(y) + 3000 / 8, 0xFF, 3000 / 8);

    // Shrunk whole into a 300 x 200 surface, and at its own size on it, upright and mirrored: no
    // more than the surface's pixels are made, and the edge between black and white lands where
    // the picture has it.
    struct Case {
        CRect rect;
        bool blackOnLeft;
    } cases[] = {{CRect(0, 0, 300, 200), true}, {CRect(-2850, -100, 3150, 3900), true}, {CRect(3150, -100, -2850, 3900), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rect.left);
        CRecordingDC recorder(CSize(300, 200));
        ASSERT_TRUE(image.Draw(&recorder, c.rect));
        ASSERT_EQ(recorder.records.size(), 1u);
        EXPECT_LE(recorder.records[0].image.width(), 310);
        EXPECT_LE(recorder.records[0].image.height(), 210);
        QImage canvas(300, 200, QImage::Format_RGB32);
        canvas.fill(Qt::red);
        {
            CPainterDC dc(&canvas);
            ASSERT_TRUE(image.Draw(&dc, c.rect));
        }
        for (int y : {0, 100, 199})
            for (int x : {0, 149, 150, 299})
                EXPECT_EQ(canvas.pixel(x, y), (x < 150) == c.blackOnLeft ? qRgb(0, 0, 0) : qRgb(255, 255, 255)) << x << "," << y;
    }

    // Nothing of it visible: nothing is made, and that is no failure.
    CRecordingDC away(CSize(300, 200));
    EXPECT_TRUE(image.Draw(&away, CRect(400, 400, 6400, 4400)));
    EXPECT_TRUE(away.records.empty());
}

TEST(PictureBounds, APngIsMeasuredByTheMemoryItNeedsAndTheDepthItStores)
{
    struct Case {
        const char* name;
        QByteArray png;
        long long limit;
        RasterFailure failure;
        long long memory;  // taken, or refused
    } cases[] = {
        {"over the caller's limit", made::SolidPng(2000, 1000, 8, 0), 1 << 20, RasterFailure::OverLimit, 2000LL * 1000 + 1024},
        {"within it", made::SolidPng(1000, 1000, 8, 0), 1 << 20, RasterFailure::None, 1000LL * 1000 + 1024},
        // Files of a few hundred bytes whose 1-bit samples are widened to 8 bits a pixel, or to
        // 32 with a see-through colour: far more than deflate can pack into them.
        {"1-bit", made::SolidPng(3000, 3000, 1, 0), RASTER_MAX_MEMORY, RasterFailure::None, 3000LL * 3000 + 1024},
        {"1-bit, see-through", made::SolidPng(1500, 1500, 1, 3, true), RASTER_MAX_MEMORY, RasterFailure::None, 1500LL * 1500 * 4},
        {"1-bit, more than any picture may hold", made::SolidPng(20000, 20000, 1, 0), RASTER_MAX_MEMORY,
         RasterFailure::TooLarge, 20000LL * 20000 + 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRasterImage image;
        image.SetMemoryLimit(c.limit);
        const bool ok = image.Decode(c.png);
        EXPECT_EQ(ok, c.failure == RasterFailure::None) << image.GetLastError().toStdString();
        EXPECT_EQ(image.GetFailure(), c.failure);
        EXPECT_EQ(ok ? image.GetMemorySize() : image.GetRefusedMemory(), c.memory);
    }
}

TEST(PictureBounds, AMetafileIsDrawnWithinTheWorkItIsLeft)
{
    // Read as a label's stored picture is: asked for as a bitmap, found to be a metafile.
    const QByteArray tenEllipses = made::EllipseFlood(400, 10);
    CRasterImage measured;
    ASSERT_TRUE(measured.Decode(tenEllipses, RASTER_FORMAT_BMP)) << measured.GetLastError().toStdString();
    const double canvas = 400.0 * 400, cost = measured.GetWorkDone();
    EXPECT_GT(cost, canvas * 2);
    EXPECT_LT(cost, canvas * 12);
    ASSERT_TRUE(measured.Decode(made::SolidPng(400, 400, 8, 0)));
    EXPECT_EQ(measured.GetWorkDone(), 0);  // a picture that is not drawn spends nothing

    constexpr double kAll = RASTER_MAX_DRAW_WORK;
    struct Case {
        const char* name;
        QByteArray file;
        double limit;
        RasterFailure failure;
        double spent;  // -1: not looked at
    } cases[] = {
        {"just enough", tenEllipses, cost, RasterFailure::None, cost},
        {"a polygon of 60 points", made::Zigzag(400, 60), kAll, RasterFailure::None, -1},
        {"a little short", tenEllipses, cost - 1, RasterFailure::OverWorkLimit, cost - 1},
        {"less than its canvas: nothing is drawn", tenEllipses, canvas - 1, RasterFailure::OverWorkLimit, 0},
        {"4,000 ellipses over the whole picture", made::EllipseFlood(4000, 4000), kAll, RasterFailure::TooMuchWork, kAll},
        {"a polygon of 16,000 points", made::Zigzag(4000, 16000), kAll, RasterFailure::TooMuchWork, kAll},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRasterImage image;
        image.SetWorkLimit(c.limit);
        EXPECT_EQ(image.Decode(c.file, RASTER_FORMAT_BMP), c.failure == RasterFailure::None);
        EXPECT_EQ(image.GetFailure(), c.failure);
        if (c.spent >= 0) {
            EXPECT_EQ(image.GetWorkDone(), c.spent);
        }
        int red = 0;
        for (int x = 0; x < image.GetWidth(); ++x)
            red += Argb(image.GetPixelColor(x, image.GetHeight() / 2)) == qRgb(255, 0, 0);
        EXPECT_EQ(red > 100, c.failure == RasterFailure::None);
    }
}
