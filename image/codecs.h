#pragma once
// Readers and writers of the picture formats, used by CRasterImage. A reader is given an empty
// image; it fills it and returns true, or sets the image's error text and returns false. A writer
// returns the whole file, or an empty array with the error text set.

#include "framework/resourcemodule.h"
#include "image/rasterimage.h"

#include <algorithm>
#include <cstring>

namespace raster {

bool ReadBmp(CRasterImage& image, const BYTE* data, size_t size);
// A bitmap without the file header: the info header, the palette and the pixels.
bool ReadDib(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteBmp(CRasterImage& image);
QByteArray WriteDib(CRasterImage& image);

bool ReadGif(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteGif(CRasterImage& image);
bool ReadJpeg(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteJpeg(CRasterImage& image);
bool ReadPng(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WritePng(CRasterImage& image);
bool ReadTiff(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteTiff(CRasterImage& image);
bool ReadTga(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteTga(CRasterImage& image);
bool ReadWbmp(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteWbmp(CRasterImage& image);
bool ReadWmf(CRasterImage& image, const BYTE* data, size_t size);
QByteArray WriteWmf(CRasterImage& image);

// Sets the image's error text and returns false, for readers that fail.
inline bool Fail(CRasterImage& image, const CString& text, RasterFailure failure = RasterFailure::Damaged)
{
    image.SetError(text, failure);
    return false;
}

// Reasons that readers of several formats give; `format` is the format's name ("BMP").
inline CString NotAFile(const char* format)
{
    return LoadMessage(561, "Not a %1 file").arg(QLatin1StringView(format));
}
inline CString FileCutShort(const char* format)
{
    return LoadMessage(562, "The %1 file is cut short").arg(QLatin1StringView(format));
}
inline CString InvalidSize(const char* format)
{
    return LoadMessage(563, "Invalid %1 size").arg(QLatin1StringView(format));
}
inline CString PixelsCutShort(const char* format)
{
    return LoadMessage(564, "The %1 pixels are cut short").arg(QLatin1StringView(format));
}
inline CString RunLengthCutShort(const char* format)
{
    return LoadMessage(565, "The %1 run-length data is cut short").arg(QLatin1StringView(format));
}
inline CString DamagedFile(const char* format)
{
    return LoadMessage(566, "Damaged %1 file").arg(QLatin1StringView(format));
}
// A reason followed by the detail a decoding library gives, when it gives any.
inline CString WithDetail(const CString& reason, const QString& detail)
{
    return detail.isEmpty() ? reason : LoadMessage(560, "%1: %2").arg(reason, detail);
}
inline CString WithDetail(const CString& reason, const char* detail)
{
    return WithDetail(reason, QString::fromLatin1(detail ? detail : ""));
}

// No compressed picture is smaller than its pixels by more than this factor (deflate stays
// below 1100, LZW and JPEG below 3000). A header that claims more pixels than its data can hold
// is refused before anything is allocated.
constexpr long long kMaxExpansion = 4096;

// False, with the error text set, when a picture of the size at `bpp` bits per pixel is more than
// the image may hold, or when its pixels at the depth the data stores them (`storedBpp`, when a
// reader widens them; else `bpp`) are more than the data could encode.
bool PlausibleSize(CRasterImage& image, long long width, long long height, int bpp,
                   size_t dataSize, long long expansion = kMaxExpansion, int storedBpp = 0);

// Bytes of one stored row of the given width and depth.
inline long long RowBytes(long long width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

// The palette index of pixel x in a row of 1, 4 or 8 bits per pixel, leftmost pixel in the high
// bits.
inline int PixelIndex(const BYTE* row, int x, int bpp)
{
    const int bit = x * bpp;
    return (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1);
}

// Pixels per metre from dots per inch and back, rounded to the nearest.
inline LONG DpiToPpm(int dpi)
{
    const long long ppm = (static_cast<long long>(dpi) * 10000 * 2 + 254) / (2 * 254);
    return LONG(std::min<long long>(ppm, 0x7FFFFFFF));
}
inline int PpmToDpi(long long ppm) { return ppm > 0 && ppm < 100000000 ? int((ppm * 254 + 5000) / 10000) : 0; }

// A bounds-checked little- or big-endian reader over a byte range. Reading past the end gives
// zeros and clears ok().
class ByteReader {
public:
    ByteReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}
    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_size - m_pos; }
    const BYTE* here() const { return m_data + m_pos; }
    bool seek(size_t pos)
    {
        if (pos > m_size)
            return m_ok = false;
        m_pos = pos;
        return true;
    }
    bool skip(size_t n) { return n <= remaining() ? (m_pos += n, true) : (m_ok = false); }
    BYTE u8() { return remaining() >= 1 ? m_data[m_pos++] : (m_ok = false, BYTE(0)); }
    WORD u16()
    {
        if (remaining() < 2)
            return m_ok = false, 0;
        const WORD v = WORD(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    DWORD u32()
    {
        if (remaining() < 4)
            return m_ok = false, 0;
        DWORD v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | m_data[m_pos + i];
        m_pos += 4;
        return v;
    }
    short s16() { return short(u16()); }
    LONG s32() { return LONG(u32()); }
    bool read(void* out, size_t n)
    {
        if (n > remaining()) {
            m_ok = false;
            return false;
        }
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// Little-endian output.
inline void Put16(QByteArray& out, unsigned v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}
inline void Put32(QByteArray& out, DWORD v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace raster
