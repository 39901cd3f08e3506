#include "objects/bigdecimal.h"

#include <algorithm>
#include <climits>
#include <cstdint>

BigDecimal::BigDecimal() : digits{0} {}

BigDecimal::BigDecimal(std::int64_t value)
{
    // The magnitude goes through unsigned arithmetic so that the smallest value has one too.
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
        sign = kNegative;
        magnitude = 0u - magnitude;
    }
    do {
        digits.push_back(static_cast<BYTE>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
}

void BigDecimal::FromString(std::string_view s)
{
    digits.clear();
    sign = kPositive;
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    if (s.empty()) {
        digits.push_back(0);
        return;
    }
    if (s.front() == '-') {
        sign = kNegative;
        s.remove_prefix(1);
    }
    for (auto it = s.rbegin(); it != s.rend() && *it >= '0' && *it <= '9'; ++it)
        digits.push_back(static_cast<BYTE>(*it - '0'));
    Trim();
}

std::string BigDecimal::ToString() const
{
    if (digits.empty())
        return "0";
    std::string out;
    out.reserve(digits.size() + 1);
    if (IsNegative())
        out.push_back('-');
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
        out.push_back(static_cast<char>('0' + *it));
    return out;
}

void BigDecimal::Trim()
{
    while (!digits.empty() && digits.back() == 0)
        digits.pop_back();
}

int BigDecimal::CompareMagnitude(const std::vector<BYTE>& a, const std::vector<BYTE>& b)
{
    if (a.size() != b.size())
        return a.size() > b.size() ? 1 : -1;
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i])
            return a[i] > b[i] ? 1 : -1;
    }
    return 0;
}

std::vector<BYTE> BigDecimal::AddMagnitude(const std::vector<BYTE>& a, const std::vector<BYTE>& b)
{
    std::vector<BYTE> x = a;
    std::vector<BYTE> y = b;
    const std::size_t n = std::max(x.size(), y.size());
    x.resize(n, 0);
    y.resize(n, 0);
    std::vector<BYTE> sum;
    sum.reserve(n + 1);
    int carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        int d = x[i] + y[i] + carry;
        carry = d > 9 ? 1 : 0;
        sum.push_back(static_cast<BYTE>(carry ? d - 10 : d));
    }
    if (carry)
        sum.push_back(1);
    return sum;
}

std::vector<BYTE> BigDecimal::SubtractMagnitude(const std::vector<BYTE>& larger,
                                                const std::vector<BYTE>& smaller)
{
    std::vector<BYTE> work = larger;
    std::vector<BYTE> result;
    result.reserve(work.size());
    for (std::size_t i = 0; i < smaller.size(); ++i) {
        // Only an untrimmed smaller operand (leading zeros) can reach past the working digits;
        // those positions count as zero.
        if (i >= work.size())
            work.push_back(0);
        if (smaller[i] > work[i]) {
            work[i] = static_cast<BYTE>(work[i] + 10);
            for (std::size_t j = i + 1; j < work.size(); ++j) {
                if (work[j] != 0) {
                    --work[j];
                    break;
                }
                work[j] = 9;
            }
            if (work.size() > i + 1 && work.back() == 0)
                work.pop_back();
        }
        result.push_back(static_cast<BYTE>(work[i] - smaller[i]));
    }
    for (std::size_t i = smaller.size(); i < work.size(); ++i)
        result.push_back(work[i]);
    while (!result.empty() && result.back() == 0)
        result.pop_back();
    return result;
}

BigDecimal operator+(const BigDecimal& a, const BigDecimal& b)
{
    BigDecimal r;
    if (a.IsNegative() == b.IsNegative()) {
        r.sign = a.IsNegative() ? BigDecimal::kNegative : BigDecimal::kPositive;
        r.digits = BigDecimal::AddMagnitude(a.digits, b.digits);
        return r;
    }
    const int cmp = BigDecimal::CompareMagnitude(a.digits, b.digits);
    if (cmp == 0)
        return BigDecimal(0);
    const BigDecimal& larger = cmp > 0 ? a : b;
    const BigDecimal& smaller = cmp > 0 ? b : a;
    r.sign = larger.sign;
    r.digits = BigDecimal::SubtractMagnitude(larger.digits, smaller.digits);
    return r;
}

BigDecimal operator-(const BigDecimal& a, const BigDecimal& b)
{
    // a - b is a + (-b).
    BigDecimal negated = b;
    negated.sign = b.IsNegative() ? BigDecimal::kPositive : BigDecimal::kNegative;
    return a + negated;
}

CString SerialNumberText(const CString& start, int step, int repeat, int direction, int labelIndex)
{
    const qsizetype width = start.size();
    std::string startDigits;
    startDigits.reserve(static_cast<std::size_t>(width));
    for (const QChar c : start) {
        const char16_t u = c.unicode();
        startDigits.push_back(u >= u'0' && u <= u'9' ? static_cast<char>(u) : '0');
    }
    BigDecimal value;
    value.FromString(startDigits);

    // Labels share a value in groups of `repeat`; a repeat of 0 would divide by zero, and the
    // data-source page never lets a user set it, so it only comes from damaged files.
    const int groupSize = repeat == 0 ? 1 : repeat;
    // The offset is exact: a product of two 32-bit numbers fits in 64 bits (so does the one
    // quotient that does not fit in 32, INT_MIN / -1).
    const std::int64_t group = std::int64_t(labelIndex) / groupSize;
    const std::int64_t offset = group * step;

    value = direction == SERIAL_DOWN ? value - BigDecimal(offset) : value + BigDecimal(offset);

    CString number = QString::fromLatin1(value.ToString().c_str());
    if (number.size() < width)
        number.prepend(CString(width - number.size(), QLatin1Char('0')));
    return number;
}

CString ApplyTextEscapes(const CString& text)
{
    CString out = text;
    out.replace(QLatin1String("<CRLF>"), QLatin1String("\r\n"));
    out.replace(QLatin1String("<CR>"), QLatin1String("\n"));
    out.replace(QLatin1String("<LF>"), QLatin1String("\r"));
    out.replace(QLatin1String("<TAB>"), QLatin1String("\t"));
    return out;
}

CString SerialDrawString(const CString& prefix, const CString& suffix, const CString& start,
                         int step, int repeat, int direction, int labelIndex)
{
    return ApplyTextEscapes(prefix) + SerialNumberText(start, step, repeat, direction, labelIndex) +
           ApplyTextEscapes(suffix);
}
