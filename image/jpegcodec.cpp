// JPEG through libjpeg: grey pictures load as 8-bit grey, colour and CMYK ones as 24-bit; the
// resolution comes from and goes to the JFIF header.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

namespace raster {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

void OnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are not printed; a picture whose data ends early is refused rather than shown with
// its missing part grey.
void OnMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->truncated = true;
}

// Kept out of line: a loop variable in the function that calls setjmp could be clobbered.
[[gnu::noinline]] bool HasGreyPalette(const CRasterImage& image)
{
    bool grey = image.GetBpp() <= 8;
    for (int i = 0; grey && i < image.GetNumColors(); ++i) {
        const RGBQUAD c = image.GetPaletteColor(i);
        grey = c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue;
    }
    return grey;
}

}  // namespace

bool ReadJpeg(CRasterImage& image, const BYTE* data, size_t size)
{
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        image.SetError(NotAFile("JPEG"));
        return false;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.truncated = false;
    err.message[0] = 0;
    // Only plain values live across the jump; the rows are written into the image directly.
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        image.Destroy();
        image.SetError(WithDetail(DamagedFile("JPEG"), err.message));
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    const int bpp = grey ? 8 : 24;
    if (!PlausibleSize(image, cinfo.image_width, cinfo.image_height, bpp, size) ||
        !image.Create(cinfo.image_width, cinfo.image_height, DWORD(bpp), RASTER_FORMAT_JPG)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1) {
            image.SetXDPI(cinfo.X_density);
            image.SetYDPI(cinfo.Y_density);
        } else if (cinfo.density_unit == 2) {  // dots per centimetre
            image.SetXDPI(int(cinfo.X_density * 2.54 + 0.5));
            image.SetYDPI(int(cinfo.Y_density * 2.54 + 0.5));
        }
    }
    jpeg_start_decompress(&cinfo);
    const int width = int(cinfo.output_width);
    const int components = cinfo.output_components;
    const bool adobeInverted = cmyk && cinfo.saw_Adobe_marker;
    // A row of the widest output (4 samples) fits in the image's own row only for 32 bits, so
    // colour rows go through the memory manager of the decompressor.
    JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                  JDIMENSION(width * components), 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, buffer, 1);
        const JSAMPLE* src = buffer[0];
        BYTE* dst = image.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (components == 1) {
                dst[x] = src[x];
            } else if (components == 3) {
                dst[x * 3] = src[x * 3 + 2];
                dst[x * 3 + 1] = src[x * 3 + 1];
                dst[x * 3 + 2] = src[x * 3];
            } else {
                int c = src[x * 4], m = src[x * 4 + 1], yy = src[x * 4 + 2], k = src[x * 4 + 3];
                if (!adobeInverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                dst[x * 3] = BYTE(yy * k / 255);
                dst[x * 3 + 1] = BYTE(m * k / 255);
                dst[x * 3 + 2] = BYTE(c * k / 255);
            }
        }
        if (err.truncated)
            break;
    }
    if (err.truncated) {
        jpeg_destroy_decompress(&cinfo);
        image.Destroy();
        image.SetError(FileCutShort("JPEG"));
        return false;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

namespace {

BYTE BlendOnWhite(BYTE colour, BYTE alpha)
{
    return BYTE((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

RGBQUAD OnWhite(RGBQUAD c)
{
    return RGBQUAD{BlendOnWhite(c.rgbBlue, c.rgbReserved), BlendOnWhite(c.rgbGreen, c.rgbReserved),
                   BlendOnWhite(c.rgbRed, c.rgbReserved), 255};
}

} // namespace

QByteArray WriteJpeg(CRasterImage& image)
{
    // Pictures with a grey palette are written as grey, all others as colour.
    const bool grey = HasGreyPalette(image);
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    const int components = grey ? 1 : 3;
    std::vector<JSAMPLE> row(size_t(width) * size_t(components));

    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.message[0] = 0;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        image.SetError(LoadMessage(540, "Can't write the JPEG file: %1").arg(QString::fromLatin1(err.message)));
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, image.GetJpegQuality(), TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;
    cinfo.X_density = UINT16(std::min(image.GetXDPI(), 65535));
    cinfo.Y_density = UINT16(std::min(image.GetYDPI(), 65535));
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            // JPEG has no transparency: see-through pixels are laid onto white paper.
            const RGBQUAD c = OnWhite(image.GetPixelColor(x, y));
            if (grey) {
                row[size_t(x)] = c.rgbRed;
            } else {
                row[size_t(x) * 3] = c.rgbRed;
                row[size_t(x) * 3 + 1] = c.rgbGreen;
                row[size_t(x) * 3 + 2] = c.rgbBlue;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(length));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace raster
