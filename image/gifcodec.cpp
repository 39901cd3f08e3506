// GIF through giflib: the first frame is read onto the logical screen; writing makes one 8-bit
// frame, quantising true-colour pictures.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <gif_lib.h>

#include <algorithm>

namespace raster {
namespace {

struct MemoryInput {
    const BYTE* data;
    size_t size;
    size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t n = std::min(size_t(length), in->size - in->pos);
    std::copy(in->data + in->pos, in->data + in->pos + n, out);
    in->pos += n;
    return int(n);
}

int WriteToArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct GifCloser {
    GifFileType* gif = nullptr;
    bool encoder = false;
    ~GifCloser()
    {
        int error = 0;
        if (gif)
            encoder ? EGifCloseFile(gif, &error) : DGifCloseFile(gif, &error);
    }
};

// With giflib's description of its error code appended.
bool Fail(CRasterImage& image, const CString& text, int code)
{
    image.SetError(WithDetail(text, code ? GifErrorString(code) : nullptr));
    return false;
}

}  // namespace

bool ReadGif(CRasterImage& image, const BYTE* data, size_t size)
{
    MemoryInput input{data, size, 0};
    int error = 0;
    GifCloser file;
    file.gif = DGifOpen(&input, ReadFromMemory, &error);
    if (!file.gif)
        return Fail(image, NotAFile("GIF"), error);
    GifFileType* gif = file.gif;

    int transparent = -1;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return Fail(image, DamagedFile("GIF"), gif->Error);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR)
                return Fail(image, DamagedFile("GIF"), gif->Error);
            while (ext) {
                GraphicsControlBlock gcb;
                if (code == GRAPHICS_EXT_FUNC_CODE && ext[0] == 4 &&
                    DGifExtensionToGCB(4, ext + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR)
                    return Fail(image, DamagedFile("GIF"), gif->Error);
            }
        } else if (type == TERMINATE_RECORD_TYPE) {
            return Fail(image, LoadMessage(573, "The GIF file holds no picture"));
        }
    } while (type != IMAGE_DESC_RECORD_TYPE);

    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return Fail(image, DamagedFile("GIF"), gif->Error);
    const GifImageDesc& desc = gif->Image;
    const long long frameW = desc.Width;
    const long long frameH = desc.Height;
    if (frameW <= 0 || frameH <= 0 || desc.Left < 0 || desc.Top < 0)
        return Fail(image, InvalidSize("GIF"));
    // The frame is placed on the logical screen when it fits there; otherwise the frame alone
    // is the picture.
    long long canvasW = gif->SWidth;
    long long canvasH = gif->SHeight;
    long long left = desc.Left;
    long long top = desc.Top;
    if (left + frameW > canvasW || top + frameH > canvasH) {
        canvasW = frameW;
        canvasH = frameH;
        left = top = 0;
    }
    if (!PlausibleSize(image, canvasW, canvasH, 8, size) ||
        !PlausibleSize(image, frameW, frameH, 8, size))
        return false;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!image.Create(DWORD(canvasW), DWORD(canvasH), 8, RASTER_FORMAT_GIF))
        return false;
    if (map) {
        for (int i = 0; i < std::min(map->ColorCount, 256); ++i)
            image.SetPaletteColor(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    const int background = transparent >= 0 ? transparent : gif->SBackGroundColor;
    for (int y = 0; y < canvasH; ++y)
        std::fill_n(image.ScanLine(y), canvasW, BYTE(background));
    image.SetTransparentIndex(transparent);

    std::vector<GifPixelType> line(size_t(frameW), 0);
    auto readRow = [&](long long y) {
        if (DGifGetLine(gif, line.data(), int(frameW)) == GIF_ERROR)
            return false;
        std::copy(line.begin(), line.end(), image.ScanLine(int(top + y)) + left);
        return true;
    };
    if (desc.Interlace) {
        static constexpr int start[4] = {0, 4, 2, 1};
        static constexpr int step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (long long y = start[pass]; y < frameH; y += step[pass])
                if (!readRow(y))
                    return Fail(image, DamagedFile("GIF"), gif->Error);
    } else {
        for (long long y = 0; y < frameH; ++y)
            if (!readRow(y))
                return Fail(image, DamagedFile("GIF"), gif->Error);
    }
    return true;
}

QByteArray WriteGif(CRasterImage& image)
{
    // Up to 256 colours through the picture's own palette or a quantised one.
    QImage indexed;
    if (image.GetBpp() <= 8) {
        indexed = QImage(image.GetWidth(), image.GetHeight(), QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < image.GetNumColors(); ++i) {
            const RGBQUAD c = image.GetPaletteColor(i);
            table.append(qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
        indexed.setColorTable(table);
        const int bpp = image.GetBpp();
        for (int y = 0; y < image.GetHeight(); ++y) {
            const BYTE* src = image.ScanLine(y);
            uchar* dst = indexed.scanLine(y);
            for (int x = 0; x < image.GetWidth(); ++x)
                dst[x] = uchar(PixelIndex(src, x, bpp));
        }
    } else {
        indexed = image.ToQImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    }
    if (indexed.isNull()) {
        image.SetError(LoadMessage(537, "Can't allocate memory for the GIF file"));
        return {};
    }
    const QList<QRgb> table = indexed.colorTable();
    int bits = 1;
    while ((1 << bits) < table.size())
        ++bits;
    std::vector<GifColorType> colours(size_t(1) << bits, GifColorType{0, 0, 0});
    for (int i = 0; i < table.size(); ++i)
        colours[size_t(i)] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                                          GifByteType(qBlue(table[i]))};
    ColorMapObject* map = GifMakeMapObject(1 << bits, colours.data());
    if (!map) {
        image.SetError(LoadMessage(537, "Can't allocate memory for the GIF file"));
        return {};
    }

    QByteArray out;
    int error = 0;
    GifCloser file;
    file.encoder = true;
    file.gif = EGifOpen(&out, WriteToArray, &error);
    bool ok = file.gif != nullptr;
    if (ok) {
        EGifSetGifVersion(file.gif, true);
        ok = EGifPutScreenDesc(file.gif, image.GetWidth(), image.GetHeight(), bits, 0, map) == GIF_OK;
    }
    if (ok && image.GetTransparentIndex() >= 0 && image.GetTransparentIndex() < table.size()) {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, image.GetTransparentIndex()};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(file.gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(file.gif, 0, 0, image.GetWidth(), image.GetHeight(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.GetHeight(); ++y)
        ok = EGifPutLine(file.gif, indexed.scanLine(y), image.GetWidth()) == GIF_OK;
    GifFreeMapObject(map);
    if (ok) {
        ok = EGifCloseFile(file.gif, &error) == GIF_OK;
        file.gif = nullptr;
    }
    if (!ok) {
        image.SetError(LoadMessage(538, "Can't write the GIF file"));
        return {};
    }
    return out;
}

}  // namespace raster
