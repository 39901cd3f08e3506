#include "printing/sheetpreview.h"

#include "framework/dc.h"
#include "framework/gdi.h"
#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialoglayout.h"
#include "printing/sheetlayout.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdint>

namespace {

const bool registered = RegisterDialogControl(QStringLiteral("CDesignPreview"), [](QWidget* parent) {
    return new CDesignPreview(parent);
}) && RegisterDialogControl(QStringLiteral("CPrintSelectPreview"), [](QWidget* parent) {
    return new CPrintSelectPreview(parent);
});

// Gaps drawn between and beside n cells: n - 1 from two cells on, else n.
std::int64_t DrawnGaps(std::int64_t n) { return n >= 2 ? n - 1 : n; }

}  // namespace

CDesignPreview::CDesignPreview(QWidget* parent) : QFrame(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDesignPreview::SetPaper(CSize paper, const CRect& margins)
{
    m_paperWidth = paper.cx;
    m_paperHeight = paper.cy;
    m_margins = margins;
    update();
}

void CDesignPreview::SetLabelSize(int width, int height)
{
    m_labelWidth = width;
    m_labelHeight = height;
}

void CDesignPreview::SetGap(int horizontal, int vertical)
{
    m_gapX = horizontal;
    m_gapY = vertical;
}

void CDesignPreview::SetGrid(int columns, int rows)
{
    m_columns = columns;
    m_rows = rows;
    update();
}

void CDesignPreview::SetHighlight(int code)
{
    m_highlight = code;
    update();
}

void CDesignPreview::ShowLayout(const CSheetLayout& layout)
{
    SetLabelSize(layout.GetLabelSize().cx, layout.GetLabelSize().cy);
    SetGap(layout.GetGap().cx, layout.GetGap().cy);
    SetGrid(layout.GetGrid().cx, layout.GetGrid().cy);
    SetPaper(layout.GetPaperSize(), layout.GetMargins());
}

void CDesignPreview::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, RenderSheet());
}

