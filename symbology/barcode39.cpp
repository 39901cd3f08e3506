#include "symbology/barcode39.h"

#include "framework/archive.h"
#include "framework/dc.h"

#include <algorithm>
#include <array>
#include <cstring>

IMPLEMENT_SERIAL(CBarcode39, CBarcode, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcode93, CBarcode, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CBarcodeCodabar, CBarcode, VERSIONABLE_SCHEMA | 1)

namespace {

// Code 39 and Code 93 carry ASCII only; characters 128 to 255 have no encoding in either, so
// their filters leave them out rather than draw something that reads back as another text.
CString DropAboveAscii(CString s)
{
    auto above = [](QChar c) { return c.unicode() >= 128; };
    if (std::any_of(s.cbegin(), s.cend(), above))
        s.removeIf(above);
    return s;
}

// The human-readable line of Code 39, Code 39 Full ASCII and Code 93: on paper the encoded text,
// on screen the text as typed.
CString PrintedOrTyped(const CBarcode& code, CDC* pDC, const CString& typed)
{
    return pDC && pDC->IsPrinting() ? code.FilterText(typed) : typed;
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

// The patterns of all byte values, built once; empty for characters Code 39 does not have.
const std::array<std::string, 256>& Code39Table()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> out;
        for (const Code39Char& e : kCode39) {
            std::string& p = out[BYTE(e.c)];
            for (int bit = 8; bit >= 0; --bit)
                p += (e.bits >> bit) & 1 ? 'w' : 'n';
            p += 'n';
        }
        return out;
    }();
    return table;
}

const std::string& Code39Pattern(BYTE c)
{
    return Code39Table()[c];
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

std::string ModulesOf(unsigned short bits)
{
    std::string p;
    for (int bit = 8; bit >= 0; --bit)
        p += (bits >> bit) & 1 ? '1' : '0';
    return p;
}

const std::array<std::string, 256>& Code93Table()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> out;
        for (int v = 0; v < 47; ++v)
            out[BYTE(kCode93Chars[v])] = ModulesOf(kCode93Bits[v]);
        out[BYTE('*')] = ModulesOf(kCode93Star);
        return out;
    }();
    return table;
}

}  // namespace

// ---- Code 39 ----

CBarcode39::CBarcode39() : CBarcode(0.01f, 0.4f) {}

