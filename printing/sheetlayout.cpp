#include "printing/sheetlayout.h"

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"

#include <array>
#include <cmath>
#include <utility>

bool SpanFits(int paper, int before, int after, int count, int size, int gap)
{
    const std::int64_t used = std::int64_t(size) * count + std::int64_t(gap) * GapCount(count) +
                              std::int64_t(before) + after;
    return used <= paper;
}

std::int64_t SheetPageCount(std::int64_t labels, int columns, int rows, bool cellsChosen)
{
    if (columns <= 0 || rows <= 0)
        return 0;
    if (cellsChosen)
        return 1;
    if (labels <= 0)
        return 0;
    const std::int64_t perSheet = std::int64_t(columns) * rows;
    return labels / perSheet + (labels % perSheet > 0 ? 1 : 0);
}

CString UnprintableSheetText()
{
    CResourceModule& res = CResourceModule::Get();
    return res.LoadString(21) + u'\n' + res.LoadString(22) + u'\n' + res.LoadString(23);
}

int StoredLength(double value)
{
    if (std::isnan(value))
        return 0;
    return int(std::clamp(std::trunc(value), double(-kMaxSheetLength), double(kMaxSheetLength)));
}

CSheetLayout::CSheetLayout()
{
    SolveLayout();
}

BOOL CSheetLayout::SetPaperSize(int width, int height)
{
    m_paperWidth = width;
    m_paperHeight = height;
    return SolveLayout();
}

BOOL CSheetLayout::SetOrientation(int orientation)
{
    if (orientation == m_orientation)
        return Fits();
    m_orientation = orientation;
    std::swap(m_columns, m_rows);
    std::swap(m_labelWidth, m_labelHeight);
    std::swap(m_gapX, m_gapY);
    return SolveLayout();
}

BOOL CSheetLayout::SetMargins(const CRect& margins)
{
    m_margins = margins;
    return SolveLayout();
}

BOOL CSheetLayout::SetGrid(int columns, int rows)
{
    if (columns >= 1 && columns <= kMaxSheetCells)
        m_columns = columns;
    if (rows >= 1 && rows <= kMaxSheetCells)
        m_rows = rows;
    return SolveLayout();
}

BOOL CSheetLayout::SetLabelSize(int width, int height)
{
    m_labelWidth = width;
    m_labelHeight = height;
    return SolveLayout();
}

BOOL CSheetLayout::SetGap(int horizontal, int vertical)
{
    m_gapX = horizontal;
    m_gapY = vertical;
    return SolveLayout();
}

BOOL CSheetLayout::SetAutoLabelSize(BOOL on)
{
    m_autoLabelSize = on;
    return SolveLayout();
}

BOOL CSheetLayout::SetAutoGap(BOOL on)
{
    m_autoGap = on;
    return SolveLayout();
}

BOOL CSheetLayout::SolveLayout()
{
    // The rest of the paper after margins, in 64 bits; divisions truncate toward zero.
    const std::int64_t restX = std::int64_t(m_paperWidth) - m_margins.right - m_margins.left;
    const std::int64_t restY = std::int64_t(m_paperHeight) - m_margins.bottom - m_margins.top;
    // The setters never take a grid below one cell.
    const std::int64_t m = std::max(m_columns, 1), n = std::max(m_rows, 1);
    if (m_autoLabelSize && m_autoGap) {
        m_gapX = m_gapY = 0;
        m_labelWidth = SaturateInt(restX / m);
        m_labelHeight = SaturateInt(restY / n);
    } else if (m_autoGap) {
        m_gapX = SaturateInt((restX - std::int64_t(m_labelWidth) * m) / GapCount(m));
        m_gapY = SaturateInt((restY - std::int64_t(m_labelHeight) * n) / GapCount(n));
    } else if (m_autoLabelSize) {
        m_labelWidth = SaturateInt((restX - std::int64_t(m_gapX) * GapCount(m)) / m);
        m_labelHeight = SaturateInt((restY - std::int64_t(m_gapY) * GapCount(n)) / n);
    }
    return Fits();
}

BOOL CSheetLayout::Fits() const
{
    return SpanFits(m_paperHeight, m_margins.top, m_margins.bottom, m_rows, m_labelHeight, m_gapY) &&
           SpanFits(m_paperWidth, m_margins.left, m_margins.right, m_columns, m_labelWidth, m_gapX);
}

void CSheetLayout::TurnMargins(bool toLandscape)
{
    const CRect m = m_margins;
    if (toLandscape)
        m_margins = CRect(m.top, m.right, m.bottom, m.left);
    else
        m_margins = CRect(m.bottom, m.left, m.top, m.right);
    SolveLayout();
}

void CSheetLayout::CopyFromDocument(CDrawDoc& doc)
{
    float left = 0, top = 0, right = 0, bottom = 0;
    doc.GetMargins(&left, &top, &right, &bottom);
    SetMargins(CRect(StoredLength(left), StoredLength(top), StoredLength(right), StoredLength(bottom)));
    SetOrientation(doc.GetOrientation());
    const float* paper = doc.GetPaperSize();
    SetPaperSize(StoredLength(paper[0]), StoredLength(paper[1]));
    SetPaperCode(doc.GetPaperCode());
    // A stored grid without cells would leave the solver nothing to divide by.
    const int* grid = doc.GetLabelGrid();
    SetGrid(std::max(grid[0], 1), std::max(grid[1], 1));
    SetAutoGap(doc.GetAutoGap());
    SetAutoLabelSize(doc.GetAutoLabelSize());
    const float* label = doc.GetLabelSize();
    SetLabelSize(StoredLength(label[0]), StoredLength(label[1]));
    const float* gap = doc.GetLabelGap();
    SetGap(StoredLength(gap[0]), StoredLength(gap[1]));
}

bool CSheetLayout::CopyToDocument(CDrawDoc& doc) const
{
    bool changed = false;
    auto pair = [&changed](const float* now, int a, int b) {
        const std::array<float, 2> v {float(a), float(b)};
        changed |= now[0] != v[0] || now[1] != v[1];
        return v;
    };
    doc.SetPaperSize(pair(doc.GetPaperSize(), m_paperWidth, m_paperHeight).data());
    changed |= doc.GetPaperCode() != m_paperCode;
    doc.SetPaperCode(m_paperCode);
    doc.SetLabelSize(pair(doc.GetLabelSize(), m_labelWidth, m_labelHeight).data());
    changed |= doc.GetAutoLabelSize() != m_autoLabelSize || doc.GetAutoGap() != m_autoGap;
    doc.SetAutoLabelSize(m_autoLabelSize);
    doc.SetAutoGap(m_autoGap);
    doc.SetLabelGap(pair(doc.GetLabelGap(), m_gapX, m_gapY).data());
    float left = 0, top = 0, right = 0, bottom = 0;
    doc.GetMargins(&left, &top, &right, &bottom);
    changed |= left != float(m_margins.left) || top != float(m_margins.top) ||
               right != float(m_margins.right) || bottom != float(m_margins.bottom);
    doc.SetMargins(float(m_margins.left), float(m_margins.top), float(m_margins.right),
                   float(m_margins.bottom));
    const int* grid = doc.GetLabelGrid();
    changed |= grid[0] != m_columns || grid[1] != m_rows;
    const int newGrid[2] = {m_columns, m_rows};
    doc.SetLabelGrid(newGrid);
    changed |= doc.GetPrinterName() != m_printerName || doc.GetOrientation() != m_orientation;
    doc.SetPrinterName(m_printerName);
    doc.SetOrientation(m_orientation);
    return changed;
}
