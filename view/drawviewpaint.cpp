// The editing view's painting: the off-screen picture of background, label face, grid, objects
// and selection marks, the rulers with their marks, and the view's part of printing.

#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "objects/drawobj.h"
#include "printing/sheetlayout.h"
#include "printing/sheetpreview.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

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

    const std::array<float, 2> size = GetDocument()->GetShownLabelSize();
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
    OnDraw(dc);  // nothing while printing
    // A preview of a sheet whose label is larger than the paper within its margins says so on
    // the page, in the words of the sheet preview.
    if (m_bPreview) {
        CSheetLayout layout;
        layout.CopyFromDocument(*doc);
        const CSize paper = layout.GetPaperSize(), label = layout.GetLabelSize();
        const CRect m = layout.GetMargins();
        if (!SpanFits(paper.cx, m.left, m.right, 1, label.cx, 0) || !SpanFits(paper.cy, m.top, m.bottom, 1, label.cy, 0)) {
            const int saved = dc->SaveDC();
            dc->SetMapMode(MM_TEXT);
            dc->SetWindowOrg(0, 0);
            dc->SetViewportOrg(0, 0);
            const CRect page(0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES));
            PaintSheetWarning(*dc, page, dc->GetDeviceCaps(LOGPIXELSY) / 72);
            dc->RestoreDC(saved);
            return;
        }
    }
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
    const std::array<float, 2> size = GetDocument()->GetShownLabelSize();
    const float wCm = size[0] / 100.0f, hCm = size[1] / 100.0f;
    dc->SetBkColor(GetDocument()->GetPaperColor());

    // A label is at most a few metres; a damaged size is not drawn line by line.
    const bool drawable = wCm >= 0 && hCm >= 0 && wCm < 10000 && hCm < 10000;
    const int right = SaturateInt(o.x + wCm * pxPerCm);
    const int bottom = SaturateInt(o.y + hCm * pxPerCm);
    CPen dot(PS_DOT, 1, m_gridColor);
    CPen* oldPen = dc->SelectObject(&dot);
    if (drawable && pxPerCm > 0) {
        // Only what the repaint shows is drawn: a large label at a high zoom has lines of
        // hundreds of thousands of pixels. A cut line starts a whole number of dots from where
        // the whole one would, so the dots stay where they were.
        CRect clip;
        dc->GetClipBox(&clip);
        constexpr int kDotPeriod = 6;
        const auto span = [](int from, int to, int lo, int hi) {
            const std::int64_t start = from + std::max<std::int64_t>(0, (std::int64_t(lo) - kDotPeriod - from) / kDotPeriod) * kDotPeriod;
            return std::make_pair(SaturateInt(start), std::min(to, SaturateInt(std::int64_t(hi) + kDotPeriod)));
        };
        const auto first = [&](int origin, int lo, float count) {
            return int(std::clamp(std::floor((double(lo) - 1 - origin) / pxPerCm), 0.0, double(count) + 1));
        };
        const auto [top, down] = span(o.y, bottom, clip.top, clip.bottom);
        for (int i = first(o.x, clip.left, wCm); top < down && i <= int(wCm); ++i) {
            const int x = SaturateInt(o.x + i * pxPerCm);
            if (x > clip.right + 1)
                break;
            dc->MoveTo(x, top);
            dc->LineTo(x, down);
        }
        const auto [left, across] = span(o.x, right, clip.left, clip.right);
        for (int i = first(o.y, clip.top, hCm); left < across && i <= int(hCm); ++i) {
            const int y = SaturateInt(o.y + i * pxPerCm);
            if (y > clip.bottom + 1)
                break;
            dc->MoveTo(left, y);
            dc->LineTo(across, y);
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

    // At small zooms the numbers would touch: only every second, fifth or tenth centimetre is
    // numbered then, as often as the widest number leaves a gap of a few pixels.
    const auto numberStep = [&] {
        int widest = 0;
        for (const QString text : {QStringLiteral("-990"), QStringLiteral("990")}) {
            CSize extent;
            dc->GetTextExtentPoint32W(text, int(text.size()), &extent);
            widest = std::max(widest, int(extent.cx));
        }
        for (int step : {1, 2, 5, 10})
            if (step * pxPerCm >= widest + 6)
                return step;
        return 20;
    };
    const auto numbered = [](int i, int step) { return i % step == 0; };

    CFont* oldFont = dc->SelectObject(&m_horzRulerFont);
    int step = numberStep();
    for (int i = 0, n = 0; n < 1000; ++i, n = 10 * i) {
        const int x = SaturateInt(i * pxPerCm + o.x);
        if (x > cw)
            break;
        if (!visible(x, cw))
            continue;
        dc->MoveTo(x, 0);
        dc->LineTo(x, 16);
        if (numbered(i, step))
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
        if (numbered(i, step))
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
    step = numberStep();
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
        if (numbered(i, step))
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
        if (numbered(i, step))
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
