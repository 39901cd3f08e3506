#pragma once
// Data Matrix ECC 200: the settings of a symbol and its encoding through libdmtx.
//
// libdmtx does the encodation (Base 256), the Reed-Solomon codewords and the placement; this
// class turns the text into bytes in its code page, asks libdmtx for a symbol of the requested
// size and keeps the module matrix, top row first, for measuring and painting.

#include "framework/geometry.h"
#include "framework/object.h"
#include "framework/types.h"

#include <cstdint>
#include <vector>

class CDC;

// Size requests besides the fixed sizes 0..29 (libdmtx's table: 0..23 the square sizes 10 x 10
// to 144 x 144, 24..29 the rectangular sizes 8 x 18 to 16 x 48).
constexpr int DATAMATRIX_SQUARE_AUTO = -1;
constexpr int DATAMATRIX_RECT_AUTO = -2;
constexpr int DATAMATRIX_SIZE_COUNT = 30;

class CDataMatrixEncoder : public CObject {
    DECLARE_DYNAMIC(CDataMatrixEncoder)
public:
    CDataMatrixEncoder();
    ~CDataMatrixEncoder() override;

    // Encodes the text (an empty one as "<EMPTY>") in the code page with the size request; on
    // success size is set to (columns, rows) in modules and TRUE returned; otherwise size stays
    // and FALSE is returned.
    BOOL GetSymbolSize(const CString& text, CSize& size);
    // The same for bytes already in the code page.
    BOOL GetSymbolSize(const std::vector<uint8_t>& bytes, CSize& size);
    // Empties the text and forgets the symbol.
    void Clear();
    // Paints the symbol of the text into rect: black rectangles for the dark modules, each
    // m_nModuleSize units square from rect's top-left corner; nothing when the text fits no size.
    // The symbol is rebuilt when the text or a setting changed.
    void Draw(CDC* pDC, const CString& text, const CRect& rect);

    // The last symbol built (columns x rows, row 0 at the top); 0 x 0 when none was built.
    int GetModuleColumns() const { return m_columns; }
    int GetModuleRows() const { return m_rows; }
    bool IsDark(int row, int column) const;

    // Columns and rows of the fixed size request 0..29; 0 x 0 for any other number.
    static CSize FixedSymbolSize(int request);

    // Settings, read and written directly by the label object and its page.
    CString m_strText;           // the text of the symbol last built
    int m_nModuleSize = 50;      // drawing units per module
    int m_nSizeRequest = DATAMATRIX_SQUARE_AUTO;
    UINT m_nCodePage;

private:
    BOOL Build(const std::vector<uint8_t>& bytes);

    int m_columns = 0;
    int m_rows = 0;
    std::vector<uint8_t> m_modules;  // one byte per module, row after row, top row first
    bool m_built = false;
    std::vector<uint8_t> m_builtBytes;  // what the matrix was built from
    int m_builtRequest = 0;
};
