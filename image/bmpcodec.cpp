// BMP files and packed device-independent bitmaps: the OS/2 core header and the Windows info
// headers (version 3 to 5), 1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, bit-field masks,
// top-down and bottom-up rows.

#include "image/codecs.h"

#include <algorithm>
#include <bit>

namespace raster {
namespace {

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr DWORD BI_ALPHABITFIELDS = 6;

struct Channel {
    DWORD mask = 0;
    int shift = 0;
    int bits = 0;
    void Set(DWORD m)
    {
        mask = m;
        shift = m ? std::countr_zero(m) : 0;
        bits = m ? std::popcount(m >> shift) : 0;
        if (bits > 16) {  // keep the top 16 bits of a very wide field
            shift += bits - 16;
            bits = 16;
        }
    }
    BYTE Extract(DWORD pixel) const
    {
        if (!mask)
            return 0;
        const DWORD v = (pixel >> shift) & ((1u << bits) - 1);
        return BYTE(v * 255 / ((1u << bits) - 1));
    }
};

void PutIndex(BYTE* row, int x, int bpp, int value)
{
    if (bpp == 8) {
        row[x] = BYTE(value);
    } else {  // 4
        const int shift = (x & 1) ? 0 : 4;
        row[x / 2] = BYTE((row[x / 2] & ~(0x0F << shift)) | ((value & 0x0F) << shift));
    }
}

// Run-length data of 4 or 8 bits per pixel into a bottom-up image. Runs and absolute spans that
// leave the picture are clipped; the data ends at its end-of-bitmap mark or at its last byte.
bool DecodeRle(CRasterImage& image, ByteReader& r, int bpp)
{
    const int w = image.GetWidth();
    const int h = image.GetHeight();
    int x = 0;
    int y = 0;
    while (r.remaining() >= 2 && y < h) {
        const int count = r.u8();
        const int value = r.u8();
        if (count > 0) {
            BYTE* row = image.GetBits(DWORD(y));
            for (int i = 0; i < count; ++i, ++x) {
                if (x < w) {
                    const int v = bpp == 8 ? value : ((i & 1) ? value & 0x0F : value >> 4);
                    PutIndex(row, x, bpp, v);
                }
            }
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return true;
        case 2: {  // move right and up
            const int dx = r.u8();
            const int dy = r.u8();
            if (!r.ok())
                return true;
            x += dx;
            y += dy;
            break;
        }
        default: {  // a span of literal pixels, padded to a whole number of words
            const size_t bytes = bpp == 8 ? size_t(value) : size_t(value + 1) / 2;
            if (r.remaining() < bytes)
                return Fail(image, RunLengthCutShort("BMP"));
            const BYTE* src = r.here();
            BYTE* row = image.GetBits(DWORD(y));
            for (int i = 0; i < value; ++i, ++x) {
                if (x < w) {
                    const int v = bpp == 8 ? src[i] : ((i & 1) ? src[i / 2] & 0x0F : src[i / 2] >> 4);
                    PutIndex(row, x, bpp, v);
                }
            }
            r.skip(std::min(r.remaining(), (bytes + 1) & ~size_t(1)));
            break;
        }
        }
    }
    return true;
}

// `bitsOffset` is the pixels' offset from the start of `data`, or 0 when they follow the
// palette directly.
bool ReadInfoAndBits(CRasterImage& image, const BYTE* data, size_t size, size_t bitsOffset)
{
    ByteReader r(data, size);
    const DWORD headerSize = r.u32();
    long long width = 0;
    long long height = 0;
    int bpp = 0;
    DWORD compression = BI_RGB;
    DWORD clrUsed = 0;
    long long xppm = 0;
    long long yppm = 0;
    int paletteEntrySize = 4;
    DWORD masks[4] = {0, 0, 0, 0};
    if (headerSize == 12) {
        width = r.u16();
        height = r.u16();
        r.u16();
        bpp = r.u16();
        paletteEntrySize = 3;
    } else if (headerSize >= 40 && headerSize <= size) {
        width = r.s32();
        height = r.s32();
        r.u16();
        bpp = r.u16();
        compression = r.u32();
        r.u32();
        xppm = r.s32();
        yppm = r.s32();
        clrUsed = r.u32();
        r.u32();
        if (headerSize >= 52) {
            for (int i = 0; i < (headerSize >= 56 ? 4 : 3); ++i)
                masks[i] = r.u32();
        }
        r.seek(headerSize);
        if (headerSize == 40 && (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS)) {
            for (int i = 0; i < (compression == BI_ALPHABITFIELDS ? 4 : 3); ++i)
                masks[i] = r.u32();
        }
    } else {
        return Fail(image, LoadMessage(567, "Unknown BMP header"));
    }
    if (!r.ok())
        return Fail(image, LoadMessage(568, "The BMP header is cut short"));

    const bool topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0)
        return Fail(image, InvalidSize("BMP"));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Fail(image, LoadMessage(569, "Unsupported BMP bit count"));
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if ((compression == BI_RLE8 && bpp != 8) || (compression == BI_RLE4 && bpp != 4) ||
        ((compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) && bpp != 16 && bpp != 32) ||
        (compression != BI_RGB && !rle && compression != BI_BITFIELDS && compression != BI_ALPHABITFIELDS) ||
        (rle && topDown))
        return Fail(image, LoadMessage(570, "Unsupported BMP compression"));

