#pragma once
// The polygon object: a closed outline through its points, drawn under the even-odd rule. Its
// position is kept equal to the bounding box of the points.

#include "objects/drawobj.h"

#include <vector>

class CDrawPoly : public CDrawObj {
    DECLARE_SERIAL(CDrawPoly)
protected:
    CDrawPoly();

public:
    explicit CDrawPoly(const CRect& position);

    void Serialize(CArchive& ar) override;
    int CountHandles() override;
    CPoint GetHandlePoint(int n) override;
    Qt::CursorShape CursorForHandle(int n) override;
    void Draw(CDC* dc, int labelIndex) override;
    void MoveTo(const CRect& position, CDrawViewBase* view = nullptr) override;
    BOOL OverlapsRect(const CRect& rect) override;
    void DragHandle(int n, CPoint point, CDrawViewBase* view = nullptr) override;
    CDrawObj* Clone(CDrawDoc* doc = nullptr) override;

    // Appends a point unless it equals the last one; the capacity grows by 10 points when full.
    void AddPoint(const CPoint& point, CDrawViewBase* view = nullptr);
    // Makes the position the points' bounding box; TRUE when it changed.
    BOOL RecalcBounds(CDrawViewBase* view = nullptr);

    int GetPointCount() const { return int(m_points.size()); }
    int GetAllocatedPoints() const { return m_nAllocPoints; }
    const std::vector<CPoint>& GetPoints() const { return m_points; }

    // The stored form counts points in 16 bits.
    static constexpr int kMaxPoints = 0xFFFF;

private:
    std::vector<CPoint> m_points;
    // The capacity as the stored record counts it; the points beyond the count are zero and
    // are not held in memory.
    int m_nAllocPoints = 0;
};
