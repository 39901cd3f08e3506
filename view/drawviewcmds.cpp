// The editing view's commands on the label: drawing order, nudging, colours, rotation, item
// frames, fitting the label to the window, selecting all, deleting, inserting pictures and the
// context menu. The clipboard and the picture export have files of their own.

#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/progress.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "objects/drawimage.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr UINT kCmdToFront = 32777;
constexpr UINT kCmdToBack = 32778;
constexpr UINT kCmdForward = 32779;
constexpr UINT kCmdBackward = 32780;
constexpr UINT kCmdNudgeUp = 32922;
constexpr UINT kCmdNudgeDown = 32924;
constexpr UINT kCmdNudgeLeft = 32925;
constexpr UINT kCmdNudgeRight = 32926;
constexpr UINT kCmdRotate = 32831;
constexpr UINT kCmdDatabaseSetup = 32934;
constexpr UINT kCmdItemFrames = 32784;
constexpr UINT kCmdFit = 32902;
constexpr UINT kCmdExport = 32936;
constexpr UINT kCmdClear = 57632;
constexpr UINT kCmdCopy = 57634;
constexpr UINT kCmdCut = 57635;
constexpr UINT kCmdPaste = 57637;
constexpr UINT kCmdSelectAll = 57642;
// Inserting another program's file as an embedded object has no counterpart here.
constexpr UINT kCmdsInsertObject[] = {32893, 32894, 32896, 32898};
constexpr UINT kCmdLineColor = 32775;
constexpr UINT kCmdFillColor = 32776;
constexpr UINT kCmdInsertPicture = 32944;
constexpr UINT kContextMenu = 103;
constexpr UINT kStrInsertFailed = 102;
constexpr UINT kStrPictureFilter = 128;
constexpr UINT kStrPictureExt = 129;

QPointer<CCommandRouter> g_router;

}  // namespace

void CDrawView::SetCommandRouter(CCommandRouter* router)
{
    g_router = router;
}

CCommandRouter* CDrawView::GetCommandRouter()
{
    return g_router;
}

void CDrawView::RegisterEditCommands()
{
    const auto oneSelected = [this](CCmdUI* ui) { ui->Enable(m_selection.size() == 1); };
    const auto anySelected = [this](CCmdUI* ui) { ui->Enable(!m_selection.empty()); };
    const std::pair<UINT, ZOrder> orders[] = {
        {kCmdToFront, kToFront}, {kCmdToBack, kToBack}, {kCmdForward, kForward}, {kCmdBackward, kBackward}};
    for (const auto& [id, order] : orders) {
        OnCommand(id, [this, order = order] { OnZOrder(order); });
        OnUpdateCommandUI(id, oneSelected);
    }
    OnCommand(kCmdNudgeUp, [this] { OnNudge(0, -1); });
    OnCommand(kCmdNudgeDown, [this] { OnNudge(0, 1); });
    OnCommand(kCmdNudgeLeft, [this] { OnNudge(-1, 0); });
    OnCommand(kCmdNudgeRight, [this] { OnNudge(1, 0); });
    OnCommand(kCmdLineColor, [this] { OnColor(FALSE); });
    OnCommand(kCmdFillColor, [this] { OnColor(TRUE); });
    OnCommand(kCmdRotate, [this] { OnRotate(); });
    OnCommand(kCmdDatabaseSetup, [this] { OnDatabaseSetup(); });
    OnUpdateCommandUI(kCmdRotate, anySelected);
    OnCommand(kCmdItemFrames, [this] {
        CDrawOleObj::c_bShowItems = !CDrawOleObj::c_bShowItems;
        if (GetDocument())
            GetDocument()->UpdateAllViews(nullptr, kHintOleItems, nullptr);
    });
    OnUpdateCommandUI(kCmdItemFrames, [](CCmdUI* ui) { ui->SetCheck(CDrawOleObj::c_bShowItems ? 1 : 0); });
    OnCommand(kCmdFit, [this] { OnFitLabel(); });
    OnCommand(kCmdSelectAll, [this] { OnSelectAll(); });
    OnUpdateCommandUI(kCmdSelectAll, [this](CCmdUI* ui) {
        ui->Enable(GetDocument() && !GetDocument()->GetObjects().empty());
    });
    OnCommand(kCmdClear, [this] { OnEditClear(); });
    OnCommand(kCmdCopy, [this] { OnEditCopy(); });
    OnCommand(kCmdCut, [this] { OnEditCut(); });
    OnCommand(kCmdPaste, [this] { OnEditPaste(); });
    for (UINT id : {kCmdClear, kCmdCopy, kCmdCut})
        OnUpdateCommandUI(id, anySelected);
    OnUpdateCommandUI(kCmdPaste, [](CCmdUI* ui) { ui->Enable(CanPaste()); });
    for (UINT id : kCmdsInsertObject)
        OnUpdateCommandUI(id, [](CCmdUI* ui) { ui->Enable(FALSE); });
    OnCommand(kCmdInsertPicture, [this] { OnInsertPicture(); });
    OnCommand(kCmdExport, [this] { OnExportImage(); });
    // Reachable from the toolbar only.
    OnUpdateCommandUI(kCmdExport, [](CCmdUI* ui) {
        ui->RemoveFromMenu();
        ui->Enable(TRUE);
    });
    WatchClipboard();
}

