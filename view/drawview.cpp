#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/recordingdc.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"
#include "view/drawtool.h"
#include "view/objectpages.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr UINT kDropCursor = 154;
constexpr BYTE kClipLhAngles = 0x10;

// Commands of the view besides the tools.
constexpr UINT kCmdCancel = 32768;
constexpr UINT kCmdGrid = 32769;
constexpr UINT kCmdProperties = 32785;
constexpr UINT kCmdCentre = 32828;
constexpr UINT kCmdLabelWizard = 32873;
constexpr UINT kCmdPrint = 57607;
constexpr UINT kCmdPrintPreview = 57609;

// The entry of a command table (command id, value) for id, or null.
const std::pair<UINT, int>* FindCommand(const std::vector<std::pair<UINT, int>>& table, UINT id)
{
    const auto it = std::find_if(table.begin(), table.end(), [id](const auto& e) { return e.first == id; });
    return it == table.end() ? nullptr : &*it;
}

// A client context: it measures text at the screen's resolution on a picture of its own, so
// that it can be made outside a repaint.
struct PictureHolder {
    QImage picture;
};
class CViewClientDC : private PictureHolder, public CPainterDC {
public:
    explicit CViewClientDC(int dpi)
        : PictureHolder{MakePicture(dpi)}, CPainterDC(static_cast<QPaintDevice*>(&picture))
    {
    }

private:
    static QImage MakePicture(int dpi)
    {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dpm = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dpm);
        image.setDotsPerMeterY(dpm);
        return image;
    }
};

}  // namespace

std::unique_ptr<CDC> CDrawView::CreateClientDC()
{
    auto dc = std::make_unique<CViewClientDC>(GetScreenDpi());
    OnPrepareDC(dc.get());
    return dc;
}

CDrawView::CDrawView(QWidget* parent) : QAbstractScrollArea(parent)
{
    LOGFONTW lf;
    lf.lfHeight = 11;
    lf.lfEscapement = 900;
    lf.lfWeight = FW_NORMAL;
    lf.lfClipPrecision = kClipLhAngles;
    SetFaceName(lf, QStringLiteral("Times New Roman"));
    m_vertRulerFont.CreateFontIndirectW(&lf);
    LOGFONTW hf;
    hf.lfHeight = 12;
    hf.lfWeight = FW_NORMAL;
    SetFaceName(hf, QStringLiteral("Times New Roman"));
    m_horzRulerFont.CreateFontIndirectW(&hf);

    m_dropCursor = ResourceCursor(kDropCursor, Qt::DragCopyCursor);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(10);
    verticalScrollBar()->setSingleStep(10);
    setObjectName(QStringLiteral("CDrawView"));
    InstallObjectDialogs();

    // Commands of the drawing tools and of the symbology of the next barcode.
    const auto updateTool = [this](CCmdUI* ui) {
        BOOL enabled = FALSE, radio = FALSE;
        GetToolCommandState(ui->m_nID, &enabled, &radio);
        ui->Enable(enabled);
        ui->SetRadio(radio);
    };
    for (const auto* table : {&ShapeCommands(), &SymbologyCommands()})
        for (const auto& entry : *table) {
            const UINT id = entry.first;
            OnCommand(id, [this, id] { OnToolCommand(id); });
            OnUpdateCommandUI(id, updateTool);
        }
    OnCommand(kCmdCancel, [this] { OnCancel(); });
    OnCommand(kCmdProperties, [this] { OnEditProperties(); });
    OnUpdateCommandUI(kCmdProperties, [this](CCmdUI* ui) { ui->Enable(CanEditProperties()); });
    OnCommand(kCmdGrid, [this] {
        m_bGrid = !m_bGrid;
        viewport()->update();
    });
    OnUpdateCommandUI(kCmdGrid, [this](CCmdUI* ui) { ui->SetCheck(m_bGrid ? 1 : 0); });
    OnCommand(kCmdCentre, [this] { OnCenterLabel(); });
    // The layout of the label on its sheet, as a property sheet of the existing label.
    OnCommand(kCmdLabelWizard, [this] {
        if (CDrawDoc* doc = GetDocument()) {
            const std::array<float, 2> size = doc->GetShownLabelSize();
            doc->RunLabelWizard(FALSE);
            // A label of another size is fitted to the window again, as it was when it opened.
            if (doc->GetShownLabelSize() != size)
                OnFitLabel();
            viewport()->update();
        }
    });
    OnCommand(kCmdPrint, [this] { OnFilePrint(); });
    OnCommand(kCmdPrintPreview, [this] { OnFilePrintPreview(); });
    RegisterEditCommands();
}

