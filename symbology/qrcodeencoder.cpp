#include "symbology/qrcodeencoder.h"

IMPLEMENT_DYNAMIC(CQRCodeEncoder, CObject)
IMPLEMENT_DYNAMIC(CQRCodeResourceManager, CObject)

CQRCodeEncoder::CQRCodeEncoder() = default;
CQRCodeEncoder::~CQRCodeEncoder() = default;
void CQRCodeEncoder::SetStructuredAppend(int, UINT, UINT) {}
int CQRCodeEncoder::CalcParity(const std::vector<BYTE>&) { return -1; }
const CQRCodeEncoder::Matrix& CQRCodeEncoder::Encode(const std::vector<BYTE>&) { return m_matrix; }
void CQRCodeEncoder::Draw(CDC*, const CString&, const CRect&) {}
CSize CQRCodeEncoder::GetSymbolSize(const CString&) { return CSize(21, 21); }
void CQRCodeEncoder::Clear() { m_matrix.clear(); }
void CQRCodeEncoder::SetStoredStructuredAppend(int total, int position, int parity)
{
    m_nSATotal = total;
    m_nSAPosition = position;
    m_nSAParity = parity;
}
std::vector<int> CQRCodeEncoder::Settings() const { return {}; }
bool CQRCodeEncoder::Build(const std::vector<BYTE>&) { return false; }

CQRCodeResourceManager& CQRCodeResourceManager::GetInstance()
{
    static CQRCodeResourceManager manager;
    return manager;
}
BOOL CQRCodeResourceManager::GetResource(const CString&, Entry*&) { return FALSE; }
void CQRCodeResourceManager::ClearCache() {}
bool InflateBytes(const QByteArray&, QByteArray& out, qsizetype) { out.clear(); return false; }
BOOL InflateFile(const CString&, const CString&) { return FALSE; }
