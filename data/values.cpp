#include "data/values.h"

#include <QDate>
#include <charconv>
#include <cmath>

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

std::optional<double> CanonicalNumber(std::string_view text)
{
    if (text.empty() || text.size() > 30)
        return std::nullopt;
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