CDrawView::~CDrawView()
{
    // Nothing of the tools may outlive the view.
    EndPolygon();
    ReleaseMouseGrab();
}

void CDrawView::EndPolygon()
{
    if (CPolyTool* tool = PolyTool())
        tool->EndPolygon(this);
}

CDrawDoc* CDrawView::GetDocument() const
{
    // The document forgets its views when it goes, so this is never left dangling.
    return static_cast<CDrawDoc*>(CView::GetDocument());
}

void CDrawView::AttachDocument(CDrawDoc* doc)
{
    if (GetDocument() == doc)
        return;
    if (CDocument* old = GetDocument())
        old->RemoveView(this);
    m_selection.clear();
    if (doc)
        doc->AddView(this);
    m_nLastZoom = doc ? doc->GetZoom() : 100;
    OnInitialUpdate();
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Mapping

int CDrawView::GetScreenDpi() const
{
    const int dpi = viewport()->logicalDpiX();
    return dpi > 0 ? dpi : 96;
}

int CDrawView::GetViewportExtent() const
{
    if (m_bFixedExtent)
        return m_nFixedExtent;
    const int zoom = GetDocument() ? GetDocument()->GetZoom() : 100;
    return std::max(1, int(GetScreenDpi() * double(zoom / 100.0f)));
}

void CDrawView::SetFixedViewportExtent(BOOL on, int extent)
{
    m_bFixedExtent = on;
    m_nFixedExtent = extent > 0 ? extent : 300;
}

void CDrawView::OnPrepareDC(CDC* dc) const
{
    if (!dc->IsPrinting()) {
        const CPoint scroll = GetScrollPosition();
        dc->SetViewportOrg(-scroll.x, -scroll.y);
    }
    dc->SetMapMode(GetDocument() ? GetDocument()->GetMapMode() : MM_ANISOTROPIC);
    dc->SetWindowExt(kLogicalPerInch, kLogicalPerInch);
    int e = m_nFixedExtent;
    if (!m_bFixedExtent) {
        const int zoom = GetDocument() ? GetDocument()->GetZoom() : 100;
        e = std::max(1, int(dc->GetDeviceCaps(LOGPIXELSX) * double(zoom / 100.0f)));
    }
    dc->SetViewportExt(e, e);
    if (!dc->IsPrinting()) {
        dc->OffsetWindowOrg(-kLabelOffset, -kLabelOffset);
        dc->OffsetViewportOrg(kRulerWidth, kRulerWidth);
    }
}

CPoint CDrawView::DocToClient(CPoint logical) const
{
    CRecordingDC dc(CSize(viewport()->width(), viewport()->height()), GetScreenDpi());
    OnPrepareDC(&dc);
    dc.LPtoDP(&logical);
    return logical;
}

CPoint CDrawView::ClientToDoc(CPoint client) const
{
    CRecordingDC dc(CSize(viewport()->width(), viewport()->height()), GetScreenDpi());
    OnPrepareDC(&dc);
    dc.DPtoLP(&client);
    return client;
}

CRect CDrawView::DocToClient(const CRect& logical) const
{
    return CRect(DocToClient(logical.TopLeft()), DocToClient(logical.BottomRight()));
}

CRect CDrawView::ClientToDoc(const CRect& client) const
{
    return CRect(ClientToDoc(client.TopLeft()), ClientToDoc(client.BottomRight()));
}

// ---------------------------------------------------------------------------------------------
// Scrolling and zoom

CPoint CDrawView::GetScrollPosition() const
{
    return CPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CDrawView::ScrollToPosition(CPoint position)
{
    horizontalScrollBar()->setValue(position.x);
    verticalScrollBar()->setValue(position.y);
}

void CDrawView::OnInitialUpdate()
{
    const CSize canvas = GetDocument() ? GetDocument()->GetCanvasSize() : CSize(4000, 4000);
    const int zoom = GetDocument() ? GetDocument()->GetZoom() : 100;
    const float dpi = float(GetScreenDpi());
    m_totalSize.cx = SaturateInt(double(float(canvas.cx) / 100.0f * dpi) * double(float(zoom) / 100.0f));
    m_totalSize.cy = SaturateInt(double(float(canvas.cy) / 100.0f * dpi) * double(float(zoom) / 100.0f));
    UpdateScrollBars();
}

void CDrawView::UpdateScrollBars()
{
    const QSize client = viewport()->size();
    horizontalScrollBar()->setPageStep(std::max(1, client.width()));
    verticalScrollBar()->setPageStep(std::max(1, client.height()));
    horizontalScrollBar()->setRange(0, std::max(0, m_totalSize.cx - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, m_totalSize.cy - client.height()));
}

void CDrawView::ApplyZoom(int zoom)
{
    // The point of the label at the centre of the window stays there.
    const int w = viewport()->width(), h = viewport()->height();
    const double old = double(float(m_nLastZoom) / 100.0f);
    const CPoint scroll = GetScrollPosition();
    // The label sits behind the rulers' 16 pixels, which do not scale with the zoom: they are
    // taken out before scaling and put back after, so the centre does not drift.
    const int centreX = scroll.x + w / 2 - kRulerWidth, centreY = scroll.y + h / 2 - kRulerWidth;
    OnInitialUpdate();
    const int docZoom = GetDocument() ? GetDocument()->GetZoom() : zoom;
    const double ratio = old > 0 ? double(float(docZoom) / 100.0f) / old : 1.0;
    ScrollToPosition(CPoint(SaturateInt(centreX * ratio - w / 2 + kRulerWidth),
                            SaturateInt(centreY * ratio - h / 2 + kRulerWidth)));
    m_nLastZoom = zoom;
    viewport()->update();
}

void CDrawView::SetFocus()
{
    // Of several views of a document the active one takes the focus: another would pull its
    // window to the front.
    if (!m_bActive && GetDocument())
        for (CView* other : GetDocument()->GetViews())
            if (auto* view = dynamic_cast<CDrawViewBase*>(other); view && view != this && view->IsActiveView())
                return;
    setFocus(Qt::OtherFocusReason);
}

BOOL CDrawView::OnScrollBy(CSize size, BOOL doScroll)
{
    QScrollBar* bars[2] = {horizontalScrollBar(), verticalScrollBar()};
    const int deltas[2] = {size.cx, size.cy};
    int target[2];
    bool changed = false;
    for (int i = 0; i < 2; ++i) {
        QScrollBar* bar = bars[i];
        target[i] = bar->value();
        if (!bar->isEnabled() || bar->maximum() <= bar->minimum())
            continue;
        target[i] = int(std::clamp<qint64>(qint64(bar->value()) + deltas[i], 0, bar->maximum()));
        changed = changed || target[i] != bar->value();
    }
    if (!changed)
        return FALSE;
    if (doScroll) {
        bars[0]->setValue(target[0]);
        bars[1]->setValue(target[1]);
    }
    return TRUE;
}

void CDrawView::scrollContentsBy(int, int)
{
    // The rulers follow the label, so the whole client is repainted.
    viewport()->update();
}

void CDrawView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    // The label starts in the middle of the window once the window has its size, and stays
    // there, fitted when it was, through later resizes until the user scrolls or zooms.
    // A tab is shown at its own size for a moment while another one comes and goes (a label
    // that failed to open): that size is no reason to fit the label again.
    const bool untouched = IsUntouched();
    if (!InRestoredTab() && RefitLabel())
        return;
    if ((m_bCentrePending || untouched) && GetDocument() && viewport()->width() > 0) {
        m_bCentrePending = FALSE;
        OnCenterLabel();
    }
}

void CDrawView::OnCenterLabel()
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return;
    // Worked in doubles from the label size within the sheet's limits: a damaged size centres
    // as the largest label would, and no sum can overflow.
    const double v = double(GetViewportExtent());
    const std::array<float, 2> size = doc->GetShownLabelSize();
    const float wp = float(double(size[0]) / 100.0 / 2.54 * v);
    const float hp = float(double(size[1]) / 100.0 / 2.54 * v);
    const double dx = std::trunc(double((float(viewport()->width()) - wp) * 0.5f));
    const double dy = std::trunc(double((float(viewport()->height()) - hp) * 0.5f));
    const double origin = std::trunc(v * 10.0);
    ScrollToPosition(CPoint(SaturateInt(origin - dx + 8), SaturateInt(origin - dy + 8)));
    m_centredAt = GetScrollPosition();
    viewport()->update();
}

