// Damaged and hostile picture files leave an empty image with an error text; nothing crashes,
// reads out of bounds or allocates what the data cannot hold (run under the sanitizers).

#include "image/rasterimage.h"

#include "picture_samples.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {

constexpr int kFormats[] = {RASTER_FORMAT_BMP, RASTER_FORMAT_GIF, RASTER_FORMAT_JPG, RASTER_FORMAT_PNG,
                            RASTER_FORMAT_TIF, RASTER_FORMAT_TGA, RASTER_FORMAT_WBMP, RASTER_FORMAT_WMF};

QByteArray Sample(int format)
{
    CRasterImage image;
    image.FromQImage(samples::Colourful(29, 17));
    return image.Encode(format);
}

void ExpectConsistent(const CRasterImage& image, bool ok)
{
    if (ok) {
        EXPECT_GT(image.GetWidth(), 0);
        EXPECT_NE(image.GetBits(0), nullptr);
    } else {
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 0);
        EXPECT_EQ(image.GetHeight(), 0);
        EXPECT_FALSE(image.GetLastError().isEmpty());
    }
}

}  // namespace

TEST(DamagedPictures, TruncatedAtManyPoints)
{
    for (int format : kFormats) {
        const QByteArray whole = Sample(format);
        ASSERT_FALSE(whole.isEmpty()) << format;
        const int step = std::max<int>(1, int(whole.size() / 150));
        for (int cut = 0; cut < whole.size(); cut += (cut < 64 ? 1 : step)) {
            CRasterImage image;
            const bool ok = image.Decode(whole.left(cut), format);
            ExpectConsistent(image, ok);
            // Formats that know their length never accept a short file: the pixels are all there.
            if (format != RASTER_FORMAT_TGA && format != RASTER_FORMAT_WBMP) {
                EXPECT_FALSE(ok && image.GetType() == format && image.GetWidth() == 29 && cut < whole.size() - 16)
                    << format << " cut at " << cut;
            }
        }
    }
}

TEST(DamagedPictures, RandomBytesAndCorruptedFiles)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        QByteArray junk(int(random() % 300), 0);
        for (auto& c : junk)
            c = char(random());
        CRasterImage image;
        ExpectConsistent(image, image.Decode(junk, int(random() % 11)));
    }
    for (int format : kFormats) {
        const QByteArray whole = Sample(format);
        for (int round = 0; round < 60; ++round) {
            QByteArray damaged = whole;
            const int flips = 1 + int(random() % 8);
            for (int i = 0; i < flips; ++i)
                damaged[int(random() % damaged.size())] = char(random());
            CRasterImage image;
            ExpectConsistent(image, image.Decode(damaged, format));
        }
    }
}

TEST(DamagedPictures, HugeSizesInHeadersAreRefusedBeforeAllocating)
{
    auto refused = [](const QByteArray& data, int format) {
        CRasterImage image;
        const bool ok = image.Decode(data, format);
        ExpectConsistent(image, ok);
        return !ok;
    };
    auto put32 = [](QByteArray& b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); };
    auto put16 = [](QByteArray& b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); };

    // BMP: 100000 pixels a side, the most negative height, a huge pixel offset, a huge palette.
    using Patch = std::vector<std::pair<int, quint32>>;
    for (const Patch& patch : {Patch{{18, 100000}, {22, 100000}}, Patch{{22, 0x80000000u}}, Patch{{10, 0xFFFFFFF0u}}}) {
        QByteArray bmp = Sample(RASTER_FORMAT_BMP);
        for (auto [at, value] : patch)
            put32(bmp, at, value);
        EXPECT_TRUE(refused(bmp, RASTER_FORMAT_BMP)) << patch.front().first;
    }
    CRasterImage indexed;
    indexed.FromQImage(samples::Blocks().convertToFormat(QImage::Format_Indexed8));
    QByteArray bmp = indexed.Encode(RASTER_FORMAT_BMP);
    put32(bmp, 46, 0x40000000);
    EXPECT_TRUE(refused(bmp, RASTER_FORMAT_BMP));

    // A PNG whose header claims 60000 x 60000 pixels, with a valid checksum.
    QByteArray png = Sample(RASTER_FORMAT_PNG);
    qToBigEndian(quint32(60000), png.data() + 16);
    qToBigEndian(quint32(60000), png.data() + 20);
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)), png.data() + 29);
    EXPECT_TRUE(refused(png, RASTER_FORMAT_PNG));

    QByteArray gif = Sample(RASTER_FORMAT_GIF);
    put16(gif, 6, 65535);
    put16(gif, 8, 65535);
    const int descriptor = gif.indexOf(',');
    put16(gif, descriptor + 5, 65535);
    put16(gif, descriptor + 7, 65535);
    EXPECT_TRUE(refused(gif, RASTER_FORMAT_GIF));

    QByteArray tga = Sample(RASTER_FORMAT_TGA);
    put16(tga, 12, 65535);
    put16(tga, 14, 65535);
    EXPECT_TRUE(refused(tga, RASTER_FORMAT_TGA));
    tga[2] = 10;  // run-length: no length check can stop it but the plausibility bound
    EXPECT_TRUE(refused(tga, RASTER_FORMAT_TGA));

    EXPECT_TRUE(refused(QByteArray("\0\0\xFF\xFF\x7F\xFF\xFF\x7F\0\0", 10), RASTER_FORMAT_WBMP));
    EXPECT_TRUE(refused(QByteArray("\0\0\x81\x81\x81\x81\x01\x05\0", 9), RASTER_FORMAT_WBMP));

    QByteArray jpeg = Sample(RASTER_FORMAT_JPG);
    const int sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    qToBigEndian(quint16(65000), jpeg.data() + sof + 5);
    qToBigEndian(quint16(65000), jpeg.data() + sof + 7);
    EXPECT_TRUE(refused(jpeg, RASTER_FORMAT_JPG));

    // A metafile that states a size of 32767 inches square is drawn smaller, not refused: at no
    // more pixels than its data could stand for as a picture of another format.
    QByteArray wmf = Sample(RASTER_FORMAT_WMF);
    put16(wmf, 10, 32767);
    put16(wmf, 12, 32767);
    put16(wmf, 14, 1);
    CRasterImage image;
    EXPECT_TRUE(image.Decode(wmf, RASTER_FORMAT_WMF));
    ExpectConsistent(image, image.IsValid());
    const qint64 w = image.GetWidth(), h = image.GetHeight();
    EXPECT_LE((w - 1) * (h - 1) * 4, wmf.size() * 4096LL);  // pixels are rounded to whole ones
    EXPECT_GT(image.GetWidth(), 100);
}

