#include "symbology/barcodeean.h"

#include "framework/archive.h"
#include "framework/dc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CBarcodeEanUpc, CBarcode)
IMPLEMENT_SERIAL(CBarcodeEAN13, CBarcodeEanUpc, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeEAN8, CBarcodeEanUpc, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeUPCA, CBarcodeEanUpc, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeUPCE, CBarcodeEanUpc, VERSIONABLE_SCHEMA | 1)

namespace {

constexpr const char* kL[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                "0110001", "0101111", "0111011", "0110111", "0001011"};
constexpr const char* kG[10] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                "0111001", "0000101", "0010001", "0001001", "0010111"};
constexpr const char* kR[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                                "1001110", "1010000", "1000100", "1001000", "1110100"};

// The same as module text ready to copy, by extension ('1' or '2' bars), set and digit.
constexpr auto kDigitModules = [] {
    std::array<std::array<std::array<std::array<char, 8>, 10>, 3>, 2> out{};
    const char* const* sets[3] = {kL, kG, kR};
    for (int extended = 0; extended < 2; ++extended)
        for (int set = 0; set < 3; ++set)
            for (int d = 0; d < 10; ++d)
                for (int m = 0; m < 7; ++m)
                    out[extended][set][d][m] = sets[set][d][m] == '1' ? (extended ? '2' : '1') : '0';
    return out;
}();

constexpr bool IsDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

// Cuts the text to its first n characters, puts '0's in front up to n and turns every non-digit
// into '0'.
void DigitsOf(const CString& text, int n, char* out)
{
    const int kept = int(std::min<qsizetype>(text.size(), n));
    const int pad = n - kept;
    std::fill(out, out + pad, '0');
    for (int i = 0; i < kept; ++i) {
        const char16_t c = text[i].unicode();
        out[pad + i] = IsDigit(c) ? char(c) : '0';
    }
}

// The EAN-13 check digit of 12 digits.
char Ean13Check(const char* twelve)
{
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
    return char('0' + (10 - sum % 10) % 10);
}

}  // namespace

const char* GetEanDigitPattern(char16_t digit, int set)
{
    if (digit < '0' || digit > '9' || set < 0 || set > 2)
        return "";
    const int d = digit - '0';
    return set == 0 ? kL[d] : set == 1 ? kG[d] : kR[d];
}

// ---- shared ----

void CBarcodeEanUpc::Layout::Add(const char* guard)
{
    for (; *guard; ++guard)
        modules[moduleCount++] = *guard;
}

void CBarcodeEanUpc::Layout::AddDigit(char digit, int set, bool extended)
{
    if (digit < '0' || digit > '9' || set < 0 || set > 2)
        return;
    std::memcpy(modules + moduleCount, kDigitModules[extended][set][digit - '0'].data(), 7);
    moduleCount += 7;
}

CBarcodeEanUpc::CBarcodeEanUpc(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight)
{
    m_hasData = true;  // the filter always gives the full number of digits
}

void CBarcodeEanUpc::FilterUnits(const CString& text, Units& out) const
{
    char digits[kMaxDigits];
    FilterDigits(text, digits);
    out.clear();
    out.append(reinterpret_cast<const std::uint8_t*>(digits), FullLength());
}

void CBarcodeEanUpc::KeepDigits(const char* digits)
{
    const int n = FullLength();
    std::copy(digits, digits + n, m_digits);
    KeepFilteredText(reinterpret_cast<const std::uint8_t*>(digits), n);
    m_layout = Layout();
    LayOut(digits, m_layout);
}

void CBarcodeEanUpc::EncodeText()
{
    // Only a stored text of the full length is drawn: one SetText has filtered (a record may
    // hold any text until then).
    char digits[kMaxDigits];
    FilterDigits(m_text, digits);
    if (m_text.size() == FullLength()) {
        KeepDigits(digits);
    } else {
        KeepFilteredText(reinterpret_cast<const std::uint8_t*>(digits), FullLength());
        m_layout = Layout();
    }
}

void CBarcodeEanUpc::SetText(CDC* pDC, const CString& text, CRect* rect, double ratio)
{
    // The stored text is the filtered one, and is filtered once.
    char digits[kMaxDigits];
    FilterDigits(text, digits);
    const int n = FullLength();
    auto holds = [&](const CString& s) {
        return s.size() == n && std::equal(digits, digits + n, s.cbegin(), [](char d, QChar c) { return c.unicode() == char16_t(d); });
    };
    // A text that is already its filtered form, or the same digits again, is kept as it is.
    if (holds(text))
        m_text = text;
    else if (!holds(m_text))
        m_text = QString::fromLatin1(digits, n);
    SetElementWidths(ratio);
    KeepDigits(digits);
    FitRect(pDC, rect);
}

