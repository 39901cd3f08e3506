#include "objects/drawobj.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "objects/drawviewbase.h"
#include "objects/region.h"

#include <algorithm>
#include <cmath>
#include <limits>

IMPLEMENT_SERIAL(CDrawObj, CObject, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CDrawRect, CDrawObj, VERSIONABLE_SCHEMA | 1)

// ---------------------------------------------------------------------------------------------
// CDrawObj

CDrawObj::CDrawObj()
{
    m_logpen.lopnStyle = PS_INSIDEFRAME;
    m_logpen.lopnWidth = CPoint(4, 4);
    m_logpen.lopnColor = RGB(0, 0, 0);
    m_logbrush.lbStyle = BS_SOLID;
}

CDrawObj::CDrawObj(const CRect& position) : CDrawObj()
{
    m_position = position;
}

CDrawObj::~CDrawObj() = default;

UINT CDrawObj::ReadLevelClass(CArchive& ar, const CRuntimeClass* cls)
{
    UINT schema = ar.GetObjectSchema();
    if (int(schema) > 0) {
        ar.SerializeClass(cls);
        schema = ar.GetObjectSchema();
    }
    return schema;
}

void CDrawObj::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawObj));
        ar << m_position;
        ar << WORD(m_bPen);
        ar << DWORD(m_logpen.lopnStyle) << int(m_logpen.lopnWidth.x) << int(m_logpen.lopnWidth.y)
           << DWORD(m_logpen.lopnColor);
        ar << WORD(m_bBrush);
        ar << DWORD(m_logbrush.lbStyle) << DWORD(m_logbrush.lbColor) << DWORD(m_logbrush.lbHatch);
    } else {
        const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawObj));
        m_pDocument = dynamic_cast<CDrawDoc*>(ar.m_pDocument);
        WORD w = 0;
        DWORD style = 0, color = 0, hatch = 0;
        int wx = 0, wy = 0;
        ar >> m_position;
        ar >> w;
        m_bPen = w;
        ar >> style >> wx >> wy >> color;
        m_logpen.lopnStyle = style;
        m_logpen.lopnWidth = CPoint(wx, wy);
        m_logpen.lopnColor = color;
        ar >> w;
        m_bBrush = w;
        ar >> style >> color >> hatch;
        m_logbrush.lbStyle = style;
        m_logbrush.lbColor = color;
        m_logbrush.lbHatch = hatch;
        ar.SetObjectSchema(schema);
    }
}

int CDrawObj::CountHandles()
{
    return 8;
}

CPoint CDrawObj::GetHandlePoint(int n)
{
    return HandlePointOf(m_position, n);
}

CPoint CDrawObj::HandlePointOf(const CRect& box, int n)
{
    const qint64 l = box.left, t = box.top, r = box.right, b = box.bottom;
    const int xc = SaturateInt(l + (r - l) / 2);
    const int yc = SaturateInt(t + (b - t) / 2);
    switch (n) {
    case 2: return CPoint(xc, int(t));
    case 3: return CPoint(int(r), int(t));
    case 4: return CPoint(int(r), yc);
    case 5: return CPoint(int(r), int(b));
    case 6: return CPoint(xc, int(b));
    case 7: return CPoint(int(l), int(b));
    case 8: return CPoint(int(l), yc);
    default: return CPoint(int(l), int(t));
    }
}

Qt::CursorShape CDrawObj::CursorForHandle(int n)
{
    switch (n) {
    case 2:
    case 6: return Qt::SizeVerCursor;
    case 3:
    case 7: return Qt::SizeBDiagCursor;
    case 4:
    case 8: return Qt::SizeHorCursor;
    default: return Qt::SizeFDiagCursor;
    }
}

void CDrawObj::SetModified()
{
    if (m_pDocument)
        m_pDocument->SetModifiedFlag(TRUE);
}

void CDrawObj::Invalidate(CDrawViewBase* view)
{
    if (view)
        view->InvalidateObject(this);
    else if (m_pDocument)
        m_pDocument->UpdateAllViews(nullptr, 1, this);
}

void CDrawObj::OnOpen(CDrawViewBase* view)
{
    OnEditProperties(view);
}

BOOL CDrawObj::OnEditProperties(CDrawViewBase* view)
{
    if (!m_sheet.HasPages())
        return FALSE;
    const BOOL ok = RunObjectSheet(m_sheet, view);
    Invalidate(view);
    return ok;
}

void CDrawObj::SetLineColor(COLORREF color)
{
    m_logpen.lopnColor = color;
    Invalidate();
    SetModified();
}

void CDrawObj::SetFillColor(COLORREF color)
{
    m_logbrush.lbColor = color;
    Invalidate();
    SetModified();
}

void CDrawObj::DrawSelectionState(CDC* dc, int state)
{
    if (state == kSelectionSelected || state == kSelectionActive)
        DrawHandles(dc, state, {});
}

