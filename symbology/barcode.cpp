#include "symbology/barcode.h"

#include "framework/archive.h"
#include "framework/dc.h"
#include "symbology/barcode128.h"
#include "symbology/barcode2of5.h"
#include "symbology/barcode39.h"
#include "symbology/barcodeean.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

IMPLEMENT_SERIAL(CBarcode, CObject, VERSIONABLE_SCHEMA | 1)

namespace {

// Far beyond any label (about 680 inches), small enough that sums of a few thousand elements
// stay within 64 bits and products with a ratio stay within int.
constexpr double kMaxUnits = 1 << 20;

// (int) of a floating-point value, saturating instead of overflowing.
int TruncateUnits(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, -kMaxUnits, kMaxUnits));
}

}  // namespace

int BarcodeUnitsFromInches(double inches)
{
    return TruncateUnits(inches * BARCODE_UNITS_PER_INCH + 0.5);
}

CString BarcodePreFilter(const CString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x100; }))
        return text;  // shared, not copied
    CString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 0x100)
            out += QStringLiteral("00");
        else
            out += c;
    }
    return out;
}

CBarcode::CBarcode() : CBarcode(0.01f, 0.4f) {}

CBarcode::CBarcode(float moduleWidth, float barHeight) : m_barHeight(barHeight), m_moduleWidth(moduleWidth) {}

CBarcode::~CBarcode() = default;

int CBarcode::GetType() const
{
    return BARCODE_ID_CODE39;
}

CString CBarcode::GetTypeName() const
{
    static const char* const names[BARCODE_ID_COUNT] = {
        "Code 39", "Code 39 Full AscII", "Code 93", "Code128 Auto", "Code128 A", "Code128 B", "Code128 C",
        "EAN13",   "EAN8",               "UPCA",    "UPCE",         "Interleaved 2 of 5", "Codabar", ""};
    const int id = GetType();
    return id >= 0 && id < BARCODE_ID_COUNT ? QString::fromLatin1(names[id]) : CString();
}

void CBarcode::SetModuleWidth(float inches)
{
    m_moduleWidth = inches;
    m_narrow = BarcodeUnitsFromInches(inches);
    m_wide = 3 * m_narrow;
}

CString CBarcode::FilterText(const CString&) const
{
    return CString();
}

void CBarcode::BuildElements(const CString&, std::vector<Element>&) const {}

std::vector<CBarcode::Element> CBarcode::GetElements() const
{
    std::vector<Element> elements;
    BuildElements(FilterText(m_text), elements);
    return elements;
}

bool CBarcode::HasData() const
{
    return !FilterText(m_text).isEmpty();
}

int CBarcode::GetBarsWidth(CDC*) const
{
    std::int64_t sum = 0;
    for (const Element& e : GetElements())
        sum += e.width;
    return SaturateInt(sum);
}

int CBarcode::GetTextWidth(CDC* pDC) const
{
    return MeasureFilteredText(pDC);
}

int CBarcode::MeasureFilteredText(CDC* pDC) const
{
    if (!pDC)
        return 0;
    const CString filtered = FilterText(m_text);
    CSize size;
    pDC->GetTextExtentPoint32W(filtered, int(filtered.size()), &size);
    return size.cx;
}

CSize CBarcode::GetTextExtent(CDC* pDC) const
{
    if (!m_showText || !pDC)
        return CSize(0, 0);
    const CString filtered = FilterText(m_text);
    CSize size;
    pDC->GetTextExtentPoint32W(filtered, int(filtered.size()), &size);
    return size;
}

void CBarcode::SetText(CDC* pDC, const CString& text, CRect* rect, double ratio)
{
    m_text = text;

    // The text is measured at 100 % zoom, so that the fitted size does not follow the view.
    CSize textSize;
    if (pDC) {
        const CSize oldExt = pDC->GetViewportExt();
        pDC->SetViewportExt(pDC->GetDeviceCaps(LOGPIXELSX), pDC->GetDeviceCaps(LOGPIXELSY));
        textSize = GetTextExtent(pDC);
        pDC->SetViewportExt(oldExt);
    }
    const int height = TruncateUnits(m_barHeight * float(BARCODE_UNITS_PER_INCH) + float(textSize.cy));

    m_narrow = BarcodeUnitsFromInches(m_moduleWidth);
    m_wide = TruncateUnits(m_narrow * ratio);

    const int width = std::max(GetBarsWidth(pDC), GetTextWidth(pDC));
    if (rect) {
        rect->right = SaturateInt(std::int64_t(rect->left) + width);
        rect->bottom = SaturateInt(std::int64_t(rect->top) + height);
        m_lastRect = *rect;
    }
}

CString CBarcode::GetDisplayText(CDC*) const
{
    return FilterText(m_text);
}

