#pragma once
// PDF417 (ISO/IEC 15438): the encoding core and the encoder object that label objects embed.
//
// The core works on one parameter block: it segments the bytes into text, byte and numeric
// compaction, sizes the symbol, pads, appends Reed-Solomon error correction over GF(929) and lays
// every row out as a bit matrix (start pattern, left row indicator, data, right row indicator,
// stop pattern). CPDF417Encoder adds the code page and paints the matrix through a CDC.

#include "framework/geometry.h"
#include "framework/object.h"
#include "framework/types.h"

#include <cstdint>
#include <vector>

class CArchive;
class CDC;

// Options of the parameter block (bit flags).
constexpr int PDF417_FIXED_RECTANGLE = 1;  // rows and columns both given
constexpr int PDF417_FIXED_COLUMNS = 2;
constexpr int PDF417_FIXED_ROWS = 4;
constexpr int PDF417_USE_ERROR_LEVEL = 16;
constexpr int PDF417_USE_RAW_CODEWORDS = 64;
constexpr int PDF417_INVERT_BITMAP = 128;

// Errors of the parameter block.
constexpr int PDF417_ERROR_SUCCESS = 0;
constexpr int PDF417_ERROR_TEXT_TOO_BIG = 1;
constexpr int PDF417_ERROR_INVALID_PARAMS = 2;

// Limits of the symbol.
constexpr int PDF417_MAX_TEXT = 5420;       // bytes
constexpr int PDF417_MAX_DATA = 926;        // data codewords, the length descriptor included
constexpr int PDF417_MAX_CODEWORDS = 928;   // codewords in the symbol

struct PDF417Param {
    // The symbol, row after row, each row padded to whole bytes, most significant bit first.
    std::vector<uint8_t> bitMatrix;
    int bitMatrixLength = 0;  // bytes in bitMatrix
    int bitColumns = 0;       // modules per row
    int codeRows = 0;         // rows: input when rows are fixed, output always
    int codeColumns = 0;      // data columns: input when columns are fixed, output always
    int codewords[PDF417_MAX_CODEWORDS] = {};  // codeword 0 is the length descriptor
    int lenCodewords = 0;     // codewords in use
    int errorLevel = -1;      // 0..8
    const uint8_t* text = nullptr;
    int lenText = -1;         // -1: the text ends at its first zero byte
    int options = 0;
    float aspectRatio = 1.0f; // wanted width / height for the automatic choice of columns
    float yHeight = 3.0f;     // row height in modules, used by that choice
    int error = PDF417_ERROR_SUCCESS;
};

// Puts the defaults into the block and frees its matrix.
void PDF417Init(PDF417Param* p);
// Encodes p->text (or the raw codewords) into p->bitMatrix; p->error tells the outcome.
void PDF417Encode(PDF417Param* p);
// Frees the matrix; the settings stay.
void PDF417Free(PDF417Param* p);
// The error-correction coefficients of a level (0..8): a[0..k-1] of the generator
// g(x) = x^k + a[k-1] x^(k-1) + ... + a[0] = (x - 3)(x - 3^2)...(x - 3^k), k = 2^(level + 1).
const std::vector<int>& PDF417ErrorCoefficients(int level);

class CPDF417Encoder : public CObject {
    DECLARE_SERIAL(CPDF417Encoder)
public:
    CPDF417Encoder();
    ~CPDF417Encoder() override;

    // Writes or reads the class's record, which is empty: the label object stores the settings.
    void Serialize(CArchive& ar) override;

    // Encodes the text in the code page with the current settings: (module columns, rows), or
    // 0 x 0 for an empty text or one the symbol cannot hold (GetError tells why).
    CSize GetSymbolSize(const CString& text);
    // The same for bytes already in the code page; every byte counts, zeros too.
    CSize GetSymbolSize(const std::vector<uint8_t>& bytes);
    // Forgets the symbol and the last drawn text; the settings stay.
    void Reset();
    // Paints the symbol of the text into rect: black rectangles for the dark modules, nothing for
    // the light ones. Each symbol row is rowHeight units high; the modules are rect's width
    // divided by the module columns. The symbol is rebuilt when the text or a setting changed.
    void Draw(CDC* pDC, const CString& text, const CRect& rect, int rowHeight);

    // The settings: each encoding starts from them, so what one text made of the rows or the
    // level (the symbol's own rows and level) never carries over to the next text.
    UINT GetCodePage() const { return m_nCodePage; }
    void SetCodePage(UINT codePage) { m_nCodePage = codePage; }
    int GetOptions() const { return m_nOptions; }
    void SetOptions(int options) { m_nOptions = options; }
    int GetRows() const { return m_nRows; }
    void SetRows(int rows) { m_nRows = rows; }
    int GetColumns() const { return m_nColumns; }
    void SetColumns(int columns) { m_nColumns = columns; }
    int GetErrorLevel() const { return m_nErrorLevel; }
    void SetErrorLevel(int level) { m_nErrorLevel = level; }

    // The outcome of the last encoding.
    int GetError() const { return m_param.error; }
    // The last symbol built: module columns, rows, and whether a module is dark; 0 x 0 and
    // false when none was built.
    int GetModuleColumns() const;
    int GetModuleRows() const;
    bool IsDark(int row, int column) const;
    const PDF417Param& GetParam() const { return m_param; }

private:
    CSize Build(const std::vector<uint8_t>& bytes);

    UINT m_nCodePage;
    int m_nOptions = 0;
    int m_nRows = 0;
    int m_nColumns = 0;
    int m_nErrorLevel = -1;
    PDF417Param m_param;
    CString m_strText;  // the text of the symbol last drawn
    bool m_drawn = false;
    int m_drawnSettings[5] = {};  // code page, options, rows, columns, level it was drawn with
};
