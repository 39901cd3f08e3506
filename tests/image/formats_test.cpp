// Every format reads a picture another program wrote and one written by CRasterImage itself.

#include "image/rasterimage.h"

#include "picture_samples.h"

#include <QBuffer>
#include <QImageWriter>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <tiffio.h>

namespace {

QByteArray WriteWithQt(const QImage& image, const char* format, int quality = -1)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format;
    return data;
}

QImage Decoded(const QByteArray& data, int format, int* type = nullptr)
{
    CRasterImage image;
    EXPECT_TRUE(image.Decode(data, format)) << format << " " << image.GetLastError().toStdString();
    if (type)
        *type = image.GetType();
    return image.ToQImage();
}

QImage OwnRoundTrip(const QImage& picture, int format)
{
    CRasterImage image;
    EXPECT_TRUE(image.FromQImage(picture));
    const QByteArray data = image.Encode(format);
    EXPECT_FALSE(data.isEmpty()) << format << " " << image.GetLastError().toStdString();
    return Decoded(data, format);
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// A GIF written with giflib: four colours, optionally interlaced.
QByteArray GifFromLibrary(const QImage& blocks, bool interlaced)
{
    const QImage indexed = blocks.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    std::vector<GifColorType> colours(256, GifColorType{0, 0, 0});
    for (int i = 0; i < indexed.colorCount(); ++i)
        colours[size_t(i)] = GifColorType{GifByteType(qRed(indexed.color(i))),
                                          GifByteType(qGreen(indexed.color(i))),
                                          GifByteType(qBlue(indexed.color(i)))};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), interlaced, nullptr);
    std::vector<int> order;
    if (interlaced) {
        for (int pass : {0, 1, 2, 3}) {
            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int y = start[pass]; y < indexed.height(); y += step[pass])
                order.push_back(y);
        }
    } else {
        for (int y = 0; y < indexed.height(); ++y)
            order.push_back(y);
    }
    for (int y : order)
        EGifPutLine(gif, const_cast<GifPixelType*>(indexed.constScanLine(y)), indexed.width());
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

