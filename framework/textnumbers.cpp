#include "framework/textnumbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {
// The text from its first non-space character, as ASCII up to the first character that is not.
std::string LeadingAscii(const CString& text)
{
    std::string s;
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    for (; i < text.size() && text[i].unicode() < 0x80; ++i)
        s.push_back(char(text[i].unicode()));
    return s;
}
}  // namespace

double Wtof(const CString& text)
{
    std::string s = LeadingAscii(text);
    bool negative = false;
    std::size_t start = 0;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        start = 1;
    }
    double value = 0;
    const char* first = s.data() + start;
    const auto [end, ec] = std::from_chars(first, s.data() + s.size(), value, std::chars_format::general);
    if (end == first)
        return 0;
    if (ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small zero.
        std::size_t e = std::string_view(first, std::size_t(end - first)).find_first_of("eE");
        const bool tiny = e != std::string_view::npos && first[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

int Wtoi(const CString& text)
{
    const std::string s = LeadingAscii(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long value = 0;
    bool any = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        any = true;
        if (value <= std::numeric_limits<int>::max())
            value = value * 10 + (s[i] - '0');
    }
    if (!any)
        return 0;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(value);
}

CString MillimetresText(double units)
{
    return QString::number(units / 1536.0 * 25.4, 'f', 2);
}
