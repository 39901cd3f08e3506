#include "symbology/barcode39.h"

#include "framework/archive.h"
#include "framework/dc.h"

#include <algorithm>
#include <array>
#include <cstdint>

IMPLEMENT_SERIAL(CBarcode39, CBarcode, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcode93, CBarcode, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeCodabar, CBarcode, VERSIONABLE_SCHEMA | 1)

namespace {

// The human-readable line of Code 39, Code 39 Full ASCII and Code 93: on paper the encoded text,
// on screen the text as typed.
CString PrintedOrTyped(CDC* pDC, const CString& filtered, const CString& typed)
{
    return pDC && pDC->IsPrinting() ? filtered : typed;
}

// Code 39 characters and their nine elements, bar first, as bits from the left: 1 wide.
struct Code39Char {
    char c;
    unsigned short bits;
};
constexpr Code39Char kCode39[] = {
    {'0', 0x034}, {'1', 0x121}, {'2', 0x061}, {'3', 0x160}, {'4', 0x031}, {'5', 0x130}, {'6', 0x070},
    {'7', 0x025}, {'8', 0x124}, {'9', 0x064}, {'A', 0x109}, {'B', 0x049}, {'C', 0x148}, {'D', 0x019},
    {'E', 0x118}, {'F', 0x058}, {'G', 0x00D}, {'H', 0x10C}, {'I', 0x04C}, {'J', 0x01C}, {'K', 0x103},
    {'L', 0x043}, {'M', 0x142}, {'N', 0x013}, {'O', 0x112}, {'P', 0x052}, {'Q', 0x007}, {'R', 0x106},
    {'S', 0x046}, {'T', 0x016}, {'U', 0x181}, {'V', 0x0C1}, {'W', 0x1C0}, {'X', 0x091}, {'Y', 0x190},
    {'Z', 0x0D0}, {'-', 0x085}, {'.', 0x184}, {' ', 0x0C4}, {'$', 0x0A8}, {'/', 0x0A2}, {'+', 0x08A},
    {'%', 0x02A}, {'*', 0x094}};

// The element bits of every byte value; 0 for a character Code 39 does not have (every pattern
// has three wide elements).
constexpr auto kCode39Bits = [] {
    std::array<unsigned short, 256> out{};
    for (const Code39Char& e : kCode39)
        out[BYTE(e.c)] = e.bits;
    return out;
}();

// The Full ASCII rows: one or two Code 39 characters for each code 0 to 127 (the second 0 when
// there is one).
constexpr std::array<char, 2> FullAsciiRow(int c)
{
    auto two = [](char shift, int letter) { return std::array<char, 2>{shift, char(letter)}; };
    if (c == 0)
        return two('%', 'U');
    if (c <= 26)
        return two('$', 'A' + c - 1);
    if (c <= 31)
        return two('%', 'A' + c - 27);
    if (c == 32 || c == 45 || c == 46 || (c >= 48 && c <= 57) || (c >= 65 && c <= 90))
        return {char(c), 0};
    if (c <= 44)
        return two('/', 'A' + c - 33);
    if (c == 47)
        return two('/', 'O');
    if (c == 58)
        return two('/', 'Z');
    if (c <= 63)
        return two('%', 'F' + c - 59);
    if (c == 64)
        return two('%', 'V');
    if (c <= 95)
        return two('%', 'K' + c - 91);
    if (c == 96)
        return two('%', 'W');
    if (c <= 122)
        return two('+', 'A' + c - 97);
    return two('%', 'P' + c - 123);
}

constexpr auto kFullAscii = [] {
    std::array<std::array<char, 2>, 128> out{};
    for (int c = 0; c < 128; ++c)
        out[c] = FullAsciiRow(c);
    return out;
}();

std::string Code39Pattern(BYTE c)
{
    std::string p;
    if (const unsigned short bits = kCode39Bits[c]) {
        for (int bit = 8; bit >= 0; --bit)
            p += (bits >> bit) & 1 ? 'w' : 'n';
        p += 'n';
    }
    return p;
}

// Code 93 characters in value order (the shift characters as '|', '}', '~' and DEL) and their
// nine modules as bits from the left.
constexpr char kCode93Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%|}~\x7f";
constexpr unsigned short kCode93Bits[47] = {
    0x114, 0x148, 0x144, 0x142, 0x128, 0x124, 0x122, 0x150, 0x112, 0x10A, 0x1A8, 0x1A4,
    0x1A2, 0x194, 0x192, 0x18A, 0x168, 0x164, 0x162, 0x134, 0x11A, 0x158, 0x14C, 0x146,
    0x12C, 0x116, 0x1B4, 0x1B2, 0x1AC, 0x1A6, 0x196, 0x19A, 0x16C, 0x166, 0x136, 0x13A,
    0x12E, 0x1D4, 0x1D2, 0x1CA, 0x16E, 0x176, 0x1AE, 0x126, 0x1DA, 0x1D6, 0x132};
