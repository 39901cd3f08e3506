#include "symbology/moduledraw.h"

#include "framework/dc.h"
#include "framework/gdi.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

int Clamp(std::int64_t v)
{
    return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

void PaintDarkRuns(CDC* pDC, int left, int top, int moduleWidth, int rowHeight, int columns,
                   int rows, const std::function<bool(int x, int y)>& dark)
{
    if (!pDC || columns <= 0 || rows <= 0 || moduleWidth <= 0 || rowHeight <= 0)
        return;
    std::vector<CRect> runs;
    for (int y = 0; y < rows; ++y) {
        const std::int64_t y0 = top + std::int64_t(y) * rowHeight;
        for (int x = 0; x < columns;) {
            if (!dark(x, y)) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < columns && dark(end, y))
                ++end;
            runs.emplace_back(Clamp(left + std::int64_t(x) * moduleWidth), Clamp(y0),
                              Clamp(left + std::int64_t(end) * moduleWidth), Clamp(y0 + rowHeight));
            x = end;
        }
    }
    CBrush black(RGB(0, 0, 0));
    pDC->FillRects(runs.data(), int(runs.size()), &black);
}
