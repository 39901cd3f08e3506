#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "framework/recordingdc.h"
#include "framework/resourcemanager.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"
#include "view/compitem.h"
#include "view/drawtool.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// String ids of the trees.
constexpr UINT kStrTextGroup = 27;
constexpr UINT kStrBarcodeGroup = 28;
constexpr UINT kStrNoDataSource = 29;
constexpr UINT kStrObjects = 34;
constexpr UINT kDropCursor = 154;
constexpr BYTE kClipLhAngles = 0x10;

// Commands of the view besides the tools.
constexpr UINT kCmdCancel = 32768;
constexpr UINT kCmdGrid = 32769;
constexpr UINT kCmdProperties = 32785;
constexpr UINT kCmdCentre = 32828;

bool HasClassNamed(const CObject* obj, std::initializer_list<const char*> names)
{
    for (const CRuntimeClass* cls = obj ? obj->GetRuntimeClass() : nullptr; cls;
         cls = cls->m_pBaseClass)
        for (const char* name : names)
            if (std::strcmp(cls->m_lpszClassName, name) == 0)
                return true;
    return false;
}

bool IsCodeObject(const CObject* obj)
{
    return HasClassNamed(obj, {"CDrawBarcode", "CDrawQRCode", "CDrawPDF417", "CDrawDataMatrix"});
}

bool IsTextObject(const CObject* obj)
{
    return HasClassNamed(obj, {"CDrawText"});
}

CString String(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

// The entry of a command table (command id, value) for id, or null.
CPolyTool* PolyTool()
{
    return dynamic_cast<CPolyTool*>(CDrawTool::ToolForShape(kShapePolygon));
}

const std::pair<UINT, int>* FindCommand(const std::vector<std::pair<UINT, int>>& table, UINT id)
{
    const auto it = std::find_if(table.begin(), table.end(), [id](const auto& e) { return e.first == id; });
    return it == table.end() ? nullptr : &*it;
}

CDrawObj* ObjectOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<CDrawObj*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
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
    // The label starts in the middle of the window once the window has its size.
    if (m_bCentrePending && GetDocument() && viewport()->width() > 0) {
        m_bCentrePending = FALSE;
        OnCenterLabel();
    }
}

void CDrawView::OnCenterLabel()
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return;
    const double v = double(GetViewportExtent());
    const int origin = SaturateInt(v * 10.0);
    const float wp = float(double(doc->GetLabelSize()[0]) / 100.0 / 2.54 * v);
    const float hp = float(double(doc->GetLabelSize()[1]) / 100.0 / 2.54 * v);
    const int dx = SaturateInt((float(viewport()->width()) - wp) * 0.5f);
    const int dy = SaturateInt((float(viewport()->height()) - hp) * 0.5f);
    ScrollToPosition(CPoint(origin - dx + 8, origin - dy + 8));
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
// Drawing

void CDrawView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    Paint(painter, event->rect());
}

