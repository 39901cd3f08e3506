// The editing view's mouse: presses, moves and releases handed to the current tool, the mouse
// held while a tool captures it (a polygon being drawn), the focus rectangle and the tool cursor.

#include "view/drawview.h"

#include "objects/drawpoly.h"
#include "view/drawtool.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>

UINT CDrawView::FlagsOf(const QMouseEvent* event)
{
    UINT flags = 0;
    if (event->buttons() & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (event->modifiers() & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

static CPoint PointOf(const QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    return CPoint(p.x(), p.y());
}

void CDrawView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // While a polygon holds the mouse, a click outside the view is no corner: it ends the
    // polygon as a deactivation does and goes on to what lies under it (a tab's close button).
    if (m_grabWindow && !viewport()->rect().contains(event->position().toPoint())) {
        const QPointF global = event->globalPosition();
        // The point that followed the mouse out of the view goes with it.
        if (CPolyTool* tool = PolyTool())
            if (CDrawPoly* poly = tool->PolygonOf(this); poly && poly->GetPointCount() > 2) {
                InvalidateSelection(poly);
                poly->RemoveLastPoint(this);
            }
        EndPolygon();
        ReleaseCapture();
        if (QWidget* target = QApplication::widgetAt(global.toPoint()); target && target != viewport()) {
            QMouseEvent press(QEvent::MouseButtonPress, target->mapFromGlobal(global), global,
                              event->button(), event->buttons(), event->modifiers());
            QApplication::sendEvent(target, &press);
        }
        return;
    }
    OnLButtonDown(FlagsOf(event), PointOf(event));
}

void CDrawView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(FlagsOf(event), PointOf(event));
}

void CDrawView::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMove(FlagsOf(event), PointOf(event));
}

void CDrawView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnLButtonDblClk(FlagsOf(event), PointOf(event));
}

void CDrawView::OnLButtonDown(UINT flags, CPoint point)
{
    if (!m_bActive || !GetDocument())
        return;
    ClearRulerMarks();
    if (CDrawTool* tool = CDrawTool::ToolForShape(CDrawTool::c_drawShape))
        tool->OnLButtonDown(this, flags, point);
    if (!m_selection.empty()) {
        SelectTreeItem(m_pObjectTree, m_selection.back());
        CRect h, v;
        GetRulerMarks(&h, &v);
        ShowRulerMarks(h, v);
    }
}

void CDrawView::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_bActive || !GetDocument())
        return;
    if (CDrawTool* tool = CDrawTool::ToolForShape(CDrawTool::c_drawShape))
        tool->OnMouseMove(this, flags, point);
    // The marks follow the objects as they move.
    if (!m_selection.empty() && m_bCapture) {
        CRect h, v;
        GetRulerMarks(&h, &v);
        ShowRulerMarks(h, v);
    }
}

void CDrawView::OnLButtonUp(UINT flags, CPoint point)
{
    if (!m_bActive || !GetDocument())
        return;
    if (CDrawTool* tool = CDrawTool::ToolForShape(CDrawTool::c_drawShape))
        tool->OnLButtonUp(this, flags, point);
    if (!m_selection.empty())
        ClearRulerMarks();
    // A capture kept past the release (a polygon being drawn) holds on to the mouse.
    if (m_bCapture)
        GrabMouseForCapture();
}

void CDrawView::OnLButtonDblClk(UINT flags, CPoint point)
{
    if (!m_bActive || !GetDocument())
        return;
    if (CDrawTool* tool = CDrawTool::ToolForShape(CDrawTool::c_drawShape))
        tool->OnLButtonDblClk(this, flags, point);
    RefreshTreeNames();
}

void CDrawView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    OnActivateView(TRUE);
}

void CDrawView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    ClearRulerMarks();
}

void CDrawView::SetCapture()
{
    // While the button is down the window system already sends the mouse here.
    m_bCapture = TRUE;
}

void CDrawView::ReleaseCapture()
{
    m_bCapture = FALSE;
    ReleaseMouseGrab();
}

void CDrawView::GrabMouseForCapture()
{
    if (m_grabWindow || !isVisible() || !window()->isActiveWindow())
        return;
    m_grabWindow = window();
    m_grabWindow->installEventFilter(this);
    viewport()->grabMouse();
}

void CDrawView::ReleaseMouseGrab()
{
    if (QWidget* watched = m_grabWindow.data())
        watched->removeEventFilter(this);
    if (m_grabWindow || QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
    m_grabWindow = nullptr;
}

bool CDrawView::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog or another window taking over gets the mouse back; the capture itself stays,
    // and the next click in the view holds on to the mouse again.
    if (watched == m_grabWindow && (event->type() == QEvent::WindowBlocked
                                    || event->type() == QEvent::WindowDeactivate
                                    || event->type() == QEvent::Hide))
        ReleaseMouseGrab();
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CDrawView::ShowFocusRect(const CRect& client)
{
    CRect r = client;
    r.NormalizeRect();
    if (m_bFocusShown)
        InvalidateClient(CRect(m_focusRect.left, m_focusRect.top, m_focusRect.right + 1,
                               m_focusRect.bottom + 1));
    m_focusRect = r;
    m_bFocusShown = TRUE;
    InvalidateClient(CRect(r.left, r.top, r.right + 1, r.bottom + 1));
}

void CDrawView::HideFocusRect()
{
    if (!m_bFocusShown)
        return;
    m_bFocusShown = FALSE;
    InvalidateClient(CRect(m_focusRect.left, m_focusRect.top, m_focusRect.right + 1,
                           m_focusRect.bottom + 1));
}

void CDrawView::SetToolCursor(const QCursor& cursor)
{
    if (m_bDropping)
        return;
    viewport()->setCursor(cursor);
}