CBarcode39::CBarcode39(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

CString CBarcode39::FilterText(const CString& text) const
{
    CString s = BarcodePreFilter(text);
    auto lower = [](QChar c) { return c.unicode() >= 'a' && c.unicode() <= 'z'; };
    if (std::any_of(s.begin(), s.end(), lower))
        s.removeIf(lower);
    return s;
}

std::string CBarcode39::GetCharPattern(BYTE c, BOOL) const
{
    return Code39Pattern(c);
}

void CBarcode39::BuildElements(const CString& filtered, std::vector<Element>& out) const
{
    const int n = int(filtered.size()) + 2;
    out.reserve(std::size_t(n) * 10);
    for (int i = 0; i < n; ++i) {
        const bool inner = i > 0 && i < n - 1;
        const BYTE c = inner ? BYTE(filtered[i - 1].unicode()) : BYTE('*');
        const std::string pattern = GetCharPattern(c, inner);
        for (std::size_t k = 0; k < pattern.size(); ++k)
            out.push_back(Element{pattern[k] == 'w' ? m_wide : m_narrow, k % 10 % 2 == 0});
    }
}


CString CBarcode39::GetDisplayText(CDC* pDC) const
{
    return PrintedOrTyped(*this, pDC, m_text);
}

// ---- Code 39 Full ASCII ----

CBarcode39Full::CBarcode39Full(float moduleWidth, float barHeight) : CBarcode39(moduleWidth, barHeight) {}

int CBarcode39Full::GetType() const
{
    return BARCODE_ID_CODE39_FULL;
}

CString CBarcode39Full::FilterText(const CString& text) const
{
    return DropAboveAscii(BarcodePreFilter(text));
}

std::string CBarcode39Full::GetFullAsciiCode(BYTE c)
{
    auto two = [](char shift, int letter) { return std::string{shift, char(letter)}; };
    if (c == 0)
        return "%U";
    if (c <= 26)
        return two('$', 'A' + c - 1);
    if (c <= 31)
        return two('%', 'A' + c - 27);
    if (c == 32 || c == 45 || c == 46 || (c >= 48 && c <= 57) || (c >= 65 && c <= 90))
        return std::string(1, char(c));
    if (c <= 44)
        return two('/', 'A' + c - 33);
    if (c == 47)
        return "/O";
    if (c == 58)
        return "/Z";
    if (c <= 63)
        return two('%', 'F' + c - 59);
    if (c == 64)
        return "%V";
    if (c <= 95)
        return two('%', 'K' + c - 91);
    if (c == 96)
        return "%W";
    if (c <= 122)
        return two('+', 'A' + c - 97);
    if (c <= 127)
        return two('%', 'P' + c - 123);
    return std::string();
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

CString CBarcode93::FilterText(const CString& text) const
{
    return DropAboveAscii(BarcodePreFilter(text));
}

std::string CBarcode93::GetCharPattern(BYTE c, BOOL) const
{
    return Code93Table()[c];
}

int CBarcode93::GetCharValue(char c)
{
    if (c == 0)
        return 0;
    const char* hit = static_cast<const char*>(std::memchr(kCode93Chars, c, 47));
    return hit ? int(hit - kCode93Chars) : 0;
}

char CBarcode93::GetValueChar(int value)
{
    return value >= 0 && value < 47 ? kCode93Chars[value] : '0';
}

std::string CBarcode93::MapFullAscii(const CString& filtered)
{
    std::string mapped;
    mapped.reserve(std::size_t(filtered.size()) * 2);
    for (QChar qc : filtered) {
        if (qc.unicode() >= 128)
            continue;
        std::string row = CBarcode39Full::GetFullAsciiCode(BYTE(qc.unicode()));
        if (row.size() == 2) {
            switch (row[0]) {
            case '$': row[0] = '|'; break;
            case '%': row[0] = '}'; break;
            case '/': row[0] = '~'; break;
            case '+': row[0] = '\x7f'; break;
            }
        }
        mapped += row;
    }
    return mapped;
}

std::string CBarcode93::GetCheckChars(const std::string& mapped)
{
    if (mapped.empty())
        return std::string();
    const std::size_t n = mapped.size();
    long long c = 0;
    long long k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t fromRight = n - i;  // 1 for the last character
        const int value = GetCharValue(mapped[i]);
        c += value * (long long)((fromRight - 1) % 20 + 1);
        k += value * (long long)(fromRight % 15 + 1);
    }
    c %= 47;
    k = (k + c) % 47;
    return std::string{GetValueChar(int(c)), GetValueChar(int(k))};
}

void CBarcode93::BuildElements(const CString& filtered, std::vector<Element>& out) const
{
    const std::string mapped = MapFullAscii(filtered);
    const std::string symbol = "*" + mapped + GetCheckChars(mapped) + "*";
    for (char c : symbol)
        for (char m : GetCharPattern(BYTE(c), TRUE))
            out.push_back(Element{m_narrow, m == '1'});
    out.push_back(Element{m_narrow, true});  // termination bar
}


CString CBarcode93::GetDisplayText(CDC* pDC) const
{
    return PrintedOrTyped(*this, pDC, m_text);
}

// ---- Codabar ----

CBarcodeCodabar::CBarcodeCodabar() : CBarcode(0.01f, 0.4f) {}

CBarcodeCodabar::CBarcodeCodabar(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

int CBarcodeCodabar::GetType() const
{
    return BARCODE_ID_CODABAR;
}

CString CBarcodeCodabar::FilterText(const CString& text) const
{
    return BarcodePreFilter(text);
}

const char* CBarcodeCodabar::GetCharPattern(char16_t c)
{
    switch (c) {
    case '0': return "0000011";
    case '1': return "0000110";
    case '2': return "0001001";
    case '3': return "1100000";
    case '4': return "0010010";
    case '5': return "1000010";
    case '6': return "0100001";
    case '7': return "0100100";
    case '8': return "0110000";
    case '9': return "1001000";
    case '-': return "0001100";
    case '$': return "0011000";
    case ':': return "1000101";
    case '/': return "1010001";
    case '.': return "1010100";
    case '+': return "0010101";
    case '*': return "1010101";
    case 'A': case 'a': return "0011010";
    case 'B': case 'b': return "0101001";
    case 'C': case 'c': return "0001011";
    case 'D': case 'd': return "0001110";
    default: return "";
    }
}

void CBarcodeCodabar::BuildElements(const CString& filtered, std::vector<Element>& out) const
{
    std::string elements = GetCharPattern(m_start);
    for (QChar c : filtered)
        elements += GetCharPattern(c.unicode());
    elements += GetCharPattern(m_stop);
    for (std::size_t k = 0; k < elements.size(); ++k) {
        if (k % 7 == 0 && k != 0)
            out.push_back(Element{m_narrow, false});  // gap between characters
        out.push_back(Element{elements[k] == '1' ? m_wide : m_narrow, k % 7 % 2 == 0});
    }
}

