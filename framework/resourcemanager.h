#pragma once
// The process-wide holder of the small (16 x 16) pictures that label objects draw, such as the
// data-binding marker of text and barcode objects (picture 162). Pictures come from bitmaps of
// the resource module: one picture per 16-pixel column, magenta transparent.

#include "framework/types.h"

#include <QImage>
#include <map>
#include <vector>

class CDC;
class CResourceModule;

class CResourceManager {
public:
    static constexpr UINT kMarkerBitmap = 162;
    static constexpr BYTE kBlendAlpha = 180;

    // The one manager, made on first use with bitmap 162 loaded.
    static CResourceManager* GetInstance();
    static void ReleaseInstance();

    // Loads a bitmap of the module (the process's module unless one is given); an id already
    // loaded keeps its pictures. A bitmap 40 pixels wide gives two pictures.
    void LoadImages(UINT id, const CResourceModule* module = nullptr);
    // The picture (ARGB, transparent where the bitmap is magenta), or a null image for an id
    // never loaded or an index outside its pictures.
    QImage GetImage(UINT id, int index) const;
    int GetImageCount(UINT id) const;
    // Draws the picture on white, blended over the context with opacity 180 of 255, scaled to
    // (x, y, cx, cy) in logical units; nothing without a picture.
    void DrawImage(CDC* dc, UINT id, int index, int x, int y, int cx, int cy) const;
    // The 16 x 16 square that DrawImage lays over the context; a null image without a picture.
    // Made once when the bitmap is loaded, not on every paint.
    QImage BlendedImage(UINT id, int index) const;

    // Cuts a strip into square pictures of `size` pixels, making `mask`
    // transparent; a strip narrower than one picture gives none.
    static std::vector<QImage> SplitStrip(const QImage& strip, int size, QRgb mask);

private:
    struct Picture {
        QImage image;
        QImage blended;
    };

    CResourceManager() = default;
    const Picture* Find(UINT id, int index) const;

    std::map<UINT, std::vector<Picture>> m_images;
};
