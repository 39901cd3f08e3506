#include "symbology/barcode2of5.h"

#include "framework/archive.h"
#include "framework/dc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

IMPLEMENT_SERIAL(CBarcodeI2OF5, CBarcode, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeITF14, CBarcodeI2OF5, VERSIONABLE_SCHEMA | 1)

// ---- Interleaved 2 of 5 ----

CBarcodeI2OF5::CBarcodeI2OF5() : CBarcode(0.01f, 0.4f) {}

CBarcodeI2OF5::CBarcodeI2OF5(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

int CBarcodeI2OF5::GetType() const
{
    return BARCODE_ID_I2OF5;
}

void CBarcodeI2OF5::FilterUnits(const CString& text, Units& out) const
{
    out.clear();
    BarcodePreFilter(text, out, [](std::uint8_t c) { return c >= '0' && c <= '9'; });
}

namespace {

// The digits' five elements as bits from the left, 1 wide.
constexpr auto kDigitBits = [] {
    std::array<std::uint8_t, 10> out{};
    for (char16_t d = '0'; d <= '9'; ++d)
        for (const char* e = CBarcodeI2OF5::GetDigitPattern(d); *e; ++e)
            out[d - '0'] = std::uint8_t(out[d - '0'] << 1 | (*e == '1'));
    return out;
}();

// Walks the element string of n characters: start, the interleaved pairs (a '0' in front of an
// odd count) and stop, calling element(wide) for each element in order.
template <class Unit, class Element>
void WalkElements(const Unit* s, qsizetype n, Element element)
{
    for (const char* e = CBarcodeI2OF5::GetDigitPattern(0); *e; ++e)
        element(*e == '1');
    const bool padded = n % 2;
    auto at = [&](qsizetype i) -> char16_t { return padded ? (i == 0 ? u'0' : char16_t(s[i - 1])) : char16_t(s[i]); };
    const qsizetype count = n + (padded ? 1 : 0);
    for (qsizetype i = 0; i + 1 < count; i += 2) {
        const char16_t first = at(i), second = at(i + 1);
        if (first >= '0' && first <= '9' && second >= '0' && second <= '9') {
            const unsigned bars = kDigitBits[first - '0'], spaces = kDigitBits[second - '0'];
            for (int bit = 4; bit >= 0; --bit) {
                element(bool((bars >> bit) & 1));
                element(bool((spaces >> bit) & 1));
            }
            continue;
        }
        const char* bars = CBarcodeI2OF5::GetDigitPattern(first);
        const char* spaces = CBarcodeI2OF5::GetDigitPattern(second);
        // Only digits reach here from the filter, but a pair without patterns must not read past them.
        for (int k = 0; k < 5 && bars[k] && spaces[k]; ++k) {
            element(bars[k] == '1');
            element(spaces[k] == '1');
        }
    }
    for (const char* e = CBarcodeI2OF5::GetDigitPattern(1); *e; ++e)
        element(*e == '1');
}

}  // namespace

std::string CBarcodeI2OF5::GetElementString(const CString& filtered)
{
    std::string elements;
    WalkElements(reinterpret_cast<const char16_t*>(filtered.utf16()), filtered.size(),
                 [&](bool wide) { elements += wide ? '1' : '0'; });
    return elements;
}

void CBarcodeI2OF5::BuildElements(const Units& filtered)
{
    // Start, ten elements a pair of digits, stop.
    Element* out = ElementRoom(std::size_t(filtered.size() + 1) / 2 * 10 + 7);
    const Element kinds[4] = {{m_narrow, false}, {m_wide, false}, {m_narrow, true}, {m_wide, true}};
    int bar = 2;
    WalkElements(filtered.data(), filtered.size(), [&](bool wide) {
        *out++ = kinds[bar + wide];
        bar ^= 2;
    });
    CommitElements(out);
}

CString CBarcodeI2OF5::GetDisplayText(CDC* pDC) const
{
    return pDC && pDC->IsPrinting() ? FilteredText() : m_text;
}

// ---- ITF-14 ----

namespace {

int Truncate(double v)
{
    return std::isfinite(v) ? int(std::clamp(v, -1.0e9, 1.0e9)) : 0;
}

}  // namespace

CBarcodeITF14::CBarcodeITF14() : CBarcodeITF14(0.01f, 0.4f) {}

CBarcodeITF14::CBarcodeITF14(float moduleWidth, float barHeight) : CBarcodeI2OF5(moduleWidth, barHeight) {}

int CBarcodeITF14::GetType() const
{
    return BARCODE_ID_ITF14;
}

int CBarcodeITF14::GetBarsWidth(CDC* pDC) const
{
    // 28 modules wider than the bars: 13 in front (bearer and quiet zone), 15 behind.
    const float m = GetModuleWidthInUnits();
    const int bars = CBarcodeI2OF5::GetBarsWidth(pDC);
    const int w1 = Truncate(20 * m + float(bars));
    return Truncate(8 * m + float(w1));
}

void CBarcodeITF14::DrawBars(CDC* pDC, int x0, const CRect& band) const
{
    const float m = GetModuleWidthInUnits();

    // The bearer frame: the outer three modules of the rectangle on all four sides, over the
    // bars' height, drawn with the colour of the selected pen.
    // The selected pen is read by selecting another in its place; a context that cannot give it
    // back gets no frame.
    LOGPEN current;
    auto* previous = dynamic_cast<CPen*>(pDC->SelectStockObject(NULL_PEN));
    if (previous && previous->GetLogPen(&current)) {
        CPen pen(PS_SOLID, Truncate(3 * m), current.lopnColor);
        pDC->SelectObject(&pen);
        CGdiObject* oldBrush = pDC->SelectStockObject(NULL_BRUSH);
        pDC->Rectangle(Truncate(m_lastRect.left + 1.5 * m), Truncate(band.top + 1.5 * m),
                       Truncate(m_lastRect.right - 1.5 * m), Truncate(band.bottom - 1.5 * m));
        pDC->SelectObject(oldBrush);
    }
    if (previous)
        pDC->SelectObject(previous);

    // The bars meet the top and bottom bearers.
    const CRect bars(band.left, Truncate(band.top + 0.75 * m), band.right, Truncate(band.bottom - 0.75 * m));
    CBarcodeI2OF5::DrawBars(pDC, x0 + Truncate(13 * m), bars);
}
