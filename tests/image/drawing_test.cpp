// Drawing pictures through a device context from their own rows, and the bounds a picture meets
// while it is read: memory (its own and what its caller leaves it), the data a header claims,
// and the work a metafile's drawing costs.

#include "framework/painterdc.h"
#include "framework/recordingdc.h"
#include "image/rasterimage.h"
#include "support/madepictures.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A picture of the depth whose pixel (x, y) has the colour (and, at 32 bits, the alpha) of its
// own 2 x 2 block, so that a picture halved in size keeps every block's colour.
CRasterImage Blocks(int bpp, int width, int height)
{
    CRasterImage image;
    image.Create(DWORD(width), DWORD(height), DWORD(bpp));
    const int colours = bpp <= 8 ? 1 << bpp : 0;
    for (int i = 0; i < colours; ++i)
        image.SetPaletteColor(i, BYTE(i * 37), BYTE(255 - i * 11), BYTE(i * 101));
    for (int y = 0; y < height; ++y) {
        BYTE* row = image.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int block = (x / 2) * 7 + (y / 2) * 3;
            if (bpp <= 8) {
                const int bit = x * bpp;
                row[bit / 8] |= BYTE((block % colours) << (8 - bpp - bit % 8));
            } else {
                BYTE* p = row + x * (bpp / 8);
                p[0] = BYTE(block * 5);
                p[1] = BYTE(block * 9);
                p[2] = BYTE(block * 13);
                if (bpp == 32)
                    p[3] = BYTE(block % 2 ? 255 : 128);
            }
        }
    }
    return image;
}

QRgb Argb(const RGBQUAD& c) { return qRgba(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved); }

// Non-premultiplied ARGB of any format Render gives.
QRgb PixelOf(const QImage& image, int x, int y)
{
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_BGR888
               ? image.pixel(x, y) | 0xFF000000u
               : image.pixel(x, y);
}

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
        // Whole, pixel for pixel: rows from the top, channels in their order, see-through kept.
        const QImage whole = image.Render(QRect(0, 0, 22, 14), QSize(22, 14));
        ASSERT_EQ(whole.size(), QSize(22, 14));
        EXPECT_LE(whole.depth(), std::max(c.bpp, 8));
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 22; ++x)
                ASSERT_EQ(PixelOf(whole, x, y), Argb(image.GetPixelColor(x, y))) << x << "," << y;
        // A part at half its size: each pixel is its block's.
        const QImage half = image.Render(QRect(4, 2, 16, 10), QSize(8, 5));
        ASSERT_EQ(half.size(), QSize(8, 5));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(PixelOf(half, x, y), Argb(image.GetPixelColor(4 + 2 * x, 2 + 2 * y))) << x << "," << y;
        EXPECT_TRUE(image.Render(QRect(10, 0, 20, 14), QSize(5, 5)).isNull());  // beyond the picture
    }
}

