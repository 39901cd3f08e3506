#include "objects/drawimage.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/dc.h"
#include "objects/drawviewbase.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <limits>

IMPLEMENT_SERIAL(CDrawImage, CDrawRect, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CDrawImg, CDrawRect, VERSIONABLE_SCHEMA | 1)

namespace {

constexpr int kUnitsPerInch = 1536;
constexpr UINT kStrCannotInsert = 102;  // "The object could not be inserted."

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

BOOL CDrawImage::LoadFile(const CString& path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    const CString extension = dot >= 0 ? path.mid(dot + 1) : path;
    m_stored.clear();
    if (!m_pImage->Load(path, ExtensionToFormat(extension)) || !m_pImage->IsValid()) {
        m_pImage->Destroy();
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
    m_pImage->Draw(dc, m_position);
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
    if (bytes.isEmpty())
        m_pImage->Destroy();
    else
        m_pImage->Decode(bytes, RASTER_FORMAT_BMP);
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
    if (!LoadFromFile(path)) {
        ShowObjectMessage(kStrCannotInsert);
        return FALSE;
    }
    Invalidate(view);
    SetModified();
    return TRUE;
}

BOOL CDrawImg::LoadFromFile(const CString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > RASTER_MAX_MEMORY)
        return FALSE;
    const QByteArray bytes = file.readAll();
    auto bitmap = std::make_unique<CRasterImage>();
    if (!bitmap->Decode(bytes) || !bitmap->IsValid())
        return FALSE;
    QByteArray stored = bytes;
    if (bitmap->GetType() != RASTER_FORMAT_JPG) {
        stored = bitmap->Encode(RASTER_FORMAT_JPG);
        auto shown = std::make_unique<CRasterImage>();
        if (stored.isEmpty() || !shown->Decode(stored, RASTER_FORMAT_JPG) || !shown->IsValid())
            return FALSE;
        bitmap = std::move(shown);
    }
    m_pBitmap = std::move(bitmap);
    m_stored = stored;
    m_pView = m_pDocument ? m_pDocument->GetDrawView() : nullptr;
    m_bSizePending = TRUE;
    return TRUE;
}

void CDrawImg::Draw(CDC* dc, int)
{
    if (!dc || !m_pBitmap)
        return;
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
    m_pBitmap->Draw(dc, m_position);
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
    if (!bytes.isEmpty())
        m_pBitmap->Decode(bytes, RASTER_FORMAT_JPG);
}