void CDrawObj::DrawHandles(CDC* dc, int state, const std::map<int, COLORREF>& colors)
{
    if (state != kSelectionSelected && state != kSelectionActive)
        return;
    const int dpi = dc->GetDeviceCaps(LOGPIXELSX);
    const CSize windowExt = dc->GetWindowExt();
    const CSize viewportExt = dc->GetViewportExt();
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* oldPen = dc->SelectObject(&pen);
    const int count = CountHandles();
    for (int n = 1; n <= count; ++n) {
        const auto it = colors.find(n);
        CBrush brush(it != colors.end() ? it->second : RGB(0, 255, 0));
        CBrush* oldBrush = dc->SelectObject(&brush);
        // One logical unit per device pixel while the handle is drawn, so that it keeps its
        // size at every zoom.
        CPoint p = GetHandlePoint(n);
        dc->LPtoDP(&p);
        dc->SetWindowExt(dpi, dpi);
        dc->SetViewportExt(dpi, dpi);
        dc->DPtoLP(&p);
        dc->Rectangle(p.x - 4, p.y - 4, p.x + 4, p.y + 4);
        dc->SetWindowExt(windowExt);
        dc->SetViewportExt(viewportExt);
        dc->SelectObject(oldBrush);
    }
    dc->SelectObject(oldPen);
}

void CDrawObj::MoveTo(const CRect& positionIn, CDrawViewBase* view)
{
    if (positionIn == m_position)
        return;
    CRect position = positionIn;
    if (m_pDocument) {
        CRect canvas;
        m_pDocument->GetCanvasRect(&canvas);
        qint64 l = position.left, t = position.top, r = position.right, b = position.bottom;
        auto shift = [](qint64& a, qint64& c, qint64 d) { a += d; c += d; };
        if (l < canvas.left)
            shift(l, r, canvas.left - l);
        if (t < canvas.top)
            shift(t, b, canvas.top - t);
        if (r > canvas.right)
            shift(l, r, canvas.right - r);
        if (b > canvas.bottom)
            shift(t, b, canvas.bottom - b);
        position = CRect(SaturateInt(l), SaturateInt(t), SaturateInt(r), SaturateInt(b));
    }
    Invalidate(view);
    m_position = position;
    Invalidate(view);
    SetModified();
}

CRect CDrawObj::GetHandleRect(int n, CDrawViewBase* view)
{
    CPoint p = GetHandlePoint(n);
    if (view)
        p = view->DocToClient(p);
    return CRect(p.x - 4, p.y - 4, p.x + 4, p.y + 4);
}

int CDrawObj::HitTest(CPoint client, CDrawViewBase* view, BOOL selected, int* inside)
{
    if (inside)
        *inside = 0;
    const int count = CountHandles();
    for (int n = 1; n <= count; ++n)
        if (GetHandleRect(n, view).PtInRect(client))
            return n;
    const CPoint logical = view ? view->ClientToDoc(client) : client;
    CRect r = m_position;
    r.NormalizeRect();
    if (inside && r.PtInRect(logical))
        *inside = 1;
    return 0;
}

BOOL CDrawObj::OverlapsRect(const CRect& rectIn)
{
    CRect rect = rectIn, pos = m_position, out;
    rect.NormalizeRect();
    pos.NormalizeRect();
    return out.IntersectRect(rect, pos);
}

void CDrawObj::DragHandle(int n, CPoint point, CDrawViewBase* view)
{
    CRect r = m_position;
    switch (n) {
    case 2: r.top = point.y; break;
    case 3: r.right = point.x; r.top = point.y; break;
    case 4: r.right = point.x; break;
    case 5: r.right = point.x; r.bottom = point.y; break;
    case 6: r.bottom = point.y; break;
    case 7: r.left = point.x; r.bottom = point.y; break;
    case 8: r.left = point.x; break;
    default: r.left = point.x; r.top = point.y; break;
    }
    MoveTo(r, view);
}

void CDrawObj::CopyBaseTo(CDrawObj* other) const
{
    other->m_bPen = m_bPen;
    other->m_logpen = m_logpen;
    other->m_bBrush = m_bBrush;
    other->m_logbrush = m_logbrush;
}

CDrawObj* CDrawObj::Clone(CDrawDoc* doc)
{
    auto* clone = new CDrawObj(m_position);
    CopyBaseTo(clone);
    if (doc)
        doc->Add(clone);
    return clone;
}

void CDrawObj::Remove()
{
    delete this;
}

// ---------------------------------------------------------------------------------------------
// CDrawRect

CDrawRect::CDrawRect()
{
    m_logpen.lopnWidth = CPoint(6, 6);
}

