#include "framework/resourcemanager.h"

#include "framework/dc.h"
#include "framework/resourcemodule.h"

#include <QPainter>

namespace {

CResourceManager* g_instance = nullptr;

// The picture on a white square, and the square given one opacity for all of it: how it is
// laid over the label.
QImage BlendOnWhite(const QImage& picture)
{
    QImage square(16, 16, QImage::Format_ARGB32);
    square.fill(Qt::white);
    {
        QPainter p(&square);
        p.drawImage(QRect(0, 0, 16, 16), picture);
    }
    for (int row = 0; row < square.height(); ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(square.scanLine(row));
        for (int col = 0; col < square.width(); ++col)
            line[col] = (line[col] & 0x00FFFFFF) | (QRgb(CResourceManager::kBlendAlpha) << 24);
    }
    return square;
}

}  // namespace

CResourceManager* CResourceManager::GetInstance()
{
    if (!g_instance) {
        g_instance = new CResourceManager;
        g_instance->LoadImages(kMarkerBitmap);
    }
    return g_instance;
}

void CResourceManager::ReleaseInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

std::vector<QImage> CResourceManager::SplitStrip(const QImage& strip, int size, QRgb mask)
{
    std::vector<QImage> out;
    if (strip.isNull() || size <= 0)
        return out;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    const int count = argb.width() / size;
    const int rows = std::min(size, argb.height());
    for (int i = 0; i < count; ++i) {
        QImage picture(size, size, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        for (int y = 0; y < rows; ++y) {
            const QRgb* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y)) + i * size;
            QRgb* dst = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < size; ++x)
                dst[x] = (src[x] & 0x00FFFFFF) == (mask & 0x00FFFFFF) ? 0 : (src[x] | 0xFF000000);
        }
        out.push_back(picture);
    }
    return out;
}

void CResourceManager::LoadImages(UINT id, const CResourceModule* module)
{
    if (m_images.count(id))
        return;
    const CResourceModule& source = module ? *module : CResourceModule::Get();
    // A bitmap the module lacks is not remembered, so that a later load can still succeed.
    std::vector<Picture> pictures;
    for (QImage& image : SplitStrip(source.LoadBitmap(id), 16, qRgb(255, 0, 255))) {
        QImage blended = BlendOnWhite(image);
        pictures.push_back({std::move(image), std::move(blended)});
    }
    if (!pictures.empty())
        m_images.emplace(id, std::move(pictures));
}

const CResourceManager::Picture* CResourceManager::Find(UINT id, int index) const
{
    const auto it = m_images.find(id);
    if (it == m_images.end() || index < 0 || index >= int(it->second.size()))
        return nullptr;
    return &it->second[std::size_t(index)];
}

QImage CResourceManager::GetImage(UINT id, int index) const
{
    const Picture* picture = Find(id, index);
    return picture ? picture->image : QImage();
}

int CResourceManager::GetImageCount(UINT id) const
{
    const auto it = m_images.find(id);
    return it == m_images.end() ? 0 : int(it->second.size());
}

QImage CResourceManager::BlendedImage(UINT id, int index) const
{
    const Picture* picture = Find(id, index);
    return picture ? picture->blended : QImage();
}

void CResourceManager::DrawImage(CDC* dc, UINT id, int index, int x, int y, int cx, int cy) const
{
    const QImage square = BlendedImage(id, index);
    if (!dc || square.isNull())
        return;
    dc->DrawImage(CRect(x, y, x + cx, y + cy), square);
}
