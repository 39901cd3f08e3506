#include "view/drawtool.h"

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawimage.h"
#include "objects/drawpoly.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "view/drawview.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>

#include <algorithm>
#include <utility>
#include <vector>

namespace {
constexpr UINT kStrNewText = 8;  // the text of a new text object
}

int CDrawTool::c_selectMode = kSelectNone;
int CDrawTool::c_nDragHandle = 0;
UINT CDrawTool::c_nDownFlags = 0;
int CDrawTool::c_drawShape = kShapeSelect;
CPoint CDrawTool::c_down;
CPoint CDrawTool::c_last;
CPoint CDrawTool::c_lastLogical;

std::function<CDrawObj*(int, const CRect&, CDrawView*)> CDrawTool::c_createObject =
    [](int shape, const CRect& position, CDrawView* view) -> CDrawObj* {
    switch (shape) {
    case kShapeText:
        return new CDrawText(position, view, CResourceModule::Get().LoadString(kStrNewText));
    case kShapeBarcode:
        return new CDrawBarcode(position, view, CString(), view->m_nSymbology);
    case kShapePicture:
        return new CDrawImg(position, view);
    default:
        return nullptr;
    }
};

namespace {

// The object the last press of a creating tool made, until its button is released.
CDrawObj* s_madeByPress = nullptr;

std::vector<CDrawTool*>& Tools()
{
    static std::vector<CDrawTool*> tools;
    return tools;
}

CRect Normalized(CPoint a, CPoint b)
{
    CRect r(a, b);
    r.NormalizeRect();
    return r;
}

}  // namespace

QCursor ResourceCursor(UINT id, Qt::CursorShape fallback)
{
    const CCursorResource c = CResourceModule::Get().LoadCursor(id);
    if (c.image.isNull())
        return QCursor(fallback);
    return QCursor(QPixmap::fromImage(c.image), c.hotSpot.x(), c.hotSpot.y());
}

// One tool per shape, made at start-up.
static CSelectTool selectTool;
static CRectTool textTool(kShapeText);
static CRectTool barcodeTool(kShapeBarcode);
static CRectTool lineTool(kShapeLine);
static CRectTool rectTool(kShapeRect);
static CRectTool roundRectTool(kShapeRoundRect);
static CRectTool ellipseTool(kShapeEllipse);
static CPolyTool polyTool;
static CRectTool pictureTool(kShapePicture);

// ---------------------------------------------------------------------------------------------
// CDrawTool

CDrawTool::CDrawTool(int shape) : m_drawShape(shape)
{
    Tools().push_back(this);
}

CDrawTool::~CDrawTool()
{
    auto& tools = Tools();
    tools.erase(std::remove(tools.begin(), tools.end(), this), tools.end());
}

CDrawTool* CDrawTool::ToolForShape(int shape)
{
    for (CDrawTool* tool : Tools())
        if (tool->m_drawShape == shape)
            return tool;
    return nullptr;
}

void CDrawTool::OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point)
{
    view->SetCapture();
    c_nDownFlags = flags;
    c_down = point;
    c_last = point;
}

void CDrawTool::OnLButtonDblClk(CDrawView*, UINT, const CPoint&) {}

void CDrawTool::OnLButtonUp(CDrawView* view, UINT, const CPoint&)
{
    view->ReleaseCapture();
    c_drawShape = kShapeSelect;
}

void CDrawTool::OnMouseMove(CDrawView* view, UINT, const CPoint& point)
{
    c_last = point;
    for (CDrawObj* obj : view->GetSelection()) {
        int inside = 0;
        obj->HitTest(point, view, TRUE, &inside);
        if (inside) {
            view->SetToolCursor(QCursor(Qt::SizeAllCursor));
            return;
        }
    }
    view->SetToolCursor(QCursor(Qt::ArrowCursor));
}

void CDrawTool::OnEditProperties(CDrawView*) {}

void CDrawTool::OnCancel()
{
    c_drawShape = kShapeSelect;
}

// ---------------------------------------------------------------------------------------------
// CSelectTool

CSelectTool::CSelectTool() : CDrawTool(kShapeSelect) {}

