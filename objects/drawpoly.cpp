#include "objects/drawpoly.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "objects/region.h"

#include <algorithm>
#include <cstdint>

IMPLEMENT_SERIAL(CDrawPoly, CDrawObj, VERSIONABLE_SCHEMA | 1)

CDrawPoly::CDrawPoly() = default;

CDrawPoly::CDrawPoly(const CRect& position) : CDrawObj(position)
{
    m_bPen = TRUE;
    m_bBrush = FALSE;
}

void CDrawPoly::Serialize(CArchive& ar)
{
    CDrawObj::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawPoly));
        ar << WORD(m_points.size()) << WORD(m_nAllocPoints);
        for (const CPoint& p : m_points)
            ar << p;
    } else {
        const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawPoly));
        WORD count = 0, allocated = 0;
        ar >> count >> allocated;
        // The points were kept in an array of the allocated size; more points than that is a
        // damaged record.
        if (count > allocated)
            throw CArchiveException(CArchiveException::genericException,
                                    "a polygon holds more points than its allocation");
        if (qint64(count) * 8 > ar.GetBytesRemaining())
            throw CArchiveException(CArchiveException::endOfFile, "the polygon's points are cut off");
        std::vector<CPoint> points(count);
        for (CPoint& p : points)
            ar >> p;
        m_points = std::move(points);
        m_nAllocPoints = allocated;
        ar.SetObjectSchema(schema);
    }
}

int CDrawPoly::CountHandles()
{
    return GetPointCount();
}

CPoint CDrawPoly::GetHandlePoint(int n)
{
    if (n >= 1 && n <= GetPointCount())
        return m_points[size_t(n - 1)];
    return m_position.TopLeft();
}

Qt::CursorShape CDrawPoly::CursorForHandle(int n)
{
    return Qt::ArrowCursor;
}

void CDrawPoly::Draw(CDC* dc, int labelIndex)
{
    CDrawTools tools(dc, *this);
    // The points are drawn where the position is: the page printer moves an object into each
    // cell by its position alone.
    CPoint corner = m_points.empty() ? CPoint() : m_points[0];
    for (const CPoint& p : m_points) {
        corner.x = std::min(corner.x, p.x);
        corner.y = std::min(corner.y, p.y);
    }
    const std::int64_t dx = std::int64_t(m_position.left) - corner.x;
    const std::int64_t dy = std::int64_t(m_position.top) - corner.y;
    if (dx == 0 && dy == 0) {
        dc->Polygon(m_points.data(), GetPointCount());
        return;
    }
    std::vector<CPoint> moved(m_points.size());
    for (std::size_t i = 0; i < m_points.size(); ++i)
        moved[i] = CPoint(SaturateInt(m_points[i].x + dx), SaturateInt(m_points[i].y + dy));
    dc->Polygon(moved.data(), GetPointCount());
}

void CDrawPoly::MoveTo(const CRect& position, CDrawViewBase* view)
{
    if (position == m_position)
        return;
    Invalidate(view);
    const int dx = int(qint64(position.left) - m_position.left);
    const int dy = int(qint64(position.top) - m_position.top);
    for (CPoint& p : m_points)
        p = CPoint(int(quint32(p.x) + quint32(dx)), int(quint32(p.y) + quint32(dy)));
    m_position = position;
    Invalidate(view);
    SetModified();
}

BOOL CDrawPoly::OverlapsRect(const CRect& rect)
{
    return RectInPolygon(m_points.data(), GetPointCount(), rect);
}

void CDrawPoly::DragHandle(int n, CPoint point, CDrawViewBase* view)
{
    if (n < 1 || n > GetPointCount() || m_points[size_t(n - 1)] == point)
        return;
    m_points[size_t(n - 1)] = point;
    RecalcBounds(view);
    Invalidate(view);
    SetModified();
}

void CDrawPoly::RemoveLastPoint(CDrawViewBase* view)
{
    if (m_points.empty())
        return;
    Invalidate(view);
    m_points.pop_back();
    RecalcBounds(view);
    SetModified();
}

void CDrawPoly::AddPoint(const CPoint& point, CDrawViewBase* view)
{
    if (GetPointCount() == m_nAllocPoints) {
        // The stored form counts in 16 bits: a full polygon of that size takes no more points.
        if (m_nAllocPoints + 10 > kMaxPoints)
            return;
        m_nAllocPoints += 10;
    }
    if (!m_points.empty() && m_points.back() == point)
        return;
    m_points.push_back(point);
    if (!RecalcBounds(view))
        Invalidate(view);
    SetModified();
}

BOOL CDrawPoly::RecalcBounds(CDrawViewBase* view)
{
    if (m_points.empty())
        return FALSE;
    CRect bounds(m_points[0].x, m_points[0].y, m_points[0].x, m_points[0].y);
    for (const CPoint& p : m_points) {
        bounds.left = std::min(bounds.left, p.x);
        bounds.top = std::min(bounds.top, p.y);
        bounds.right = std::max(bounds.right, p.x);
        bounds.bottom = std::max(bounds.bottom, p.y);
    }
    if (bounds == m_position)
        return FALSE;
    Invalidate(view);
    m_position = bounds;
    Invalidate(view);
    return TRUE;
}

CDrawObj* CDrawPoly::Clone(CDrawDoc* doc)
{
    auto* clone = new CDrawPoly(m_position);
    CopyBaseTo(clone);
    clone->m_points = m_points;
    clone->m_nAllocPoints = m_nAllocPoints;
    if (doc)
        doc->Add(clone);
    return clone;
}
