#include "image/rasterimage.h"

#include "framework/dc.h"
#include "framework/savefile.h"
#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <new>

using namespace raster;

namespace {
// A picture keeps its last drawn image for the next drawing when that image takes at most this
// much, or a quarter of the picture's own memory: what a label's pictures hold together grows by
// a quarter at most.
constexpr qsizetype kKeptDrawing = 4 << 20;
}  // namespace

CRasterImage::CRasterImage(int format) : m_type(format) {}

CRasterImage::~CRasterImage() = default;

BYTE* CRasterImage::Create(DWORD width, DWORD height, DWORD bpp, int format)
{
    Destroy();
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
        SetError(LoadMessage(530, "CRasterImage::Create: invalid width or height"));
        return nullptr;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) {
        SetError(LoadMessage(531, "CRasterImage::Create: invalid bits per pixel"));
        return nullptr;
    }
    const long long stride = RowBytes(width, int(bpp));
    const long long paletteBytes = bpp <= 8 ? (4LL << bpp) : 0;
    if (stride > RASTER_MAX_MEMORY) {
        MayHold(RASTER_MAX_MEMORY + 1);
        return nullptr;
    }
    if (!MayHold(stride * height + paletteBytes))
        return nullptr;
    try {
        m_bits.assign(size_t(stride * height), 0);
        m_palette.assign(bpp <= 8 ? size_t(1) << bpp : 0, RGBQUAD());
    } catch (const std::bad_alloc&) {
        m_bits.clear();
        m_palette.clear();
        SetError(LoadMessage(532, "CRasterImage::Create can't allocate memory"), RasterFailure::TooLarge);
        return nullptr;
    }
    const int colours = int(m_palette.size());
    for (int i = 0; i < colours; ++i) {
        const BYTE v = BYTE(i * 255 / (colours - 1));
        m_palette[size_t(i)] = RGBQUAD{v, v, v, 0};
    }
    m_head = BITMAPINFOHEADER();
    m_head.biWidth = LONG(width);
    m_head.biHeight = LONG(height);
    m_head.biBitCount = WORD(bpp);
    m_head.biSizeImage = DWORD(stride * height);
    m_head.biClrUsed = DWORD(colours);
    m_stride = int(stride);
    m_type = format;
    SetXDPI(RASTER_DEFAULT_DPI);
    SetYDPI(RASTER_DEFAULT_DPI);
    return m_bits.data();
}

bool CRasterImage::MayHold(long long bytes)
{
    if (bytes > RASTER_MAX_MEMORY) {
        m_refusedMemory = bytes;
        SetError(QStringLiteral("RASTER_MAX_MEMORY exceeded"), RasterFailure::TooLarge);
        return false;
    }
    if (bytes > m_memoryLimit) {
        m_refusedMemory = bytes;
        SetError(LoadMessage(550, "The picture needs more memory than is left for it"), RasterFailure::OverLimit);
        return false;
    }
    return true;
}

void CRasterImage::SetMemoryLimit(long long bytes)
{
    m_memoryLimit = std::clamp<long long>(bytes, 0, RASTER_MAX_MEMORY);
}

long long CRasterImage::GetMemorySize() const
{
    return (long long)(m_bits.size()) + (long long)(m_palette.size() * sizeof(RGBQUAD));
}

void CRasterImage::Destroy()
{
    Changed();
    m_bits.clear();
    m_bits.shrink_to_fit();
    m_palette.clear();
    m_head = BITMAPINFOHEADER();
    m_stride = 0;
    m_xdpi = m_ydpi = 0;
    m_transparentIndex = -1;
}

BYTE* CRasterImage::GetBits(DWORD row)
{
    if (m_bits.empty() || row >= DWORD(m_head.biHeight))
        return nullptr;
    Changed();
    return m_bits.data() + size_t(row) * size_t(m_stride);
}

