#include "objects/drawimage.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/dc.h"
#include "framework/resourcemodule.h"
#include "objects/drawviewbase.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <limits>

IMPLEMENT_SERIAL(CDrawImage, CDrawRect, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CDrawImg, CDrawRect, VERSIONABLE_SCHEMA | 1)

namespace {

constexpr int kUnitsPerInch = 1536;
constexpr UINT kStrCannotInsert = 102;  // "The object could not be inserted."
constexpr UINT kStrPictureOverLabelBound = 680;
constexpr UINT kStrPictureTooLarge = 681;
constexpr UINT kStrPictureTooMuchWork = 682;
constexpr UINT kStrPictureDamaged = 683;
constexpr UINT kStrPictureNotDrawn = 684;
constexpr UINT kStrPictureAt = 685;
constexpr UINT kStrPictureOverLabelWork = 586;

static_assert(CDrawDoc::kMaxPictureWork == 4 * RASTER_MAX_DRAW_WORK, "a label's pictures share four pictures' work");

CString Text(UINT id, const char* fallback)
{
    const CString text = CResourceModule::Get().LoadString(id);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

QString MiB(long long bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', bytes % (1 << 20) ? 1 : 0);
}

// A picture file in the record: its length as 64 bits, then its bytes. The length is checked
// against what the archive still holds before anything is allocated.
void WritePictureBytes(CArchive& ar, const QByteArray& bytes)
{
    ar << std::uint64_t(bytes.size());
    ar.Write(bytes.constData(), UINT(bytes.size()));
}

QByteArray ReadPictureBytes(CArchive& ar)
{
    std::uint64_t length = 0;
    ar >> length;
    if (length > std::uint64_t(ar.GetBytesRemaining()))
        throw CArchiveException(CArchiveException::endOfFile, "picture longer than the data");
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    ar.Read(bytes.data(), UINT(length));
    return bytes;
}

// A stored picture is named by where it sits on the label, a picture file by its name.
CString PositionName(const CRect& position)
{
    CRect r = position;
    r.NormalizeRect();
    auto mm = [](LONG units) { return QString::number(double(units) * 25.4 / kUnitsPerInch, 'f', 1); };
    return Text(kStrPictureAt, "The picture at %1 mm, %2 mm").arg(mm(r.left), mm(r.top));
}

CString FileName(const CString& path)
{
    return u'"' + QFileInfo(path).fileName() + u'"';
}

// Why a picture was refused.
CString RefusalText(const CRasterImage& image, const CString& picture, long long memoryLeft)
{
    switch (image.GetFailure()) {
    case RasterFailure::OverLimit:
        return Text(kStrPictureOverLabelBound,
                    "%1 is not shown: it needs %2 MiB, and the pictures of one label may take %3 MiB together, of "
                    "which %4 MiB are left.")
            .arg(picture, MiB(image.GetRefusedMemory()), MiB(CDrawDoc::kMaxPictureMemory), MiB(memoryLeft));
    case RasterFailure::TooLarge:
        return Text(kStrPictureTooLarge, "%1 is not shown: one picture may take at most %2 MiB.")
            .arg(picture, MiB(RASTER_MAX_MEMORY));
    case RasterFailure::TooMuchWork:
        return Text(kStrPictureTooMuchWork, "%1 is not shown: drawing it takes more work than a picture may cost.")
            .arg(picture);
    case RasterFailure::OverWorkLimit:
        return Text(kStrPictureOverLabelWork,
                    "%1 is not shown: the pictures of one label may cost only so much drawing work together, and the "
                    "label's other pictures have used it up.")
            .arg(picture);
    default:
        return Text(kStrPictureDamaged, "%1 is not shown: %2").arg(picture, image.GetLastError());
    }
}

// Decodes a picture within the memory the document's pictures have left (and what a picture
// being replaced gives back) and the drawing work they have left, and takes its share; the
// refusal's text when it cannot be had. The work is spent even when the picture is refused.
CString DecodePicture(CRasterImage& image, const QByteArray& bytes, int format, CDrawDoc* doc, const CString& picture,
                      long long replaced = 0)
{
    const long long left = doc ? std::min(doc->GetPictureMemoryLeft() + replaced, CDrawDoc::kMaxPictureMemory)
                               : RASTER_MAX_MEMORY;
    image.SetMemoryLimit(left);
    image.SetWorkLimit(doc ? doc->GetPictureWorkLeft() : RASTER_MAX_DRAW_WORK);
    const bool ok = image.Decode(bytes, format) && image.IsValid();
    image.SetMemoryLimit(RASTER_MAX_MEMORY);
    image.SetWorkLimit(RASTER_MAX_DRAW_WORK);
    if (doc)
        doc->UsePictureWork(image.GetWorkDone());
    if (!ok)
        return RefusalText(image, picture, left);
    if (doc)
        doc->UsePictureMemory(image.GetMemorySize());
    return {};
}

// A picture file's bytes; false when it cannot be read, with the reason when the file is more
// than a picture may hold.
bool ReadFile(const CString& path, QByteArray& bytes, CString& why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > RASTER_MAX_MEMORY) {
        CRasterImage refusal;
        refusal.SetError(QStringLiteral("RASTER_MAX_MEMORY exceeded"), RasterFailure::TooLarge);
        why = RefusalText(refusal, FileName(path), 0);
        return false;
    }
    bytes = file.readAll();
    return !bytes.isEmpty();
}

// Why a picture file is not taken, told when it meets a bound; a file that is no picture is
// refused without more words.
CString BoundText(const CRasterImage& image, const CString& refusal)
{
    return image.GetFailure() == RasterFailure::Damaged ? CString() : refusal;
}

// A picture that cannot be drawn is told to the device context, so that a print job that leaves
// it out does not pass for complete.
void DrawPicture(CDC* dc, const CRasterImage* image, const CRect& position, const CString& problem)
{
    if (!problem.isEmpty())
        dc->ReportOmission(problem);
    else if (image && image->IsValid() && !image->Draw(dc, position))
        dc->ReportOmission(Text(kStrPictureNotDrawn, "A picture could not be drawn: there was not enough memory."));
}

}  // namespace