void CBarcode::DrawBars(CDC* pDC, int x0, const CRect& band) const
{
    CBrush black(RGB(0, 0, 0));
    std::vector<CRect> bars;
    bars.reserve(GetElements().size());
    std::int64_t offset = x0;
    for (const Element& e : GetElements()) {
        if (e.bar)
            bars.emplace_back(SaturateInt(offset), band.top, SaturateInt(offset + e.width), band.bottom);
        offset += e.width;
    }
    // One fill for all bars of the symbol.
    pDC->FillRects(bars.data(), int(bars.size()), &black);
}

void CBarcode::Draw(CDC* pDC, CRect rect)
{
    if (!pDC || !HasData())
        return;
    m_lastRect = rect;
    const CSize textSize = GetTextExtent(pDC);
    const int barsWidth = GetBarsWidth(pDC);
    const int textWidth = GetTextWidth(pDC);
    const int textHeight = std::abs(textSize.cy);

    CRect band(rect.left, rect.top, rect.right, rect.bottom - textHeight);
    if (m_textPos == 1)
        band = CRect(rect.left, rect.top + textHeight, rect.right, rect.bottom);

    int x0 = rect.left;
    if (textWidth > barsWidth) {
        if (m_textAlign == 2)
            x0 = rect.left + (textWidth - barsWidth);
        else if (m_textAlign != 1)
            x0 = rect.left + (textWidth - barsWidth) / 2;
    }
    DrawBars(pDC, x0, band);

    if (m_showText) {
        const int top = m_textPos == 1 ? rect.top : rect.bottom - textSize.cy;
        CRect textRect(m_lastRect.left, top, m_lastRect.right, top + textSize.cy);
        const UINT format = m_textAlign == 1 ? DT_LEFT : m_textAlign == 2 ? DT_RIGHT : DT_CENTER;
        pDC->DrawText(GetDisplayText(pDC), &textRect, format);
    }
}

namespace {

// Sizes a damaged record could carry that no symbol can be drawn with.
bool PlausibleInches(float v, float maximum)
{
    return std::isfinite(v) && v >= 0 && v <= maximum;
}

}  // namespace

void CBarcode::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_lastRect << m_moduleWidth << m_barHeight << m_text << int(m_showText) << m_textPos
           << m_textAlign;
        return;
    }

    // The schema is the barcode object's, handed down by its record.
    const UINT schema = ar.GetObjectSchema();
    ar.SetObjectSchema(schema);
    if (schema != 1 && schema != 2)
        return;

    CRect rect;
    ar >> rect;
    float moduleWidth = 0;
    float barHeight = 0;
    CString text;
    int showText = 0;
    ar >> moduleWidth >> barHeight >> text >> showText;
    if (!PlausibleInches(moduleWidth, 1.0f) || !PlausibleInches(barHeight, 100.0f))
        throw CArchiveException(CArchiveException::genericException, "implausible symbol size");
    int textPos = m_textPos;
    int textAlign = m_textAlign;
    if (schema == 2)
        ar >> textPos >> textAlign;

    m_lastRect = rect;
    m_moduleWidth = moduleWidth;
    m_barHeight = barHeight;
    m_text = text;
    m_showText = showText;
    m_textPos = textPos;
    m_textAlign = textAlign;
}

CBarcode* CreateBarcode(int id, float moduleWidth, float barHeight)
{
    switch (id) {
    case BARCODE_ID_CODE39:
        return new (std::nothrow) CBarcode39(moduleWidth, barHeight);
    case BARCODE_ID_CODE39_FULL:
        return new (std::nothrow) CBarcode39Full(moduleWidth, barHeight);
    case BARCODE_ID_CODE93:
        return new (std::nothrow) CBarcode93(moduleWidth, barHeight);
    case BARCODE_ID_CODE128_AUTO:
        return new (std::nothrow) CBarcode128(moduleWidth, barHeight, CBarcode128::SetAuto);
    case BARCODE_ID_CODE128_A:
        return new (std::nothrow) CBarcode128(moduleWidth, barHeight, CBarcode128::SetA);
    case BARCODE_ID_CODE128_B:
        return new (std::nothrow) CBarcode128(moduleWidth, barHeight, CBarcode128::SetB);
    case BARCODE_ID_CODE128_C:
        return new (std::nothrow) CBarcode128(moduleWidth, barHeight, CBarcode128::SetC);
    case BARCODE_ID_EAN13:
        return new (std::nothrow) CBarcodeEAN13(moduleWidth, barHeight);
    case BARCODE_ID_EAN8:
        return new (std::nothrow) CBarcodeEAN8(moduleWidth, barHeight);
    case BARCODE_ID_UPCA:
        return new (std::nothrow) CBarcodeUPCA(moduleWidth, barHeight);
    case BARCODE_ID_UPCE:
        return new (std::nothrow) CBarcodeUPCE(moduleWidth, barHeight);
    case BARCODE_ID_I2OF5:
        return new (std::nothrow) CBarcodeI2OF5(moduleWidth, barHeight);
    case BARCODE_ID_CODABAR:
        return new (std::nothrow) CBarcodeCodabar(moduleWidth, barHeight);
    case BARCODE_ID_ITF14:
        return new (std::nothrow) CBarcodeITF14(moduleWidth, barHeight);
    default:
        return nullptr;
    }
}
