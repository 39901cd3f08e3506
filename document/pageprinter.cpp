// Drawing the document's objects on screen and printing sheets of labels.

#include "document/drawdoc.h"
#include "framework/dc.h"
#include "framework/printinfo.h"
#include "objects/drawobj.h"
#include "objects/drawviewbase.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

CRect Offset(const CRect& r, int dx, int dy)
{
    auto add = [](LONG a, int d) { return SaturateInt(std::int64_t(a) + d); };
    return CRect(add(r.left, dx), add(r.top, dy), add(r.right, dx), add(r.bottom, dy));
}

}  // namespace

void CDrawDoc::Draw(CDC* dc, CDrawViewBase* view)
{
    const bool marks = view && view->IsActiveView() && !dc->IsPrinting();
    for (CDrawObj* obj : m_objects)
        obj->Draw(dc, 0);
    // The marks go on top of every object, so that none drawn later hides a handle.
    if (marks)
        for (CDrawObj* obj : m_objects)
            if (view->IsSelected(obj)) {
                obj->DrawSelectionMark(dc, kSelectionSelected);
                obj->DrawSelectionState(dc, kSelectionSelected);
            }
}

void CDrawDoc::PrintPage(CDC* dc, const CPrintInfo* info, CDrawViewBase* view,
                         const CRect* unprintable, BOOL preview, const CRect* drawRect)
{
    if (!dc || !info || !IsPrintableSheet())
        return;
    const int s1 = dc->SaveDC();
    dc->SetViewportExt(dc->GetDeviceCaps(LOGPIXELSX), dc->GetDeviceCaps(LOGPIXELSY));
    const CSize wext = dc->GetWindowExt();
    const CSize vext = dc->GetViewportExt();
    const float wx = float(wext.cx), wy = float(wext.cy);

    // Sheet lengths are tenths of a millimetre; logical units come from the window extent.
    const float labelW = m_labelSize[0] / 100.0f / 2.54f * wx;
    const float labelH = m_labelSize[1] / 100.0f / 2.54f * wy;
    const float gapX = m_labelGap[0] / 100.0f / 2.54f * wx;
    const float gapY = m_labelGap[1] / 100.0f / 2.54f * wy;
    double left = double(m_margins[0] / 100.0f / 2.54f * wx);
    double top = double(m_margins[1] / 100.0f / 2.54f * wy);
    // A printer cannot print at its physical offset; margins count from the paper's edge. The
    // preview draws its pages inside the same printable area, so it takes the offset off too
    // and shows the labels where the paper gets them.
    (void)preview;
    if (unprintable) {
        left -= double(unprintable->left) / vext.cx * wext.cx;
        top -= double(unprintable->top) / vext.cy * wext.cy;
    }

    const int columns = m_labelGrid[0];
    const int rows = m_labelGrid[1];
    const std::vector<CSelectTag>& chosen = m_selectTags;
    const std::int64_t limit = chosen.empty() ? std::int64_t(m_nLabelsToPrint)
                                              : std::int64_t(chosen.size());
    std::int64_t index =
        (std::int64_t(info->m_nCurPage) - 1) * std::max(rows, 0) * std::max(columns, 0);
    std::size_t k = 0;

    bool done = index >= limit;
    for (int r = 0; r < rows && !done; ++r) {
        for (int col = 0; col < columns && !done; ++col) {
            if (!chosen.empty()) {
                // A list of chosen cells shorter than the sheet ends the page where it ends.
                if (k >= chosen.size()) {
                    done = true;
                    break;
                }
                if (!chosen[k++].chosen)
                    continue;
            }
            const int s2 = dc->SaveDC();
            const float x = float(double((gapX + labelW) * float(col)) + left);
            const float y = float(double((gapY + labelH) * float(r)) + top);
            const int ix = SaturateInt(x), iy = SaturateInt(y);
            dc->IntersectClipRect(ix, iy, SaturateInt(x + labelW), SaturateInt(y + labelH));
            for (CDrawObj* obj : m_objects) {
                const CRect saved = obj->m_position;
                obj->m_position = Offset(saved, ix, iy);
                obj->Draw(dc, SaturateInt(index));
                obj->m_position = saved;
            }
            dc->RestoreDC(s2);
            if (++index >= limit)
                done = true;
        }
    }
    dc->RestoreDC(s1);
}
