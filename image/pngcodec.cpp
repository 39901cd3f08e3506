// PNG through libpng: every bit depth and colour type. Palette and grey pictures without
// transparency load as 8-bit indexed, colour as 24-bit, anything with alpha or a transparent
// colour as 32-bit; 16-bit samples are reduced to 8. The resolution travels in pHYs.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

namespace raster {
namespace {

// libpng's words for the error that ended reading or writing; cutShort when the data ran out.
struct ErrorText {
    char text[200];
    bool cutShort;
};

struct MemoryInput {
    const BYTE* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > in->size - in->pos) {
        static_cast<ErrorText*>(png_get_error_ptr(png))->cutShort = true;
        png_error(png, "the file is cut short");
    }
    std::copy(in->data + in->pos, in->data + in->pos + length, out);
    in->pos += length;
}

void WriteToArray(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data),
                                                          qsizetype(length));
}

void Flush(png_structp) {}

void OnError(png_structp png, png_const_charp message)
{
    auto* err = static_cast<ErrorText*>(png_get_error_ptr(png));
    std::snprintf(err->text, sizeof err->text, "%s", message ? message : "");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

}  // namespace

bool ReadPng(CRasterImage& image, const BYTE* data, size_t size)
{
    if (size < 8 || png_sig_cmp(const_cast<png_bytep>(data), 0, 8) != 0) {
        image.SetError(NotAFile("PNG"));
        return false;
    }
    ErrorText err{};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        image.SetError(LoadMessage(574, "Can't allocate memory for the PNG reader"));
        return false;
    }
    MemoryInput input{data, size, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        image.Destroy();
        image.SetError(WithDetail(DamagedFile("PNG"), err.cutShort ? LoadMessage(576, "the file is cut short")
                                                                   : QString::fromLatin1(err.text)));
        return false;
    }
    png_set_read_fn(png, &input, ReadFromMemory);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    // The data holds the pixels at this depth; below, they are widened to 8 bits a sample.
    const int storedBpp = png_get_channels(png, info) * depth;

    int bpp;
    if ((colourType & PNG_COLOR_MASK_ALPHA) || transparency) {
        bpp = 32;
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else if (colourType == PNG_COLOR_TYPE_PALETTE || colourType == PNG_COLOR_TYPE_GRAY) {
        bpp = 8;
        if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        else
            png_set_packing(png);
    } else {
        bpp = 24;
    }
    if (depth == 16)
        png_set_strip_16(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    (void)passes;
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) > size_t(RowBytes(width, bpp)) ||
        !PlausibleSize(image, width, height, bpp, size, kMaxExpansion, storedBpp) ||
        !image.Create(width, height, DWORD(bpp), RASTER_FORMAT_PNG)) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (image.GetLastError().isEmpty())
            image.SetError(LoadMessage(575, "Unsupported PNG layout"));
        image.Destroy();
        return false;
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE && bpp == 8) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) == PNG_INFO_PLTE) {
            for (int i = 0; i < std::min(count, 256); ++i)
                image.SetPaletteColor(i, palette[i].red, palette[i].green, palette[i].blue);
        }
    }
    png_uint_32 xppm = 0;
    png_uint_32 yppm = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER) {
        image.SetXDPI(PpmToDpi(xppm));
        image.SetYDPI(PpmToDpi(yppm));
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image.ScanLine(int(y));
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

QByteArray WritePng(CRasterImage& image)
{
    ErrorText err{};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        image.SetError(LoadMessage(541, "Can't allocate memory for the PNG writer"));
        return {};
    }
    QByteArray out;
    std::vector<png_color> palette;
    std::vector<png_bytep> rows(size_t(image.GetHeight()));
    std::vector<png_byte> alpha;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        image.SetError(LoadMessage(542, "Can't write the PNG file: %1").arg(QString::fromLatin1(err.text)));
        return {};
    }
    png_set_write_fn(png, &out, WriteToArray, Flush);
    const int bpp = image.GetBpp();
    const int colourType = bpp <= 8 ? PNG_COLOR_TYPE_PALETTE
                           : bpp == 24 ? PNG_COLOR_TYPE_RGB
                                       : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(png, info, png_uint_32(image.GetWidth()), png_uint_32(image.GetHeight()),
                 bpp <= 8 ? bpp : 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (bpp <= 8) {
        for (int i = 0; i < image.GetNumColors(); ++i) {
            const RGBQUAD c = image.GetPaletteColor(i);
            palette.push_back(png_color{c.rgbRed, c.rgbGreen, c.rgbBlue});
        }
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        const int t = image.GetTransparentIndex();
        if (t >= 0 && t < image.GetNumColors()) {
            alpha.assign(size_t(t) + 1, 255);
            alpha[size_t(t)] = 0;
            png_set_tRNS(png, info, alpha.data(), t + 1, nullptr);
        }
    }
    png_set_pHYs(png, info, png_uint_32(image.GetHeader().biXPelsPerMeter),
                 png_uint_32(image.GetHeader().biYPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (bpp > 8)
        png_set_bgr(png);
    for (int y = 0; y < image.GetHeight(); ++y)
        rows[size_t(y)] = image.ScanLine(y);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace raster
