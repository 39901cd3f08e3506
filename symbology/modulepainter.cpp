#include "symbology/modulepainter.h"

#include "framework/dc.h"
#include "framework/gdi.h"

#include <vector>

void PaintModuleRuns(CDC* pDC, int left, int top, int width, int height, int rows, int columns,
                     const std::function<bool(int row, int column)>& isDark)
{
    if (pDC == nullptr || rows <= 0 || columns <= 0)
        return;
    const auto x = [&](int c) { return left + int(qint64(c) * width / columns); };
    const auto y = [&](int r) { return top + int(qint64(r) * height / rows); };
    std::vector<CRect> runs;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns;) {
            if (!isDark(r, c)) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < columns && isDark(r, c))
                ++c;
            runs.emplace_back(x(start), y(r), x(c), y(r + 1));
        }
    }
    if (runs.empty())
        return;
    CBrush black(RGB(0, 0, 0));
    pDC->FillRects(runs.data(), int(runs.size()), &black);
}
