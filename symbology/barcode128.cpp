#include "symbology/barcode128.h"

#include "framework/archive.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

IMPLEMENT_SERIAL(CBarcode128, CBarcode, VERSIONABLE_SCHEMA | 1)

namespace {

// Bar and space widths in modules of the 107 symbol values, bar first.
constexpr const char* kWidths[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

const std::array<std::string, 107>& ModulePatterns()
{
    static const std::array<std::string, 107> patterns = [] {
        std::array<std::string, 107> out;
        for (int v = 0; v < 107; ++v) {
            bool bar = true;
            for (const char* w = kWidths[v]; *w; ++w, bar = !bar)
                out[v].append(std::size_t(*w - '0'), bar ? '1' : '0');
        }
        return out;
    }();
    return patterns;
}

bool IsDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

// Characters of a run that set C can carry: digits and FNC1.
bool IsSetCChar(char16_t c)
{
    return IsDigit(c) || c == CBarcode128::FNC1;
}

}  // namespace

CBarcode128::CBarcode128() : CBarcode(0.01f, 0.4f) {}

CBarcode128::CBarcode128(float moduleWidth, float barHeight, int codeSet)
    : CBarcode(moduleWidth, barHeight), m_codeSet(codeSet)
{
}

int CBarcode128::GetType() const
{
    switch (m_codeSet) {
    case SetA:
        return BARCODE_ID_CODE128_A;
    case SetB:
        return BARCODE_ID_CODE128_B;
    case SetC:
        return BARCODE_ID_CODE128_C;
    default:
        return BARCODE_ID_CODE128_AUTO;
    }
}

CString CBarcode128::FilterText(const CString& text) const
{
    CString s = BarcodePreFilter(text);
    if (m_codeSet == SetA) {
        s.removeIf([](QChar c) { return c.unicode() >= 'a' && c.unicode() <= 'z'; });
    } else if (m_codeSet == SetC) {
        if (s.size() % 2)
            s.prepend(QLatin1Char('0'));
        for (QChar& c : s)
            if (!IsDigit(c.unicode()))
                c = QLatin1Char('0');
    }
    return s;
}

int CBarcode128::GetCharValue(BYTE c, int codeSet)
{
    const int set = codeSet == SetA ? 0 : codeSet == SetB ? 1 : codeSet == SetC ? 2 : -1;
    if (set < 0)
        return 0;
    // Values of the function characters in sets A, B and C.
    static constexpr int functions[13][3] = {
        {0, 101, 101},     // Code A
        {100, 0, 100},     // Code B
        {99, 99, 0},       // Code C
        {-1, -1, -1},      // 131 is an ordinary character
        {103, 103, 103},   // Start A
        {104, 104, 104},   // Start B
        {105, 105, 105},   // Start C
        {106, 106, 106},   // Stop
        {102, 102, 102},   // FNC1
        {97, 97, 0},       // FNC2
        {96, 96, 0},       // FNC3
        {101, 100, 0},     // FNC4
        {98, 98, 0},       // Shift
    };
    if (c >= CodeA && c <= Shift && functions[c - CodeA][set] >= 0)
        return functions[c - CodeA][set];
    switch (set) {
    case 0:
        return c < 32 ? c + 64 : c <= 95 ? c - 32 : 0;
    case 1:
        return c >= 32 && c <= 127 ? c - 32 : 0;
    default:
        return c <= 99 ? c : 0;
    }
}

int CBarcode128::ChooseCodeSet(const CString& text, int i, int current)
{
    const int n = int(text.size());
    if (i < 0 || i >= n)
        return current == SetA || current == SetC ? current : SetB;

    int run = 0;
    while (i + run < n && IsSetCChar(text[i + run].unicode()))
        ++run;
    int digits = 0;
    while (i + digits < n && IsDigit(text[i + digits].unicode()))
        ++digits;

    // Set C carries digits in pairs only. A digit that would have to pair with a following FNC1
    // is encoded in set A or B instead: a lone digit is never taken into set C, and an odd group
    // of digits ending in FNC1 enters set C one digit later.
    const char16_t c = text[i].unicode();
    const bool loneDigit = IsDigit(c) && digits == 1;
    const bool oddBeforeFnc1 = IsDigit(c) && digits % 2 == 1 && run > digits;
    if (!loneDigit) {
        if (run >= 4 && !(oddBeforeFnc1 && current != SetC))
            return SetC;
        if (current == SetC && run >= 2)
            return SetC;
    }
    if (current == SetA)
        return c <= 95 ? SetA : SetB;
    return c >= 32 && c <= 127 ? SetB : SetA;
}

namespace {

// One place of set C: FNC1, or a pair of digits. A character without a partner pairs as if a '0'
// stood in front of it, and anything but a digit counts as 0, so no value leaves the table.
int EncodeSetC(const CString& text, int& i)
{
    const char16_t c = text[i].unicode();
    if (c == CBarcode128::FNC1) {
        ++i;
        return 102;
    }
    const int first = IsDigit(c) ? c - '0' : 0;
    if (i + 1 >= int(text.size()) || !IsDigit(text[i + 1].unicode())) {
        ++i;
        return first;
    }
    const int second = text[i + 1].unicode() - '0';
    i += 2;
    return first * 10 + second;
}

}  // namespace

void CBarcode128::Encode(const CString& filtered, int codeSet, std::vector<BYTE>& out)
{
    out.clear();
    const int n = int(filtered.size());
    int start = 0;
    if (codeSet == SetA || codeSet == SetB || codeSet == SetC) {
        start = GetCharValue(BYTE(codeSet + (StartA - SetA)), codeSet);
        out.push_back(BYTE(start));
        if (codeSet == SetC) {
            for (int i = 0; i < n;)
                out.push_back(BYTE(EncodeSetC(filtered, i)));
        } else {
            for (int i = 0; i < n; ++i)
                out.push_back(BYTE(GetCharValue(BYTE(filtered[i].unicode()), codeSet)));
        }
    } else {
        int current = ChooseCodeSet(filtered, 0, SetB);
        out.push_back(BYTE(GetCharValue(BYTE(current + (StartA - SetA)), current)));
        for (int i = 0; i < n;) {
            const int s = ChooseCodeSet(filtered, i, current);
            if (s != current) {
                out.push_back(BYTE(GetCharValue(BYTE(s), current)));
                current = s;
            }
            if (current == SetC)
                out.push_back(BYTE(EncodeSetC(filtered, i)));
            else
                out.push_back(BYTE(GetCharValue(BYTE(filtered[i++].unicode()), current)));
        }
    }
    out.push_back(BYTE(CalcCheckSum(out)));
    out.push_back(106);
}

int CBarcode128::CalcCheckSum(const std::vector<BYTE>& values)
{
    if (values.empty())
        return 0;
    long long sum = values[0];
    for (std::size_t i = 1; i < values.size(); ++i)
        sum += (long long)i * values[i];
    return int(sum % 103);
}

const char* CBarcode128::GetPattern(int value)
{
    if (value < 0 || value > 106)
        return "";
    return ModulePatterns()[value].c_str();
}

void CBarcode128::BuildElements(const CString& filtered, std::vector<Element>& out) const
{
    std::vector<BYTE> values;
    Encode(filtered, m_codeSet, values);
    for (BYTE v : values)
        for (const char* m = GetPattern(v); *m; ++m)
            out.push_back(Element{m_narrow, *m == '1'});
}

int CBarcode128::GetBarsWidth(CDC*) const
{
    std::vector<BYTE> values;
    Encode(FilterText(m_text), m_codeSet, values);
    std::int64_t modules = 0;
    for (BYTE v : values)
        modules += std::int64_t(std::char_traits<char>::length(GetPattern(v)));
    return SaturateInt(modules * m_narrow);
}

int CBarcode128::GetTextWidth(CDC* pDC) const
{
    return m_showText ? MeasureFilteredText(pDC) : 0;
}