CDrawRect::CDrawRect(const CRect& position) : CDrawObj(position), m_roundness(256, 256)
{
    m_logpen.lopnWidth = CPoint(6, 6);
}

int CDrawRect::PenWidthFromMm(double mm)
{
    // The divisor is the single-precision 25.4 of the original, and the result is truncated.
    const double units = mm * 1536.0 / double(25.4f);
    if (!(units > std::numeric_limits<int>::min() && units < std::numeric_limits<int>::max()))
        return std::isnan(units) || units < 0 ? 0 : std::numeric_limits<int>::max();
    return int(units);
}

void CDrawRect::Serialize(CArchive& ar)
{
    CDrawObj::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawRect));
        ar << WORD(m_nShape) << m_roundness << DWORD(m_nRotation) << m_shapeData.lineWidthMm;
    } else {
        const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawRect));
        WORD shape = 0;
        DWORD rotation = 0;
        ar >> shape >> m_roundness >> rotation >> m_shapeData.lineWidthMm;
        m_nShape = shape;
        m_nRotation = int(rotation);
        const int width = PenWidthFromMm(m_shapeData.lineWidthMm);
        m_logpen.lopnWidth = CPoint(width, width);
        ar.SetObjectSchema(schema);
    }
}

int CDrawRect::CountHandles()
{
    if (m_nShape == line)
        return 2;
    return m_nShape == roundRectangle ? 9 : 8;
}

CPoint CDrawRect::GetHandlePoint(int n)
{
    if (m_nShape == line && n == 2)
        n = 5;
    else if (m_nShape == roundRectangle && n == 9)
        return CPoint(SaturateInt(qint64(std::max(m_position.left, m_position.right)) - m_roundness.x / 2),
                      SaturateInt(qint64(std::max(m_position.top, m_position.bottom)) - m_roundness.y / 2));
    return CDrawObj::GetHandlePoint(n);
}

Qt::CursorShape CDrawRect::CursorForHandle(int n)
{
    if (m_nShape == line && n == 2)
        n = 5;
    else if (m_nShape == roundRectangle && n == 9)
        return Qt::PointingHandCursor;
    return CDrawObj::CursorForHandle(n);
}

CDrawTools::CDrawTools(CDC* dc, const CDrawObj& obj) : m_dc(dc)
{
    m_brush.CreateBrushIndirect(&obj.m_logbrush);
    m_pen.CreatePenIndirect(&obj.m_logpen);
    m_oldBrush = obj.m_bBrush ? dc->SelectObject(&m_brush) : dc->SelectStockObject(NULL_BRUSH);
    m_oldPen = obj.m_bPen ? dc->SelectObject(&m_pen) : dc->SelectStockObject(NULL_PEN);
}

CDrawTools::~CDrawTools()
{
    m_dc->SelectObject(m_oldPen);
    m_dc->SelectObject(m_oldBrush);
}

void CDrawRect::Draw(CDC* dc, int labelIndex)
{
    CDrawTools tools(dc, *this);

    const CRect& r = m_position;
    switch (m_nShape) {
    case rectangle:
        dc->Rectangle(&r);
        break;
    case roundRectangle:
        dc->RoundRect(&r, m_roundness);
        break;
    case ellipse:
        dc->Ellipse(&r);
        break;
    case line: {
        // The end points move inwards by half the pen, so that the stroke stays inside the
        // rectangle as an inside-frame outline does.
        const qint64 wx = m_logpen.lopnWidth.x, wy = m_logpen.lopnWidth.y;
        qint64 x1, x2, y1, y2;
        if (r.left <= r.right) {
            x1 = r.left + (wx + 1) / 2;
            x2 = r.right - wx / 2;
        } else {
            x1 = r.left - wx / 2;
            x2 = r.right + (wx + 1) / 2;
        }
        if (r.top <= r.bottom) {
            y1 = r.top + (wy + 1) / 2;
            y2 = r.bottom - wy / 2;
        } else {
            y1 = r.top - wy / 2;
            y2 = r.bottom + (wy + 1) / 2;
        }
        dc->MoveTo(SaturateInt(x1), SaturateInt(y1));
        dc->LineTo(SaturateInt(x2), SaturateInt(y2));
        break;
    }
    default:
        break;
    }
}

