#include "symbology/drawbarcode.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/dc.h"
#include "framework/resourcemodule.h"
#include "objects/drawviewbase.h"

#include <algorithm>
#include <string>

IMPLEMENT_SERIAL(CDrawBarcode, CDrawText, VERSIONABLE_SCHEMA | 2)

namespace {

constexpr UINT IDS_BARCODE_NAME = 88;
// Wide-to-narrow element ratio of every symbol drawn by the object.
constexpr double kRatio = 3.0;
// Bounds of the growing loops of a resize.
constexpr float kMaxModuleWidth = 1.0f;
constexpr int kNewestSchema = 2;

}  // namespace

CString CodeObjectDefaultName(CDrawDoc* doc)
{
    return QStringLiteral("%1 %2")
        .arg(CResourceModule::Get().LoadString(IDS_BARCODE_NAME))
        .arg(doc->GetNextCodeNumber());
}

CDrawBarcode::CDrawBarcode() = default;

CDrawBarcode::CDrawBarcode(const CRect& position, CDrawViewBase* view, const CString& text, int symbologyId)
    : CDrawText(position, view, text), m_nSymbology(symbologyId)
{
    if (view)
        m_pDocument = dynamic_cast<CDrawDoc*>(view->GetDocument());
    m_pBarcode.reset(CreateBarcode(symbologyId, kNewModuleWidth, kNewBarHeight));
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    m_logfont.lfHeight = MulDiv(8, BARCODE_UNITS_PER_INCH, 72);
    FitToText(dc.get(), &m_position, text);
}

CDrawBarcode::~CDrawBarcode() = default;

void CDrawBarcode::AssignDefaultName(CDrawViewBase* view)
{
    CDrawDoc* doc = view ? dynamic_cast<CDrawDoc*>(view->GetDocument()) : nullptr;
    if (!doc)
        doc = m_pDocument;
    if (doc)
        m_name = CodeObjectDefaultName(doc);
}

void CDrawBarcode::FitToText(CDC* dc, CRect* rect, const CString& text)
{
    if (!m_pBarcode)
        return;
    CDrawFontScope font(dc, m_logfont);
    m_pBarcode->SetText(dc, text, rect, kRatio);
}

CRect CDrawBarcode::SymbolRectWithModule(CDC* dc, float moduleWidth, const CString& text) const
{
    CRect rect(m_position.left, m_position.top, m_position.left, m_position.top);
    if (!m_pBarcode)
        return rect;
    std::unique_ptr<CBarcode> probe(CreateBarcode(m_nSymbology, moduleWidth, m_pBarcode->GetBarHeight()));
    if (!probe)
        return rect;
    probe->SetShowText(m_pBarcode->GetShowText());
    probe->SetTextPos(m_pBarcode->GetTextPos());
    probe->SetTextAlign(m_pBarcode->GetTextAlign());
    CDrawFontScope font(dc, m_logfont);
    probe->SetText(dc, text, &rect, kRatio);
    return rect;
}

void CDrawBarcode::UpdateBarcode(CDC* dc, const CString& text)
{
    // A turned symbol keeps its position, whoever fits it (loading, the pages, drawing).
    FitBoxToText(dc, text);
}

void CDrawBarcode::Draw(CDC* dc, int labelIndex)
{
    if (!dc || !m_pBarcode)
        return;
    const CTurnedDrawScope turned(dc, this);
    {
        CDrawFontScope font(dc, m_logfont);
        UpdateBarcode(dc, GetDrawString(dc, labelIndex));
        m_pBarcode->Draw(dc, m_position);
    }
    DrawBindingMarker(dc);
}

