#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/recordingdc.h"
#include "objects/drawimage.h"
#include "support/fakeview.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Kind = CRecordedPrimitive::Kind;

// A picture with a pattern, so that a round trip that loses pixels shows.
CRasterImage Pattern(int width, int height, int dpi)
{
    QImage q(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            q.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x / 8 + y / 8) % 2 ? 255 : 0));
    CRasterImage image;
    image.FromQImage(q);
    image.SetXDPI(dpi);
    image.SetYDPI(dpi);
    return image;
}

std::vector<CRecordedPrimitive> Images(const CRecordingDC& dc)
{
    std::vector<CRecordedPrimitive> out;
    for (const auto& r : dc.records)
        if (r.kind == Kind::Image)
            out.push_back(r);
    return out;
}

}  // namespace

TEST(Pictures, InsertedPicturesAreSizedByPixelsAndResolution)
{
    // Extensions in any case; of TIFF only the three-letter form.
    EXPECT_EQ(ExtensionToFormat("jpeg"), RASTER_FORMAT_JPG);
    EXPECT_EQ(ExtensionToFormat("Gif"), RASTER_FORMAT_GIF);
    EXPECT_EQ(ExtensionToFormat("tiff"), RASTER_FORMAT_BMP);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char* ext;
        int format;
    } formats[] = {{"bmp", RASTER_FORMAT_BMP}, {"gif", RASTER_FORMAT_GIF}, {"jpg", RASTER_FORMAT_JPG},
                   {"png", RASTER_FORMAT_PNG}, {"tif", RASTER_FORMAT_TIF}, {"tga", RASTER_FORMAT_TGA},
                   {"wbmp", RASTER_FORMAT_WBMP}, {"wmf", RASTER_FORMAT_WMF}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.ext);
        CRasterImage source = Pattern(200, 300, 96);
        const QString path = dir.filePath(QStringLiteral("picture.") + f.ext);
        ASSERT_TRUE(source.Save(path, f.format));
        CDrawImage obj(CRect(100, 200, 100, 200));
        EXPECT_TRUE(obj.LoadFile(path));
        EXPECT_EQ(obj.m_position, CRect(100, 200, 100 + 3200, 200 + 4800));  // 2.08 and 3.125 in
    }

    // Less than an inch keeps its size, and the aspect stays (multiplied before dividing).
    struct { int w, h, dpi; CRect expected; } sizes[] = {
        {80, 80, 96, CRect(0, 0, 1280, 1280)},
        {1000, 750, 300, CRect(0, 0, 5120, 3840)},
    };
    for (const auto& s : sizes) {
        const QString path = dir.filePath(QStringLiteral("size.png"));
        ASSERT_TRUE(Pattern(s.w, s.h, s.dpi).Save(path, RASTER_FORMAT_PNG));
        CDrawImage obj(CRect(0, 0, 0, 0));
        EXPECT_TRUE(obj.LoadFile(path));
        EXPECT_EQ(obj.m_position, s.expected);
    }

    // Written by another program, at 72 dpi: 144 pixels are two inches; a name without an
    // extension still loads by trying every format.
    QImage foreign(144, 100, QImage::Format_RGB32);
    foreign.fill(Qt::red);
    foreign.setDotsPerMeterX(2835);  // 72 dpi
    foreign.setDotsPerMeterY(2835);
    const QString noExtension = dir.filePath("picture");
    ASSERT_TRUE(foreign.save(noExtension, "PNG"));
    CDrawImage qt(CRect(0, 0, 0, 0));
    EXPECT_TRUE(qt.LoadFile(noExtension));
    EXPECT_EQ(qt.m_position, CRect(0, 0, 3072, 2133));

    // A damaged file is refused: the picture stays empty and the position as it was.
    const QString damaged = dir.filePath("damaged.png");
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    file.close();
    CDrawImage empty(CRect(5, 5, 900, 900));
    EXPECT_FALSE(empty.LoadFile(damaged));
    EXPECT_FALSE(empty.GetImage().IsValid());
    EXPECT_EQ(empty.m_position, CRect(5, 5, 900, 900));
}