TEST(PictureDrawing, ALargePictureIsMadeOnlyAsFarAsTheDeviceShowsIt)
{
    // 6000 x 4000 pixels, black left of column 3000 and white from it.
    CRasterImage image;
    ASSERT_NE(image.Create(6000, 4000, 1), nullptr);
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
    for (int y = 0; y < 4000; ++y)
        std::memset(image.ScanLine(y) + 3000 / 8, 0xFF, 3000 / 8);

    // Shrunk into 300 x 200 device pixels: an image of that size, not of the picture's.
    CRecordingDC recorder(CSize(1280, 1024));
    ASSERT_TRUE(image.Draw(&recorder, CRect(0, 0, 300, 200)));
    ASSERT_EQ(recorder.records.size(), 1u);
    EXPECT_EQ(recorder.records[0].image.size(), QSize(300, 200));

    // At its own size, on a 300 x 200 surface, upright and mirrored: only about the visible part
    // is made, and the edge between black and white lands where the picture has it.
    struct Case {
        CRect rect;
        bool blackOnLeft;
    } cases[] = {{CRect(-2850, -100, 3150, 3900), true}, {CRect(3150, -100, -2850, 3900), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blackOnLeft);
        CRecordingDC small(CSize(300, 200));
        ASSERT_TRUE(image.Draw(&small, c.rect));
        ASSERT_EQ(small.records.size(), 1u);
        const QSize made = small.records[0].image.size();
        EXPECT_LE(made.width(), 310);
        EXPECT_LE(made.height(), 210);

        QImage canvas(300, 200, QImage::Format_RGB32);
        canvas.fill(Qt::red);
        {
            CPainterDC dc(&canvas);
            ASSERT_TRUE(image.Draw(&dc, c.rect));
        }
        const QRgb left = c.blackOnLeft ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        const QRgb right = c.blackOnLeft ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        for (int y : {0, 100, 199}) {
            EXPECT_EQ(canvas.pixel(0, y), left);
            EXPECT_EQ(canvas.pixel(149, y), left);
            EXPECT_EQ(canvas.pixel(150, y), right);
            EXPECT_EQ(canvas.pixel(299, y), right);
        }
    }

    // Nothing of it visible: nothing is made, and that is no failure.
    CRecordingDC away(CSize(300, 200));
    EXPECT_TRUE(image.Draw(&away, CRect(400, 400, 6400, 4400)));
    EXPECT_TRUE(away.records.empty());
}

TEST(PictureBounds, MemoryIsRefusedBeforeItIsTakenAndTheNeedIsTold)
{
    const QByteArray twoMegabytes = made::SolidPng(2000, 1000, 8, 0);
    CRasterImage image;
    image.SetMemoryLimit(1 << 20);
    EXPECT_FALSE(image.Decode(twoMegabytes));
    EXPECT_EQ(image.GetFailure(), RasterFailure::OverLimit);
    EXPECT_EQ(image.GetRefusedMemory(), 2000LL * 1000 + 256 * 4);
    EXPECT_FALSE(image.IsValid());
    // The limit stays until it is changed, and a picture within it loads.
    EXPECT_TRUE(image.Decode(made::SolidPng(1000, 1000, 8, 0)));
    EXPECT_EQ(image.GetMemorySize(), 1000LL * 1000 + 256 * 4);
    image.SetMemoryLimit(RASTER_MAX_MEMORY);
    EXPECT_TRUE(image.Decode(twoMegabytes));

    // More than any picture may hold: 1-bit samples widened to 8 bits make 400 MB.
    EXPECT_FALSE(image.Decode(made::SolidPng(20000, 20000, 1, 0)));
    EXPECT_EQ(image.GetFailure(), RasterFailure::TooLarge);
}

