#include "view/compitem.h"

#include <cstring>

std::function<CDrawObj*(CDrawView*, int)> CTextCompItem::c_makeText;
std::function<CDrawObj*(CDrawView*, const CString&, int)> CBarcodeCompItem::c_makeBarcode;

namespace {
bool IsClass(const CRuntimeClass* cls, const char* name)
{
    return cls && cls->m_lpszClassName && std::strcmp(cls->m_lpszClassName, name) == 0;
}
}  // namespace

CDrawObj* CTextCompItem::CreateDrawObj(CDrawView* view)
{
    if (!IsClass(m_pObjectClass, "CDrawText") || !c_makeText)
        return nullptr;
    return c_makeText(view, m_nKind);
}

CDrawObj* CBarcodeCompItem::CreateDrawObj(CDrawView* view)
{
    if (!IsClass(m_pObjectClass, "CDrawBarcode") || !c_makeBarcode)
        return nullptr;
    return c_makeBarcode(view, QStringLiteral("12345678"), m_nSymbology);
}
