#include "symbology/barcodeean.h"

#include "framework/archive.h"
#include "framework/dc.h"

#include <cstdlib>

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

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

int DigitAt(const CString& s, int i)
{
    return i >= 0 && i < s.size() && IsDigit(s[i]) ? s[i].unicode() - '0' : 0;
}

// Cuts the text to its first n characters, puts '0's in front up to n and turns every non-digit
// into '0'.
CString DigitsOf(const CString& text, int n)
{
    CString s = text.left(n);
    while (s.size() < n)
        s.prepend(QLatin1Char('0'));
    for (QChar& c : s)
        if (!IsDigit(c))
            c = QLatin1Char('0');
    return s;
}

// The EAN-13 check digit of 12 digits.
QChar Ean13Check(const CString& twelve)
{
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += DigitAt(twelve, i) * (i % 2 ? 3 : 1);
    return QChar(char16_t('0' + (10 - sum % 10) % 10));
}

// Appends the modules of one digit, as '1' bars or, when extended, '2' bars.
void AppendDigit(std::string& modules, QChar digit, int set, bool extended)
{
    for (const char* m = GetEanDigitPattern(digit.unicode(), set); *m; ++m)
        modules += *m == '1' ? (extended ? '2' : '1') : '0';
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

void CBarcodeEanUpc::SetText(CDC* pDC, const CString& text, CRect* rect, double ratio)
{
    CBarcode::SetText(pDC, FilterText(text), rect, ratio);
}

std::string CBarcodeEanUpc::GetModules() const
{
    std::string modules;
    std::vector<DigitPlace> places;
    if (m_text.size() == FullLength())
        Layout(FilterText(m_text), modules, places);
    return modules;
}

CSize CBarcodeEanUpc::CharSize(CDC* pDC, int k) const
{
    if (!pDC || k < 0 || k >= m_text.size())
        return CSize(0, 0);
    // At the font's own size, so that the symbol's size does not follow the zoom.
    const CSize oldExt = pDC->GetViewportExt();
    pDC->SetViewportExt(pDC->GetWindowExt());
    CSize size;
    pDC->GetTextExtentPoint32W(m_text.mid(k, 1), 1, &size);
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
    const CString digits = FilterText(m_text);
    std::string modules;
    std::vector<DigitPlace> places;
    Layout(digits, modules, places);

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
    for (std::size_t m = 0; m < modules.size();) {
        std::size_t end = m + 1;
        while (end < modules.size() && modules[end] == modules[m])
            ++end;
        if (modules[m] != '0') {
            const CRect& rows = modules[m] == '2' ? guardBand : band;
            CRect bar(x0 + int(m) * m_narrow, rows.top, x0 + int(end) * m_narrow, rows.bottom);
            pDC->FillRect(&bar, &black);
        }
        m = end;
    }

    if (m_showText) {
        const int y = m_textPos == 1 ? rect.top : rect.bottom - t;
        for (const DigitPlace& p : places) {
            const int x = p.module < 0 ? rect.left : x0 + p.module * m_narrow;
            pDC->TextOut(x, y, digits.mid(p.index, 1));
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

CString CBarcodeEAN13::FilterText(const CString& text) const
{
    const CString s = DigitsOf(text, 12);
    return s + Ean13Check(s);
}

std::string CBarcodeEAN13::GetParity(char16_t firstDigit)
{
    static constexpr const char* parity[10] = {"000000", "001011", "001101", "001110", "010011",
                                               "011001", "011100", "010101", "010110", "011010"};
    return firstDigit >= '0' && firstDigit <= '9' ? parity[firstDigit - '0'] : parity[0];
}

void CBarcodeEAN13::Layout(const CString& d, std::string& modules, std::vector<DigitPlace>& places) const
{
    const std::string parity = GetParity(d[0].unicode());
    places.push_back({0, -1});
    modules = "202";
    for (int i = 1; i <= 6; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], parity[i - 1] - '0', false);
    }
    modules += "02020";
    for (int i = 7; i <= 12; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], 2, false);
    }
    modules += "202";
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

CString CBarcodeEAN8::FilterText(const CString& text) const
{
    const CString s = DigitsOf(text, 7);
    // Weights 3 and 1 from the left: the EAN-13 check of the digits behind five zeros.
    return s + Ean13Check(QStringLiteral("00000") + s);
}

void CBarcodeEAN8::Layout(const CString& d, std::string& modules, std::vector<DigitPlace>& places) const
{
    modules = "202";
    for (int i = 0; i < 4; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], 0, false);
    }
    modules += "02020";
    for (int i = 4; i < 8; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], 2, false);
    }
    modules += "202";
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

CString CBarcodeUPCA::FilterText(const CString& text) const
{
    const CString s = DigitsOf(text, 11);
    return s + Ean13Check(QLatin1Char('0') + s);
}

void CBarcodeUPCA::Layout(const CString& d, std::string& modules, std::vector<DigitPlace>& places) const
{
    places.push_back({0, -1});
    modules = "202";
    AppendDigit(modules, d[0], 0, true);
    for (int i = 1; i <= 5; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], 0, false);
    }
    modules += "02020";
    for (int i = 6; i <= 10; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], 2, false);
    }
    places.push_back({11, int(modules.size()) + 10});
    AppendDigit(modules, d[11], 2, true);
    modules += "202";
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

CString CBarcodeUPCE::FilterText(const CString& text) const
{
    CString s = DigitsOf(text, 7);
    s[0] = QLatin1Char('0');  // number system 0 only
    const auto x = [&](int i) { return s[i]; };  // X1 to X6
    const QChar z = QLatin1Char('0');
    CString upcA(11, z);  // number system and the ten digits of the UPC-A form
    upcA[0] = s[0];
    upcA[1] = x(1);
    upcA[2] = x(2);
    switch (x(6).unicode()) {
    case '0': case '1': case '2':
        upcA[3] = x(6);
        upcA[8] = x(3);
        upcA[9] = x(4);
        upcA[10] = x(5);
        break;
    case '3':
        upcA[3] = x(3);
        upcA[9] = x(4);
        upcA[10] = x(5);
        break;
    case '4':
        upcA[3] = x(3);
        upcA[4] = x(4);
        upcA[10] = x(5);
        break;
    default:
        upcA[3] = x(3);
        upcA[4] = x(4);
        upcA[5] = x(5);
        upcA[10] = x(6);
        break;
    }
    return s + Ean13Check(z + upcA);
}

std::string CBarcodeUPCE::GetParity(char16_t checkDigit)
{
    static constexpr const char* parity[10] = {"111000", "110100", "110010", "110001", "101100",
                                               "100110", "100011", "101010", "101001", "100101"};
    return checkDigit >= '0' && checkDigit <= '9' ? parity[checkDigit - '0'] : parity[0];
}

void CBarcodeUPCE::Layout(const CString& d, std::string& modules, std::vector<DigitPlace>& places) const
{
    const std::string parity = GetParity(d[7].unicode());
    places.push_back({0, -1});
    modules = "202";
    for (int i = 1; i <= 6; ++i) {
        places.push_back({i, int(modules.size())});
        AppendDigit(modules, d[i], parity[i - 1] - '0', false);
    }
    places.push_back({7, int(modules.size()) + 6});
    modules += "020202";
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