const BYTE* CRasterImage::GetBits(DWORD row) const
{
    if (m_bits.empty() || row >= DWORD(m_head.biHeight))
        return nullptr;
    return m_bits.data() + size_t(row) * size_t(m_stride);
}

RGBQUAD CRasterImage::GetPaletteColor(int index) const
{
    if (index < 0 || index >= GetNumColors())
        return RGBQUAD();
    return m_palette[size_t(index)];
}

bool CRasterImage::SetPaletteColor(int index, BYTE r, BYTE g, BYTE b)
{
    if (index < 0 || index >= GetNumColors())
        return false;
    Changed();
    m_palette[size_t(index)] = RGBQUAD{b, g, r, 0};
    return true;
}

RGBQUAD CRasterImage::GetPixelColor(int x, int y) const
{
    if (!IsValid() || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight())
        return RGBQUAD();
    const BYTE* row = ScanLine(y);
    RGBQUAD c;
    switch (GetBpp()) {
    case 1:
    case 4:
    case 8: {
        const int index = PixelIndex(row, x, GetBpp());
        c = GetPaletteColor(index);
        c.rgbReserved = index == m_transparentIndex ? 0 : 255;
        break;
    }
    case 24:
        c = RGBQUAD{row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255};
        break;
    case 32:
        c = RGBQUAD{row[x * 4], row[x * 4 + 1], row[x * 4 + 2], row[x * 4 + 3]};
        break;
    }
    return c;
}

void CRasterImage::SetXDPI(int dpi)
{
    if (dpi < 1)
        dpi = RASTER_DEFAULT_DPI;
    m_xdpi = dpi;
    m_head.biXPelsPerMeter = DpiToPpm(dpi);
}

void CRasterImage::SetYDPI(int dpi)
{
    if (dpi < 1)
        dpi = RASTER_DEFAULT_DPI;
    m_ydpi = dpi;
    m_head.biYPelsPerMeter = DpiToPpm(dpi);
}

void CRasterImage::SetJpegQuality(int quality)
{
    m_jpegQuality = std::clamp(quality, 1, 100);
}

bool CRasterImage::Load(const CString& path, int format)
{
    Destroy();
    m_refusedMemory = 0;
    m_workDone = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(LoadMessage(551, "Can't open the file: %1").arg(file.errorString()));
        return false;
    }
    if (file.size() > RASTER_MAX_MEMORY) {
        SetError(QStringLiteral("RASTER_MAX_MEMORY exceeded"), RasterFailure::TooLarge);
        return false;
    }
    const QByteArray data = file.readAll();
    return Decode(data, format);
}

bool CRasterImage::Decode(const QByteArray& data, int format)
{
    return Decode(reinterpret_cast<const BYTE*>(data.constData()), size_t(data.size()), format);
}

bool CRasterImage::Decode(const BYTE* data, size_t size, int format)
{
    Destroy();
    m_refusedMemory = 0;
    m_workDone = 0;
    if (!data || size == 0) {
        SetError(LoadMessage(552, "The picture is empty"));
        return false;
    }
    // The failure told is that of the format the data's signature names, else of the first
    // format tried.
    const int signature = FormatFromSignature(data, size);
    struct Attempt {
        CString error;
        RasterFailure failure = RasterFailure::None;
        long long refused = 0;
    } told;
    std::vector<int> tried;
    auto attempt = [&](int f) {
        if (f == RASTER_FORMAT_UNKNOWN || std::find(tried.begin(), tried.end(), f) != tried.end())
            return false;
        tried.push_back(f);
        if (DecodeAs(f, data, size))
            return true;
        if (told.error.isEmpty() || f == signature)
            told = {m_error, m_failure, m_refusedMemory};
        return false;
    };
    // The format asked for, then the one the signature names, then the rest; TGA and WBMP have
    // no signature, so they come last.
    if (attempt(format) || attempt(signature))
        return true;
    for (int f : {RASTER_FORMAT_BMP, RASTER_FORMAT_GIF, RASTER_FORMAT_JPG, RASTER_FORMAT_PNG,
                  RASTER_FORMAT_TIF, RASTER_FORMAT_WMF, RASTER_FORMAT_TGA, RASTER_FORMAT_WBMP})
        if (attempt(f))
            return true;
    if (told.error.isEmpty())
        SetError(LoadMessage(534, "Unknown picture format"));
    else
        SetError(told.error, told.failure);
    m_refusedMemory = told.refused;
    return false;
}

