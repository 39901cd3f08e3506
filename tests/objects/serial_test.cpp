#include "objects/bigdecimal.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

BigDecimal Parsed(const char* s)
{
    BigDecimal d;
    d.FromString(s);
    return d;
}

}  // namespace

TEST(BigDecimal, ParsesTheDigitsAtTheEndOfTrimmedText)
{
    EXPECT_EQ(BigDecimal(INT_MIN).ToString(), "-2147483648");
    EXPECT_EQ(Parsed("  0042  ").ToString(), "42");
    EXPECT_EQ(Parsed("12a34").ToString(), "34");  // stops at the first non-digit from the end
    EXPECT_EQ(Parsed("   ").digits, std::vector<BYTE>{0});
    // Zero trims to no digits at all, so a negative zero still prints without a sign.
    EXPECT_TRUE(Parsed("-000").digits.empty());
    EXPECT_EQ(Parsed("-000").ToString(), "0");
    EXPECT_EQ(Parsed("-").ToString(), "0");
    EXPECT_EQ(Parsed("\t5").ToString(), "5");  // only spaces are skipped; the tab ends the digits
}

struct SerialCase
{
    const char* start;
    int step;
    int repeat;
    int direction;
    int label;
    const char* expected;
};

TEST(SerialNumber, CountsFromTheStartTextKeepingItsWidth)
{
    const SerialCase cases[] = {
        {"0001", 1, 1, SERIAL_UP, 9999, "10000"},  // grows, never cut
        {"0009", 1, 1, SERIAL_UP, 1, "0010"},
        {"1000", 1, 1, SERIAL_DOWN, 1, "0999"},
        {"0000", 5, 1, SERIAL_DOWN, 1, "00-5"},    // padding goes before the minus sign
        {"10", 2, 3, SERIAL_UP, 2, "10"},
        {"10", 2, 3, SERIAL_UP, 3, "12"},
        {"10", 2, 3, SERIAL_UP, 6, "14"},
        {"10", -3, 1, SERIAL_UP, 1, "07"},          // a negative step counts down
        {"10", -3, 1, SERIAL_DOWN, 1, "13"},
        {"", 1, 1, SERIAL_UP, 12, "12"},
        {"A12-", 1, 1, SERIAL_UP, 1, "0121"},       // non-digits count as 0, "-" is no sign
        {"-5", 1, 1, SERIAL_UP, 0, "05"},
        {"\u0663\u0664", 1, 1, SERIAL_UP, 1, "01"}, // only ASCII digits are digits
        {"7", 1, 1, 2, 1, "8"},                     // an unknown direction counts up
        {"12", 1, 0, SERIAL_UP, 4, "16"},           // repeat 0 counts as 1
        {"12", 1, -2, SERIAL_UP, 4, "10"},          // group -2 from a negative repeat
        // Long start values count exactly.
        {"9999999999999999999999999", 1, 1, SERIAL_UP, 1, "10000000000000000000000000"},
        {"1000000000000000000000000", 1, 1, SERIAL_DOWN, 1, "0999999999999999999999999"},
        {"1234567890123456789012345", 1000, 1, SERIAL_UP, 7, "1234567890123456789019345"},
        {"0000000000000000000000001", 2, 1, SERIAL_DOWN, 1, "00000000000000000000000-1"},
        // The offset is exact, never a wrapped 32-bit product.
        {"0", 100000, 1, SERIAL_UP, 30000, "3000000000"},
        {"0", INT_MAX, 1, SERIAL_UP, INT_MAX, "4611686014132420609"},
        {"0", 2, 1, SERIAL_UP, 1 << 30, "2147483648"},
        {"0000000000000", 1, -1, SERIAL_UP, INT_MIN, "0002147483648"},
        {"0", INT_MIN, -1, SERIAL_DOWN, INT_MIN, "4611686018427387904"},
        {"5", INT_MIN, 1, SERIAL_DOWN, 1, "2147483653"},
    };
    for (const SerialCase& c : cases) {
        EXPECT_EQ(SerialNumberText(QString::fromUtf8(c.start), c.step, c.repeat, c.direction,
                                   c.label),
                  QString::fromLatin1(c.expected))
            << c.start << " step " << c.step << " repeat " << c.repeat << " direction "
            << c.direction << " label " << c.label;
    }
}

TEST(TextEscapes, TurnMarkersIntoControlCharactersInPrefixAndSuffix)
{
    EXPECT_EQ(ApplyTextEscapes("a<CR>b<LF>c<CRLF>d<TAB><TAB>"), QStringLiteral("a\nb\rc\r\nd\t\t"));
    EXPECT_EQ(ApplyTextEscapes("<cr><Tab>"), QStringLiteral("<cr><Tab>"));  // case matters
    // One pass per marker: what a replacement leaves is not scanned again.
    EXPECT_EQ(ApplyTextEscapes("<<CR>LF>"), QStringLiteral("<\nLF>"));
    // A serial's text escapes its prefix and suffix only.
    EXPECT_EQ(SerialDrawString("No.<CR>", "<TAB>pcs", "01", 1, 1, SERIAL_UP, 2),
              QStringLiteral("No.\n03\tpcs"));
    EXPECT_EQ(SerialDrawString("", "", "007", 1, 1, SERIAL_UP, 0), QStringLiteral("007"));
}
