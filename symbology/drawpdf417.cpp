#include "symbology/drawpdf417.h"

#include "framework/archive.h"

IMPLEMENT_SERIAL(CDrawPDF417, CDrawText, VERSIONABLE_SCHEMA | 1)

CDrawPDF417::CDrawPDF417() : CDrawCode2D(kLargestModule) {}

CDrawPDF417::CDrawPDF417(const CRect& position, CDrawViewBase* view, const CString& text)
    : CDrawCode2D(kLargestModule, position, view, text)
{
    FitToText(nullptr, &m_position, text.isEmpty() ? Placeholder() : text);
}

std::optional<CSize> CDrawPDF417::Measure(const CString& text)
{
    const CSize size = m_encoder.GetSymbolSize(text);
    if (size.cx <= 0 || size.cy <= 0)
        return std::nullopt;
    return size;
}

void CDrawPDF417::PaintSymbol(CDC* dc, const CString& text)
{
    m_encoder.Draw(dc, text, m_position, SaturateInt(qint64(m_nRowFactor) * m_nModuleWidth));
}

void CDrawPDF417::AttachPage()
{
    const int options = m_encoder.GetOptions();
    m_page.sizes = m_sizes;
    m_page.moduleWidth = m_nModuleWidth;
    m_page.rowFactor = m_nRowFactor;
    m_page.rows = m_encoder.GetRows();
    m_page.errorLevel = m_encoder.GetErrorLevel();
    m_page.codePage = m_encoder.GetCodePage();
    m_page.levelAutomatic = (options & PDF417_USE_ERROR_LEVEL) == 0;
    m_page.rowsFixed = (options & PDF417_FIXED_ROWS) != 0;
    m_sheet.pdf417 = &m_page;
}

void CDrawPDF417::TakePage()
{
    const int options =
        (m_page.rowsFixed ? PDF417_FIXED_ROWS : 0) | (m_page.levelAutomatic ? 0 : PDF417_USE_ERROR_LEVEL);
    m_encoder.Reset();
    m_nModuleWidth = m_page.moduleWidth;
    m_nRowFactor = m_page.rowFactor;
    m_encoder.SetOptions(options);
    m_encoder.SetRows(m_page.rows);
    m_encoder.SetErrorLevel(m_page.errorLevel);
    m_encoder.SetCodePage(m_page.codePage);
}

void CDrawPDF417::Serialize(CArchive& ar)
{
    CDrawText::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawPDF417));
        ar << m_nModuleWidth << m_nRowFactor << m_encoder.GetOptions() << m_encoder.GetRows()
           << m_encoder.GetErrorLevel() << DWORD(m_encoder.GetCodePage());
        return;
    }
    if (ReadCodeLevel(ar, RUNTIME_CLASS(CDrawPDF417), "PDF417 object") != 1)
        return;
    int module = 0, factor = 0, options = 0, rows = 0, level = 0;
    DWORD codePage = 0;
    ar >> module >> factor >> options >> rows >> level >> codePage;
    m_nModuleWidth = CheckStored(module, 1, kMaxStoredModule, "PDF417 module width");
    m_nRowFactor = CheckStored(factor, 1, kMaxRowFactor, "PDF417 row-height factor");
    m_encoder.Reset();
    m_encoder.SetOptions(options);
    m_encoder.SetRows(rows);
    m_encoder.SetErrorLevel(level);
    m_encoder.SetCodePage(codePage);
}
