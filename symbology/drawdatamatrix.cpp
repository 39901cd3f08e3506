#include "symbology/drawdatamatrix.h"

#include "framework/archive.h"

IMPLEMENT_SERIAL(CDrawDataMatrix, CDrawText, VERSIONABLE_SCHEMA | 1)

CDrawDataMatrix::CDrawDataMatrix() : CDrawCode2D(kLargestModule) {}

CDrawDataMatrix::CDrawDataMatrix(const CRect& position, CDrawViewBase* view, const CString& text)
    : CDrawCode2D(kLargestModule, position, view, text)
{
    FitToText(nullptr, &m_position, text.isEmpty() ? Placeholder() : text);
}

std::optional<CSize> CDrawDataMatrix::Measure(const CString& text)
{
    CSize size;
    if (!m_encoder.GetSymbolSize(text, size) || size.cx <= 0 || size.cy <= 0)
        return std::nullopt;
    return size;
}

void CDrawDataMatrix::FitToText(CDC* dc, CRect* rect, const CString& text)
{
    if (!rect)
        return;
    if (text.isEmpty()) {
        rect->right = rect->left;
        rect->bottom = rect->top;
        return;
    }
    if (Measure(text))
        CDrawCode2D::FitToText(dc, rect, text);
}

void CDrawDataMatrix::PaintSymbol(CDC* dc, const CString& text)
{
    m_encoder.Draw(dc, text, m_position);
}

void CDrawDataMatrix::AttachPage()
{
    m_page = {m_sizes, m_encoder.m_nModuleSize, m_encoder.m_nCodePage, m_encoder.m_nSizeRequest};
    m_sheet.dataMatrix = &m_page;
}

void CDrawDataMatrix::TakePage()
{
    m_encoder.Clear();
    m_encoder.m_nModuleSize = m_page.moduleSize;
    m_encoder.m_nCodePage = m_page.codePage;
    m_encoder.m_nSizeRequest = m_page.sizeRequest;
}

void CDrawDataMatrix::Serialize(CArchive& ar)
{
    CDrawText::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawDataMatrix));
        ar << m_encoder.m_nModuleSize << DWORD(m_encoder.m_nCodePage) << m_encoder.m_nSizeRequest;
        return;
    }
    if (ReadCodeLevel(ar, RUNTIME_CLASS(CDrawDataMatrix), "Data Matrix object") != 1)
        return;
    int module = 0, request = 0;
    DWORD codePage = 0;
    ar >> module >> codePage >> request;
    m_encoder.Clear();
    m_encoder.m_nModuleSize = CheckStored(module, 1, kMaxStoredModule, "Data Matrix module size");
    m_encoder.m_nCodePage = codePage;
    m_encoder.m_nSizeRequest = request;
}
