#include "symbology/datamatrixencoder.h"

#include "symbology/codepages.h"
#include "symbology/datamatrixplacement.h"
#include "symbology/modulepainter.h"

#include <dmtx.h>

IMPLEMENT_DYNAMIC(CDataMatrixEncoder, CObject)

namespace {

// libdmtx numbers the automatic requests differently: the -1 of a stored square request is its
// DmtxSymbolSquareAuto, the -2 of a rectangular one its DmtxSymbolRectAuto.
int LibraryRequest(int request)
{
    switch (request) {
    case DATAMATRIX_SQUARE_AUTO:
        return DmtxSymbolSquareAuto;
    case DATAMATRIX_RECT_AUTO:
        return DmtxSymbolRectAuto;
    default:
        return request;
    }
}

bool IsValidRequest(int request)
{
    return request == DATAMATRIX_SQUARE_AUTO || request == DATAMATRIX_RECT_AUTO
        || (request >= 0 && request < DATAMATRIX_SIZE_COUNT);
}

}  // namespace

CDataMatrixEncoder::CDataMatrixEncoder() : m_nCodePage(GetOEMCP()) {}

CDataMatrixEncoder::~CDataMatrixEncoder() = default;

BOOL CDataMatrixEncoder::GetSymbolSize(const CString& text, CSize& size)
{
    std::vector<uint8_t> bytes;
    ConvertToCodePage(m_nCodePage, text.isEmpty() ? QStringLiteral("<EMPTY>") : text, bytes);
    return GetSymbolSize(bytes, size);
}

BOOL CDataMatrixEncoder::GetSymbolSize(const std::vector<uint8_t>& bytes, CSize& size)
{
    if (!Build(bytes))
        return FALSE;
    size = CSize(m_columns, m_rows);
    return TRUE;
}

BOOL CDataMatrixEncoder::Build(const std::vector<uint8_t>& bytes)
{
    if (m_built && bytes == m_builtBytes && m_nSizeRequest == m_builtRequest)
        return m_columns > 0;
    m_built = true;
    m_builtBytes = bytes;
    m_builtRequest = m_nSizeRequest;
    m_columns = m_rows = 0;
    m_modules.clear();
    // An empty input has no symbol; an unknown request would index past libdmtx's size table.
    if (bytes.empty() || !IsValidRequest(m_nSizeRequest))
        return FALSE;

    DmtxEncode* enc = dmtxEncodeCreate();
    if (enc == nullptr)
        return FALSE;
    dmtxEncodeSetProp(enc, DmtxPropModuleSize, 1);
    dmtxEncodeSetProp(enc, DmtxPropMarginSize, 0);
    dmtxEncodeSetProp(enc, DmtxPropScheme, DmtxSchemeBase256);
    dmtxEncodeSetProp(enc, DmtxPropSizeRequest, LibraryRequest(m_nSizeRequest));
    std::vector<unsigned char> data(bytes.begin(), bytes.end());
    if (dmtxEncodeDataMatrix(enc, int(data.size()), data.data()) == DmtxPass && enc->image) {
        DmtxImage* image = enc->image;
        m_columns = image->width;
        m_rows = image->height;
        m_modules.assign(size_t(m_columns) * size_t(m_rows), 0);
        // The image's row 0 is the symbol's bottom row.
        for (int y = 0; y < m_rows; ++y) {
            for (int x = 0; x < m_columns; ++x) {
                int value = 0;
                dmtxImageGetPixelValue(image, x, y, 0, &value);
                m_modules[size_t(m_rows - 1 - y) * size_t(m_columns) + size_t(x)] = value < 128;
            }
        }
        if (m_rows == 144 && m_columns == 144 && enc->message)
            ReplaceDataMatrix144(m_modules, enc->message->code, int(enc->message->codeSize));
    }
    dmtxEncodeDestroy(&enc);
    return m_columns > 0;
}

void CDataMatrixEncoder::Clear()
{
    m_strText.clear();
    m_built = false;
    m_builtBytes.clear();
    m_columns = m_rows = 0;
    m_modules.clear();
}

void CDataMatrixEncoder::Draw(CDC* pDC, const CString& text, const CRect& rect)
{
    CSize size;
    if (!GetSymbolSize(text, size))
        return;
    m_strText = text;
    PaintModuleRuns(pDC, rect.left, rect.top, m_nModuleSize * m_columns, m_nModuleSize * m_rows,
                    m_rows, m_columns, [this](int r, int c) { return IsDark(r, c); });
}

bool CDataMatrixEncoder::IsDark(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return false;
    return m_modules[size_t(row) * size_t(m_columns) + size_t(column)] != 0;
}

CSize CDataMatrixEncoder::FixedSymbolSize(int request)
{
    if (request < 0 || request >= DATAMATRIX_SIZE_COUNT)
        return CSize(0, 0);
    return CSize(dmtxGetSymbolAttribute(DmtxSymAttribSymbolCols, request),
                 dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, request));
}
