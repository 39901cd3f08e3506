#pragma once
// A sheet of labels drawn to scale: the paper, its margins and the grid of label cells, with a
// marker on the measurement being edited and a warning instead of the sheet when the labels do
// not fit. CDesignPreview shows it on the label wizard's pages; CPrintSelectPreview also lets the
// user choose single cells by clicking them or by dragging a band over them.

#include "document/drawdoc.h"
#include "framework/geometry.h"

#include <QFrame>

#include <vector>

class CDC;
class CSheetLayout;
class QImage;
class QPainter;

// The measurement a preview marks.
enum SheetHighlight {
    kHighlightNone = 0,
    kHighlightTopMargin,
    kHighlightBottomMargin,
    kHighlightLeftMargin,
    kHighlightRightMargin,
    kHighlightLabelWidth,
    kHighlightLabelHeight,
    kHighlightGapX,
    kHighlightGapY,
};

// The warning of a sheet whose labels do not fit on its paper (strings 21 to 23), in red on the
// middle of the area, wrapped to its width; `unit` scales the sheet preview's sizes (a 14-pixel
// font) for other devices.
void PaintSheetWarning(CDC& dc, const CRect& area, int unit = 1);

class CDesignPreview : public QFrame {
    Q_OBJECT
public:
    explicit CDesignPreview(QWidget* parent = nullptr);

    // Lengths in tenths of a millimetre. Paper, grid and highlight repaint; label size and gaps
    // take effect with the next paint.
    void SetPaper(CSize paper, const CRect& margins);
    void SetLabelSize(int width, int height);
    void SetGap(int horizontal, int vertical);
    void SetGrid(int columns, int rows);
    void SetHighlight(int code);
    // Paper, margins, label size, gaps and grid of a layout; repaints.
    void ShowLayout(const CSheetLayout& layout);

    // The label cells in row order, as the first paint after they were emptied placed them; a
    // later change of layout keeps them.
    std::vector<CSelectTag> GetCells() const { return m_cells; }

    QSize sizeHint() const override { return QSize(300, 300); }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The picture of the control's whole client area. The first picture after the cells were
    // emptied places them.
    QImage RenderSheet();
    // Whether the chosen cells are shown in colour.
    virtual bool ShowsChosenCells() const { return false; }

    std::vector<CSelectTag> m_cells;
    std::vector<CSelectTag> m_dragStartCells;
    CPoint m_bandAnchor;
    CPoint m_bandCorner;

private:
    static void PaintMarker(QPainter& painter, CPoint start, int length, bool horizontal);

    int m_paperWidth = 2100;
    int m_paperHeight = 2970;
    CRect m_margins {100, 100, 100, 100};
    int m_columns = 2;
    int m_rows = 8;
    int m_gapX = 0;
    int m_gapY = 0;
    int m_labelWidth = 0;
    int m_labelHeight = 0;
    int m_highlight = kHighlightNone;
};

class CPrintSelectPreview : public CDesignPreview {
    Q_OBJECT
public:
    using CDesignPreview::CDesignPreview;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool ShowsChosenCells() const override { return true; }

private:
    // The band from the anchor to a point, both end points inside it.
    CRect Band(CPoint corner) const;
    bool m_dragging = false;
};