TEST(PictureBounds, APngIsMeasuredAgainstTheDepthItStores)
{
    // Small files of large solid areas: deflate packs them near its limit, and the reader widens
    // their samples to 8 bits (or to 32 with a see-through colour).
    struct Case {
        const char* name;
        int size, depth, colourType;
        bool transparent;
    } cases[] = {{"1-bit grey", 3000, 1, 0, false},
                 {"1-bit palette", 3000, 1, 3, false},
                 {"2-bit grey", 3000, 2, 0, false},
                 {"1-bit palette, see-through", 1500, 1, 3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray png = made::SolidPng(c.size, c.size, c.depth, c.colourType, c.transparent);
        CRasterImage image;
        ASSERT_TRUE(image.Decode(png, RASTER_FORMAT_PNG)) << png.size() << " bytes: " << image.GetLastError().toStdString();
        EXPECT_EQ(image.GetWidth(), c.size);
        EXPECT_EQ(image.GetPixelColor(c.size / 2, c.size / 2).rgbReserved, c.transparent ? 0 : 255);
    }
    EXPECT_LT(made::SolidPng(3000, 3000, 1, 0).size(), 1500);

    // A header that claims far more pixels than the data could hold is still refused.
    QByteArray lie = made::SolidPng(100, 100, 8, 0);
    QByteArray header;
    made::Be32(header, 30000);
    made::Be32(header, 8000);
    header.append(char(8)).append(char(0)).append(3, '\0');
    QByteArray chunk;
    made::PngChunk(chunk, "IHDR", header);
    lie.replace(8, chunk.size(), chunk);
    CRasterImage image;
    EXPECT_FALSE(image.Decode(lie, RASTER_FORMAT_PNG));
    EXPECT_EQ(image.GetFailure(), RasterFailure::Damaged);
}

TEST(PictureBounds, AMetafileWhoseDrawingCostsTooMuchIsRefused)
{
    struct Case {
        const char* name;
        QByteArray file;
    } refused[] = {{"4,000 ellipses over the whole picture", made::EllipseFlood(4000, 4000)},
                   {"twenty polygons of 16,000 points", made::ZigzagPolygons(4000, 20, 16000)}};
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        CRasterImage image;
        EXPECT_FALSE(image.Decode(c.file, RASTER_FORMAT_WMF));
        EXPECT_EQ(image.GetFailure(), RasterFailure::TooMuchWork);
        EXPECT_FALSE(image.IsValid());
    }

    // The same kinds of drawing in measure are drawn.
    struct Drawn {
        const char* name;
        QByteArray file;
    } drawn[] = {{"ten ellipses", made::EllipseFlood(400, 10)}, {"a polygon of 60 points", made::ZigzagPolygons(400, 1, 60)}};
    for (const Drawn& c : drawn) {
        SCOPED_TRACE(c.name);
        CRasterImage image;
        ASSERT_TRUE(image.Decode(c.file, RASTER_FORMAT_WMF)) << image.GetLastError().toStdString();
        EXPECT_EQ(image.GetWidth(), 400);
        int red = 0;
        for (int x = 0; x < 400; ++x)
            red += Argb(image.GetPixelColor(x, 200)) == qRgb(255, 0, 0);
        EXPECT_GT(red, 100);
    }
}

TEST(PictureBounds, AMetafileSpendsItsWorkFromWhatItsCallerLeavesIt)
{
    // Read as a label's stored picture is: asked for as a bitmap, found to be a metafile.
    const QByteArray tenEllipses = made::EllipseFlood(400, 10);
    CRasterImage measured;
    ASSERT_TRUE(measured.Decode(tenEllipses, RASTER_FORMAT_BMP)) << measured.GetLastError().toStdString();
    const double canvas = 400.0 * 400;
    const double cost = measured.GetWorkDone();
    EXPECT_GT(cost, canvas * 2);
    EXPECT_LT(cost, canvas * 12);
    // A picture that is not drawn spends nothing.
    ASSERT_TRUE(measured.Decode(made::SolidPng(400, 400, 8, 0)));
    EXPECT_EQ(measured.GetWorkDone(), 0);

    struct Case {
        const char* name;
        QByteArray file;
        double limit;
        RasterFailure failure;
        double spent;
    } cases[] = {
        {"just enough", tenEllipses, cost, RasterFailure::None, cost},
        {"a little short", tenEllipses, cost - 1, RasterFailure::OverWorkLimit, cost - 1},
        {"less than its canvas: nothing is drawn", tenEllipses, canvas - 1, RasterFailure::OverWorkLimit, 0},
        {"none left", tenEllipses, 0, RasterFailure::OverWorkLimit, 0},
        {"beyond a picture's own bound", made::EllipseFlood(4000, 4000), RASTER_MAX_DRAW_WORK,
         RasterFailure::TooMuchWork, RASTER_MAX_DRAW_WORK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRasterImage image;
        image.SetWorkLimit(c.limit);
        EXPECT_EQ(image.Decode(c.file, RASTER_FORMAT_BMP), c.failure == RasterFailure::None);
        EXPECT_EQ(image.GetFailure(), c.failure);
        EXPECT_EQ(image.GetWorkDone(), c.spent);
        EXPECT_EQ(image.GetWorkLimit(), c.limit);
    }
}