bool CRasterImage::DecodeAs(int format, const BYTE* data, size_t size)
{
    CRasterImage decoded(format);
    decoded.m_jpegQuality = m_jpegQuality;
    decoded.m_memoryLimit = m_memoryLimit;
    // The formats tried before share the work.
    decoded.m_workLimit = std::max(0.0, m_workLimit - m_workDone);
    bool ok = false;
    switch (format) {
    case RASTER_FORMAT_BMP: ok = ReadBmp(decoded, data, size); break;
    case RASTER_FORMAT_GIF: ok = ReadGif(decoded, data, size); break;
    case RASTER_FORMAT_JPG: ok = ReadJpeg(decoded, data, size); break;
    case RASTER_FORMAT_PNG: ok = ReadPng(decoded, data, size); break;
    case RASTER_FORMAT_TIF: ok = ReadTiff(decoded, data, size); break;
    case RASTER_FORMAT_TGA: ok = ReadTga(decoded, data, size); break;
    case RASTER_FORMAT_WBMP: ok = ReadWbmp(decoded, data, size); break;
    case RASTER_FORMAT_WMF: ok = ReadWmf(decoded, data, size); break;
    default: decoded.SetError(LoadMessage(534, "Unknown picture format")); break;
    }
    const double workDone = m_workDone + decoded.m_workDone;
    if (ok && decoded.IsValid()) {
        decoded.m_workLimit = m_workLimit;
        decoded.m_workDone = workDone;
        decoded.m_type = format;
        decoded.m_error.clear();
        decoded.m_failure = RasterFailure::None;
        decoded.m_refusedMemory = 0;
        *this = std::move(decoded);
        return true;
    }
    Destroy();
    if (decoded.m_error.isEmpty())
        SetError(LoadMessage(553, "Damaged picture"));
    else
        SetError(decoded.m_error, decoded.m_failure == RasterFailure::None ? RasterFailure::Damaged : decoded.m_failure);
    m_refusedMemory = decoded.m_refusedMemory;
    m_workDone = workDone;
    return false;
}

QByteArray CRasterImage::Encode(int format)
{
    if (!IsValid()) {
        m_error = LoadMessage(533, "The image is empty");
        return {};
    }
    m_error.clear();
    switch (format) {
    case RASTER_FORMAT_BMP: return WriteBmp(*this);
    case RASTER_FORMAT_GIF: return WriteGif(*this);
    case RASTER_FORMAT_JPG: return WriteJpeg(*this);
    case RASTER_FORMAT_PNG: return WritePng(*this);
    case RASTER_FORMAT_TIF: return WriteTiff(*this);
    case RASTER_FORMAT_TGA: return WriteTga(*this);
    case RASTER_FORMAT_WBMP: return WriteWbmp(*this);
    case RASTER_FORMAT_WMF: return WriteWmf(*this);
    default: m_error = LoadMessage(534, "Unknown picture format"); return {};
    }
}

bool CRasterImage::Save(const CString& path, int format)
{
    const QByteArray data = Encode(format);
    if (data.isEmpty())
        return false;
    QString reason;
    if (!WriteFileAtomically(path, data, reason)) {
        m_error = reason;
        return false;
    }
    return true;
}