constexpr unsigned short kCode93Star = 0x15E;
constexpr int kCode93Values = 47;

constexpr int Code93Value(char c)
{
    for (int v = 0; v < kCode93Values; ++v)
        if (kCode93Chars[v] == c)
            return v;
    return -1;
}

// The Code 93 values of each ASCII character's row; the second value is -1 in a one-character
// row. The 43 characters of Code 93's own set stand for themselves, '$', '%', '/' and '+' among
// them; every other character takes its Full ASCII row with the shift characters in place of
// '$', '%', '/' and '+'.
constexpr auto kCode93Rows = [] {
    std::array<std::array<signed char, 2>, 128> out{};
    for (int c = 0; c < 128; ++c) {
        const int own = Code93Value(char(c));
        if (own >= 0 && own < 43) {
            out[c] = {static_cast<signed char>(own), -1};
            continue;
        }
        const std::array<char, 2> row = FullAsciiRow(c);
        const char shift = row[0] == '$' ? '|' : row[0] == '%' ? '}' : row[0] == '/' ? '~' : '\x7f';
        out[c] = {static_cast<signed char>(Code93Value(shift)), static_cast<signed char>(Code93Value(row[1]))};
    }
    return out;
}();

// The values of the mapped text: a small buffer, as the filtered text is.
using Values93 = QVarLengthArray<std::uint8_t, 256>;

void MapValues(const std::uint8_t* text, qsizetype n, Values93& out)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] >= 128)
            continue;
        for (signed char v : kCode93Rows[text[i]])
            if (v >= 0)
                out.push_back(std::uint8_t(v));
    }
}

// The check values C and K of the mapped values, appended to them; nothing for an empty text.
void AppendCheckValues(Values93& values)
{
    const qsizetype n = values.size();
    if (n == 0)
        return;
    long long c = 0;
    long long k = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype fromRight = n - i;  // 1 for the last character
        c += values[i] * (long long)((fromRight - 1) % 20 + 1);
        k += values[i] * (long long)(fromRight % 15 + 1);
    }
    c %= 47;
    k = (k + c) % 47;
    values.push_back(std::uint8_t(c));
    values.push_back(std::uint8_t(k));
}

// The Codabar elements of every byte value as seven bits from the left, 1 wide; 0 for a
// character Codabar does not have (every pattern has a wide element).
constexpr auto kCodabarBits = [] {
    constexpr struct {
        char c;
        const char* pattern;
    } table[] = {{'0', "0000011"}, {'1', "0000110"}, {'2', "0001001"}, {'3', "1100000"}, {'4', "0010010"},
                 {'5', "1000010"}, {'6', "0100001"}, {'7', "0100100"}, {'8', "0110000"}, {'9', "1001000"},
                 {'-', "0001100"}, {'$', "0011000"}, {':', "1000101"}, {'/', "1010001"}, {'.', "1010100"},
                 {'+', "0010101"}, {'*', "1010101"}, {'A', "0011010"}, {'B', "0101001"}, {'C', "0001011"},
                 {'D', "0001110"}};
    std::array<std::uint8_t, 256> out{};
    for (const auto& e : table) {
        std::uint8_t bits = 0;
        for (const char* m = e.pattern; *m; ++m)
            bits = std::uint8_t(bits << 1 | (*m == '1'));
        out[BYTE(e.c)] = bits;
        if (e.c >= 'A' && e.c <= 'D')
            out[BYTE(e.c + ('a' - 'A'))] = bits;
    }
    return out;
}();

}  // namespace