int ExtensionToFormat(const CString& extension)
{
    const CString e = extension.toLower();
    if (e == u"jpg" || e == u"jpeg")
        return RASTER_FORMAT_JPG;
    if (e == u"gif")
        return RASTER_FORMAT_GIF;
    if (e == u"png")
        return RASTER_FORMAT_PNG;
    if (e == u"tif")
        return RASTER_FORMAT_TIF;
    if (e == u"tga")
        return RASTER_FORMAT_TGA;
    if (e == u"wbmp")
        return RASTER_FORMAT_WBMP;
    if (e == u"wmf")
        return RASTER_FORMAT_WMF;
    return RASTER_FORMAT_BMP;
}

// ---------------------------------------------------------------------------------------------
// CDrawImage

CDrawImage::CDrawImage() : m_pImage(std::make_unique<CRasterImage>(RASTER_FORMAT_UNKNOWN)) {}

CDrawImage::CDrawImage(const CRect& position)
    : CDrawRect(position), m_pImage(std::make_unique<CRasterImage>(RASTER_FORMAT_UNKNOWN))
{
}

CDrawImage::~CDrawImage() = default;

BOOL CDrawImage::LoadFile(const CString& path, CString* why)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    const CString extension = dot >= 0 ? path.mid(dot + 1) : path;
    m_stored.clear();
    m_problem.clear();
    QByteArray bytes;
    CString refused;
    bool loaded = ReadFile(path, bytes, refused);
    if (loaded) {
        refused = BoundText(*m_pImage, DecodePicture(*m_pImage, bytes, ExtensionToFormat(extension), m_pDocument, FileName(path)));
        loaded = m_pImage->IsValid();
    }
    if (!loaded) {
        m_pImage->Destroy();
        if (why)
            *why = refused;
        return FALSE;
    }
    // Multiplied before the division, so that a picture smaller than an inch keeps its size
    // and every picture its aspect.
    auto units = [](int pixels, int dpi) {
        const std::int64_t d = dpi > 0 ? dpi : RASTER_DEFAULT_DPI;
        return std::int64_t(std::max(pixels, 0)) * kUnitsPerInch / d;
    };
    m_position.right = SaturateInt(m_position.left + units(m_pImage->GetWidth(), m_pImage->GetXDPI()));
    m_position.bottom = SaturateInt(m_position.top + units(m_pImage->GetHeight(), m_pImage->GetYDPI()));
    return TRUE;
}

BOOL CDrawImage::OnEditProperties(CDrawViewBase* view)
{
    CRect position = m_position;
    const auto& run = GetObjectDialogs().runImageSize;
    const BOOL ok = run && run(&position, view);
    if (ok && position != m_position) {
        Invalidate(view);
        m_position = position;
        SetModified();
    }
    Invalidate(view);
    return TRUE;
}

void CDrawImage::Draw(CDC* dc, int labelIndex)
{
    CDrawRect::Draw(dc, labelIndex);
    DrawPicture(dc, m_pImage.get(), m_position, m_problem);
}

void CDrawImage::Serialize(CArchive& ar)
{
    CDrawRect::Serialize(ar);
    // This level carries the class reference of its base, whatever the schema.
    ar.SerializeClass(RUNTIME_CLASS(CDrawRect));
    if (ar.IsStoring()) {
        // An empty picture is stored as a file of no bytes and loads as an empty picture.
        WritePictureBytes(ar, !m_stored.isEmpty() ? m_stored : m_pImage->Encode(RASTER_FORMAT_BMP));
        return;
    }
    const QByteArray bytes = ReadPictureBytes(ar);
    // Kept even when it cannot be shown, so that the label is written back as it was.
    m_stored = bytes;
    m_problem.clear();
    m_pImage->Destroy();
    if (!bytes.isEmpty())
        m_problem = DecodePicture(*m_pImage, bytes, RASTER_FORMAT_BMP, dynamic_cast<CDrawDoc*>(ar.m_pDocument),
                                  PositionName(m_position));
}

