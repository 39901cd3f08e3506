#include "symbology/pdf417encoder.h"

#include "framework/archive.h"
#include "framework/dc.h"

void PDF417Init(PDF417Param* p)
{
    *p = PDF417Param();
}

void PDF417Free(PDF417Param* p)
{
    p->bitMatrix.clear();
    p->bitMatrixLength = 0;
}

void PDF417Encode(PDF417Param* p)
{
    p->error = PDF417_ERROR_TEXT_TOO_BIG;
}

IMPLEMENT_SERIAL(CPDF417Encoder, CObject, VERSIONABLE_SCHEMA | 1)

CPDF417Encoder::CPDF417Encoder() : m_nCodePage(437)
{
    PDF417Init(&m_param);
}

CPDF417Encoder::~CPDF417Encoder() = default;

void CPDF417Encoder::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
}

CSize CPDF417Encoder::GetSymbolSize(const CString&)
{
    return CSize(0, 0);
}

CSize CPDF417Encoder::GetSymbolSize(const std::vector<uint8_t>& bytes)
{
    return Build(bytes);
}

CSize CPDF417Encoder::Build(const std::vector<uint8_t>&)
{
    return CSize(0, 0);
}

void CPDF417Encoder::Reset()
{
    PDF417Free(&m_param);
    m_param.error = PDF417_ERROR_SUCCESS;
    m_strText.clear();
    m_drawn = false;
}

void CPDF417Encoder::Draw(CDC*, const CString&, const CRect&, int) {}

int CPDF417Encoder::GetModuleColumns() const
{
    return m_param.bitMatrixLength > 0 ? m_param.bitColumns : 0;
}

int CPDF417Encoder::GetModuleRows() const
{
    return m_param.bitMatrixLength > 0 ? m_param.codeRows : 0;
}

bool CPDF417Encoder::IsDark(int, int) const
{
    return false;
}