bool CRasterImage::Draw(CDC* dc, const CRect& rect) const
{
    if (!dc || !IsValid())
        return false;
    return dc->DrawImage(rect, QSize(GetWidth(), GetHeight()), [this](const QRect& part, const QSize& size) {
        if (m_drawn.part != part || m_drawn.size != size || m_drawn.image.isNull()) {
            QImage image = Render(part, size);
            // A large picture drawn large is made again for each drawing rather than kept twice.
            if (image.sizeInBytes() > std::max<long long>(kKeptDrawing, GetMemorySize() / 4))
                return image;
            m_drawn = {part, size, std::move(image)};
        }
        return m_drawn.image;
    });
}

QImage CRasterImage::Render(const QRect& part, const QSize& size) const
{
    if (!IsValid() || part.isEmpty() || size.isEmpty() || !QRect(0, 0, GetWidth(), GetHeight()).contains(part))
        return {};
    const int bpp = GetBpp();
    const QImage::Format format = bpp <= 8 ? QImage::Format_Indexed8 : bpp == 24 ? QImage::Format_BGR888 : QImage::Format_ARGB32;
    QImage out(size, format);
    if (out.isNull())
        return {};
    if (bpp <= 8) {
        QList<QRgb> table;
        for (int i = 0; i < GetNumColors(); ++i) {
            const RGBQUAD c = m_palette[size_t(i)];
            table.append(qRgba(c.rgbRed, c.rgbGreen, c.rgbBlue, i == m_transparentIndex ? 0 : 255));
        }
        out.setColorTable(table);
    }
    // Output pixel i shows the part's pixel under its centre.
    auto nearest = [](int i, int outLength, int start, int length) {
        return start + int((2LL * i + 1) * length / (2LL * outLength));
    };
    std::vector<int> columns(size_t(size.width()));
    for (int i = 0; i < size.width(); ++i)
        columns[size_t(i)] = nearest(i, size.width(), part.x(), part.width());
    const bool wholeRows = size.width() == part.width();
    const int pixelBytes = bpp / 8;
    int previous = -1;
    for (int j = 0; j < size.height(); ++j) {
        const int y = nearest(j, size.height(), part.y(), part.height());
        uchar* dst = out.scanLine(j);
        if (y == previous) {
            std::memcpy(dst, out.constScanLine(j - 1), size_t(out.bytesPerLine()));
            continue;
        }
        previous = y;
        const BYTE* src = ScanLine(y);
        if (bpp < 8) {
            for (int i = 0; i < size.width(); ++i)
                dst[i] = uchar(PixelIndex(src, columns[size_t(i)], bpp));
        } else if (wholeRows) {
            std::memcpy(dst, src + size_t(part.x()) * size_t(pixelBytes), size_t(size.width()) * size_t(pixelBytes));
        } else {
            for (int i = 0; i < size.width(); ++i)
                std::memcpy(dst + size_t(i) * size_t(pixelBytes), src + size_t(columns[size_t(i)]) * size_t(pixelBytes),
                            size_t(pixelBytes));
        }
    }
    if (bpp == 32) {
        bool seeThrough = false;
        for (int j = 0; j < size.height() && !seeThrough; ++j) {
            const auto* row = reinterpret_cast<const QRgb*>(out.constScanLine(j));
            for (int i = 0; i < size.width() && !seeThrough; ++i)
                seeThrough = qAlpha(row[i]) != 255;
        }
        if (!seeThrough)
            out.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return out;
}

QImage CRasterImage::ToQImage() const
{
    QImage out = Render(QRect(0, 0, GetWidth(), GetHeight()), QSize(GetWidth(), GetHeight()));
    if (out.isNull())
        return {};
    const bool alpha = m_transparentIndex >= 0 || out.format() == QImage::Format_ARGB32;
    out = out.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    out.setDotsPerMeterX(m_head.biXPelsPerMeter);
    out.setDotsPerMeterY(m_head.biYPelsPerMeter);
    return out;
}

bool CRasterImage::FromQImage(const QImage& source)
{
    Destroy();
    if (source.isNull()) {
        m_error = LoadMessage(533, "The image is empty");
        return false;
    }
    const int w = source.width();
    const int h = source.height();
    if (source.format() == QImage::Format_Mono || source.format() == QImage::Format_Indexed8) {
        const QImage img = source.convertToFormat(QImage::Format_Indexed8);
        const int bpp = source.format() == QImage::Format_Mono && source.colorCount() <= 2 ? 1 : 8;
        if (!Create(DWORD(w), DWORD(h), DWORD(bpp)))
            return false;
        const QList<QRgb> table = img.colorTable();
        for (int i = 0; i < GetNumColors(); ++i) {
            const QRgb c = i < table.size() ? table[i] : qRgb(0, 0, 0);
            SetPaletteColor(i, BYTE(qRed(c)), BYTE(qGreen(c)), BYTE(qBlue(c)));
        }
        for (int y = 0; y < h; ++y) {
            const uchar* src = img.constScanLine(y);
            BYTE* dst = ScanLine(y);
            for (int x = 0; x < w; ++x) {
                if (bpp == 8)
                    dst[x] = src[x];
                else if (src[x] & 1)
                    dst[x / 8] |= BYTE(0x80 >> (x % 8));
            }
        }
    } else {
        const bool alpha = source.hasAlphaChannel();
        const QImage img = source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!Create(DWORD(w), DWORD(h), alpha ? 32 : 24))
            return false;
        for (int y = 0; y < h; ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            BYTE* dst = ScanLine(y);
            for (int x = 0; x < w; ++x) {
                BYTE* p = dst + x * (alpha ? 4 : 3);
                p[0] = BYTE(qBlue(src[x]));
                p[1] = BYTE(qGreen(src[x]));
                p[2] = BYTE(qRed(src[x]));
                if (alpha)
                    p[3] = BYTE(qAlpha(src[x]));
            }
        }
    }
    if (source.dotsPerMeterX() > 0)
        SetXDPI(PpmToDpi(source.dotsPerMeterX()));
    if (source.dotsPerMeterY() > 0)
        SetYDPI(PpmToDpi(source.dotsPerMeterY()));
    return true;
}

