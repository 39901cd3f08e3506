#include "symbology/datamatrixencoder.h"

#include "framework/dc.h"

IMPLEMENT_DYNAMIC(CDataMatrixEncoder, CObject)

CDataMatrixEncoder::CDataMatrixEncoder() : m_nCodePage(437) {}

CDataMatrixEncoder::~CDataMatrixEncoder() = default;

BOOL CDataMatrixEncoder::GetSymbolSize(const CString&, CSize&)
{
    return FALSE;
}

BOOL CDataMatrixEncoder::GetSymbolSize(const std::vector<uint8_t>& bytes, CSize& size)
{
    if (!Build(bytes))
        return FALSE;
    size = CSize(m_columns, m_rows);
    return TRUE;
}

BOOL CDataMatrixEncoder::Build(const std::vector<uint8_t>&)
{
    return FALSE;
}

void CDataMatrixEncoder::Clear()
{
    m_strText.clear();
    m_built = false;
}

void CDataMatrixEncoder::Draw(CDC*, const CString&, const CRect&) {}

bool CDataMatrixEncoder::IsDark(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return false;
    return m_modules[size_t(row) * size_t(m_columns) + size_t(column)] != 0;
}

CSize CDataMatrixEncoder::FixedSymbolSize(int)
{
    return CSize(0, 0);
}
