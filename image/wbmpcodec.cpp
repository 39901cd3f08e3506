// Wireless bitmap, type 0: a black-and-white picture, one bit per pixel, 1 for white, rows from
// the top padded to whole bytes; the sizes are multi-byte integers of 7 bits a byte.

#include "image/codecs.h"

namespace raster {
namespace {

// At most four bytes (28 bits); longer numbers are no picture size.
bool ReadMultiByte(ByteReader& r, long long& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const BYTE b = r.u8();
        if (!r.ok())
            return false;
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80))
            return true;
    }
    return false;
}

void PutMultiByte(QByteArray& out, DWORD value)
{
    char bytes[5];
    int n = 0;
    do {
        bytes[n++] = char(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 0) {
        --n;
        out.append(char(bytes[n] | (n ? 0x80 : 0)));
    }
}

}  // namespace

bool ReadWbmp(CRasterImage& image, const BYTE* data, size_t size)
{
    ByteReader r(data, size);
    long long type = 0;
    long long width = 0;
    long long height = 0;
    if (!ReadMultiByte(r, type) || type != 0 || r.u8() != 0 || !ReadMultiByte(r, width) ||
        !ReadMultiByte(r, height) || width == 0 || height == 0)
        return Fail(image, NotAFile("WBMP"));
    const long long rowBytes = (width + 7) / 8;
    if (rowBytes * height > (long long)r.remaining())
        return Fail(image, PixelsCutShort("WBMP"));
    if (!PlausibleSize(image, width, height, 1, r.remaining()) ||
        !image.Create(DWORD(width), DWORD(height), 1, RASTER_FORMAT_WBMP))
        return false;
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
    for (long long y = 0; y < height; ++y) {
        BYTE* dst = image.ScanLine(int(y));
        std::memcpy(dst, r.here(), size_t(rowBytes));
        r.skip(size_t(rowBytes));
    }
    return true;
}

QByteArray WriteWbmp(CRasterImage& image)
{
    QByteArray out;
    PutMultiByte(out, 0);
    out.append(char(0));
    PutMultiByte(out, DWORD(image.GetWidth()));
    PutMultiByte(out, DWORD(image.GetHeight()));
    // Pixels lighter than middle grey are white.
    for (int y = 0; y < image.GetHeight(); ++y) {
        BYTE byte = 0;
        for (int x = 0; x < image.GetWidth(); ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y);
            const int light = c.rgbRed * 299 + c.rgbGreen * 587 + c.rgbBlue * 114;
            if (light >= 128 * 1000)
                byte |= BYTE(0x80 >> (x % 8));
            if (x % 8 == 7 || x == image.GetWidth() - 1) {
                out.append(char(byte));
                byte = 0;
            }
        }
    }
    return out;
}

}  // namespace raster