// ---------------------------------------------------------------------------------------------
// Drawing order, nudging, rotation

void CDrawView::OnZOrder(ZOrder order)
{
    CDrawDoc* doc = GetDocument();
    if (!doc || m_selection.empty())
        return;
    CDrawObj* obj = m_selection.front();
    std::vector<CDrawObj*> objects = doc->GetObjects();
    const auto it = std::find(objects.begin(), objects.end(), obj);
    if (it == objects.end())
        return;
    const std::vector<CDrawObj*> before = objects;
    switch (order) {
    case kToFront: std::rotate(it, it + 1, objects.end()); break;
    case kToBack: std::rotate(objects.begin(), it, it + 1); break;
    case kForward:
        if (it + 1 != objects.end())
            std::iter_swap(it, it + 1);
        break;
    case kBackward:
        if (it != objects.begin())
            std::iter_swap(it, it - 1);
        break;
    }
    if (objects == before)
        return;
    doc->SetObjectOrder(objects);
    doc->SetModifiedFlag(TRUE);
    InvalidateSelection();
}

void CDrawView::OnNudge(int dx, int dy)
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return;
    CRect canvas;
    doc->GetCanvasRect(&canvas);
    // One edge moves a step (converted toward zero, so 6 or 7 units), the other keeps the size;
    // the span stays inside the canvas.
    const auto step = [](qint64& lo, qint64& hi, LONG min, LONG max, int direction) {
        if (direction == 0)
            return;
        const qint64 size = hi - lo;
        qint64 to = qint64(double(lo) + direction * kNudgeStep);
        if (direction < 0)
            to = std::max<qint64>(to, min);
        else if (to + size > max)
            to = max - size;
        lo = to;
        hi = to + size;
    };
    BOOL moved = FALSE;
    for (CDrawObj* obj : m_selection) {
        const CRect r = obj->m_position;
        qint64 left = r.left, top = r.top, right = r.right, bottom = r.bottom;
        step(top, bottom, canvas.top, canvas.bottom, dy);
        step(left, right, canvas.left, canvas.right, dx);
        const CRect to(SaturateInt(left), SaturateInt(top), SaturateInt(right), SaturateInt(bottom));
        if (to == r)
            continue;
        // Moving carries a polygon's points along with its rectangle.
        obj->MoveTo(to, this);
        moved = TRUE;
    }
    if (moved)
        doc->SetModifiedFlag(TRUE);
    if (!m_selection.empty())
        OnUpdate(nullptr, kHintSelection, nullptr);
}

void CDrawView::OnRotate()
{
    if (!GetDocument() || m_selection.empty())
        return;
    for (CDrawObj* obj : m_selection)
        obj->Rotate90();
    GetDocument()->SetModifiedFlag(TRUE);
    InvalidateSelection();
}

void CDrawView::OnColor(BOOL fill)
{
    CColorDialog dialog(0, 0, this);
    if (dialog.DoModal() != IDOK)
        return;
    const COLORREF color = dialog.GetColor();
    for (CDrawObj* obj : m_selection) {
        if (fill)
            obj->SetFillColor(color);
        else
            obj->SetLineColor(color);
    }
}

// ---------------------------------------------------------------------------------------------
// Fit, select all, delete