QImage CDesignPreview::RenderSheet()
{
    QImage image(size(), QImage::Format_RGB32);
    const CRect client(0, 0, width(), height());
    CPainterDC dc(&image);
    CBrush grey(RGB(150, 150, 150));
    dc.SelectObject(&grey);
    dc.Rectangle(&client);

    // A sheet without size, with a grid out of range or with negative lengths cannot be drawn.
    auto inRange = [](int count) { return count >= 1 && count <= kMaxSheetCells; };
    const bool fits = m_paperWidth > 0 && m_paperHeight > 0 && inRange(m_columns) && inRange(m_rows) &&
                      m_gapX >= 0 && m_gapY >= 0 &&
                      m_labelWidth >= 0 && m_labelHeight >= 0 &&
                      SpanFits(m_paperWidth, m_margins.left, m_margins.right, m_columns, m_labelWidth, m_gapX) &&
                      SpanFits(m_paperHeight, m_margins.top, m_margins.bottom, m_rows, m_labelHeight, m_gapY);
    if (!fits) {
        PaintSheetWarning(dc, client);
        return image;
    }
    // The paper's longer side fills the control less a border of 20 pixels on each side.
    std::int64_t drawnW = 0, drawnH = 0;
    if (m_paperWidth > m_paperHeight) {
        drawnW = client.Width() - 40;
        drawnH = drawnW * m_paperHeight / m_paperWidth;
    } else {
        drawnH = client.Height() - 40;
        drawnW = drawnH * m_paperWidth / m_paperHeight;
    }
    const int x0 = SaturateInt(client.left + (client.Width() - drawnW) / 2);
    const int y0 = SaturateInt(client.top + (client.Height() - drawnH) / 2);
    const double scale = double(drawnW) / m_paperWidth;
    auto px = [scale](std::int64_t tenths) { return SaturateInt(double(tenths) * scale); };

    // The paper's edges add up the scaled parts of the sheet, so that its far edges meet the grid.
    const std::int64_t usedX = std::int64_t(m_columns) * m_labelWidth + DrawnGaps(m_columns) * m_gapX;
    const std::int64_t usedY = std::int64_t(m_rows) * m_labelHeight + DrawnGaps(m_rows) * m_gapY;
    const std::int64_t right = std::int64_t(x0) + px(m_margins.left) + px(usedX) + px(m_margins.right) + 1 +
                               px(m_paperWidth - usedX - m_margins.left - m_margins.right);
    const std::int64_t bottom = std::int64_t(y0) + px(m_margins.top) + px(usedY) + px(m_margins.bottom) + 1 +
                                px(m_paperHeight - usedY - m_margins.top - m_margins.bottom);
    const CRect paper(x0, y0, SaturateInt(right), SaturateInt(bottom));
    CBrush black(RGB(0, 0, 0)), white(RGB(255, 255, 255)), chosen(RGB(30, 150, 30));
    CRect shadow = paper;
    shadow.OffsetRect(3, 3);
    dc.SelectObject(&black);
    dc.Rectangle(&shadow);
    dc.SelectObject(&white);
    dc.Rectangle(&paper);

    const bool placeCells = m_cells.empty();
    const int cellW = px(m_labelWidth) + 1, cellH = px(m_labelHeight) + 1;
    for (int i = 0; i < m_rows; ++i) {
        for (int j = 0; j < m_columns; ++j) {
            const int left = x0 + px(m_margins.left) + px(std::int64_t(j) * (std::int64_t(m_labelWidth) + m_gapX));
            const int top = y0 + px(m_margins.top) + px(std::int64_t(i) * (std::int64_t(m_labelHeight) + m_gapY));
            const CRect cell(left, top, left + cellW, top + cellH);
            dc.RoundRect(&cell, CPoint(8, 8));
            if (placeCells)
                m_cells.push_back(CSelectTag {cell, FALSE});
        }
    }
    if (ShowsChosenCells()) {
        for (const CSelectTag& cell : m_cells) {
            dc.SelectObject(cell.chosen ? &chosen : &white);
            dc.RoundRect(&cell.rect, CPoint(8, 8));
        }
    }
    dc.SelectStockObject(WHITE_BRUSH);

    if (m_highlight == kHighlightNone)
        return image;
    QPainter* painter = dc.Painter();
    painter->save();
    const int left = px(m_margins.left), top = px(m_margins.top);
    switch (m_highlight) {
    case kHighlightTopMargin: PaintMarker(*painter, CPoint(x0, y0), top, false); break;
    case kHighlightBottomMargin:
        PaintMarker(*painter, CPoint(x0, paper.bottom - px(m_margins.bottom)), px(m_margins.bottom), false);
        break;
    case kHighlightLeftMargin: PaintMarker(*painter, CPoint(x0, y0), left, true); break;
    case kHighlightRightMargin:
        PaintMarker(*painter, CPoint(paper.right - px(m_margins.right), y0), px(m_margins.right), true);
        break;
    case kHighlightLabelWidth: PaintMarker(*painter, CPoint(x0 + left, y0), px(m_labelWidth), true); break;
    case kHighlightLabelHeight: PaintMarker(*painter, CPoint(x0, y0 + top), px(m_labelHeight), false); break;
    case kHighlightGapX:
        PaintMarker(*painter, CPoint(x0 + left + px(m_labelWidth), y0), px(m_gapX), true);
        break;
    case kHighlightGapY:
        PaintMarker(*painter, CPoint(x0, y0 + top + px(m_labelHeight)), px(m_gapY), false);
        break;
    default: break;
    }
    painter->restore();
    return image;
}

