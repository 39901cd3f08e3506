#include "symbology/barcode128.h"

#include "framework/archive.h"

#include <algorithm>
#include <array>
#include <cstdint>

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

// The modules of each value as text, '1' bar and '0' space, built from the widths at compile time.
constexpr auto kPatternText = [] {
    std::array<std::array<char, 14>, 107> out{};
    for (int v = 0; v < 107; ++v) {
        int m = 0;
        bool bar = true;
        for (const char* w = kWidths[v]; *w; ++w, bar = !bar)
            for (int k = 0; k < *w - '0'; ++k)
                out[v][m++] = bar ? '1' : '0';
    }
    return out;
}();

// The same as bits, the first module in the highest of `modules` bits.
struct Pattern {
    std::uint16_t bits;
    std::uint8_t modules;
};
constexpr auto kPatterns = [] {
    std::array<Pattern, 107> out{};
    for (int v = 0; v < 107; ++v) {
        for (const char* m = kPatternText[v].data(); *m; ++m) {
            out[v].bits = std::uint16_t(out[v].bits << 1 | (*m == '1'));
            ++out[v].modules;
        }
    }
    return out;
}();

template <class Unit>
constexpr bool IsDigit(Unit c)
{
    return c >= '0' && c <= '9';
}

// Characters of a run that set C can carry: digits and FNC1.
template <class Unit>
constexpr bool IsSetCChar(Unit c)
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

namespace {

using Values = QVarLengthArray<std::uint8_t, 128>;

// The lengths of the set-C run (digits and FNC1) and of the digit run that start at a position.
// Positions are asked for in increasing order, so each run end is found once and reused until the
// position passes it: a whole text costs one pass, however long its digit runs.
template <class Unit>
class RunScanner {
public:
    RunScanner(const Unit* s, int n) : m_s(s), m_n(n) {}

    void At(int i, int& run, int& digits)
    {
        if (i >= m_runEnd) {
            m_runEnd = i;
            while (m_runEnd < m_n && IsSetCChar(m_s[m_runEnd]))
                ++m_runEnd;
        }
        if (i >= m_digitEnd) {
            m_digitEnd = i;
            while (m_digitEnd < m_n && IsDigit(m_s[m_digitEnd]))
                ++m_digitEnd;
        }
        run = m_runEnd - i;
        digits = m_digitEnd - i;
    }

private:
    const Unit* m_s;
    int m_n;
    int m_runEnd = 0;
    int m_digitEnd = 0;
};

// The code set for the character at position i of s (n characters) when current is in force;
// run and digits are the runs that start there (RunScanner).
template <class Unit>
int ChooseSet(const Unit* s, int n, int i, int current, int run, int digits)
{
    using B = CBarcode128;
    if (i < 0 || i >= n)
        return current == B::SetA || current == B::SetC ? current : B::SetB;

    // Set C carries digits in pairs only. A digit that would have to pair with a following FNC1
    // is encoded in set A or B instead: a lone digit is never taken into set C, and an odd group
    // of digits ending in FNC1 enters set C one digit later.
    const auto c = s[i];
    const bool loneDigit = IsDigit(c) && digits == 1;
    const bool oddBeforeFnc1 = IsDigit(c) && digits % 2 == 1 && run > digits;
    if (!loneDigit) {
        if (run >= 4 && !(oddBeforeFnc1 && current != B::SetC))
            return B::SetC;
        if (current == B::SetC && run >= 2)
            return B::SetC;
    }
    if (current == B::SetA)
        return c <= 95 ? B::SetA : B::SetB;
    return c >= 32 && c <= 127 ? B::SetB : B::SetA;
}

template <class Unit>
int ChooseSet(const Unit* s, int n, int i, int current)
{
    if (i < 0 || i >= n)
        return ChooseSet(s, n, i, current, 0, 0);
    RunScanner<Unit> runs(s, n);
    int run = 0, digits = 0;
    runs.At(i, run, digits);
    return ChooseSet(s, n, i, current, run, digits);
}

// One place of set C: FNC1, or a pair of digits. A character without a partner pairs as if a '0'
// stood in front of it, and anything but a digit counts as 0, so no value leaves the table.
template <class Unit>
int EncodeSetC(const Unit* s, int n, int& i)
{
    const auto c = s[i];
    if (c == CBarcode128::FNC1) {
        ++i;
        return 102;
    }
    const int first = IsDigit(c) ? c - '0' : 0;
    if (i + 1 >= n || !IsDigit(s[i + 1])) {
        ++i;
        return first;
    }
    const int second = s[i + 1] - '0';
    i += 2;
    return first * 10 + second;
}

int CheckSum(const std::uint8_t* values, std::size_t n)
{
    if (n == 0)
        return 0;
    long long sum = values[0];
    for (std::size_t i = 1; i < n; ++i)
        sum += (long long)i * values[i];
    return int(sum % 103);
}

// Start, data with the changes of code set, check value and stop.
template <class Unit>
void EncodeValues(const Unit* s, int n, int codeSet, Values& out)
{
    using B = CBarcode128;
    out.clear();
    auto value = [](int c, int set) { return std::uint8_t(B::GetCharValue(BYTE(c), set)); };
    if (codeSet == B::SetA || codeSet == B::SetB || codeSet == B::SetC) {
        out.push_back(value(codeSet + (B::StartA - B::SetA), codeSet));
        if (codeSet == B::SetC) {
            for (int i = 0; i < n;)
                out.push_back(std::uint8_t(EncodeSetC(s, n, i)));
        } else {
            for (int i = 0; i < n; ++i)
                out.push_back(value(s[i], codeSet));
        }
    } else {
        RunScanner<Unit> runs(s, n);
        int run = 0, digits = 0;
        if (n > 0)
            runs.At(0, run, digits);
        int current = ChooseSet(s, n, 0, B::SetB, run, digits);
        out.push_back(value(current + (B::StartA - B::SetA), current));
        for (int i = 0; i < n;) {
            runs.At(i, run, digits);
            const int set = ChooseSet(s, n, i, current, run, digits);
            if (set != current) {
                out.push_back(value(set, current));
                current = set;
            }
            if (current == B::SetC)
                out.push_back(std::uint8_t(EncodeSetC(s, n, i)));
            else
                out.push_back(value(s[i++], current));
        }
    }
    out.push_back(std::uint8_t(CheckSum(out.data(), std::size_t(out.size()))));
    out.push_back(106);
}

const char16_t* Utf16(const CString& text)
{
    return reinterpret_cast<const char16_t*>(text.utf16());
}

}  // namespace

