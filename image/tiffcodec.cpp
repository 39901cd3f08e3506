// TIFF through libtiff over memory: the first page is read as RGBA whatever its layout; writing
// makes one LZW-compressed RGB or RGBA page with its resolution. BigTIFF is refused.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace raster {
namespace {

struct Stream {
    const BYTE* data = nullptr;  // reading
    QByteArray* out = nullptr;   // writing
    size_t size = 0;
    size_t pos = 0;
    char error[256] = {};
};

tmsize_t StreamRead(thandle_t h, void* buf, tmsize_t n)
{
    auto* s = static_cast<Stream*>(h);
    if (!s->data || n < 0 || s->pos >= s->size)
        return 0;
    const size_t count = std::min(size_t(n), s->size - s->pos);
    std::memcpy(buf, s->data + s->pos, count);
    s->pos += count;
    return tmsize_t(count);
}

tmsize_t StreamWrite(thandle_t h, void* buf, tmsize_t n)
{
    auto* s = static_cast<Stream*>(h);
    if (!s->out || n < 0 || s->pos + size_t(n) > size_t(RASTER_MAX_MEMORY))
        return -1;
    const size_t end = s->pos + size_t(n);
    if (end > size_t(s->out->size()))
        s->out->resize(qsizetype(end));
    std::memcpy(s->out->data() + s->pos, buf, size_t(n));
    s->pos = end;
    s->size = std::max(s->size, end);
    return n;
}

toff_t StreamSeek(thandle_t h, toff_t offset, int whence)
{
    auto* s = static_cast<Stream*>(h);
    long long base = 0;
    if (whence == SEEK_CUR)
        base = (long long)s->pos;
    else if (whence == SEEK_END)
        base = (long long)s->size;
    const long long target = base + (long long)offset;
    if (target < 0 || target > RASTER_MAX_MEMORY)
        return toff_t(-1);
    s->pos = size_t(target);
    return toff_t(target);
}

int StreamClose(thandle_t) { return 0; }
toff_t StreamSize(thandle_t h) { return static_cast<Stream*>(h)->size; }

int StreamMap(thandle_t h, void** base, toff_t* size)
{
    auto* s = static_cast<Stream*>(h);
    if (!s->data)
        return 0;
    *base = const_cast<BYTE*>(s->data);
    *size = s->size;
    return 1;
}

void StreamUnmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* fmt, va_list ap)
{
    auto* s = static_cast<Stream*>(user);
    if (!s->error[0])
        std::vsnprintf(s->error, sizeof s->error, fmt, ap);
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* Open(Stream& stream, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &stream);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(RASTER_MAX_MEMORY));
    TIFF* tif = TIFFClientOpenExt("memory", mode, &stream, StreamRead, StreamWrite, StreamSeek,
                                  StreamClose, StreamSize, StreamMap, StreamUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

int ResolutionToDpi(float value, uint16_t unit)
{
    if (!(value > 0.0f) || value > 1.0e6f)
        return 0;
    if (unit == RESUNIT_CENTIMETER)
        value *= 2.54f;
    else if (unit != RESUNIT_INCH)
        return 0;
    return int(value + 0.5f);
}

}  // namespace