CSize CBarcodeEanUpc::CharSize(CDC* pDC, int k) const
{
    if (!pDC || k < 0 || k >= m_text.size())
        return CSize(0, 0);
    // At the font's own size, so that the symbol's size does not follow the zoom.
    const CSize oldExt = pDC->GetViewportExt();
    pDC->SetViewportExt(pDC->GetWindowExt());
    CSize size;
    pDC->GetTextExtentPoint32W(CString(m_text[k]), 1, &size);
    pDC->SetViewportExt(oldExt);
    return size;
}

int CBarcodeEanUpc::CharWidth(CDC* pDC, int k) const
{
    return CharSize(pDC, k).cx;
}

int CBarcodeEanUpc::StoredTextWidth(CDC* pDC) const
{
    if (!pDC)
        return 0;
    CSize size;
    pDC->GetTextExtentPoint32W(m_text, int(m_text.size()), &size);
    return size.cx;
}

void CBarcodeEanUpc::Draw(CDC* pDC, CRect rect)
{
    if (!pDC)
        return;
    m_lastRect = rect;
    // Only a text SetText has filtered has its full length.
    if (m_text.size() != FullLength())
        return;
    const CString& digits = FilteredText();

    CSize textSize;
    pDC->GetTextExtentPoint32W(digits, int(digits.size()), &textSize);
    const int t = std::abs(textSize.cy);
    CRect band(rect.left, rect.top, rect.right, rect.bottom - t);
    if (m_textPos == 1)
        band = CRect(rect.left, rect.top + t, rect.right, rect.bottom);

    const CSize first = CharSize(pDC, 0);
    const int e = first.cy / 2;
    CRect guardBand = band;
    if (m_textPos == 1)
        guardBand.top -= e;
    else
        guardBand.bottom += e;

    const int x0 = rect.left + BarsOffset(first.cx);
    CBrush black(RGB(0, 0, 0));
    const char* modules = m_layout.modules;
    const int count = m_layout.moduleCount;
    for (int m = 0; m < count;) {
        int end = m + 1;
        while (end < count && modules[end] == modules[m])
            ++end;
        if (modules[m] != '0') {
            const CRect& rows = modules[m] == '2' ? guardBand : band;
            CRect bar(x0 + m * m_narrow, rows.top, x0 + end * m_narrow, rows.bottom);
            pDC->FillRect(&bar, &black);
        }
        m = end;
    }

    if (m_showText) {
        const int y = m_textPos == 1 ? rect.top : rect.bottom - t;
        for (int i = 0; i < m_layout.placeCount; ++i) {
            const DigitPlace& p = m_layout.places[i];
            const int x = p.module < 0 ? rect.left : x0 + p.module * m_narrow;
            pDC->TextOut(x, y, CString(QChar(char16_t(m_digits[p.index]))));
        }
    }
}

// ---- EAN-13 ----

CBarcodeEAN13::CBarcodeEAN13() : CBarcodeEAN13(0.01f, 0.6f) {}

CBarcodeEAN13::CBarcodeEAN13(float moduleWidth, float barHeight) : CBarcodeEanUpc(moduleWidth, barHeight) {}

int CBarcodeEAN13::GetType() const
{
    return BARCODE_ID_EAN13;
}

void CBarcodeEAN13::FilterDigits(const CString& text, char* out) const
{
    DigitsOf(text, 12, out);
    out[12] = Ean13Check(out);
}

const char* CBarcodeEAN13::GetParity(char16_t firstDigit)
{
    static constexpr const char* parity[10] = {"000000", "001011", "001101", "001110", "010011",
                                               "011001", "011100", "010101", "010110", "011010"};
    return firstDigit >= '0' && firstDigit <= '9' ? parity[firstDigit - '0'] : parity[0];
}

void CBarcodeEAN13::LayOut(const char* d, Layout& out) const
{
    const char* parity = GetParity(char16_t(d[0]));
    out.Place(0, -1);
    out.Add("202");
    for (int i = 1; i <= 6; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], parity[i - 1] - '0', false);
    }
    out.Add("02020");
    for (int i = 7; i <= 12; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], 2, false);
    }
    out.Add("202");
}

int CBarcodeEAN13::GetBarsWidth(CDC* pDC) const
{
    return CharWidth(pDC, 0) + 10 + 95 * m_narrow;
}

int CBarcodeEAN13::GetTextWidth(CDC* pDC) const
{
    if (m_text.size() < 13)
        return StoredTextWidth(pDC);
    return CharWidth(pDC, 0) + 10 + 85 * m_narrow + CharWidth(pDC, 12);
}

// ---- EAN-8 ----

CBarcodeEAN8::CBarcodeEAN8() : CBarcodeEAN8(0.01f, 0.6f) {}

CBarcodeEAN8::CBarcodeEAN8(float moduleWidth, float barHeight) : CBarcodeEanUpc(moduleWidth, barHeight) {}

int CBarcodeEAN8::GetType() const
{
    return BARCODE_ID_EAN8;
}

void CBarcodeEAN8::FilterDigits(const CString& text, char* out) const
{
    DigitsOf(text, 7, out);
    // Weights 3 and 1 from the left: the EAN-13 check of the digits behind five zeros.
    char twelve[12] = {'0', '0', '0', '0', '0'};
    std::copy(out, out + 7, twelve + 5);
    out[7] = Ean13Check(twelve);
}

