#pragma once
// Drawing a 2-D symbol's module matrix through the QPainter device context, as the label
// objects do: black rectangles for dark modules on white, a margin all round.

#include "framework/painterdc.h"
#include "symbology/modulepainter.h"

#include <QImage>

#include <functional>

namespace matrixrender {

constexpr int kModulePixels = 4;
constexpr int kMarginPixels = 40;

// rowModules: how many modules high one matrix row is (the row factor of PDF417, 1 otherwise).
inline QImage Render(int rows, int columns, int rowModules,
                     const std::function<bool(int, int)>& isDark)
{
    const int width = columns * kModulePixels;
    const int height = rows * rowModules * kModulePixels;
    QImage image(width + 2 * kMarginPixels, height + 2 * kMarginPixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    CPainterDC dc(&image);
    PaintModuleRuns(&dc, kMarginPixels, kMarginPixels, width, height, rows, columns, isDark);
    return image;
}

}  // namespace matrixrender