void CDrawView::Paint(QPainter& painter, const QRect& area)
{
    const int w = viewport()->width(), h = viewport()->height();
    if (!GetDocument()) {
        painter.fillRect(area, QColor(150, 150, 150));
        return;
    }
    {
        CPainterDC dc(&painter);
        OnPrepareDC(&dc);
        const int saved = dc.SaveDC();
        CRect paintArea(area.left(), area.top(), area.right() + 1, area.bottom() + 1);
        dc.DPtoLP(&paintArea);
        dc.IntersectClipRect(&paintArea);
        // The ruler strips are drawn last, straight onto the window.
        CRect top(0, 0, w, kRulerWidth), left(0, 0, kRulerWidth, h);
        dc.DPtoLP(&top);
        dc.DPtoLP(&left);
        dc.ExcludeClipRect(&top);
        dc.ExcludeClipRect(&left);

        CRect client;
        dc.GetClipBox(&client);
        client.InflateRect(1, 1);
        CRect rect = client;
        dc.LPtoDP(&rect);
        rect.NormalizeRect();

        const QRegion blit = QRegion(area) - QRegion(0, 0, w, kRulerWidth) -
                             QRegion(0, 0, kRulerWidth, h);
        QImage picture;
        if (rect.Width() > 0 && rect.Height() > 0 && !blit.isEmpty())
            picture = QImage(rect.Width(), rect.Height(), QImage::Format_RGB32);
        if (!picture.isNull()) {
            const int dpm = qRound(GetScreenDpi() / 0.0254);
            picture.setDotsPerMeterX(dpm);
            picture.setDotsPerMeterY(dpm);
            {
                CPainterDC mem(&picture);
                OnPrepareDC(&mem);
                mem.OffsetViewportOrg(-rect.left, -rect.top);
                mem.IntersectClipRect(&client);
                OnDraw(&mem);
            }
            painter.save();
            painter.setClipRegion(blit);
            painter.drawImage(rect.left, rect.top, picture);
            painter.restore();
        } else if (!blit.isEmpty()) {
            // Without an off-screen picture the label is drawn straight onto the window.
            OnDraw(&dc);
        }
        dc.RestoreDC(saved);
        DrawRulers(&dc);

        // Marks drawn by inversion: the selection's extent on the rulers and the rubber band.
        dc.SetMapMode(MM_TEXT);
        dc.SetWindowOrg(0, 0);
        dc.SetViewportOrg(0, 0);
        if (!m_shownH.IsRectEmpty())
            dc.InvertRect(&m_shownH);
        if (!m_shownV.IsRectEmpty())
            dc.InvertRect(&m_shownV);
        if (m_bFocusShown) {
            CRect focus = m_focusRect;
            focus.NormalizeRect();
            dc.DrawFocusRect(&focus);
        }
    }
}

void CDrawView::OnDraw(CDC* dc)
{
    if (dc->IsPrinting() || !GetDocument())
        return;
    CRect client;
    dc->GetClipBox(&client);
    CBrush background(RGB(150, 150, 150));
    CBrush shadow(RGB(128, 128, 128));
    CBrush face(RGB(255, 255, 255));
    dc->FillRect(&client, &background);

    const float* size = GetDocument()->GetLabelSize();
    const float labelW = size[0] / 2.54f * 1536.0f / 100.0f;
    const float labelH = size[1] / 2.54f * 1536.0f / 100.0f;
    const int lw = SaturateInt(std::lround(double(labelW))), lh = SaturateInt(std::lround(double(labelH)));
    const CRect shadowRect(100, 100, SaturateInt(100.0 + lw), SaturateInt(100.0 + lh));
    const CRect faceRect(0, 0, lw, lh);
    dc->FillRect(&shadowRect, &shadow);
    dc->FillRect(&faceRect, &face);
    if (m_bGrid)
        DrawGrid(dc);
    GetDocument()->Draw(dc, this);
}

void CDrawView::OnPrint(CDC* dc, CPrintInfo* info)
{
    CDrawDoc* doc = GetDocument();
    if (!doc || !dc || !info)
        return;
    if (!info->m_bPreview && doc->GetSummInfo())
        doc->GetSummInfo()->RecordPrintDate();
    m_bPreview = info->m_bPreview;
    m_rectPrint = info->m_rectDraw;
    OnPrepareDC(dc);
    OnDraw(dc);  // nothing while printing
    CRect margins;
    GetPrintableMargins(dc, &margins);
    doc->PrintPage(dc, info, this, &margins, m_bPreview, &m_rectPrint);
}

void CDrawView::GetPrintableMargins(CDC* dc, CRect* m)
{
    m->left = dc->GetDeviceCaps(PHYSICALOFFSETX);
    m->top = dc->GetDeviceCaps(PHYSICALOFFSETY);
    m->right = dc->GetDeviceCaps(PHYSICALWIDTH) - dc->GetDeviceCaps(PHYSICALOFFSETX) -
               dc->GetDeviceCaps(HORZRES);
    m->bottom = dc->GetDeviceCaps(PHYSICALHEIGHT) - dc->GetDeviceCaps(PHYSICALOFFSETY) -
                dc->GetDeviceCaps(VERTRES);
}