void CBarcodeEAN8::LayOut(const char* d, Layout& out) const
{
    out.Add("202");
    for (int i = 0; i < 4; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], 0, false);
    }
    out.Add("02020");
    for (int i = 4; i < 8; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], 2, false);
    }
    out.Add("202");
}

int CBarcodeEAN8::GetBarsWidth(CDC*) const
{
    return 67 * m_narrow;
}

int CBarcodeEAN8::GetTextWidth(CDC* pDC) const
{
    if (m_text.size() < 8)
        return StoredTextWidth(pDC);
    return 57 * m_narrow + CharWidth(pDC, 7);
}

// ---- UPC-A ----

CBarcodeUPCA::CBarcodeUPCA() : CBarcodeUPCA(0.01f, 0.6f) {}

CBarcodeUPCA::CBarcodeUPCA(float moduleWidth, float barHeight) : CBarcodeEanUpc(moduleWidth, barHeight) {}

int CBarcodeUPCA::GetType() const
{
    return BARCODE_ID_UPCA;
}

void CBarcodeUPCA::FilterDigits(const CString& text, char* out) const
{
    DigitsOf(text, 11, out);
    char twelve[12] = {'0'};
    std::copy(out, out + 11, twelve + 1);
    out[11] = Ean13Check(twelve);
}

void CBarcodeUPCA::LayOut(const char* d, Layout& out) const
{
    out.Place(0, -1);
    out.Add("202");
    out.AddDigit(d[0], 0, true);
    for (int i = 1; i <= 5; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], 0, false);
    }
    out.Add("02020");
    for (int i = 6; i <= 10; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], 2, false);
    }
    out.PlaceHere(11, 10);
    out.AddDigit(d[11], 2, true);
    out.Add("202");
}

int CBarcodeUPCA::GetBarsWidth(CDC* pDC) const
{
    return CharWidth(pDC, 0) + 95 * m_narrow + CharWidth(pDC, int(m_text.size()) - 1);
}

int CBarcodeUPCA::GetTextWidth(CDC* pDC) const
{
    if (m_text.size() < 12)
        return StoredTextWidth(pDC);
    return CharWidth(pDC, 0) + 95 * m_narrow + CharWidth(pDC, 11);
}

// ---- UPC-E ----

CBarcodeUPCE::CBarcodeUPCE() : CBarcodeUPCE(0.01f, 0.6f) {}

CBarcodeUPCE::CBarcodeUPCE(float moduleWidth, float barHeight) : CBarcodeEanUpc(moduleWidth, barHeight) {}

int CBarcodeUPCE::GetType() const
{
    return BARCODE_ID_UPCE;
}

void CBarcodeUPCE::FilterDigits(const CString& text, char* out) const
{
    char* s = out;
    DigitsOf(text, 7, s);
    s[0] = '0';  // number system 0 only
    const char* x = s;  // X1 to X6 at 1 to 6
    // "0", the number system and the ten digits of the UPC-A form.
    char upcA[12] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    char* a = upcA + 1;
    a[0] = s[0];
    a[1] = x[1];
    a[2] = x[2];
    switch (x[6]) {
    case '0': case '1': case '2':
        a[3] = x[6];
        a[8] = x[3];
        a[9] = x[4];
        a[10] = x[5];
        break;
    case '3':
        a[3] = x[3];
        a[9] = x[4];
        a[10] = x[5];
        break;
    case '4':
        a[3] = x[3];
        a[4] = x[4];
        a[10] = x[5];
        break;
    default:
        a[3] = x[3];
        a[4] = x[4];
        a[5] = x[5];
        a[10] = x[6];
        break;
    }
    out[7] = Ean13Check(upcA);
}

const char* CBarcodeUPCE::GetParity(char16_t checkDigit)
{
    static constexpr const char* parity[10] = {"111000", "110100", "110010", "110001", "101100",
                                               "100110", "100011", "101010", "101001", "100101"};
    return checkDigit >= '0' && checkDigit <= '9' ? parity[checkDigit - '0'] : parity[0];
}

void CBarcodeUPCE::LayOut(const char* d, Layout& out) const
{
    const char* parity = GetParity(char16_t(d[7]));
    out.Place(0, -1);
    out.Add("202");
    for (int i = 1; i <= 6; ++i) {
        out.PlaceHere(i);
        out.AddDigit(d[i], parity[i - 1] - '0', false);
    }
    out.PlaceHere(7, 6);
    out.Add("020202");
}

int CBarcodeUPCE::GetBarsWidth(CDC* pDC) const
{
    return CharWidth(pDC, 0) + 51 * m_narrow + CharWidth(pDC, int(m_text.size()) - 1);
}

int CBarcodeUPCE::GetTextWidth(CDC* pDC) const
{
    if (m_text.size() < 8)
        return StoredTextWidth(pDC);
    return CharWidth(pDC, 0) + 51 * m_narrow + CharWidth(pDC, 7);
}
