#pragma once
// Pictures the image tests share.

#include "image/rasterimage.h"
#include "support/testoutput.h"

#include <QImage>

namespace samples {

// An odd-sized colourful picture, so that row padding and channel order both show.
inline QImage Colourful(int w = 37, int h = 23)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255) / (w - 1), (y * 255) / (h - 1), (x * 7 + y * 13) & 0xFF));
    return img;
}

// Few flat colours: exact through palette formats and a mild JPEG test.
inline QImage Blocks(int w = 40, int h = 24)
{
    static const QRgb colours[4] = {qRgb(200, 30, 40), qRgb(20, 160, 60), qRgb(30, 40, 210), qRgb(250, 250, 250)};
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, colours[(x / 10 + y / 12 * 2) % 4]);
    return img;
}

// Largest difference of any channel (alpha included) between two pictures of the same size;
// 1000 when the sizes differ.
inline int MaxDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1000;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

inline QString OutputPath(const QString& name)
{
    return TestOutputDir(QStringLiteral("image")) + QLatin1Char('/') + name;
}

}  // namespace samples
