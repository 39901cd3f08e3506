#include "data/values.h"

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
    return {};
}

CString FormatBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<double> CanonicalNumber(std::string_view text)
{
    return std::nullopt;
}