void CDrawView::DrawGrid(CDC* dc)
{
    const int saved = dc->SaveDC();
    CPoint o(0, 0);
    dc->LPtoDP(&o);
    const double pxPerCm = double(float(dc->GetViewportExt().cx) / 2.54f);
    dc->SetMapMode(MM_TEXT);
    dc->DPtoLP(&o);
    const float* size = GetDocument()->GetLabelSize();
    const float wCm = size[0] / 100.0f, hCm = size[1] / 100.0f;
    dc->SetBkColor(GetDocument()->GetPaperColor());

    // A label is at most a few metres; a damaged size is not drawn line by line.
    const bool drawable = wCm >= 0 && hCm >= 0 && wCm < 10000 && hCm < 10000;
    const int right = SaturateInt(o.x + wCm * pxPerCm);
    const int bottom = SaturateInt(o.y + hCm * pxPerCm);
    CPen dot(PS_DOT, 1, m_gridColor);
    CPen* oldPen = dc->SelectObject(&dot);
    if (drawable) {
        for (int i = 0; i <= int(wCm); ++i) {
            const int x = SaturateInt(o.x + i * pxPerCm);
            dc->MoveTo(x, o.y);
            dc->LineTo(x, bottom);
        }
        for (int i = 0; i <= int(hCm); ++i) {
            const int y = SaturateInt(o.y + i * pxPerCm);
            dc->MoveTo(o.x, y);
            dc->LineTo(right, y);
        }
    }
    CPen solid(PS_SOLID, 1, m_gridColor);
    dc->SelectObject(&solid);
    dc->MoveTo(o.x, o.y);
    dc->LineTo(right, o.y);
    dc->LineTo(right, bottom);
    dc->LineTo(o.x, bottom);
    dc->LineTo(o.x, o.y);
    dc->SelectObject(oldPen);
    dc->RestoreDC(saved);
}

