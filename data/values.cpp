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

// Whole numbers of up to 15 digits, without the double's round trip. Their shortest form is
// their significant digits, written in full unless the exponent form ("1e+05") is shorter.
// Gives false when text is not such a number.
bool WholeNumber(std::string_view text, std::optional<double>& result)
{
    const bool minus = text.front() == '-';
    const std::string_view digits = text.substr(minus);
    if (digits.empty() || digits.size() > 15 || digits.front() < '1' || digits.front() > '9')
        return false;
    std::int64_t value = 0;
    std::size_t significant = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const char c = digits[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (c != '0')
            significant = i + 1;
    }
    // d[.ddd]e+XX: the exponent has two digits below 100.
    const std::size_t exponentForm = significant + (significant > 1 ? 1 : 0) + 4;
    if (digits.size() <= exponentForm)
        result = double(minus ? -value : value);
    else
        result.reset();
    return true;
}

}  // namespace

std::optional<double> CanonicalNumber(std::string_view text)
{
    if (text.empty() || text.size() > 30)
        return std::nullopt;
    if (std::optional<double> whole; WholeNumber(text, whole))
        return whole;
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