bool ReadTiff(CRasterImage& image, const BYTE* data, size_t size)
{
    if (size < 8 || !(std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0)) {
        image.SetError(size >= 4 && (std::memcmp(data, "II+\0", 4) == 0 || std::memcmp(data, "MM\0+", 4) == 0)
                           ? LoadMessage(579, "BigTIFF files are not supported")
                           : NotAFile("TIFF"));
        return false;
    }
    Stream stream;
    stream.data = data;
    stream.size = size;
    TIFF* tif = Open(stream, "r");
    auto fail = [&](const QString& text) {
        if (tif)
            TIFFClose(tif);
        image.Destroy();
        image.SetError(WithDetail(text, stream.error));
        return false;
    };
    if (!tif)
        return fail(DamagedFile("TIFF"));
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 1;
    uint16_t samples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    const bool alpha = extraCount > 0;
    const int bpp = alpha ? 32 : 24;
    // No layout has samples wider than a double or more channels than this; the header's values
    // are checked before libtiff is asked to read anything with them.
    constexpr long long kMaxBitsPerPixel = 64 * 64;
    const long long nativeBits = std::max(1LL, (long long)bitsPerSample * samples);
    if (bitsPerSample > 64 || nativeBits > kMaxBitsPerPixel)
        return fail(LoadMessage(580, "Unsupported TIFF layout: %1 samples of %2 bits").arg(samples).arg(bitsPerSample));
    char message[1024] = {};
    if (!PlausibleSize(image, width, height, int(nativeBits), size) ||
        !PlausibleSize(image, width, height, 32, size, RASTER_MAX_MEMORY) ||
        !TIFFRGBAImageOK(tif, message))
        return fail(message[0] ? WithDetail(LoadMessage(581, "Unsupported TIFF layout"), message)
                               : image.GetLastError());
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(width) * height);
    } catch (const std::bad_alloc&) {
        return fail(LoadMessage(532, "CRasterImage::Create can't allocate memory"));
    }
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_BOTLEFT, 1))
        return fail(DamagedFile("TIFF"));
    if (!image.Create(width, height, DWORD(bpp), RASTER_FORMAT_TIF))
        return fail(image.GetLastError());
    float xres = 0;
    float yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) && ResolutionToDpi(xres, unit))
        image.SetXDPI(ResolutionToDpi(xres, unit));
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres) && ResolutionToDpi(yres, unit))
        image.SetYDPI(ResolutionToDpi(yres, unit));
    TIFFClose(tif);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* src = raster.data() + size_t(y) * width;
        BYTE* dst = image.GetBits(y);
        for (uint32_t x = 0; x < width; ++x) {
            BYTE* p = dst + size_t(x) * (bpp / 8);
            p[0] = BYTE(TIFFGetB(src[x]));
            p[1] = BYTE(TIFFGetG(src[x]));
            p[2] = BYTE(TIFFGetR(src[x]));
            if (alpha) {
                // The RGBA reader premultiplies colour by alpha; the image keeps it straight.
                const unsigned a = TIFFGetA(src[x]);
                p[3] = BYTE(a);
                if (a > 0 && a < 255)
                    for (int i = 0; i < 3; ++i)
                        p[i] = BYTE(std::min(255u, (p[i] * 255u + a / 2) / a));
            }
        }
    }
    return true;
}

QByteArray WriteTiff(CRasterImage& image)
{
    QByteArray out;
    Stream stream;
    stream.out = &out;
    TIFF* tif = Open(stream, "w");
    if (!tif) {
        image.SetError(LoadMessage(539, "Can't write the TIFF file"));
        return {};
    }
    const bool alpha = image.GetBpp() == 32;
    const int samples = alpha ? 4 : 3;
    const uint32_t width = uint32_t(image.GetWidth());
    const uint32_t height = uint32_t(image.GetHeight());
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (alpha) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(image.GetXDPI()));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(image.GetYDPI()));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<BYTE> row(size_t(width) * size_t(samples));
    bool ok = true;
    for (uint32_t y = 0; ok && y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const RGBQUAD c = image.GetPixelColor(int(x), int(y));
            BYTE* p = row.data() + size_t(x) * size_t(samples);
            p[0] = c.rgbRed;
            p[1] = c.rgbGreen;
            p[2] = c.rgbBlue;
            if (alpha)
                p[3] = c.rgbReserved;
        }
        ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
    if (ok)
        ok = TIFFFlush(tif) != 0;
    TIFFClose(tif);
    if (!ok) {
        image.SetError(LoadMessage(539, "Can't write the TIFF file"));
        return {};
    }
    out.resize(qsizetype(stream.size));
    return out;
}

}  // namespace raster