void CDrawView::DrawRulers(CDC* dc)
{
    const int pxPerInch = dc->GetViewportExt().cx;
    const int cw = viewport()->width(), ch = viewport()->height();
    const double pxPerCm = double(float(pxPerInch) / 2.54f);
    const double pxPerMm = double(float(pxPerInch) / 2.54f / 10.0f);
    CPoint o(0, 0);
    dc->LPtoDP(&o);

    const int saved = dc->SaveDC();
    // From here on everything is in client pixels.
    dc->SetMapMode(MM_TEXT);
    dc->SetWindowOrg(0, 0);
    dc->SetViewportOrg(0, 0);
    CBrush white(RGB(255, 255, 255));
    const CRect topStrip(0, 0, cw, kRulerWidth), leftStrip(0, 0, kRulerWidth, ch);
    dc->FillRect(&topStrip, &white);
    dc->FillRect(&leftStrip, &white);
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* oldPen = dc->SelectObject(&black);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->SetBkColor(RGB(255, 255, 255));

    dc->MoveTo(15, 0);
    dc->LineTo(15, 16);
    dc->MoveTo(0, 15);
    dc->LineTo(15, 15);
    dc->ExcludeClipRect(0, 0, 16, 16);
    dc->MoveTo(15, 15);
    dc->LineTo(15, ch);
    dc->MoveTo(15, 15);
    dc->LineTo(cw, 15);

    // Marks outside the window are not drawn; text reaches up to 40 pixels back into it.
    const auto visible = [](int v, int extent) { return v >= -40 && v <= extent; };

    CFont* oldFont = dc->SelectObject(&m_horzRulerFont);
    for (int i = 0, n = 0; n < 1000; ++i, n = 10 * i) {
        const int x = SaturateInt(i * pxPerCm + o.x);
        if (x > cw)
            break;
        if (!visible(x, cw))
            continue;
        dc->MoveTo(x, 0);
        dc->LineTo(x, 16);
        dc->TextOut(x + 2, -2, QString::number(n));
    }
    for (int j = 0; j <= 999; ++j) {
        const int x = SaturateInt(j * pxPerMm + o.x);
        if (x > cw)
            break;
        if (x < 0)
            continue;
        dc->MoveTo(x, j % 5 == 0 ? 8 : 11);
        dc->LineTo(x, 16);
    }
    for (int i = 0, n = 0; n > -1000; --i, n = 10 * i) {
        const int x = SaturateInt(o.x + i * pxPerCm);
        if (x < -40)
            break;
        if (!visible(x, cw))
            continue;
        dc->MoveTo(x, 0);
        dc->LineTo(x, 16);
        dc->TextOut(SaturateInt(o.x + i * pxPerCm + 2.0), -2, QString::number(n));
    }
    for (int j = 0; j >= -999; --j) {
        const int x = SaturateInt(j * pxPerMm + o.x);
        if (x < 0)
            break;
        if (x > cw)
            continue;
        dc->MoveTo(x, j % 5 == 0 ? 8 : 11);
        dc->LineTo(x, 16);
    }

    // The vertical ruler's numbers run upwards, ending just above their mark.
    dc->SelectObject(&m_vertRulerFont);
    const auto vertText = [&](double yExact, int n) {
        const QString text = QString::number(n);
        CSize extent;
        dc->GetTextExtentPoint32W(text, int(text.size()), &extent);
        dc->TextOut(0, SaturateInt(yExact + extent.cx + 2.0), text);
    };
    for (int i = 0, n = 0; n < 1000; ++i, n = 10 * i) {
        const double yExact = o.y + i * pxPerCm;
        const int y = SaturateInt(yExact);
        if (y > ch)
            break;
        if (!visible(y, ch))
            continue;
        dc->MoveTo(0, y);
        dc->LineTo(16, y);
        vertText(yExact, n);
    }
    for (int j = 0; j <= 999; ++j) {
        const int y = SaturateInt(j * pxPerMm + o.y);
        if (y > ch)
            break;
        if (y < 0)
            continue;
        dc->MoveTo(j % 5 == 0 ? 8 : 11, y);
        dc->LineTo(16, y);
    }
    for (int i = 0, n = 0; n > -1000; --i, n = 10 * i) {
        const double yExact = o.y + i * pxPerCm;
        const int y = SaturateInt(yExact);
        if (y < -40)
            break;
        if (!visible(y, ch))
            continue;
        dc->MoveTo(0, y);
        dc->LineTo(16, y);
        vertText(yExact, n);
    }
    for (int j = 0; j >= -999; --j) {
        const int y = SaturateInt(j * pxPerMm + o.y);
        if (y < 0)
            break;
        if (y > ch)
            continue;
        dc->MoveTo(j % 5 == 0 ? 8 : 11, y);
        dc->LineTo(16, y);
    }
    dc->SelectObject(oldFont);
    dc->SelectObject(oldPen);
    dc->RestoreDC(saved);
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
}

// ---------------------------------------------------------------------------------------------
// Ruler marks

void CDrawView::GetRulerMarks(CRect* horizontal, CRect* vertical) const
{
    *horizontal = CRect();
    *vertical = CRect();
    if (m_selection.empty())
        return;
    CRect r = DocToClient(SelectionBounds());
    r.NormalizeRect();
    *horizontal = CRect(std::max<LONG>(r.left, kRulerWidth), 0, r.right, kRulerWidth);
    *vertical = CRect(0, std::max<LONG>(r.top, kRulerWidth), kRulerWidth, r.bottom);
}

void CDrawView::GetShownRulerMarks(CRect* horizontal, CRect* vertical) const
{
    *horizontal = m_shownH;
    *vertical = m_shownV;
}

void CDrawView::ShowRulerMarks(const CRect& horizontal, const CRect& vertical)
{
    if (horizontal == m_shownH && vertical == m_shownV)
        return;
    InvalidateClient(m_shownH);
    InvalidateClient(m_shownV);
    m_shownH = horizontal;
    m_shownV = vertical;
    InvalidateClient(m_shownH);
    InvalidateClient(m_shownV);
}

void CDrawView::ClearRulerMarks()
{
    ShowRulerMarks(CRect(), CRect());
}

// ---------------------------------------------------------------------------------------------
// Trees