QByteArray TiffFromLibrary(const QImage& picture, uint16_t compression)
{
    const QString path = samples::OutputPath(QStringLiteral("libtiff.tif"));
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(picture.height()));
    for (auto [tag, value] : {std::pair<ttag_t, int>{TIFFTAG_BITSPERSAMPLE, 8}, {TIFFTAG_SAMPLESPERPIXEL, 3},
                              {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}, {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                              {TIFFTAG_COMPRESSION, compression}, {TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER}})
        TIFFSetField(tif, tag, value);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 5);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 118.11f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 118.11f);
    std::vector<uint8_t> row(size_t(picture.width()) * 3);
    for (int y = 0; y < picture.height(); ++y) {
        const QImage line = picture.copy(0, y, picture.width(), 1).convertToFormat(QImage::Format_RGB888);
        std::copy_n(line.constScanLine(0), row.size(), row.begin());
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void ExpectSame(const QImage& got, const QImage& want)
{
    EXPECT_EQ(samples::MaxDifference(got, want), 0);
}

double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1000;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

void Append16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void Append32(QByteArray& b, long v)
{
    Append16(b, int(v & 0xFFFF));
    Append16(b, int((v >> 16) & 0xFFFF));
}

// A BMP file around an info header and the data that follows it.
QByteArray BmpFile(int width, int height, int bpp, int compression, const QByteArray& palette,
                   const QByteArray& pixels)
{
    QByteArray b("BM");
    for (long v : {long(54 + palette.size() + pixels.size()), 0L, long(54 + palette.size()), 40L, long(width),
                   long(height), long(1 | bpp << 16), long(compression), long(pixels.size()), 2835L, 2835L,
                   long(palette.size() / 4), 0L})
        Append32(b, v);
    return b + palette + pixels;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

}  // namespace

TEST(ImageFormats, BmpFromQtAndFromHand)
{
    const QImage colourful = samples::Colourful();
    ExpectSame(Decoded(WriteWithQt(colourful, "bmp"), RASTER_FORMAT_BMP), colourful);
    const QImage indexed = samples::Blocks().convertToFormat(QImage::Format_Indexed8);
    ExpectSame(Decoded(WriteWithQt(indexed, "bmp"), RASTER_FORMAT_BMP), samples::Blocks());
    ExpectSame(OwnRoundTrip(colourful, RASTER_FORMAT_BMP), colourful);
    ExpectSame(OwnRoundTrip(indexed, RASTER_FORMAT_BMP), samples::Blocks());

    // RLE8, 4 x 2: bottom row a run of three 1s and a literal 2, top row a run of four 0s.
    const QByteArray palette = Bytes({0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0});
    const QByteArray rle8 = Bytes({3, 1, 0, 3, 2, 2, 2, 0, 0, 0, 4, 0, 0, 1});
    CRasterImage image;
    ASSERT_TRUE(image.Decode(BmpFile(4, 2, 8, 1, palette, rle8), RASTER_FORMAT_BMP));
    QImage got = image.ToQImage();
    EXPECT_EQ(got.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(got.pixel(3, 1), qRgb(0, 255, 0));
    EXPECT_EQ(got.pixel(3, 0), qRgb(0, 0, 0));

    // RLE4, 5 x 1: a run of alternating 1 and 2, then end of bitmap.
    ASSERT_TRUE(image.Decode(BmpFile(5, 1, 4, 2, palette, Bytes({5, 0x12, 0, 1})), RASTER_FORMAT_BMP));
    got = image.ToQImage();
    EXPECT_EQ(got.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(got.pixel(4, 0), qRgb(255, 0, 0));

    // Top-down 24-bit rows (negative height): the first stored row is the top.
    const QByteArray topDown = Bytes({0, 0, 255, 0, 0, 255, 0, 0});
    ASSERT_TRUE(image.Decode(BmpFile(1, -2, 24, 0, {}, topDown), RASTER_FORMAT_BMP));
    EXPECT_EQ(image.ToQImage().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.ToQImage().pixel(0, 1), qRgb(0, 255, 0));
    EXPECT_EQ(image.GetXDPI(), 72);
}

TEST(ImageFormats, PngOfEveryKind)
{
    const QImage colourful = samples::Colourful();
    ExpectSame(Decoded(WriteWithQt(colourful, "png"), RASTER_FORMAT_PNG), colourful);

    QImage alpha = colourful.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < alpha.width(); ++x)
        alpha.setPixel(x, 3, qRgba(10, 20, 30, x * 5));
    ExpectSame(Decoded(WriteWithQt(alpha, "png"), RASTER_FORMAT_PNG), alpha);
    ExpectSame(OwnRoundTrip(alpha, RASTER_FORMAT_PNG), alpha);

    QImage grey16(9, 5, QImage::Format_Grayscale16);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = quint16((x * 28 + y) * 257);
    ExpectSame(Decoded(WriteWithQt(grey16, "png"), RASTER_FORMAT_PNG), grey16);

    QImage mono(13, 4, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 13; ++x)
            mono.setPixel(x, y, (x + y) % 3 == 0);
    ExpectSame(Decoded(WriteWithQt(mono, "png"), RASTER_FORMAT_PNG), mono);
    ExpectSame(OwnRoundTrip(mono, RASTER_FORMAT_PNG), mono);

    const QImage indexed = samples::Blocks().convertToFormat(QImage::Format_Indexed8);
    ExpectSame(OwnRoundTrip(indexed, RASTER_FORMAT_PNG), indexed);
    ExpectSame(OwnRoundTrip(colourful, RASTER_FORMAT_PNG), colourful);
}

TEST(ImageFormats, JpegWithinTolerance)
{
    const QImage blocks = samples::Blocks(64, 48);
    // Another program's file decodes as Qt decodes it. Colour edges ring and blur under chroma
    // subsampling, so our own file is only near the original on average.
    const QByteArray fromQt = WriteWithQt(blocks, "jpeg", 95);
    EXPECT_LE(samples::MaxDifference(Decoded(fromQt, RASTER_FORMAT_JPG), QImage::fromData(fromQt, "JPEG")), 2);
    EXPECT_LE(MeanDifference(OwnRoundTrip(blocks, RASTER_FORMAT_JPG), blocks), 10.0);

    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(100);
    CRasterImage image;
    ASSERT_TRUE(image.Decode(WriteWithQt(grey, "jpeg", 95), RASTER_FORMAT_JPG));
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_LE(std::abs(qRed(image.ToQImage().pixel(5, 5)) - 100), 2);

    // A lower quality gives a smaller file.
    CRasterImage colourful;
    colourful.FromQImage(samples::Colourful(200, 100));
    colourful.SetJpegQuality(95);
    const qsizetype fine = colourful.Encode(RASTER_FORMAT_JPG).size();
    colourful.SetJpegQuality(20);
    EXPECT_LT(colourful.Encode(RASTER_FORMAT_JPG).size(), fine);
}

TEST(ImageFormats, GifFromGiflibAndOwn)
{
    const QImage blocks = samples::Blocks();
    for (bool interlaced : {false, true}) {
        int type = 0;
        EXPECT_EQ(samples::MaxDifference(Decoded(GifFromLibrary(blocks, interlaced), 0, &type), blocks), 0)
            << interlaced;
        EXPECT_EQ(type, RASTER_FORMAT_GIF);
    }
    ExpectSame(OwnRoundTrip(blocks, RASTER_FORMAT_GIF), blocks);
    // Qt reads what we write.
    CRasterImage image;
    image.FromQImage(blocks);
    QImage qt;
    ASSERT_TRUE(qt.loadFromData(image.Encode(RASTER_FORMAT_GIF), "GIF"));
    ExpectSame(qt, blocks);
}

TEST(ImageFormats, TiffFromLibtiffAndOwn)
{
    const QImage colourful = samples::Colourful();
    for (uint16_t compression : {uint16_t(COMPRESSION_NONE), uint16_t(COMPRESSION_LZW), uint16_t(COMPRESSION_ADOBE_DEFLATE)}) {
        CRasterImage image;
        ASSERT_TRUE(image.Decode(TiffFromLibrary(colourful, compression), RASTER_FORMAT_TIF)) << compression;
        ExpectSame(image.ToQImage(), colourful);
        EXPECT_EQ(image.GetXDPI(), 300);
    }
    ExpectSame(OwnRoundTrip(colourful, RASTER_FORMAT_TIF), colourful);
    QImage alpha = colourful.convertToFormat(QImage::Format_ARGB32);
    alpha.setPixel(2, 2, qRgba(100, 150, 200, 0));
    alpha.setPixel(3, 2, qRgba(100, 150, 200, 128));
    alpha.setPixel(4, 2, qRgba(100, 150, 200, 255));
    // Colours of see-through pixels are kept as well as premultiplied storage allows.
    EXPECT_LE(samples::MaxDifference(OwnRoundTrip(alpha, RASTER_FORMAT_TIF).copy(3, 2, 2, 1), alpha.copy(3, 2, 2, 1)), 1);
    EXPECT_EQ(qAlpha(OwnRoundTrip(alpha, RASTER_FORMAT_TIF).pixel(2, 2)), 0);

    // BigTIFF is refused.
    QByteArray big = TiffFromLibrary(colourful, COMPRESSION_NONE);
    big[2] = 43;
    CRasterImage image;
    EXPECT_FALSE(image.Decode(big, RASTER_FORMAT_TIF));
}

TEST(ImageFormats, TgaOfEveryLayout)
{
    const QImage colourful = samples::Colourful();
    ExpectSame(OwnRoundTrip(colourful, RASTER_FORMAT_TGA), colourful);
    const QImage indexed = samples::Blocks().convertToFormat(QImage::Format_Indexed8);
    ExpectSame(OwnRoundTrip(indexed, RASTER_FORMAT_TGA), indexed);

    // Run-length 24-bit, 3 x 2, top-left origin: a run of three reds, then a raw green and a
    // run of two blues.
    QByteArray rle = Bytes({0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20});
    rle += Bytes({0x82, 0, 0, 255, 0x00, 0, 255, 0, 0x81, 255, 0, 0});
    CRasterImage image;
    ASSERT_TRUE(image.Decode(rle, RASTER_FORMAT_TGA));
    QImage got = image.ToQImage();
    EXPECT_EQ(got.pixel(2, 0), qRgb(255, 0, 0));
    EXPECT_EQ(got.pixel(0, 1), qRgb(0, 255, 0));
    EXPECT_EQ(got.pixel(2, 1), qRgb(0, 0, 255));

    // 16-bit 5-5-5, 2 x 1, bottom-right origin: stored right to left.
    QByteArray sixteen = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 16, 0x10});
    sixteen += Bytes({0x00, 0x7C, 0x1F, 0x00});  // red, then blue
    ASSERT_TRUE(image.Decode(sixteen, RASTER_FORMAT_TGA));
    got = image.ToQImage();
    EXPECT_EQ(got.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(got.pixel(0, 0), qRgb(0, 0, 255));
}

TEST(ImageFormats, WbmpByHandAndOwn)
{
    // 10 x 2: the first row white from the fourth pixel, the second all black; width 10 as a
    // one-byte integer, then a two-byte height of 2 to exercise the continuation bit.
    const QByteArray wbmp = Bytes({0, 0, 10, 0x80, 2, 0x1F, 0xC0, 0x00, 0x00});
    CRasterImage image;
    ASSERT_TRUE(image.Decode(wbmp, RASTER_FORMAT_WBMP));
    ASSERT_EQ(image.GetHeight(), 2);
    const QImage got = image.ToQImage();
    EXPECT_EQ(got.pixel(2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(got.pixel(3, 0), qRgb(255, 255, 255));
    EXPECT_EQ(got.pixel(9, 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.Encode(RASTER_FORMAT_WBMP), wbmp.left(2) + Bytes({10, 2}) + wbmp.mid(5));

    QImage bw(300, 3, QImage::Format_RGB32);
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 3; ++y)
            bw.setPixel(x, y, (x * y) % 7 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    ExpectSame(OwnRoundTrip(bw, RASTER_FORMAT_WBMP), bw);
}

TEST(ImageFormats, WmfRecordsAndOwn)
{
    // A placeable metafile of 100 x 50 units at 100 units an inch: 96 x 48 pixels. A red brush
    // and a null pen fill the left half; a blue polygon fills the bottom-right quarter.
    QByteArray records;
    auto record = [&](int function, std::initializer_list<int> words) {
        Append32(records, 3 + long(words.size()));
        Append16(records, function);
        for (int w : words)
            Append16(records, w);
    };
    record(0x020B, {0, 0});
    record(0x020C, {50, 100});
    record(0x02FC, {0, 0x00FF, 0x0000, 0});  // solid red brush
    record(0x02FA, {5, 0, 0, 0, 0});         // null pen
    record(0x02FC, {0, 0x0000, 0x00FF, 0});  // solid blue brush
    record(0x012D, {0});
    record(0x012D, {1});
    record(0x041B, {50, 50, 0, 0});          // rectangle: bottom, right, top, left
    record(0x012D, {2});
    record(0x0324, {4, 50, 25, 100, 25, 100, 50, 50, 50});
    record(0x0000, {});
    QByteArray wmf;
    Append32(wmf, long(0x9AC6CDD7));
    Append16(wmf, 0);
    for (int v : {0, 0, 100, 50, 100})
        Append16(wmf, v);
    Append32(wmf, 0);
    WORD checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= WORD(BYTE(wmf[i]) | (BYTE(wmf[i + 1]) << 8));
    Append16(wmf, checksum);
    for (int v : {1, 9, 0x300, int(9 + records.size() / 2) & 0xFFFF, int(9 + records.size() / 2) >> 16, 3, 9, 0, 0})
        Append16(wmf, v);
    wmf += records;

    CRasterImage image;
    ASSERT_TRUE(image.Decode(wmf, RASTER_FORMAT_UNKNOWN)) << image.GetLastError().toStdString();
    EXPECT_EQ(image.GetType(), RASTER_FORMAT_WMF);
    ASSERT_EQ(image.GetWidth(), 96);
    ASSERT_EQ(image.GetHeight(), 48);
    const QImage got = image.ToQImage();
    EXPECT_EQ(got.pixel(40, 40), qRgb(255, 0, 0));
    EXPECT_EQ(got.pixel(70, 10), qRgb(255, 255, 255));
    EXPECT_EQ(got.pixel(80, 40), qRgb(0, 0, 255));

    const QImage colourful = samples::Colourful();
    ExpectSame(OwnRoundTrip(colourful, RASTER_FORMAT_WMF), colourful);
}