void CDrawView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Selection

BOOL CDrawView::IsSelected(const CObject* obj) const
{
    if (const auto* item = dynamic_cast<const CDrawItem*>(obj))
        obj = item->m_pDrawObj;
    return obj && std::find(m_selection.begin(), m_selection.end(), obj) != m_selection.end();
}

void CDrawView::Select(CDrawObj* obj, BOOL add)
{
    if (!add) {
        OnUpdate(nullptr, kHintSelection, nullptr);
        m_selection.clear();
    }
    if (obj && !IsSelected(obj)) {
        m_selection.push_back(obj);
        InvalidateSelection(obj);
    }
    ShowSelectionInTree();
}

void CDrawView::SelectInRect(CRect client, BOOL add)
{
    if (!add)
        Select(nullptr, FALSE);
    if (!GetDocument())
        return;
    const CRect logical = ClientToDoc(client);
    // Selecting repaints, and repainting never changes the list; a copy keeps this sound anyway.
    const std::vector<CDrawObj*> objects = GetDocument()->GetObjects();
    for (CDrawObj* obj : objects)
        if (obj->OverlapsRect(logical))
            Select(obj, TRUE);
}

void CDrawView::Deselect(CDrawObj* obj)
{
    // A polygon in progress that leaves the document is no longer drawn.
    if (CPolyTool* tool = PolyTool(); tool && obj && tool->PolygonOf(this) == obj)
        EndPolygon();
    const auto it = std::find(m_selection.begin(), m_selection.end(), obj);
    if (it != m_selection.end())
        m_selection.erase(it);
    ShowSelectionInTree();
}

