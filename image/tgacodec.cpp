// Truevision TGA: colour-mapped, true-colour and grey pictures, uncompressed and run-length
// encoded, 8, 15, 16, 24 and 32 bits, any of the four origins.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

namespace raster {
namespace {

// A 15- or 16-bit value: five bits each of red, green and blue.
RGBQUAD From555(unsigned v)
{
    auto scale = [](unsigned c) { return BYTE((c << 3) | (c >> 2)); };
    return RGBQUAD{scale(v & 0x1F), scale((v >> 5) & 0x1F), scale((v >> 10) & 0x1F), 255};
}

RGBQUAD ReadColour(const BYTE* p, int bytes)
{
    switch (bytes) {
    case 2: return From555(unsigned(p[0] | (p[1] << 8)));
    case 3: return RGBQUAD{p[0], p[1], p[2], 255};
    case 4: return RGBQUAD{p[0], p[1], p[2], p[3]};
    default: return RGBQUAD{p[0], p[0], p[0], 255};
    }
}

}  // namespace

bool ReadTga(CRasterImage& image, const BYTE* data, size_t size)
{
    ByteReader r(data, size);
    const int idLength = r.u8();
    const int mapType = r.u8();
    const int type = r.u8();
    const int mapFirst = r.u16();
    const int mapLength = r.u16();
    const int mapDepth = r.u8();
    r.u16();
    r.u16();
    const int width = r.u16();
    const int height = r.u16();
    const int depth = r.u8();
    const int descriptor = r.u8();
    if (!r.ok())
        return Fail(image, NotAFile("TGA"));
    const bool rle = type >= 9;
    const int kind = rle ? type - 8 : type;  // 1 colour-mapped, 2 true colour, 3 grey
    if (mapType > 1 || (kind != 1 && kind != 2 && kind != 3) || (kind == 1 && mapType != 1) ||
        (kind == 1 && depth != 8) || (kind == 3 && depth != 8) ||
        (kind == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32) ||
        (descriptor & 0xC0) != 0)
        return Fail(image, NotAFile("TGA"));
    if (width == 0 || height == 0)
        return Fail(image, InvalidSize("TGA"));
    r.skip(size_t(idLength));
    std::vector<RGBQUAD> map;
    if (mapType == 1) {
        if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
            return Fail(image, LoadMessage(577, "Unsupported TGA colour map"));
        const int entryBytes = (mapDepth + 7) / 8;
        if (size_t(mapLength) * size_t(entryBytes) > r.remaining())
            return Fail(image, LoadMessage(578, "The TGA colour map is cut short"));
        for (int i = 0; i < mapLength; ++i) {
            map.push_back(ReadColour(r.here(), entryBytes));
            r.skip(size_t(entryBytes));
        }
    }
    if (!r.ok())
        return Fail(image, FileCutShort("TGA"));

    const int pixelBytes = (depth + 7) / 8;
    const int outBpp = kind == 2 ? (depth == 32 ? 32 : 24) : 8;
    const long long pixels = (long long)width * height;
    if (!rle && pixels * pixelBytes > (long long)r.remaining())
        return Fail(image, PixelsCutShort("TGA"));
    if (!PlausibleSize(image, width, height, outBpp, r.remaining()))
        return false;
    if (!image.Create(DWORD(width), DWORD(height), DWORD(outBpp), RASTER_FORMAT_TGA))
        return false;
    if (kind == 1) {
        for (int i = 0; i < int(map.size()) && mapFirst + i < 256; ++i)
            image.SetPaletteColor(mapFirst + i, map[size_t(i)].rgbRed, map[size_t(i)].rgbGreen,
                                  map[size_t(i)].rgbBlue);
    }
    // The alpha of 32-bit pixels counts only when the descriptor says it has alpha bits.
    const bool keepAlpha = depth == 32 && (descriptor & 0x0F) != 0;
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;
    auto put = [&](long long index, const BYTE* p) {
        const int row = int(index / width);
        const int col = int(index % width);
        BYTE* dst = image.GetBits(DWORD(topDown ? height - 1 - row : row));
        const int x = rightToLeft ? width - 1 - col : col;
        if (outBpp == 8) {
            dst[x] = p[0];
            return;
        }
        const RGBQUAD c = ReadColour(p, pixelBytes);
        BYTE* q = dst + x * (outBpp / 8);
        q[0] = c.rgbBlue;
        q[1] = c.rgbGreen;
        q[2] = c.rgbRed;
        if (outBpp == 32)
            q[3] = keepAlpha ? c.rgbReserved : 255;
    };
    if (!rle) {
        for (long long i = 0; i < pixels; ++i)
            put(i, r.here() + i * pixelBytes);
        return true;
    }
    long long i = 0;
    while (i < pixels) {
        const int header = r.u8();
        const int count = (header & 0x7F) + 1;
        if (!r.ok())
            return Fail(image, RunLengthCutShort("TGA"));
        if (header & 0x80) {
            if (r.remaining() < size_t(pixelBytes))
                return Fail(image, RunLengthCutShort("TGA"));
            for (int k = 0; k < count && i < pixels; ++k)
                put(i++, r.here());
            r.skip(size_t(pixelBytes));
        } else {
            if (r.remaining() < size_t(count) * size_t(pixelBytes))
                return Fail(image, RunLengthCutShort("TGA"));
            for (int k = 0; k < count && i < pixels; ++k)
                put(i++, r.here() + k * pixelBytes);
            r.skip(size_t(count) * size_t(pixelBytes));
        }
    }
    return true;
}

QByteArray WriteTga(CRasterImage& image)
{
    const int w = image.GetWidth();
    const int h = image.GetHeight();
    if (w > 0xFFFF || h > 0xFFFF) {
        image.SetError(LoadMessage(535, "The picture is too large for a TGA file"));
        return {};
    }
    const bool mapped = image.GetBpp() <= 8;
    const int depth = mapped ? 8 : image.GetBpp();
    QByteArray out;
    out.append(char(0));                   // no image id
    out.append(char(mapped ? 1 : 0));      // colour map
    out.append(char(mapped ? 1 : 2));      // uncompressed
    Put16(out, 0);
    Put16(out, mapped ? unsigned(image.GetNumColors()) : 0);
    out.append(char(mapped ? 24 : 0));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, unsigned(w));
    Put16(out, unsigned(h));
    out.append(char(depth));
    out.append(char(depth == 32 ? 8 : 0));  // bottom-left origin, alpha bits
    if (mapped) {
        for (int i = 0; i < image.GetNumColors(); ++i) {
            const RGBQUAD c = image.GetPaletteColor(i);
            out.append(char(c.rgbBlue));
            out.append(char(c.rgbGreen));
            out.append(char(c.rgbRed));
        }
    }
    const int bpp = image.GetBpp();
    for (int row = 0; row < h; ++row) {
        const BYTE* src = image.GetBits(DWORD(row));
        if (mapped) {
            for (int x = 0; x < w; ++x)
                out.append(char(PixelIndex(src, x, bpp)));
        } else {
            out.append(reinterpret_cast<const char*>(src), qsizetype(w) * (bpp / 8));
        }
    }
    return out;
}

}  // namespace raster