void CSelectTool::OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point)
{
    const CPoint local = view->ClientToDoc(point);
    c_selectMode = kSelectNone;

    // A handle counts only while exactly one object is selected.
    const auto& selection = view->GetSelection();
    if (selection.size() == 1) {
        c_nDragHandle = selection.front()->HitTest(point, view, TRUE, nullptr);
        if (c_nDragHandle != 0)
            c_selectMode = kSelectSize;
    }
    if (c_selectMode == kSelectNone) {
        if (CDrawObj* obj = view->GetDocument()->FindObjectAtPoint(local)) {
            c_selectMode = kSelectMove;
            // An object already selected keeps the rest of the selection, so that all move.
            if (!view->IsSelected(obj))
                view->Select(obj, (flags & MK_SHIFT) != 0);
        }
    }
    if (c_selectMode == kSelectNone) {
        if (!(flags & MK_SHIFT))
            view->Select(nullptr, FALSE);
        c_selectMode = kSelectNet;
        view->ShowFocusRect(CRect(point, point));
    }
    c_lastLogical = local;
    CDrawTool::OnLButtonDown(view, flags, point);
}

void CSelectTool::OnMouseMove(CDrawView* view, UINT flags, const CPoint& point)
{
    if (view->HasCapture()) {
        if (c_selectMode == kSelectNet) {
            view->ShowFocusRect(Normalized(c_down, point));
            CDrawTool::OnMouseMove(view, flags, point);
            return;
        }
        const CPoint local = view->ClientToDoc(point);
        const CPoint delta = local - c_lastLogical;
        // Moving may change nothing in the selection, but a copy keeps the walk safe.
        const std::vector<CDrawObj*> selection = view->GetSelection();
        for (CDrawObj* obj : selection) {
            if (c_selectMode == kSelectMove) {
                CRect r = obj->m_position;
                r.OffsetRect(delta.x, delta.y);
                obj->MoveTo(r, view);
            } else if (c_nDragHandle != 0) {
                // A dragged handle stops at the canvas's edge; the object is never pushed off.
                CRect canvas;
                view->GetDocument()->GetCanvasRect(&canvas);
                const CPoint inCanvas(std::clamp(local.x, canvas.left, canvas.right),
                                      std::clamp(local.y, canvas.top, canvas.bottom));
                obj->DragHandle(c_nDragHandle, inCanvas, view);
            }
        }
        c_lastLogical = local;
        if (c_selectMode == kSelectSize && c_drawShape == kShapeSelect) {
            c_last = point;
            if (!selection.empty())
                view->SetToolCursor(QCursor(selection.front()->CursorForHandle(c_nDragHandle)));
            return;
        }
        c_last = point;
        if (c_drawShape == kShapeSelect)
            CDrawTool::OnMouseMove(view, flags, point);
        return;
    }
    if (c_drawShape != kShapeSelect)
        return;
    const auto& selection = view->GetSelection();
    if (selection.size() == 1) {
        if (const int handle = selection.front()->HitTest(point, view, TRUE, nullptr)) {
            view->SetToolCursor(QCursor(selection.front()->CursorForHandle(handle)));
            return;
        }
    }
    CDrawTool::OnMouseMove(view, flags, point);
}

void CSelectTool::OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point)
{
    if (view->HasCapture()) {
        if (c_selectMode == kSelectNet) {
            CRect band = Normalized(c_down, c_last);
            view->HideFocusRect();
            view->SelectInRect(band, TRUE);
            band.InflateRect(1, 1);
            view->InvalidateClient(band);
        } else if (c_selectMode != kSelectNone) {
            view->GetDocument()->UpdateAllViews(view, 0);
        }
    }
    CDrawTool::OnLButtonUp(view, flags, point);
}

void CSelectTool::OnLButtonDblClk(CDrawView* view, UINT flags, const CPoint& point)
{
    if (flags & MK_SHIFT) {
        CDrawObj* obj = view->GetDocument()->FindObjectAtPoint(view->ClientToDoc(point));
        if (obj && view->IsSelected(obj)) {
            view->InvalidateSelection(obj);
            view->Deselect(obj);
        }
    } else if (view->GetSelection().size() == 1) {
        view->GetSelection().front()->OnOpen(view);
    }
    CDrawTool::OnLButtonDblClk(view, flags, point);
}