void CDrawView::SetTrees(QTreeWidget* objectTree, QTreeWidget* databaseTree)
{
    m_pObjectTree = objectTree;
    m_pDatabaseTree = databaseTree;
    m_pTextGroup = m_pBarcodeGroup = m_pDatabaseRoot = nullptr;
}

void CDrawView::FillTrees()
{
    m_pTextGroup = m_pBarcodeGroup = m_pDatabaseRoot = nullptr;
    if (m_pObjectTree) {
        m_pObjectTree->clear();
        auto* root = new QTreeWidgetItem(m_pObjectTree, QStringList(String(kStrObjects)));
        m_pTextGroup = new QTreeWidgetItem(root, QStringList(String(kStrTextGroup)));
        m_pBarcodeGroup = new QTreeWidgetItem(root, QStringList(String(kStrBarcodeGroup)));
        root->setExpanded(true);
    }
    if (m_pDatabaseTree) {
        m_pDatabaseTree->clear();
        m_pDatabaseRoot = new QTreeWidgetItem(m_pDatabaseTree, QStringList(String(kStrNoDataSource)));
        const QImage icon = CResourceManager::GetInstance()->GetImage(CResourceManager::kMarkerBitmap, 4);
        if (!icon.isNull())
            m_pDatabaseRoot->setIcon(0, QIcon(QPixmap::fromImage(icon)));
    }
    UpdateGroupCaption(m_pTextGroup);
    UpdateGroupCaption(m_pBarcodeGroup);
}

void CDrawView::UpdateGroupCaption(QTreeWidgetItem* group)
{
    if (!group)
        return;
    const CString caption = String(group == m_pBarcodeGroup ? kStrBarcodeGroup : kStrTextGroup);
    group->setText(0, QStringLiteral("%1 (%2)").arg(caption).arg(group->childCount()));
}

void CDrawView::FillObjectTree(CDrawObj* obj)
{
    QTreeWidgetItem* group = nullptr;
    if (IsCodeObject(obj)) {
        group = m_pBarcodeGroup;
    } else if (IsTextObject(obj)) {
        group = m_pTextGroup;
    } else {
        // Shapes, polygons, pictures and embedded objects are not listed; they are selected.
        Select(obj, TRUE);
        return;
    }
    if (!m_pObjectTree || !group)
        return;
    auto* item = new QTreeWidgetItem(group, QStringList(obj->GetName()));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(obj)));
    const QSignalBlocker block(m_pObjectTree);
    m_pObjectTree->setCurrentItem(item);
    UpdateGroupCaption(group);
}

void CDrawView::ShowOpenedObjects()
{
    if (!GetDocument())
        return;
    // The trees start afresh: items of objects that loading replaced would dangle.
    m_selection.clear();
    FillTrees();
    for (CDrawObj* obj : GetDocument()->GetObjects())
        FillObjectTree(obj);
    // Filling the tree selects every shape; an opened label shows none of them selected.
    Select(nullptr, FALSE);
}

QTreeWidgetItem* CDrawView::FindTreeItem(QTreeWidget* tree, CDrawObj* obj,
                                         QTreeWidgetItem** groupOut) const
{
    if (!tree || tree != m_pObjectTree)
        return nullptr;
    for (QTreeWidgetItem* group : {m_pBarcodeGroup, m_pTextGroup}) {
        if (!group)
            continue;
        for (int i = 0; i < group->childCount(); ++i) {
            if (ObjectOf(group->child(i)) == obj) {
                if (groupOut)
                    *groupOut = group;
                return group->child(i);
            }
        }
    }
    return nullptr;
}

void CDrawView::RemoveFromTree(QTreeWidget* tree, CDrawObj* obj)
{
    QTreeWidgetItem* group = nullptr;
    QTreeWidgetItem* item = FindTreeItem(tree, obj, &group);
    if (!item)
        return;
    // The tree makes a neighbour current when its current item goes; that must not select
    // the neighbour's object.
    const QSignalBlocker block(tree);
    delete item;
    UpdateGroupCaption(group);
}

void CDrawView::SelectTreeItem(QTreeWidget* tree, CDrawObj* obj)
{
    if (QTreeWidgetItem* item = FindTreeItem(tree, obj, nullptr)) {
        const QSignalBlocker block(tree);
        tree->setCurrentItem(item);
    }
}