CRect CDrawView::SelectionBounds() const
{
    CRect bounds;
    bool first = true;
    for (const CDrawObj* obj : m_selection) {
        CRect r = obj->m_position;
        r.NormalizeRect();
        if (first) {
            bounds = r;
            first = false;
        } else {
            bounds.left = std::min(bounds.left, r.left);
            bounds.top = std::min(bounds.top, r.top);
            bounds.right = std::max(bounds.right, r.right);
            bounds.bottom = std::max(bounds.bottom, r.bottom);
        }
    }
    return bounds;
}

void CDrawView::InvalidateClient(const CRect& client)
{
    CRect r = client;
    r.NormalizeRect();
    viewport()->update(QRect(r.left, r.top, r.Width(), r.Height()));
}

void CDrawView::InvalidateSelection(CDrawObj*)
{
    if (m_selection.empty())
        return;
    CRect r = DocToClient(SelectionBounds());
    r.NormalizeRect();
    if (m_bActive) {
        // Room for the handles and the selection mark.
        r.left -= 64;
        r.top -= 80;
        r.right += 80;
        r.bottom += 64;
    }
    r.InflateRect(1, 1);
    r.left = std::max<LONG>(r.left, kRulerWidth);
    r.top = std::max<LONG>(r.top, kRulerWidth);
    InvalidateClient(r);
}

void CDrawView::InvalidateObject(CDrawObj* obj)
{
    if (!obj)
        return;
    CRect r = DocToClient(obj->m_position);
    r.NormalizeRect();
    r.left -= 64;
    r.top -= 80;
    r.right += 80;
    r.bottom += 64;
    InvalidateClient(r);
}

void CDrawView::OnUpdate(CView*, long hint, CObject* hintObject)
{
    switch (hint) {
    case kHintRepaint:
        viewport()->update();
        break;
    case kHintObjectChanged:
        // The changed object need not be selected: its own area is repainted too.
        if (auto* obj = dynamic_cast<CDrawObj*>(hintObject))
            InvalidateObject(obj);
        InvalidateSelection();
        break;
    case kHintSelection: {
        const auto* list = dynamic_cast<CDrawObjList*>(hintObject);
        if (!list || !list->objects.empty())
            InvalidateSelection();
        if (list)
            for (CDrawObj* obj : list->objects)
                InvalidateObject(obj);
        break;
    }
    case kHintDeleted:
        if (const auto* list = dynamic_cast<CDrawObjList*>(hintObject);
            list && &list->objects != &m_selection) {
            for (CDrawObj* obj : list->objects) {
                InvalidateSelection(obj);
                Deselect(obj);
                // The objects are about to be freed: no tree of any view may keep them.
                RemoveFromTree(m_pObjectTree, obj);
            }
        }
        break;
    case kHintOleItems:
        if (GetDocument())
            for (CDrawObj* obj : GetDocument()->GetObjects())
                if (dynamic_cast<CDrawOleObj*>(obj))
                    InvalidateObject(obj);
        break;
    default:
        break;
    }
}