void CSelectTool::OnEditProperties(CDrawView* view)
{
    if (view->GetSelection().size() == 1)
        view->GetSelection().front()->OnEditProperties(view);
}

// ---------------------------------------------------------------------------------------------
// CRectTool

CRectTool::CRectTool(int shape) : CDrawTool(shape) {}

void CRectTool::OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point)
{
    CDrawTool::OnLButtonDown(view, flags, point);
    const CPoint local = view->ClientToDoc(point);
    const CRect position(local, local);
    bool sheetShown = false;

    CDrawObj* obj = nullptr;
    switch (m_drawShape) {
    case kShapeText:
    case kShapeBarcode:
    case kShapePicture:
        obj = c_createObject ? c_createObject(m_drawShape, position, view) : nullptr;
        break;
    default: {
        auto* rect = new CDrawRect(position);
        rect->m_nShape = m_drawShape == kShapeLine        ? CDrawRect::line
                       : m_drawShape == kShapeRoundRect   ? CDrawRect::roundRectangle
                       : m_drawShape == kShapeEllipse     ? CDrawRect::ellipse
                                                          : CDrawRect::rectangle;
        obj = rect;
        break;
    }
    }
    if (!obj) {
        // That kind of object cannot be made here: the press selects instead.
        c_drawShape = kShapeSelect;
        selectTool.OnLButtonDown(view, flags, point);
        return;
    }
    obj->m_pDocument = view->GetDocument();

    if (m_drawShape == kShapeText || m_drawShape == kShapeBarcode || m_drawShape == kShapePicture) {
        if (m_drawShape != kShapePicture)
            obj->AssignDefaultName(view);
        if (m_drawShape != kShapeBarcode)
            if (auto* rect = dynamic_cast<CDrawRect*>(obj))
                rect->m_nShape = CDrawRect::rectangle;
        c_drawShape = kShapeSelect;
        sheetShown = true;
        if (!obj->OnEditProperties(view)) {
            // A cancelled sheet: the object never reaches the document, and the rest of the
            // drag moves nothing else.
            obj->m_pDocument = nullptr;
            obj->Remove();
            c_selectMode = kSelectNone;
            c_nDragHandle = 0;
            s_madeByPress = nullptr;
            view->ReleaseCapture();
            return;
        }
    }

    view->AddObject(obj);
    s_madeByPress = obj;
    view->Select(obj, FALSE);
    view->ClearRulerMarks();
    c_lastLogical = local;
    if (sheetShown && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        // The sheet took the mouse and the button came up over it: the press is over, and the
        // object keeps the size the sheet gave it instead of following the free mouse.
        c_selectMode = kSelectNone;
        c_nDragHandle = 0;
        s_madeByPress = nullptr;
        view->ReleaseCapture();
        return;
    }
    c_selectMode = kSelectSize;
    c_nDragHandle = 5;  // the bottom-right corner follows the mouse
}

void CRectTool::OnLButtonDblClk(CDrawView*, UINT, const CPoint&) {}

void CRectTool::OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point)
{
    CDrawObj* made = std::exchange(s_madeByPress, nullptr);
    if (point == c_down && made && !view->GetSelection().empty() && view->GetSelection().back() == made) {
        // A click without a drag leaves no empty object behind and selects instead.
        CDrawObj* obj = made;
        view->GetDocument()->Remove(obj);
        if (obj->CountHandles() > 0) {
            CRect handle = obj->GetHandleRect(1, view);
            handle.InflateRect(1, 1);
            view->InvalidateClient(handle);
        }
        view->UnlistFromTrees(obj);
        obj->Remove();
        selectTool.OnLButtonDown(view, flags, point);
    }
    selectTool.OnLButtonUp(view, flags, point);
}

void CRectTool::OnMouseMove(CDrawView* view, UINT flags, const CPoint& point)
{
    view->SetToolCursor(QCursor(Qt::CrossCursor));
    selectTool.OnMouseMove(view, flags, point);
}

