#pragma once
// The sheet a label design is repeated on, in whole tenths of a millimetre, and the solver that
// fills in whichever of label size and gaps is automatic. The label wizard keeps one of these;
// the document keeps the same values as floats and copies them in and out around a run.

#include "document/sheetlimits.h"
#include "framework/geometry.h"
#include "framework/types.h"

#include <cstdint>

class CDrawDoc;

// Lengths of the sheet read from text or from a document beyond kMaxSheetLength are brought to
// it; a count of columns or rows beyond kMaxSheetCells is not taken.

// The number of gaps counted between n cells: n - 1 from two cells on, and one for a single cell
// (or for a grid that is not there), both when solving and when checking the fit.
constexpr std::int64_t GapCount(std::int64_t n) { return n >= 2 ? n - 1 : 1; }

// True when `count` labels of `size` with `gap` between them and margins `before` and `after`
// fit in `paper`; worked in 64 bits, so that no sum can overflow.
bool SpanFits(int paper, int before, int after, int count, int size, int gap);

// Pages of a print job: one sheet when single cells are chosen, otherwise enough sheets for
// every label. A grid without a cell holds nothing and gives no page.
std::int64_t SheetPageCount(std::int64_t labels, int columns, int rows, bool cellsChosen);

// Why a sheet is refused for printing (the document's IsPrintableSheet fails): the three lines
// that the sheet preview shows for a layout that does not fit, one a line.
CString UnprintableSheetText();

// A stored length in whole tenths: truncated toward zero, NaN as 0, within kMaxSheetLength.
int StoredLength(double value);

class CSheetLayout {
public:
    // A4 portrait, margins of 10 mm, 2 x 5 labels, label size and gaps automatic (solved).
    CSheetLayout();

    const CString& GetPrinterName() const { return m_printerName; }
    void SetPrinterName(const CString& name) { m_printerName = name; }
    CSize GetPaperSize() const { return CSize(m_paperWidth, m_paperHeight); }
    BOOL SetPaperSize(int width, int height);
    int GetPaperCode() const { return m_paperCode; }
    void SetPaperCode(int code) { m_paperCode = code; }
    int GetOrientation() const { return m_orientation; }
    // 1 portrait, 2 landscape. A change swaps columns with rows, label width with height and the
    // two gaps, then solves; the same orientation again changes nothing. Paper and margins stay.
    BOOL SetOrientation(int orientation);
    // left, top, right, bottom
    CRect GetMargins() const { return m_margins; }
    BOOL SetMargins(const CRect& margins);
    CSize GetGrid() const { return CSize(m_columns, m_rows); }
    // A count outside 1 to kMaxSheetCells is not taken; the other one still is.
    BOOL SetGrid(int columns, int rows);
    CSize GetLabelSize() const { return CSize(m_labelWidth, m_labelHeight); }
    BOOL SetLabelSize(int width, int height);
    CSize GetGap() const { return CSize(m_gapX, m_gapY); }
    BOOL SetGap(int horizontal, int vertical);
    BOOL GetAutoLabelSize() const { return m_autoLabelSize; }
    BOOL SetAutoLabelSize(BOOL on);
    BOOL GetAutoGap() const { return m_autoGap; }
    BOOL SetAutoGap(BOOL on);

    // Solves the automatic values and answers whether the grid fits the paper. A layout that
    // does not fit stays as it is.
    BOOL SolveLayout();
    BOOL Fits() const;

    // Turns the margins with the paper: a quarter turn to landscape takes each margin from the
    // next edge clockwise (left from top, top from right, ...); back to portrait is the inverse.
    void TurnMargins(bool toLandscape);

    // The document's sheet copied in, in the order the setters need (margins, orientation, paper,
    // code, grid, automatic flags, label size, gaps). Stored lengths are truncated and brought
    // into range; a grid count of 0 or less reads as 1. The printer name is the layout's own.
    void CopyFromDocument(CDrawDoc& doc);
    // This layout written into the document, the orientation last (it may turn the application's
    // printer). True when any value of the document changed.
    bool CopyToDocument(CDrawDoc& doc) const;

private:
    CString m_printerName;
    int m_paperWidth = 2100;
    int m_paperHeight = 2970;
    int m_paperCode = 9;
    int m_orientation = 1;
    CRect m_margins {100, 100, 100, 100};
    int m_columns = 2;
    int m_rows = 5;
    BOOL m_autoLabelSize = TRUE;
    int m_labelWidth = 0;
    int m_labelHeight = 0;
    BOOL m_autoGap = TRUE;
    int m_gapX = 0;
    int m_gapY = 0;
};