void CDrawView::OnObjectTreeClick()
{
    InvalidateSelection();
    m_selection.clear();
    InvalidateSelection();
    if (m_pObjectTree) {
        const QSignalBlocker block(m_pObjectTree);
        m_pObjectTree->setCurrentItem(nullptr);
        m_pObjectTree->clearSelection();
    }
}

void CDrawView::OnObjectTreeSelChanged(QTreeWidgetItem* item)
{
    if (CDrawObj* obj = ObjectOf(item))
        Select(obj, TRUE);
}

void CDrawView::RefreshTreeNames()
{
    // Names may have changed in the property sheets.
    for (QTreeWidgetItem* group : {m_pBarcodeGroup, m_pTextGroup}) {
        if (!group)
            continue;
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* item = group->child(i);
            if (const CDrawObj* obj = ObjectOf(item); obj && item->text(0) != obj->GetName())
                item->setText(0, obj->GetName());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Mouse

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
    if (event->button() == Qt::LeftButton)
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
}

// ---------------------------------------------------------------------------------------------
// Palette drops

BOOL CDrawView::IsPointInView(QPoint screen) const
{
    return viewport()->rect().contains(viewport()->mapFromGlobal(screen));
}

void CDrawView::OnDropComponent(QPoint screen, CCompItem* item)
{
    if (!GetDocument() || !item)
        return;
    const QPoint p = viewport()->mapFromGlobal(screen);
    const CPoint logical = ClientToDoc(CPoint(p.x(), p.y()));
    if (!m_bDropping) {
        m_bDropping = TRUE;
        m_bDropWasModified = GetDocument()->IsModified();
        viewport()->setCursor(m_dropCursor);
        CreateFromComponent(logical, item);
    } else {
        InvalidateSelection();
        CentreSelectionOn(logical);
        InvalidateSelection();
    }
}

void CDrawView::CentreSelectionOn(CPoint logical)
{
    for (CDrawObj* obj : m_selection)
        CentreOn(obj, logical);
}

void CDrawView::CentreOn(CDrawObj* obj, CPoint logical)
{
    const LONG w = obj->m_position.Width(), h = obj->m_position.Height();
    const LONG left = logical.x - w / 2, top = logical.y - h / 2;
    obj->m_position = CRect(left, top, left + w, top + h);
}

void CDrawView::CreateFromComponent(CPoint logical, CCompItem* item)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    InvalidateSelection();
    m_selection.clear();
    if (CDrawObj* obj = item->CreateDrawObj(this)) {
        obj->m_pDocument = GetDocument();
        obj->AssignDefaultName(this);
        CentreOn(obj, logical);
        AddObject(obj);
        Select(obj, TRUE);
        InvalidateSelection();
    }
    QApplication::restoreOverrideCursor();
}

void CDrawView::CancelComponentDrop()
{
    if (!m_bDropping)
        return;
    InvalidateSelection();
    const std::vector<CDrawObj*> created = m_selection;
    for (CDrawObj* obj : created) {
        if (GetDocument()) {
            GetDocument()->Remove(obj);
            // The default name the object took is given back.
            if (IsCodeObject(obj))
                GetDocument()->DecrementCodeNumber();
            else if (IsTextObject(obj))
                GetDocument()->DecrementTextNumber();
        }
        RemoveFromTree(m_pObjectTree, obj);
        Deselect(obj);
        obj->Remove();
    }
    if (GetDocument())
        GetDocument()->SetModifiedFlag(m_bDropWasModified);
    EndComponentDrop();
    if (m_nRedrawTimer)
        killTimer(m_nRedrawTimer);
    m_nRedrawTimer = startTimer(kRedrawTimerMs);
}

void CDrawView::EndComponentDrop()
{
    m_bDropping = FALSE;
    viewport()->setCursor(Qt::ArrowCursor);
}

void CDrawView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nRedrawTimer) {
        killTimer(m_nRedrawTimer);
        m_nRedrawTimer = 0;
        viewport()->update();
        emit redrawnAfterDrop();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}
