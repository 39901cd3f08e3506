#include "view/compitem.h"

#include "framework/resourcemodule.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "view/drawview.h"

#include <cstring>


namespace {
constexpr UINT kStrNewText = 8;

bool IsClass(const CRuntimeClass* cls, const char* name)
{
    return cls && cls->m_lpszClassName && std::strcmp(cls->m_lpszClassName, name) == 0;
}
}  // namespace

CDrawObj* CTextCompItem::CreateDrawObj(CDrawView* view)
{
    if (!IsClass(m_pObjectClass, "CDrawText"))
        return nullptr;
    auto* text = new CDrawText(CRect(0, 0, 0, 0), view, CResourceModule::Get().LoadString(kStrNewText));
    text->Content().sizingMode = m_nKind;
    return text;
}

CDrawObj* CBarcodeCompItem::CreateDrawObj(CDrawView* view)
{
    if (!IsClass(m_pObjectClass, "CDrawBarcode"))
        return nullptr;
    return new CDrawBarcode(CRect(0, 0, 0, 0), view, QStringLiteral("12345678"), m_nSymbology);
}

CDrawObj* CCode2DCompItem::CreateDrawObj(CDrawView* view)
{
    const CString text = QStringLiteral("12345678");
    if (IsClass(m_pObjectClass, "CDrawQRCode"))
        return new CDrawQRCode(CRect(0, 0, 0, 0), view, text);
    if (IsClass(m_pObjectClass, "CDrawPDF417"))
        return new CDrawPDF417(CRect(0, 0, 0, 0), view, text);
    if (IsClass(m_pObjectClass, "CDrawDataMatrix"))
        return new CDrawDataMatrix(CRect(0, 0, 0, 0), view, text);
    return nullptr;
}