TEST(Pictures, DrawingFramesTheInsertedPictureAndSizesTheToolsPicture)
{
    CDrawImage framed(CRect(0, 0, 1536, 1536));
    framed.GetImage() = Pattern(16, 16, 96);
    CRecordingDC dc;
    framed.Draw(&dc, 0);
    ASSERT_EQ(dc.records.size(), 2u);
    EXPECT_EQ(dc.records[0].kind, Kind::Rectangle);  // the shape frame under the picture
    EXPECT_EQ(dc.records[1].kind, Kind::Image);
    EXPECT_EQ(dc.records[1].rect, CRect(0, 0, 1536, 1536));

    QTemporaryDir dir;
    const QString path = dir.filePath("tool.png");
    ASSERT_TRUE(Pattern(100, 50, 300).Save(path, RASTER_FORMAT_PNG));
    CDrawDoc doc;
    CFakeDrawView view;
    doc.AddView(&view);
    for (int dpi : {96, 300}) {
        auto* img = new CDrawImg(CRect(10, 20, 30, 40), nullptr);
        doc.Add(img);
        CRecordingDC blank(CSize(100, 100), dpi);
        img->Draw(&blank, 0);  // nothing loaded yet
        EXPECT_TRUE(blank.records.empty());
        EXPECT_TRUE(img->LoadFromFile(path));
        EXPECT_EQ(img->GetView(), &view);
        EXPECT_TRUE(img->IsSizePending());
        CRecordingDC device(CSize(100, 100), dpi);
        img->Draw(&device, 0);
        EXPECT_EQ(img->m_position, CRect(10, 20, 1610, 820));  // 16 units a pixel at any device
        EXPECT_FALSE(img->IsSizePending());
        ASSERT_EQ(Images(device).size(), 1u);
        EXPECT_EQ(Images(device)[0].rect, img->m_position);
    }
    doc.RemoveView(&view);
}

TEST(Pictures, RecordsCarryTheWholePicture)
{
    CDrawDoc doc;
    auto* bmp = new CDrawImage(CRect(0, 0, 1536, 768));
    bmp->GetImage() = Pattern(40, 20, 150);
    doc.Add(bmp);
    auto* jpeg = new CDrawImg(CRect(100, 100, 740, 420), nullptr);
    doc.Add(jpeg);
    QTemporaryDir dir;
    const QString path = dir.filePath("p.bmp");
    ASSERT_TRUE(Pattern(40, 20, 96).Save(path, RASTER_FORMAT_BMP));
    jpeg->LoadFromFile(path);
    doc.Add(new CDrawImg(CRect(1, 2, 3, 4), nullptr));     // no picture
    doc.Add(new CDrawImage(CRect(5, 6, 7, 8)));            // empty picture

    CDrawDoc loaded;
    loaded.LoadContents(doc.StoreContents());
    ASSERT_EQ(loaded.GetObjects().size(), 4u);
    auto* bmpBack = dynamic_cast<CDrawImage*>(loaded.GetObjects()[0]);
    auto* jpegBack = dynamic_cast<CDrawImg*>(loaded.GetObjects()[1]);
    auto* none = dynamic_cast<CDrawImg*>(loaded.GetObjects()[2]);
    auto* emptyBack = dynamic_cast<CDrawImage*>(loaded.GetObjects()[3]);
    ASSERT_TRUE(bmpBack && jpegBack && none && emptyBack);
    EXPECT_EQ(bmpBack->m_position, bmp->m_position);
    EXPECT_EQ(bmpBack->GetImage().ToQImage(), bmp->GetImage().ToQImage());  // BMP keeps every pixel
    EXPECT_EQ(bmpBack->GetImage().GetXDPI(), 150);

    ASSERT_NE(jpegBack->GetBitmap(), nullptr);
    EXPECT_EQ(jpegBack->GetBitmap()->GetType(), RASTER_FORMAT_JPG);
    EXPECT_FALSE(jpegBack->IsSizePending());  // the stored rectangle is kept
    EXPECT_EQ(jpegBack->m_position, CRect(100, 100, 740, 420));
    EXPECT_TRUE(none->GetBitmap() == nullptr || !none->GetBitmap()->IsValid());
    EXPECT_FALSE(emptyBack->GetImage().IsValid());

    // A stored length beyond the data is refused before anything is allocated.
    CArchive out(CArchive::store);
    out.WriteObject(bmp);
    QByteArray bytes = out.GetBuffer();
    const qsizetype lengthAt = bytes.indexOf(QByteArray("BM")) - 8;
    ASSERT_GT(lengthAt, 0);
    bytes[lengthAt + 7] = char(0x40);
    CArchive in(bytes, CArchive::load);
    EXPECT_THROW(in.ReadObject(RUNTIME_CLASS(CDrawImage)), CArchiveException);

    // A tool's picture whose class schema is not 1 loads without a picture.
    CArchive tool(CArchive::store);
    tool.WriteObject(jpeg);
    QByteArray other = tool.GetBuffer();
    other[2] = 2;
    other.truncate(other.indexOf(QByteArray::fromHex("ffd8")) - 8);
    CArchive otherIn(other, CArchive::load);
    std::unique_ptr<CDrawImg> noPicture(static_cast<CDrawImg*>(otherIn.ReadObject(RUNTIME_CLASS(CDrawImg))));
    EXPECT_EQ(noPicture->GetBitmap(), nullptr);
    EXPECT_TRUE(otherIn.IsBufferEmpty());
}

