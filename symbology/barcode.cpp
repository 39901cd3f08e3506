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
    QVarLengthArray<std::uint8_t, 128> units;
    BarcodePreFilter(text, units, [](std::uint8_t) { return true; });
    return QString::fromLatin1(reinterpret_cast<const char*>(units.data()), units.size());
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
    EncodeText();
}

CString CBarcode::FilterText(const CString& text) const
{
    Units units;
    FilterUnits(text, units);
    return QString::fromLatin1(reinterpret_cast<const char*>(units.data()), units.size());
}

void CBarcode::FilterUnits(const CString&, Units& out) const
{
    out.clear();
}

void CBarcode::BuildElements(const Units&) {}

void CBarcode::EncodeText()
{
    Units filtered;
    FilterUnits(m_text, filtered);
    m_hasData = !filtered.isEmpty();
    KeepFilteredText(filtered.data(), filtered.size());
    m_elementCount = 0;
    m_barsWidth = 0;
    BuildElements(filtered);
}

CBarcode::Element* CBarcode::ElementRoom(std::size_t more)
{
    if (m_elementCount + more > m_elementCapacity) {
        const std::size_t capacity = std::max(m_elementCount + more, 2 * m_elementCapacity);
        auto grown = std::make_unique_for_overwrite<Element[]>(capacity);
        std::copy(m_elements.get(), m_elements.get() + m_elementCount, grown.get());
        m_elements = std::move(grown);
        m_elementCapacity = capacity;
    }
    return m_elements.get() + m_elementCount;
}

void CBarcode::CommitElements(const Element* end)
{
    std::int64_t sum = 0;
    for (const Element* e = m_elements.get() + m_elementCount; e != end; ++e)
        sum += e->width;
    CommitElements(end, sum);
}

void CBarcode::CommitElements(const Element* end, std::int64_t width)
{
    m_barsWidth += width;
    m_elementCount = std::size_t(end - m_elements.get());
}

void CBarcode::KeepFilteredText(const std::uint8_t* units, qsizetype n)
{
    const bool same = m_text.size() == n && std::equal(units, units + n, m_text.cbegin(), [](std::uint8_t u, QChar c) {
                          return u == c.unicode();
                      });
    m_filteredText = same ? m_text : QString::fromLatin1(reinterpret_cast<const char*>(units), n);
}

int CBarcode::GetBarsWidth(CDC*) const
{
    return SaturateInt(m_barsWidth);
}

int CBarcode::GetTextWidth(CDC* pDC) const
{
    return MeasureFilteredText(pDC);
}

int CBarcode::MeasureFilteredText(CDC* pDC) const
{
    if (!pDC)
        return 0;
    CSize size;
    pDC->GetTextExtentPoint32W(m_filteredText, int(m_filteredText.size()), &size);
    return size.cx;
}

CSize CBarcode::GetTextExtent(CDC* pDC) const
{
    if (!m_showText || !pDC)
        return CSize(0, 0);
    CSize size;
    pDC->GetTextExtentPoint32W(m_filteredText, int(m_filteredText.size()), &size);
    return size;
}

void CBarcode::SetText(CDC* pDC, const CString& text, CRect* rect, double ratio)
{
    m_text = text;
    SetElementWidths(ratio);
    EncodeText();
    FitRect(pDC, rect);
}

void CBarcode::SetElementWidths(double ratio)
{
    m_narrow = BarcodeUnitsFromInches(m_moduleWidth);
    m_wide = TruncateUnits(m_narrow * ratio);
}

void CBarcode::FitRect(CDC* pDC, CRect* rect)
{
    // The text is measured at 100 % zoom, so that the fitted size does not follow the view.
    CSize textSize;
    if (pDC) {
        const CSize oldExt = pDC->GetViewportExt();
        pDC->SetViewportExt(pDC->GetDeviceCaps(LOGPIXELSX), pDC->GetDeviceCaps(LOGPIXELSY));
        textSize = GetTextExtent(pDC);
        pDC->SetViewportExt(oldExt);
    }
    const int height = TruncateUnits(m_barHeight * float(BARCODE_UNITS_PER_INCH) + float(textSize.cy));
    const int width = std::max(GetBarsWidth(pDC), GetTextWidth(pDC));
    if (rect) {
        rect->right = SaturateInt(std::int64_t(rect->left) + width);
        rect->bottom = SaturateInt(std::int64_t(rect->top) + height);
        m_lastRect = *rect;
    }
}

CString CBarcode::GetDisplayText(CDC*) const
{
    return m_filteredText;
}

void CBarcode::DrawBars(CDC* pDC, int x0, const CRect& band) const
{
    CBrush black(RGB(0, 0, 0));
    QVarLengthArray<CRect, 256> bars;
    std::int64_t offset = x0;
    for (const Element& e : GetElements()) {
        if (e.bar)
            bars.append(CRect(SaturateInt(offset), band.top, SaturateInt(offset + e.width), band.bottom));
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
    EncodeText();
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
