#include "data/values.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <cstdint>

CString FormatNumber(double value)
{
    if (value == 0)
        value = 0;  // no "-0"
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

CString FormatDateSerial(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        return FormatNumber(days);
    // Whole seconds, rounded; the fraction of a day counts forwards from midnight even for
    // negative serials.
    const auto seconds = static_cast<long long>(std::llround(days * 86400.0));
    long long day = seconds / 86400;
    long long second = seconds % 86400;
    if (second < 0) {
        second += 86400;
        --day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    CString text = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (second)
        text += QStringLiteral(" %1:%2:%3")
                    .arg(second / 3600, 2, 10, QLatin1Char('0'))
                    .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(second % 60, 2, 10, QLatin1Char('0'));
    return text;
}

CString FormatBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

namespace {

// Plain decimals of up to 15 digits ("-12", "2499.75", "0.025"), without the double's round trip:
// their value is their digits divided by a power of ten, both exact in a double, and their
// shortest form is their significant digits, written as they are unless the exponent form
// ("1e+05", "2.5e-05") is shorter. Gives false, leaving result alone, for any other text.
bool PlainDecimal(std::string_view text, std::optional<double>& result)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                         1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool minus = text.front() == '-';
    text.remove_prefix(minus);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || (whole.size() > 1 && whole.front() == '0') || whole.size() + fraction.size() > 15
        || (point != std::string_view::npos && (fraction.empty() || fraction.back() == '0')))
        return false;
    std::int64_t digits = 0;
    std::size_t first = 0, last = 0;  // of the significant digits, counted from 1; 0: none
    std::size_t position = 0;
    for (const std::string_view part : {whole, fraction})
        for (const char c : part) {
            if (c < '0' || c > '9')
                return false;
            digits = digits * 10 + (c - '0');
            ++position;
            if (c != '0') {
                first = first ? first : position;
                last = position;
            }
        }
    if (!first) {  // "0" and "-0"
        result = minus ? -0.0 : 0.0;
        return true;
    }
    // d[.ddd]e+XX, the exponent of two digits below 100.
    const std::size_t significant = last - first + 1;
    const std::size_t exponentForm = significant + (significant > 1 ? 1 : 0) + 4;
    if (text.size() <= exponentForm) {
        const double value = double(digits) / kPowers[fraction.size()];
        result = minus ? -value : value;
    } else {
        result.reset();
    }
    return true;
}

}  // namespace

std::optional<double> CanonicalNumber(std::string_view text)
{
    if (text.empty() || text.size() > 30)
        return std::nullopt;
    if (std::optional<double> plain; PlainDecimal(text, plain))
        return plain;
    double value = 0;
    auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    char buffer[32];
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (std::string_view(buffer, written.ptr - buffer) != text)
        return std::nullopt;
    return value;
}