TEST(Pictures, ToolPicturesKeepTheirStoredBytesAndSeeThroughPartsTurnWhite)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A PNG with a see-through background around an opaque red square.
    QImage clear(64, 48, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    for (int y = 16; y < 32; ++y)
        for (int x = 24; x < 40; ++x)
            clear.setPixel(x, y, qRgb(255, 0, 0));
    const QString png = dir.filePath("clear.png");
    ASSERT_TRUE(clear.save(png));
    const QString jpg = dir.filePath("photo.jpg");
    ASSERT_TRUE(Pattern(64, 48, 96).Save(jpg, RASTER_FORMAT_JPG));
    QFile photoFile(jpg);
    ASSERT_TRUE(photoFile.open(QIODevice::ReadOnly));
    const QByteArray photoBytes = photoFile.readAll();

    CDrawDoc doc;
    auto* transparent = new CDrawImg(CRect(0, 0, 1024, 768), nullptr);
    auto* photo = new CDrawImg(CRect(2000, 0, 3024, 768), nullptr);
    ASSERT_TRUE(transparent->LoadFromFile(png));
    ASSERT_TRUE(photo->LoadFromFile(jpg));
    doc.Add(transparent);
    doc.Add(photo);
    // Shown as stored from the start: white where the file was see-through.
    const QImage shown = transparent->GetBitmap()->ToQImage();
    EXPECT_GE(qGray(shown.pixel(2, 2)), 250);
    EXPECT_GT(qRed(shown.pixel(32, 24)), 240);
    EXPECT_LT(qGreen(shown.pixel(32, 24)), 20);

    // A JPEG file is stored as it is; twenty saves and opens change no byte.
    const QByteArray first = doc.StoreContents();
    EXPECT_GE(first.indexOf(photoBytes), 0);
    QByteArray stored = first;
    for (int cycle = 0; cycle < 20; ++cycle) {
        CDrawDoc again;
        again.LoadContents(stored);
        stored = again.StoreContents();
    }
    EXPECT_EQ(stored, first);
    CDrawDoc reopened;
    reopened.LoadContents(stored);
    auto* back = dynamic_cast<CDrawImg*>(reopened.GetObjects().at(0));
    ASSERT_TRUE(back && back->GetBitmap());
    EXPECT_EQ(back->GetBitmap()->ToQImage(), shown);
}
