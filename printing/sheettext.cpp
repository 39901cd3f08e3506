#include "printing/sheettext.h"

#include "printing/sheetlayout.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// The text from its first non-blank character, as Latin-1: any other character ends a number.
std::string Trimmed(const CString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return text.mid(i).toLatin1().toStdString();
}

// The decimal order of a numeral too large or too small for a double: the count of its whole
// digits, less the zeros that open its fraction, plus its exponent; above 0 for 1 and more.
std::int64_t DecimalOrder(const char* first, const char* last)
{
    std::int64_t order = 0;
    bool seenDigit = false, point = false;
    const char* p = first;
    for (; p < last && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.'); ++p) {
        if (*p == '.')
            point = true;
        else if (*p != '0' || seenDigit) {
            seenDigit = true;
            if (!point)
                ++order;
        } else if (point) {
            --order;  // a zero between the point and the first significant digit
        }
    }
    if (p < last && (*p == 'e' || *p == 'E')) {
        long long exponent = 0;
        const char* e = p + 1;
        if (e < last && *e == '+')
            ++e;
        std::from_chars(e, last, exponent);
        order += exponent;
    }
    return order;
}

}  // namespace

int ReadWholeNumber(const CString& text)
{
    const std::string s = Trimmed(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    std::int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (s[i] - '0'), std::int64_t(1) << 32);
    return SaturateInt(negative ? -value : value);
}

double ReadDecimal(const CString& text)
{
    const std::string s = Trimmed(text);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    bool negative = false;
    if (first < last && (*first == '+' || *first == '-'))
        negative = *first++ == '-';
    // from_chars takes no sign of its own here: a second sign is not a number.
    if (first == last || *first == '-')
        return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
        value = DecimalOrder(first, last) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc() || std::isnan(value))
        return 0.0;
    return negative ? -value : value;
}

int ReadTenths(const CString& text, double nudge)
{
    return StoredLength((ReadDecimal(text) + nudge) * 10.0);
}

std::optional<int> ReadCellCount(const CString& text)
{
    const int n = ReadWholeNumber(text);
    if (n < 1 || n > kMaxSheetCells)
        return std::nullopt;
    return n;
}

CString FormatMillimetres(double tenths, int decimals)
{
    // QString::number is not localised.
    return QString::number(tenths / 10.0, 'f', decimals);
}

CString FormatSheetSize(int widthTenths, int heightTenths, const CString& unit)
{
    return QStringLiteral("%1 x %2 %3")
        .arg(FormatMillimetres(widthTenths), FormatMillimetres(heightTenths), unit);
}