BOOL CDrawView::InRestoredTab() const
{
    // Tabs fill the area; one shown at its own size is on its way between two others. While
    // the area grows with the frame it sizes its tab anew and the tab reports itself restored
    // for the moment, though it fills the area.
    for (const QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (const auto* sub = qobject_cast<const QMdiSubWindow*>(w)) {
            const QMdiArea* area = sub->mdiArea();
            return !sub->isMaximized() && !(area && sub->geometry() == area->viewport()->rect());
        }
    return FALSE;
}

BOOL CDrawView::IsUntouched() const
{
    return m_centredAt && *m_centredAt == GetScrollPosition();
}

BOOL CDrawView::RefitLabel()
{
    if (!IsUntouched() || !m_fitZoom || !GetDocument() || GetDocument()->GetZoom() != m_fitZoom || FitZoom() == m_fitZoom)
        return FALSE;
    OnFitLabel();
    return TRUE;
}

void CDrawView::OnActivateView(BOOL activate)
{
    activate = activate ? TRUE : FALSE;
    if (activate == m_bActive)
        return;
    // The area of the marks is repainted while the flag still includes them.
    if (activate)
        m_bActive = TRUE;
    if (!m_selection.empty())
        OnUpdate(nullptr, kHintSelection, nullptr);
    m_bActive = activate;
    // A polygon is drawn in the active view only.
    if (!activate)
        EndPolygon();
}

void CDrawView::AddObject(CDrawObj* obj)
{
    if (!GetDocument() || !obj)
        return;
    GetDocument()->Add(obj);
    FillObjectTree(obj);
    // The label's other windows list it too, without taking their own selection elsewhere.
    for (CDrawView* other : DocumentViews())
        if (other != this)
            other->ListInObjectTree({obj});
}

// ---------------------------------------------------------------------------------------------
// Commands

const std::vector<std::pair<UINT, int>>& CDrawView::ShapeCommands()
{
    static const std::vector<std::pair<UINT, int>> commands = {
        {32770, kShapeSelect}, {32827, kShapeText},      {32832, kShapeBarcode},
        {32771, kShapeLine},   {32772, kShapeRect},      {32773, kShapeRoundRect},
        {32774, kShapeEllipse}, {32782, kShapePolygon},  {32901, kShapePicture}};
    return commands;
}

const std::vector<std::pair<UINT, int>>& CDrawView::SymbologyCommands()
{
    static const std::vector<std::pair<UINT, int>> commands = {
        {32842, 0}, {32857, 1}, {32858, 2},  {32866, 3},  {32867, 4},  {32868, 5},  {32869, 6},
        {32844, 7}, {32850, 8}, {32853, 9}, {32855, 10}, {32846, 11}, {32848, 12}, {32900, 13}};
    return commands;
}

BOOL CDrawView::OnToolCommand(UINT id)
{
    // Another shape ends the polygon in progress, wherever it is drawn.
    const auto choose = [](int shape) {
        if (shape != CDrawTool::c_drawShape)
            if (CPolyTool* tool = PolyTool())
                tool->EndPolygon();
        CDrawTool::c_drawShape = shape;
    };
    if (const auto* shape = FindCommand(ShapeCommands(), id)) {
        choose(shape->second);
        return TRUE;
    }
    if (const auto* symbology = FindCommand(SymbologyCommands(), id)) {
        m_nSymbology = symbology->second;
        choose(kShapeBarcode);
        return TRUE;
    }
    return FALSE;
}

BOOL CDrawView::GetToolCommandState(UINT id, BOOL* enabled, BOOL* radio) const
{
    if (const auto* shape = FindCommand(ShapeCommands(), id)) {
        *enabled = TRUE;
        *radio = CDrawTool::c_drawShape == shape->second;
        return TRUE;
    }
    if (const auto* symbology = FindCommand(SymbologyCommands(), id)) {
        *enabled = TRUE;
        *radio = m_nSymbology == symbology->second;
        return TRUE;
    }
    return FALSE;
}

void CDrawView::OnCancel()
{
    ReleaseCapture();
    HideFocusRect();
    if (CDrawTool* tool = CDrawTool::ToolForShape(CDrawTool::c_drawShape))
        tool->OnCancel();
    CDrawTool::c_drawShape = kShapeSelect;
}

BOOL CDrawView::CanEditProperties() const
{
    return m_selection.size() == 1 && CDrawTool::c_drawShape == kShapeSelect;
}

void CDrawView::OnEditProperties()
{
    if (CanEditProperties())
        if (CDrawTool* tool = CDrawTool::ToolForShape(kShapeSelect))
            tool->OnEditProperties(this);
    RefreshTreeNames();
}