void CRectTool::OnEditProperties(CDrawView*) {}

void CRectTool::OnCancel()
{
    c_drawShape = kShapeSelect;
}

// ---------------------------------------------------------------------------------------------
// CPolyTool

CPolyTool::CPolyTool() : CDrawTool(kShapePolygon) {}

void CPolyTool::OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point)
{
    // A polygon belongs to the view it was begun in; a press elsewhere begins a new one.
    if (m_pDrawObj && m_pView != view)
        EndPolygon();
    CDrawTool::OnLButtonDown(view, flags, point);
    CPoint local = view->ClientToDoc(point);

    if (!m_pDrawObj) {
        view->SetCapture();
        m_pDrawObj = new CDrawPoly(CRect(local, local));
        m_pView = view;
        // Polygons are not listed in the object tree.
        view->GetDocument()->Add(m_pDrawObj);
        view->Select(m_pDrawObj, FALSE);
        m_pDrawObj->AddPoint(local, view);
    } else if (local == m_pDrawObj->GetPoints().front()) {
        // Back on the first point: the polygon is closed without the point that followed.
        CDrawPoly* poly = std::exchange(m_pDrawObj, nullptr);
        m_pView = nullptr;
        view->ReleaseCapture();
        poly->RemoveLastPoint(view);
        if (poly->GetPointCount() < 2) {
            view->GetDocument()->Remove(poly);
            view->Deselect(poly);
            poly->Remove();
        } else {
            view->InvalidateSelection(poly);
        }
        c_drawShape = kShapeSelect;
        return;
    }

    // The new point follows the mouse; one unit to the right so that it never coincides.
    local.x += 1;
    m_pDrawObj->AddPoint(local, view);
    c_selectMode = kSelectSize;
    c_nDragHandle = m_pDrawObj->CountHandles();
    c_lastLogical = local;
}

void CPolyTool::OnLButtonUp(CDrawView*, UINT, const CPoint&)
{
    // The view keeps the mouse while the polygon is drawn.
}

void CPolyTool::OnMouseMove(CDrawView* view, UINT flags, const CPoint& point)
{
    if (CDrawPoly* poly = PolygonOf(view); poly && (flags & MK_LBUTTON)) {
        // Freehand: every move with the button held adds a point.
        const CPoint local = view->ClientToDoc(point);
        poly->AddPoint(local, view);
        c_nDragHandle = poly->CountHandles();
        c_lastLogical = local;
        c_last = point;
        static const QCursor pencil = ResourceCursor(102, Qt::CrossCursor);
        view->SetToolCursor(pencil);
        return;
    }
    view->SetToolCursor(QCursor(Qt::CrossCursor));
    selectTool.OnMouseMove(view, flags, point);
}

void CPolyTool::OnLButtonDblClk(CDrawView* view, UINT, const CPoint&)
{
    view->ReleaseCapture();
    if (CDrawPoly* poly = PolygonOf(view)) {
        const auto& points = poly->GetPoints();
        const int n = poly->GetPointCount();
        if (n > 2) {
            const CPoint last = points[std::size_t(n - 1)], prev = points[std::size_t(n - 2)];
            if (last == prev || (last.x == prev.x + 1 && last.y == prev.y)) {
                poly->RemoveLastPoint(view);
                view->InvalidateSelection(poly);
            }
        }
    }
    EndPolygon();
    c_drawShape = kShapeSelect;
}

void CPolyTool::OnCancel()
{
    // The unfinished polygon stays in the document with the points it has.
    EndPolygon();
    c_drawShape = kShapeSelect;
}

void CPolyTool::EndPolygon(const CDrawView* view)
{
    if (view && view != m_pView)
        return;
    CDrawView* owner = std::exchange(m_pView, nullptr);
    const bool drawing = std::exchange(m_pDrawObj, nullptr) != nullptr;
    if (owner)
        owner->ReleaseCapture();
    if (drawing && c_drawShape == kShapePolygon)
        c_drawShape = kShapeSelect;
}