void PaintSheetWarning(CDC& dc, const CRect& area, int unit)
{
    unit = std::max(unit, 1);
    LOGFONTW lf;
    lf.lfHeight = 14 * unit;
    const QString face = QStringLiteral("Arial");
    for (int i = 0; i < face.size(); ++i)
        lf.lfFaceName[i] = face[i].unicode();
    CFont font;
    font.CreateFontIndirect(&lf);
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetTextColor(RGB(200, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    // Three sentences from 48 units above the middle of the area's height, line under line,
    // wrapped to the area with 20 units to spare on either side.
    const int middle = SaturateInt((std::int64_t(area.top) + area.bottom) / 2);
    CRect box(SaturateInt(std::int64_t(area.left) + 20 * unit), SaturateInt(std::int64_t(middle) - 48 * unit),
              SaturateInt(std::int64_t(area.right) - 20 * unit), area.bottom);
    if (box.right <= box.left)
        box.right = box.left + 1;
    dc.DrawText(UnprintableSheetText(), &box, DT_LEFT | DT_WORDBREAK | DT_NOCLIP);
    dc.SelectObject(oldFont);
}

void CDesignPreview::PaintMarker(QPainter& painter, CPoint start, int length, bool horizontal)
{
    const QColor blue(0, 0, 255);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(blue, 1, Qt::DotLine);
    painter.setPen(pen);
    const QPoint s(start.x, start.y);
    const QPoint along = horizontal ? QPoint(1, 0) : QPoint(0, 1);
    const QPoint end = s + along * length;
    // Extension lines of 20 pixels out of the paper at both ends of the span.
    const QPoint out = horizontal ? QPoint(0, -20) : QPoint(-20, 0);
    painter.drawLine(s, s + out);
    painter.drawLine(end, end + out);

    // Arrows 10 pixels off the edge: inside the span pointing out to its ends, or outside
    // pointing in when the span is too short to hold them.
    pen.setStyle(Qt::SolidLine);
    painter.setPen(pen);
    painter.setBrush(blue);
    auto arrow = [&painter, along](QPoint tip, int direction) {
        const QPoint back = along * (10 * -direction);
        painter.drawLine(tip + back, tip);
        const QPoint head = along * (2 * -direction);
        const QPoint side = QPoint(along.y(), along.x()) * 2;
        const QPoint points[3] = {tip, tip + head + side, tip + head - side};
        painter.drawPolygon(points, 3);
    };
    const QPoint shift = out / 2;
    const int outward = length > 20 ? 1 : -1;
    arrow(s + shift, -outward);
    arrow(end + shift, outward);
}

// --- choosing cells --------------------------------------------------------------------------

void CPrintSelectPreview::paintEvent(QPaintEvent*)
{
    QImage image = RenderSheet();
    if (m_dragging) {
        CPainterDC dc(&image);
        const CRect band = Band(m_bandCorner);
        dc.DrawFocusRect(&band);
    }
    QPainter(this).drawImage(0, 0, image);
}

CRect CPrintSelectPreview::Band(CPoint corner) const
{
    return CRect(std::min(m_bandAnchor.x, corner.x), std::min(m_bandAnchor.y, corner.y),
                 std::max(m_bandAnchor.x, corner.x) + 1, std::max(m_bandAnchor.y, corner.y) + 1);
}

void CPrintSelectPreview::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    const CPoint p(event->position().toPoint().x(), event->position().toPoint().y());
    m_dragStartCells = m_cells;
    for (CSelectTag& cell : m_cells) {
        if (cell.rect.PtInRect(p))
            cell.chosen ^= 1;
    }
    m_dragging = true;
    m_bandAnchor = m_bandCorner = p;
    update();
}

void CPrintSelectPreview::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return QFrame::mouseMoveEvent(event);
    const CPoint q(event->position().toPoint().x(), event->position().toPoint().y());
    // Every cell the band covers is toggled from its state when the button went down, so that
    // moving the band back off a cell restores it.
    const CRect band = Band(q);
    for (std::size_t i = 0; i < m_cells.size() && i < m_dragStartCells.size(); ++i) {
        CRect overlap;
        m_cells[i].chosen = m_dragStartCells[i].chosen ^ (overlap.IntersectRect(band, m_cells[i].rect) ? 1 : 0);
    }
    m_bandCorner = q;
    update();
}

void CPrintSelectPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return QFrame::mouseReleaseEvent(event);
    m_dragging = false;
    update();
}