int CBarcode128::ChooseCodeSet(const CString& text, int i, int current)
{
    return ChooseSet(Utf16(text), int(text.size()), i, current);
}

void CBarcode128::Encode(const CString& filtered, int codeSet, std::vector<BYTE>& out)
{
    Values values;
    EncodeValues(Utf16(filtered), int(filtered.size()), codeSet, values);
    out.assign(values.begin(), values.end());
}

int CBarcode128::CalcCheckSum(const std::vector<BYTE>& values)
{
    return CheckSum(values.data(), values.size());
}

const char* CBarcode128::GetPattern(int value)
{
    if (value < 0 || value > 106)
        return "";
    return kPatternText[value].data();
}

void CBarcode128::FilterUnits(const CString& text, Units& out) const
{
    out.clear();
    if (m_codeSet == SetA) {
        BarcodePreFilter(text, out, [](std::uint8_t c) { return c < 'a' || c > 'z'; });
        return;
    }
    BarcodePreFilter(text, out, [](std::uint8_t) { return true; });
    if (m_codeSet == SetC) {
        if (out.size() % 2)
            out.insert(out.begin(), std::uint8_t('0'));
        for (std::uint8_t& c : out)
            if (!IsDigit(c))
                c = '0';
    }
}

void CBarcode128::BuildElements(const Units& filtered)
{
    Values values;
    EncodeValues(filtered.data(), int(filtered.size()), m_codeSet, values);
    const int narrow = m_narrow;
    // 11 modules a value, 13 for the stop (which a text may also hold as its function character).
    Element* const begin = ElementRoom(std::size_t(values.size()) * 13);
    Element* out = begin;
    // Whole elements are copied, one store each.
    const Element kinds[2] = {Element{narrow, false}, Element{narrow, true}};
    for (std::uint8_t v : values) {
        const Pattern& p = kPatterns[v];
        const unsigned bits = p.bits;
        if (p.modules == 11) {
            for (int bit = 10; bit >= 0; --bit)
                *out++ = kinds[(bits >> bit) & 1];
        } else {
            for (int bit = p.modules - 1; bit >= 0; --bit)
                *out++ = kinds[(bits >> bit) & 1];
        }
    }
    const std::int64_t modules = out - begin;
    CommitElements(out, std::int64_t(modules) * narrow);
}

int CBarcode128::GetTextWidth(CDC* pDC) const
{
    return m_showText ? MeasureFilteredText(pDC) : 0;
}