// A stretched bitmap whose source rectangle reaches beyond its bitmap draws only the part that
// is there, at its place and scale; nothing is made of the rest, however large.
TEST(DamagedPictures, MetafileBitmapSourceIsClippedToTheBitmap)
{
    CRasterImage blocks;
    ASSERT_TRUE(blocks.FromQImage(samples::Blocks(20, 10)));  // left half red, right half green
    const QByteArray wmf = blocks.Encode(RASTER_FORMAT_WMF);
    ASSERT_FALSE(wmf.isEmpty());
    // The source of the one stretch record, which draws into the whole 20 x 10 picture.
    auto withSource = [&](int x, int y, int w, int h) {
        QByteArray patched = wmf;
        int at = 72;  // height, width, y counted from the bottom, x
        for (int v : {h, w, y, x}) {
            qToLittleEndian(quint16(v), patched.data() + at);
            at += 2;
        }
        return patched;
    };
    auto decoded = [](const QByteArray& data) {
        CRasterImage image;
        EXPECT_TRUE(image.Decode(data, RASTER_FORMAT_WMF)) << image.GetLastError().toStdString();
        EXPECT_EQ(image.GetWidth(), 20);
        EXPECT_EQ(image.GetHeight(), 10);
        return image.ToQImage();
    };
    const QRgb white = qRgb(255, 255, 255);
    const QRgb green = samples::Blocks().pixel(10, 0);

    // Twice the bitmap's width from its middle: its green half fills the left half.
    QImage got = decoded(withSource(10, 0, 20, 10));
    EXPECT_EQ(got.pixel(8, 5), green);
    EXPECT_EQ(got.pixel(12, 5), white);

    // The largest source a record can ask for (gigabytes as pixels): the bitmap shrinks to
    // nothing at the bottom-left of the source, outside the picture.
    got = decoded(withSource(0, 0, 32767, 32767));
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            ASSERT_EQ(got.pixel(x, y), white) << x << "," << y;
}

// A TIFF header whose bits per sample times samples per pixel overflow an int is refused before
// anything is read with them.
TEST(DamagedPictures, TiffSampleLayoutBeyondAnyPixelIsRefused)
{
    QByteArray tiff("II*\0", 4);
    auto put16 = [&](int v) { tiff.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](quint32 v) { put16(int(v & 0xFFFF)), put16(int(v >> 16)); };
    put32(8);
    const struct { int tag, type; quint32 value; } entries[] = {
        {256, 3, 1}, {257, 3, 1}, {258, 3, 65535}, {259, 3, 1}, {262, 3, 1},
        {273, 4, 8 + 2 + 9 * 12 + 4}, {277, 3, 32769}, {278, 3, 1}, {279, 4, 16}};
    put16(int(std::size(entries)));
    for (const auto& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(1);
        put32(e.value);
    }
    put32(0);
    tiff.append(16, '\x55');
    CRasterImage image;
    EXPECT_FALSE(image.Decode(tiff, RASTER_FORMAT_TIF));
    ExpectConsistent(image, false);
    EXPECT_TRUE(image.GetLastError().contains(QStringLiteral("32769 samples of 65535 bits")))
        << image.GetLastError().toStdString();
}