int CRasterImage::FormatFromSignature(const BYTE* d, size_t n)
{
    auto starts = [&](const char* sig, size_t len) {
        return n >= len && std::memcmp(d, sig, len) == 0;
    };
    if (starts("BM", 2))
        return RASTER_FORMAT_BMP;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return RASTER_FORMAT_GIF;
    if (starts("\xFF\xD8\xFF", 3))
        return RASTER_FORMAT_JPG;
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return RASTER_FORMAT_PNG;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return RASTER_FORMAT_TIF;
    if (starts("\xD7\xCD\xC6\x9A", 4) || starts("\x01\0\x09\0", 4) || starts("\x02\0\x09\0", 4))
        return RASTER_FORMAT_WMF;
    return RASTER_FORMAT_UNKNOWN;
}

namespace raster {

bool PlausibleSize(CRasterImage& image, long long width, long long height, int bpp,
                   size_t dataSize, long long expansion, int storedBpp)
{
    if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
        image.SetError(LoadMessage(554, "Invalid picture size"));
        return false;
    }
    const long long stride = RowBytes(width, bpp);
    if (stride > RASTER_MAX_MEMORY)
        return image.MayHold(RASTER_MAX_MEMORY + 1);
    if (!image.MayHold(stride * height + (bpp <= 8 ? 4LL << bpp : 0)))
        return false;
    // What the data holds, before a reader widens it.
    const long long stored = (width * (storedBpp > 0 ? storedBpp : bpp) + 7) / 8 * height;
    if (stored > (long long)(dataSize) * expansion) {
        image.SetError(LoadMessage(555, "The picture's size does not match its data"));
        return false;
    }
    return true;
}

}  // namespace raster