BOOL CDrawRect::OverlapsRect(const CRect& rectIn)
{
    CRect rect = rectIn, pos = m_position, out;
    rect.NormalizeRect();
    pos.NormalizeRect();
    // Thin shapes get a margin, so that a horizontal or vertical line can be found at all.
    if (pos.Width() == 0 || pos.Height() == 0)
        pos.InflateRect(48, 48);
    if (!out.IntersectRect(rect, pos))
        return FALSE;
    switch (m_nShape) {
    case roundRectangle:
        return RectInRoundRect(pos, m_roundness, rect);
    case ellipse:
        return RectInEllipse(pos, rect);
    case line: {
        // A band about the segment as drawn, from (left, top) to (right, bottom) of the stored
        // rectangle, 8 x (pen width + 5) units to either side of it.
        const double dx = int((qint64(m_logpen.lopnWidth.x) + 5) * 16.0 * 0.5);
        const double dy = int((qint64(m_logpen.lopnWidth.y) + 5) * 16.0 * 0.5);
        const double x1 = m_position.left, y1 = m_position.top;
        const double x2 = m_position.right, y2 = m_position.bottom;
        const double length = std::hypot(x2 - x1, y2 - y1);
        auto at = [](double x, double y) { return CPoint(SaturateInt(x), SaturateInt(y)); };
        if (length == 0) {
            // A line of no length: a square about its point.
            const CPoint square[4] = {at(x1 - dx, y1 - dy), at(x1 + dx, y1 - dy), at(x1 + dx, y1 + dy),
                                      at(x1 - dx, y1 + dy)};
            return RectInPolygon(square, 4, rect);
        }
        // The segment's unit normal scaled by the half-widths.
        const double ox = -(y2 - y1) / length * dx, oy = (x2 - x1) / length * dy;
        const CPoint band[4] = {at(x1 + ox, y1 + oy), at(x2 + ox, y2 + oy), at(x2 - ox, y2 - oy),
                                at(x1 - ox, y1 - oy)};
        return RectInPolygon(band, 4, rect);
    }
    default:
        return TRUE;
    }
}

void CDrawRect::DragHandle(int n, CPoint point, CDrawViewBase* view)
{
    if (m_nShape == line && n == 2) {
        n = 5;
    } else if (m_nShape == roundRectangle && n == 9) {
        CRect r = m_position;
        r.NormalizeRect();
        const qint64 x = point.x > qint64(r.right) - 1
            ? qint64(r.right) - 1
            : std::max<qint64>(point.x, r.left + (qint64(r.right) - r.left) / 2);
        const qint64 y = point.y > qint64(r.bottom) - 1
            ? qint64(r.bottom) - 1
            : std::max<qint64>(point.y, r.top + (qint64(r.bottom) - r.top) / 2);
        m_roundness = CPoint(SaturateInt((r.right - x) * 2), SaturateInt((r.bottom - y) * 2));
        SetModified();
        Invalidate(view);
        return;
    }
    CDrawObj::DragHandle(n, point, view);
}

CDrawObj* CDrawRect::Clone(CDrawDoc* doc)
{
    auto* clone = new CDrawRect(m_position);
    CopyBaseTo(clone);
    clone->m_nShape = m_nShape;
    clone->m_roundness = m_roundness;
    clone->m_nRotation = m_nRotation;
    // The line width is the stored form of the pen width, and a clone must store what it shows.
    clone->m_shapeData = m_shapeData;
    if (doc)
        doc->Add(clone);
    return clone;
}

void CDrawRect::Rotate90()
{
    Invalidate();
    m_nRotation = int((qint64(m_nRotation) + 900) % 3600);
    const qint64 l = m_position.left, t = m_position.top, r = m_position.right,
                 b = m_position.bottom;
    const qint64 cx = (l + r) / 2, cy = (t + b) / 2;
    const qint64 w = std::abs(r - l), h = std::abs(b - t);
    m_position = CRect(SaturateInt(cx - (h / 2 + h % 2)), SaturateInt(cy - (w / 2 + w % 2)),
                       SaturateInt(cx + h / 2), SaturateInt(cy + w / 2));
    Invalidate();
}

void CDrawRect::FillShapeData()
{
    m_shapeData.lineColor = m_logpen.lopnColor;
    m_shapeData.fillColor = m_logbrush.lbColor;
    m_shapeData.fillOn = m_bBrush;
    m_shapeData.lineOn = m_bPen;
}

BOOL CDrawRect::OnEditProperties(CDrawViewBase* view)
{
    // The page works on a copy, so that Cancel leaves the object as it was.
    FillShapeData();
    CShapeData page = m_shapeData;
    m_sheet.shape = HasShapePage() ? &page : nullptr;
    const BOOL ok = CDrawObj::OnEditProperties(view);
    m_sheet.shape = nullptr;
    if (!ok)
        return FALSE;
    m_shapeData = page;
    ApplyShapeData();
    Invalidate(view);
    SetModified();
    return TRUE;
}

void CDrawRect::ApplyShapeData()
{
    m_bBrush = m_shapeData.fillOn;
    m_bPen = m_shapeData.lineOn;
    m_logpen.lopnColor = m_shapeData.lineColor;
    m_logbrush.lbColor = m_shapeData.fillColor;
    const int width = PenWidthFromMm(m_shapeData.lineWidthMm);
    m_logpen.lopnWidth = CPoint(width, width);
}