// ---- Code 39 ----

CBarcode39::CBarcode39() : CBarcode(0.01f, 0.4f) {}

CBarcode39::CBarcode39(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

void CBarcode39::FilterUnits(const CString& text, Units& out) const
{
    out.clear();
    // Full ASCII carries ASCII only: characters 128 to 255 have no row, so its filter leaves them
    // out rather than draw something that reads back as another text. Plain Code 39 drops the
    // lower-case letters and keeps the rest, characters without a pattern drawing nothing.
    if (m_fullAscii)
        BarcodePreFilter(text, out, [](std::uint8_t c) { return c < 128; });
    else
        BarcodePreFilter(text, out, [](std::uint8_t c) { return c < 'a' || c > 'z'; });
}

std::string CBarcode39::GetCharPattern(BYTE c, BOOL) const
{
    return Code39Pattern(c);
}

void CBarcode39::BuildElements(const Units& filtered)
{
    const int narrow = m_narrow;
    const int wide = m_wide;
    // Ten elements a character, two characters for each of Full ASCII.
    Element* out = ElementRoom(std::size_t(filtered.size() * (m_fullAscii ? 2 : 1) + 2) * 10);
    // Whole elements are copied, one store each: narrow and wide spaces, narrow and wide bars.
    const Element kinds[4] = {{narrow, false}, {wide, false}, {narrow, true}, {wide, true}};
    auto add = [&](std::uint8_t c) {
        const unsigned bits = kCode39Bits[c];
        if (!bits)
            return;
        for (int bit = 8; bit >= 0; --bit)
            *out++ = kinds[(bit % 2 == 0) * 2 + ((bits >> bit) & 1)];
        *out++ = kinds[0];  // the gap between characters
    };
    add('*');
    for (std::uint8_t c : filtered) {
        if (!m_fullAscii) {
            add(c);
        } else if (c < 128) {
            for (char part : kFullAscii[c])
                if (part)
                    add(std::uint8_t(part));
        }
    }
    add('*');
    CommitElements(out);
}

CString CBarcode39::GetDisplayText(CDC* pDC) const
{
    return PrintedOrTyped(pDC, FilteredText(), m_text);
}

// ---- Code 39 Full ASCII ----

CBarcode39Full::CBarcode39Full(float moduleWidth, float barHeight) : CBarcode39(moduleWidth, barHeight)
{
    m_fullAscii = true;
}

int CBarcode39Full::GetType() const
{
    return BARCODE_ID_CODE39_FULL;
}

std::string CBarcode39Full::GetFullAsciiCode(BYTE c)
{
    if (c >= 128)
        return std::string();
    const std::array<char, 2>& row = kFullAscii[c];
    return row[1] ? std::string(row.data(), 2) : std::string(1, row[0]);
}

std::string CBarcode39Full::GetCharPattern(BYTE c, BOOL inner) const
{
    if (!inner)
        return Code39Pattern(c);
    std::string joined;
    for (char part : GetFullAsciiCode(c))
        joined += Code39Pattern(BYTE(part));
    return joined;
}

// ---- Code 93 ----

CBarcode93::CBarcode93() : CBarcode(0.01f, 0.4f) {}

CBarcode93::CBarcode93(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

int CBarcode93::GetType() const
{
    return BARCODE_ID_CODE93;
}

void CBarcode93::FilterUnits(const CString& text, Units& out) const
{
    // Code 93 carries ASCII only, as Code 39 Full ASCII does.
    out.clear();
    BarcodePreFilter(text, out, [](std::uint8_t c) { return c < 128; });
}

std::string CBarcode93::GetCharPattern(BYTE c, BOOL) const
{
    unsigned short bits = 0;
    if (c == '*')
        bits = kCode93Star;
    else if (const int v = c ? Code93Value(char(c)) : -1; v >= 0)
        bits = kCode93Bits[v];
    std::string p;
    for (int bit = 8; bits && bit >= 0; --bit)
        p += (bits >> bit) & 1 ? '1' : '0';
    return p;
}

int CBarcode93::GetCharValue(char c)
{
    const int v = c ? Code93Value(c) : -1;
    return v >= 0 ? v : 0;
}

char CBarcode93::GetValueChar(int value)
{
    return value >= 0 && value < kCode93Values ? kCode93Chars[value] : '0';
}

std::string CBarcode93::MapFullAscii(const CString& filtered)
{
    Units units;
    for (QChar c : filtered)
        if (c.unicode() < 128)
            units.push_back(std::uint8_t(c.unicode()));
    Values93 values;
    MapValues(units.data(), units.size(), values);
    std::string mapped;
    for (std::uint8_t v : values)
        mapped += GetValueChar(v);
    return mapped;
}

std::string CBarcode93::GetCheckChars(const std::string& mapped)
{
    Values93 values;
    for (char c : mapped)
        values.push_back(std::uint8_t(GetCharValue(c)));
    const qsizetype n = values.size();
    AppendCheckValues(values);
    std::string checks;
    for (qsizetype i = n; i < values.size(); ++i)
        checks += GetValueChar(values[i]);
    return checks;
}

void CBarcode93::BuildElements(const Units& filtered)
{
    const int narrow = m_narrow;
    Values93 values;
    MapValues(filtered.data(), filtered.size(), values);
    AppendCheckValues(values);
    // Nine modules a character and the termination bar.
    Element* out = ElementRoom(std::size_t(values.size() + 2) * 9 + 1);
    const Element kinds[2] = {{narrow, false}, {narrow, true}};
    auto add = [&](unsigned bits) {
        for (int bit = 8; bit >= 0; --bit)
            *out++ = kinds[(bits >> bit) & 1];
    };
    add(kCode93Star);
    for (std::uint8_t v : values)
        add(kCode93Bits[v]);
    add(kCode93Star);
    *out++ = kinds[1];  // termination bar
    CommitElements(out, std::int64_t(values.size() + 2) * 9 * narrow + narrow);
}

CString CBarcode93::GetDisplayText(CDC* pDC) const
{
    return PrintedOrTyped(pDC, FilteredText(), m_text);
}

// ---- Codabar ----

CBarcodeCodabar::CBarcodeCodabar() : CBarcode(0.01f, 0.4f) {}

CBarcodeCodabar::CBarcodeCodabar(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

int CBarcodeCodabar::GetType() const
{
    return BARCODE_ID_CODABAR;
}

void CBarcodeCodabar::FilterUnits(const CString& text, Units& out) const
{
    // Characters without a pattern stay in the text and draw nothing.
    out.clear();
    BarcodePreFilter(text, out, [](std::uint8_t) { return true; });
}

const char* CBarcodeCodabar::GetCharPattern(char16_t c)
{
    static constexpr auto text = [] {
        std::array<std::array<char, 8>, 256> out{};
        for (int c = 0; c < 256; ++c)
            for (int bit = 6; kCodabarBits[c] && bit >= 0; --bit)
                out[c][6 - bit] = (kCodabarBits[c] >> bit) & 1 ? '1' : '0';
        return out;
    }();
    return c < 256 ? text[c].data() : "";
}

void CBarcodeCodabar::BuildElements(const Units& filtered)
{
    const int narrow = m_narrow;
    const int wide = m_wide;
    // Seven elements and a gap a character.
    Element* out = ElementRoom(std::size_t(filtered.size() + 2) * 8);
    Element* const begin = out;
    const Element kinds[4] = {{narrow, false}, {wide, false}, {narrow, true}, {wide, true}};
    auto add = [&](char16_t c) {
        const unsigned bits = c < 256 ? kCodabarBits[c] : 0;
        if (!bits)
            return;
        if (out != begin)
            *out++ = kinds[0];  // the gap between characters
        for (int bit = 6; bit >= 0; --bit)
            *out++ = kinds[(bit % 2 == 0) * 2 + ((bits >> bit) & 1)];
    };
    add(m_start);
    for (std::uint8_t c : filtered)
        add(c);
    add(m_stop);
    CommitElements(out);
}