    std::vector<RGBQUAD> palette;
    if (bpp <= 8) {
        const DWORD maxColours = 1u << bpp;
        const DWORD stored = clrUsed ? clrUsed : maxColours;
        if (size_t(stored) > r.remaining() / size_t(paletteEntrySize))
            return Fail(image, LoadMessage(571, "The BMP palette is cut short"));
        for (DWORD i = 0; i < stored; ++i) {
            RGBQUAD c;
            c.rgbBlue = r.u8();
            c.rgbGreen = r.u8();
            c.rgbRed = r.u8();
            if (paletteEntrySize == 4)
                r.u8();
            if (i < maxColours)
                palette.push_back(c);
        }
    }
    if (bitsOffset == 0)
        bitsOffset = r.pos();
    if (bitsOffset >= size || !r.seek(bitsOffset))
        return Fail(image, LoadMessage(572, "The BMP pixel offset is out of the file"));

    const int outBpp = bpp == 16 ? 24 : bpp;
    if (rle) {
        if (!PlausibleSize(image, width, height, outBpp, r.remaining()))
            return false;
    } else {
        const long long stride = RowBytes(width, bpp);
        if (stride > RASTER_MAX_MEMORY || stride * height > RASTER_MAX_MEMORY)
            return Fail(image, QStringLiteral("RASTER_MAX_MEMORY exceeded"));
        const long long needed = stride * (height - 1) + (width * bpp + 7) / 8;
        if (needed > (long long)r.remaining())
            return Fail(image, PixelsCutShort("BMP"));
    }
    if (!image.Create(DWORD(width), DWORD(height), DWORD(outBpp), RASTER_FORMAT_BMP))
        return false;
    for (int i = 0; i < image.GetNumColors(); ++i) {
        const RGBQUAD c = i < int(palette.size()) ? palette[size_t(i)] : RGBQUAD();
        image.SetPaletteColor(i, c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    if (xppm > 0)
        image.SetXDPI(PpmToDpi(xppm));
    if (yppm > 0)
        image.SetYDPI(PpmToDpi(yppm));

    if (rle)
        return DecodeRle(image, r, bpp);

    const long long srcStride = RowBytes(width, bpp);
    const BYTE* src = r.here();
    const size_t available = r.remaining();
    const bool useMasks = bpp == 16 || (bpp == 32 && compression != BI_RGB);
    Channel red, green, blue, alpha;
    if (useMasks) {
        if (compression == BI_RGB) {  // 16 bits without masks: 5 bits each
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
            masks[3] = 0;
        }
        red.Set(masks[0]);
        green.Set(masks[1]);
        blue.Set(masks[2]);
        alpha.Set(bpp == 32 ? masks[3] : 0);
    }
    for (long long row = 0; row < height; ++row) {
        const BYTE* s = src + size_t(row * srcStride);
        const size_t rowAvailable = available - size_t(row * srcStride);
        BYTE* d = image.GetBits(DWORD(topDown ? height - 1 - row : row));
        if (!useMasks) {
            const size_t n = std::min(size_t(image.GetRowStride()), rowAvailable);
            std::copy(s, s + n, d);
            continue;
        }
        for (long long x = 0; x < width; ++x) {
            DWORD pixel;
            if (bpp == 16)
                pixel = DWORD(s[x * 2] | (s[x * 2 + 1] << 8));
            else
                pixel = DWORD(s[x * 4]) | (DWORD(s[x * 4 + 1]) << 8) | (DWORD(s[x * 4 + 2]) << 16) |
                        (DWORD(s[x * 4 + 3]) << 24);
            BYTE* p = d + x * (outBpp / 8);
            p[0] = blue.Extract(pixel);
            p[1] = green.Extract(pixel);
            p[2] = red.Extract(pixel);
            if (outBpp == 32)
                p[3] = alpha.mask ? alpha.Extract(pixel) : 255;
        }
    }
    // A 32-bit bitmap without an alpha mask usually leaves the fourth byte zero: then it is opaque.
    if (bpp == 32 && !alpha.mask) {
        bool anyAlpha = false;
        for (int y = 0; y < image.GetHeight() && !anyAlpha; ++y) {
            const BYTE* p = image.GetBits(DWORD(y));
            for (int x = 0; x < image.GetWidth() && !anyAlpha; ++x)
                anyAlpha = p[x * 4 + 3] != 0;
        }
        if (!anyAlpha) {
            for (int y = 0; y < image.GetHeight(); ++y) {
                BYTE* p = image.GetBits(DWORD(y));
                for (int x = 0; x < image.GetWidth(); ++x)
                    p[x * 4 + 3] = 255;
            }
        }
    }
    return true;
}

}  // namespace

bool ReadBmp(CRasterImage& image, const BYTE* data, size_t size)
{
    ByteReader r(data, size);
    if (r.u8() != 'B' || r.u8() != 'M')
        return Fail(image, NotAFile("BMP"));
    r.u32();
    r.u32();
    const DWORD offBits = r.u32();
    if (!r.ok())
        return Fail(image, LoadMessage(568, "The BMP header is cut short"));
    constexpr size_t kFileHeader = 14;
    // An offset inside the headers is not believed; the pixels then follow the palette.
    const size_t bitsOffset = offBits > kFileHeader + 12 ? offBits - kFileHeader : 0;
    return ReadInfoAndBits(image, data + kFileHeader, size - kFileHeader, bitsOffset);
}

bool ReadDib(CRasterImage& image, const BYTE* data, size_t size)
{
    return ReadInfoAndBits(image, data, size, 0);
}

QByteArray WriteDib(CRasterImage& image)
{
    const BITMAPINFOHEADER& h = image.GetHeader();
    const long long bitsSize = (long long)image.GetRowStride() * image.GetHeight();
    QByteArray out;
    out.reserve(int(40 + 4 * image.GetNumColors() + bitsSize));
    Put32(out, 40);
    Put32(out, DWORD(h.biWidth));
    Put32(out, DWORD(h.biHeight));
    Put16(out, 1);
    Put16(out, h.biBitCount);
    Put32(out, BI_RGB);
    Put32(out, DWORD(bitsSize));
    Put32(out, DWORD(h.biXPelsPerMeter));
    Put32(out, DWORD(h.biYPelsPerMeter));
    Put32(out, DWORD(image.GetNumColors()));
    Put32(out, 0);
    for (int i = 0; i < image.GetNumColors(); ++i) {
        const RGBQUAD c = image.GetPaletteColor(i);
        out.append(char(c.rgbBlue));
        out.append(char(c.rgbGreen));
        out.append(char(c.rgbRed));
        out.append(char(0));
    }
    out.append(reinterpret_cast<const char*>(image.GetBits(0)), qsizetype(bitsSize));
    return out;
}

QByteArray WriteBmp(CRasterImage& image)
{
    const QByteArray dib = WriteDib(image);
    QByteArray out;
    out.reserve(dib.size() + 14);
    out.append("BM", 2);
    Put32(out, DWORD(dib.size() + 14));
    Put32(out, 0);
    Put32(out, DWORD(14 + 40 + 4 * image.GetNumColors()));
    out.append(dib);
    return out;
}

}  // namespace raster