int CDrawView::FitZoom() const
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return 0;
    const float* size = doc->GetLabelSize();
    const bool inches = doc->GetReservedWord() != std::array<BYTE, 4>{};
    const float w = inches ? size[0] : size[0] / 100.0f / 2.54f;
    const float h = inches ? size[1] : size[1] / 100.0f / 2.54f;
    const double ax = double(viewport()->width() - 30) / GetScreenDpi();
    const double ay = double(viewport()->height() - 30) / GetScreenDpi();
    if (!(w > 0 && h > 0))
        return 0;
    const double fit = std::min(ax / double(w), ay / double(h)) * 100.0;
    return int(std::clamp(fit, double(CDrawDoc::kMinZoom), double(CDrawDoc::kMaxZoom)));
}

void CDrawView::OnFitLabel()
{
    if (const int zoom = FitZoom()) {
        GetDocument()->SetZoom(zoom);
        m_fitZoom = zoom;
        // The zoom has reached every view: the label is centred at once, so that it is first
        // painted where it stays.
        OnCenterLabel();
    }
    // A fit posted for a window that the user has left meanwhile leaves the focus where it is.
    if (m_bActive)
        SetFocus();
}

void CDrawView::PostCommand(UINT id)
{
    // Not in the middle of long work that lets events through.
    QTimer::singleShot(0, this, [view = QPointer<CDrawView>(this), id] {
        RunOutsideProgress([view, id] {
            if (view)
                view->OnCmdMsg(id, CN_COMMAND, nullptr);
        });
    });
}

void CDrawView::OnSelectAll()
{
    if (!GetDocument())
        return;
    const std::vector<CDrawObj*> objects = GetDocument()->GetObjects();
    for (CDrawObj* obj : objects)
        Select(obj, TRUE);
}

void CDrawView::OnEditClear()
{
    CDrawDoc* doc = GetDocument();
    if (!doc || m_selection.empty())
        return;
    // Removing an object deselects it in every view, this one included: the loop runs over a
    // copy of the selection.
    CDrawObjList removed;
    removed.objects = m_selection;
    doc->UpdateAllViews(nullptr, kHintDeleted, &removed);
    InvalidateSelection();
    for (CDrawObj* obj : removed.objects) {
        doc->Remove(obj);
        UnlistFromTrees(obj);
        obj->Remove();
    }
    m_selection.clear();
}

// ---------------------------------------------------------------------------------------------
// Inserting pictures

void CDrawView::OnInsertPicture()
{
    CFileDialog dialog(TRUE, AfxLoadString(kStrPictureExt), {}, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                       AfxLoadString(kStrPictureFilter), this);
    if (dialog.DoModal() == IDOK)
        InsertPictureFromFile(dialog.GetPathName());
}

BOOL CDrawView::InsertPictureFromFile(const CString& path)
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return FALSE;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* obj = new CDrawImage(CRect(0, 0, 0, 0));
    // The picture takes its share of what the label's pictures may hold.
    obj->m_pDocument = doc;
    CString why;
    const BOOL loaded = obj->LoadFile(path, &why);
    QApplication::restoreOverrideCursor();
    // A file that is no picture adds nothing.
    if (!loaded) {
        obj->m_pDocument = nullptr;
        obj->Remove();
        if (why.isEmpty())
            AfxMessageBox(kStrInsertFailed, MB_OK, this);
        else
            AfxMessageBox(AfxLoadString(kStrInsertFailed) + QStringLiteral("\n\n") + why, MB_OK, this);
        return FALSE;
    }
    // The sheet's answer does not stop the insertion.
    obj->OnEditProperties(this);
    doc->Add(obj);
    Select(obj, FALSE);
    viewport()->update();
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Context menu

void CDrawView::contextMenuEvent(QContextMenuEvent* event)
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return;
    window()->activateWindow();
    CDrawObj* obj = doc->FindObjectAtPoint(ClientToDoc(CPoint(event->pos().x(), event->pos().y())));
    if (!obj)
        return;
    if (!IsSelected(obj))
        Select(obj, FALSE);
    viewport()->repaint();
    const std::optional<CMenuTemplate> tmpl = CResourceModule::Get().LoadMenu(kContextMenu);
    if (!tmpl || !g_router)
        return;
    QList<QMenu*> menus = g_router->BuildMenus(*tmpl);
    if (!menus.isEmpty()) {
        menus.first()->setParent(window(), Qt::Popup);
        menus.first()->exec(event->globalPos());
    }
    qDeleteAll(menus);
}
