#include "objects/resourceicon.h"

#include "framework/resourcemodule.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kBlendAlpha = 180;

}  // namespace

QImage BlendedResourceIcon(UINT bitmapId, int index)
{
    const QImage strip = CResourceModule::Get().LoadBitmap(bitmapId);
    if (strip.isNull() || index < 0 || strip.height() < kIconSize ||
        index >= strip.width() / kIconSize)
        return QImage();
    QImage icon = strip.copy(index * kIconSize, 0, kIconSize, kIconSize)
                      .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < icon.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb p = row[x];
            const bool transparent = (p & 0x00FFFFFF) == 0x00FF00FF;
            const int alpha = transparent ? 0 : qAlpha(p) * kBlendAlpha / 255;
            row[x] = qRgba(qRed(p), qGreen(p), qBlue(p), alpha);
        }
    }
    return icon;
}

BOOL DrawResourceIcon(CDC* dc, UINT bitmapId, int index, const CRect& rect)
{
    if (!dc)
        return FALSE;
    const QImage icon = BlendedResourceIcon(bitmapId, index);
    if (icon.isNull())
        return FALSE;
    return dc->DrawImage(rect, icon);
}