void CDrawBarcode::DragUprightHandle(int n, CPoint point, CDrawViewBase* view)
{
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    if (!dc || !m_pBarcode) {
        CDrawRect::DragHandle(n, point, view);
        return;
    }
    const CRect old = m_position;
    CDrawRect::DragHandle(n, point, view);
    const qint64 newWidth = qint64(m_position.right) - m_position.left;
    const qint64 newHeight = qint64(m_position.bottom) - m_position.top;
    const qint64 oldWidth = qint64(old.right) - old.left;
    const qint64 oldHeight = qint64(old.bottom) - old.top;

    CDrawFontScope font(dc.get(), m_logfont);
    // The human-readable line is measured at 100 % zoom, as the symbol measures it.
    const CSize viewport = dc->GetViewportExt();
    const int dpi = dc->GetDeviceCaps(LOGPIXELSX);
    dc->SetViewportExt(dpi, dpi);
    CSize extent;
    dc->GetTextExtentPoint32W(m_text, int(m_text.size()), &extent);
    const qint64 th = extent.cy;
    dc->SetViewportExt(viewport);

    CBarcode& code = *m_pBarcode;
    // The largest module whose bars fit the new width, or, when shrinking, the smallest one whose
    // bars are not narrower than it (but not below kMinModuleWidth). A symbol with nothing to
    // encode draws no bars: the box says nothing about its module, which stays as it is.
    const bool fitModule = code.HasData();
    if (fitModule && newWidth > oldWidth) {
        float module = code.GetModuleWidth();
        do {
            module += kSizeStep;
            code.SetModuleWidth(module);
        } while (code.GetBarsWidth(dc.get()) <= newWidth && module < kMaxModuleWidth);
        code.SetModuleWidth(module - kSizeStep);
    } else if (fitModule && newWidth < oldWidth) {
        float module = code.GetModuleWidth() - kSizeStep;
        while (module > kMinModuleWidth) {
            code.SetModuleWidth(module);
            if (code.GetBarsWidth(dc.get()) < newWidth)
                break;
            module -= kSizeStep;
        }
        code.SetModuleWidth(module + kSizeStep);
    }
    // Bar height likewise, with the human-readable line on top of the bars.
    if (newHeight > oldHeight) {
        float height = code.GetBarHeight();
        do {
            height += kSizeStep;
            code.SetBarHeight(height);
        } while (code.GetBarHeightInUnits() + th <= newHeight && height < kMaxBarHeight);
        code.SetBarHeight(height - kSizeStep);
    } else if (newHeight < oldHeight) {
        float height = code.GetBarHeight() - kSizeStep;
        while (height >= kMinBarHeight) {
            code.SetBarHeight(height);
            if (code.GetBarHeightInUnits() + th < newHeight)
                break;
            height -= kSizeStep;
        }
        code.SetBarHeight(height + kSizeStep);
    }

    // The sides the handle moved follow the symbol: the right edge to the bars alone, the left
    // edge and handle 4 to the wider of bars and text.
    const qint64 bars = code.GetBarsWidth(dc.get());
    const qint64 wide = std::max<qint64>(bars, code.GetTextWidth(dc.get()));
    const qint64 tall = th + qint64(code.GetBarHeightInUnits());
    CRect& r = m_position;
    switch (n) {
    case 1: r.left = SaturateInt(r.right - wide); r.top = SaturateInt(r.bottom - tall); break;
    case 2: r.top = SaturateInt(r.bottom - tall); break;
    case 3: r.right = SaturateInt(r.left + bars); r.top = SaturateInt(r.bottom - tall); break;
    case 4: r.right = SaturateInt(r.left + wide); break;
    case 5: r.right = SaturateInt(r.left + bars); r.bottom = SaturateInt(r.top + tall); break;
    case 6: r.bottom = SaturateInt(r.top + tall); break;
    case 7: r.left = SaturateInt(r.right - wide); r.bottom = SaturateInt(r.top + tall); break;
    case 8: r.left = SaturateInt(r.right - wide); break;
    default: break;
    }
    UpdateBarcode(dc.get(), code.GetText());
}

BOOL CDrawBarcode::OnEditProperties(CDrawViewBase* view)
{
    CBarcodePageData page;
    page.id = m_nSymbology;
    if (m_pBarcode) {
        page.showText = m_pBarcode->GetShowText();
        page.textPosition = m_pBarcode->GetTextPos();
        page.alignment = m_pBarcode->GetTextAlign();
    }
    m_sheet.barcode = &page;
    const BOOL ok = CDrawText::OnEditProperties(view);
    m_sheet.barcode = nullptr;
    if (!ok)
        return FALSE;

    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    Invalidate(view);
    if (!m_pBarcode || page.id != m_pBarcode->GetType()) {
        const float module = m_pBarcode ? m_pBarcode->GetModuleWidth() : kNewModuleWidth;
        const float height = m_pBarcode ? m_pBarcode->GetBarHeight() : kNewBarHeight;
        if (CBarcode* code = CreateBarcode(page.id, module, height)) {
            m_pBarcode.reset(code);
            m_nSymbology = page.id;
        }
    }
    if (m_pBarcode) {
        m_pBarcode->SetShowText(page.showText);
        m_pBarcode->SetTextPos(page.textPosition);
        m_pBarcode->SetTextAlign(page.alignment);
        if (dc) {
            UpdateBarcode(dc.get(), m_text);
            DragHandle(7, CPoint(m_position.left, m_position.bottom), view);
        }
    }
    Invalidate(view);
    SetModified();
    return TRUE;
}

void CDrawBarcode::Serialize(CArchive& ar)
{
    CDrawText::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawBarcode));
        ar << m_nSymbology;
        if (!m_pBarcode)
            m_pBarcode.reset(CreateBarcode(m_nSymbology, kNewModuleWidth, kNewBarHeight));
        if (m_pBarcode)
            m_pBarcode->Serialize(ar);
        return;
    }

    const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawBarcode));
    const int s = int(schema);
    if (s > kNewestSchema)
        throw CArchiveException(CArchiveException::badSchema,
                                "barcode object of schema " + std::to_string(s) + ": a newer or damaged file");
    int id = 0;
    ar >> id;
    if (s <= 0) {
        // Files older than the symbol's own fields: EAN-13 and EAN-8 had taller bars.
        const bool ean = id == BARCODE_ID_EAN13 || id == BARCODE_ID_EAN8;
        m_pBarcode.reset(CreateBarcode(id, kNewModuleWidth, ean ? 0.6f : kNewBarHeight));
    } else {
        m_pBarcode.reset(CreateBarcode(id, 0, 0));
    }
    if (!m_pBarcode)
        throw CArchiveException(CArchiveException::badSchema, "unknown symbology " + std::to_string(id));
    if (s > 0) {
        ar.SetObjectSchema(schema);
        m_pBarcode->Serialize(ar);
        id = m_pBarcode->GetType();
    }
    m_nSymbology = id;

    m_pView = m_pDocument ? m_pDocument->GetDrawView() : nullptr;
    std::unique_ptr<CDC> dc = m_pView ? m_pView->CreateClientDC() : nullptr;
    if (dc)
        UpdateBarcode(dc.get(), m_text);
}