// ---------------------------------------------------------------------------------------------
// CDrawImg

CDrawImg::CDrawImg() = default;

CDrawImg::CDrawImg(const CRect& position, CDrawViewBase* view) : CDrawRect(position), m_pView(view) {}

CDrawImg::~CDrawImg() = default;

BOOL CDrawImg::OnEditProperties(CDrawViewBase* view)
{
    const auto& choose = GetObjectDialogs().choosePicture;
    CString path;
    if (!choose || !choose(&path, view))
        return FALSE;
    CString why;
    if (!LoadFromFile(path, &why)) {
        if (why.isEmpty())
            ShowObjectMessage(kStrCannotInsert);
        else
            ShowObjectError(Text(kStrCannotInsert, "The object could not be inserted.") + QStringLiteral("\n\n") + why);
        return FALSE;
    }
    Invalidate(view);
    SetModified();
    return TRUE;
}

BOOL CDrawImg::LoadFromFile(const CString& path, CString* why)
{
    QByteArray bytes;
    CString refused;
    auto refuse = [&] {
        if (why)
            *why = refused;
        return FALSE;
    };
    if (!ReadFile(path, bytes, refused))
        return refuse();
    const CString picture = FileName(path);
    // The picture replaced gives its memory back.
    const long long replaced = m_pDocument && std::count(m_pDocument->GetObjects().begin(), m_pDocument->GetObjects().end(), this)
                                   ? GetPictureMemory()
                                   : 0;
    auto bitmap = std::make_unique<CRasterImage>();
    refused = BoundText(*bitmap, DecodePicture(*bitmap, bytes, RASTER_FORMAT_UNKNOWN, m_pDocument, picture, replaced));
    if (!bitmap->IsValid())
        return refuse();
    QByteArray stored = bytes;
    if (bitmap->GetType() != RASTER_FORMAT_JPG) {
        stored = bitmap->Encode(RASTER_FORMAT_JPG);
        bitmap.reset();
        if (stored.isEmpty())
            return refuse();
        bitmap = std::make_unique<CRasterImage>();
        refused = BoundText(*bitmap, DecodePicture(*bitmap, stored, RASTER_FORMAT_JPG, m_pDocument, picture, replaced));
        if (!bitmap->IsValid())
            return refuse();
    }
    m_pBitmap = std::move(bitmap);
    m_stored = stored;
    m_problem.clear();
    m_pView = m_pDocument ? m_pDocument->GetDrawView() : nullptr;
    m_bSizePending = TRUE;
    return TRUE;
}

void CDrawImg::Draw(CDC* dc, int)
{
    if (!dc)
        return;
    if (!m_pBitmap) {
        DrawPicture(dc, nullptr, m_position, m_problem);
        return;
    }
    if (m_bSizePending) {
        // 16 units per pixel: the device's resolution cancels out.
        const int dpiX = std::max(dc->GetDeviceCaps(LOGPIXELSX), 1);
        const int dpiY = std::max(dc->GetDeviceCaps(LOGPIXELSY), 1);
        const float w = float(std::int64_t(m_pBitmap->GetWidth()) * kUnitsPerInch);
        const float h = float(std::int64_t(m_pBitmap->GetHeight()) * kUnitsPerInch);
        m_position.right = SaturateInt(std::int64_t(m_position.left) +
                                    std::int64_t(double(w / float(dpiX)) * (dpiX / 96.0)));
        m_position.bottom = SaturateInt(std::int64_t(m_position.top) +
                                     std::int64_t(double(h / float(dpiY)) * (dpiY / 96.0)));
        m_bSizePending = FALSE;
        Invalidate(m_pView);
    }
    DrawPicture(dc, m_pBitmap.get(), m_position, m_problem);
}

void CDrawImg::Serialize(CArchive& ar)
{
    CDrawRect::Serialize(ar);
    ar.SerializeClass(RUNTIME_CLASS(CDrawImg));
    if (ar.IsStoring()) {
        // No picture, or one that cannot be encoded, is stored as a file of no bytes.
        QByteArray bytes = m_stored;
        if (bytes.isEmpty() && m_pBitmap)
            bytes = m_pBitmap->Encode(RASTER_FORMAT_JPG);
        WritePictureBytes(ar, bytes);
        return;
    }
    const UINT schema = ar.GetObjectSchema();
    ar.SetObjectSchema(schema);
    if (schema != 1)
        return;
    const QByteArray bytes = ReadPictureBytes(ar);
    m_pBitmap = std::make_unique<CRasterImage>();
    m_stored = bytes;
    m_problem.clear();
    if (!bytes.isEmpty())
        m_problem = DecodePicture(*m_pBitmap, bytes, RASTER_FORMAT_JPG, dynamic_cast<CDrawDoc*>(ar.m_pDocument),
                                  PositionName(m_position));
}
