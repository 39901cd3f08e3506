// EAN-13, EAN-8, UPC-A and UPC-E: filters with check digits, parity and the module layout.

#include "symbology/barcodeean.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string ModulesOf(CBarcodeEanUpc& code, const QString& text)
{
    CRect rect;
    code.SetText(nullptr, text, &rect, 3.0);
    return code.GetModules();
}

// The modules with the guard extension flattened: '1' for every bar.
std::string Plain(std::string m)
{
    for (char& c : m)
        if (c == '2')
            c = '1';
    return m;
}

}  // namespace

TEST(Ean13, FilterAndCheckDigit)
{
    CBarcodeEAN13 code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("400638133393"), "4006381333931");
    EXPECT_EQ(code.FilterText("590123412345"), "5901234123457");
    EXPECT_EQ(code.FilterText("12"), "0000000000123");
    EXPECT_EQ(code.FilterText("12345678901234"), "1234567890128");
    EXPECT_EQ(code.FilterText(QString::fromUtf16(u"40063813339\u4e2d")), code.FilterText("400638133390"));
    CRect rect;
    code.SetText(nullptr, "400638133393", &rect, 3.0);
    EXPECT_EQ(code.GetText(), "4006381333931");  // the family stores the filtered text
}

TEST(Ean13, ModuleLayout)
{
    CBarcodeEAN13 code(0.01f, 0.6f);
    const std::string m = ModulesOf(code, "4006381333931");
    ASSERT_EQ(m.size(), 95u);
    EXPECT_EQ(m.substr(0, 3), "202");
    EXPECT_EQ(m.substr(45, 5), "02020");
    EXPECT_EQ(m.substr(92), "202");
    // First digit 4: L G L L G G for 0 0 6 3 8 1, then R for 3 3 3 9 3 1.
    EXPECT_EQ(m.substr(3, 42), std::string("0001101") + "0100111" + "0101111" + "0111101" + "0001001" + "0110011");
    EXPECT_EQ(m.substr(50, 42), std::string("1000010") + "1000010" + "1000010" + "1110100" + "1000010" + "1100110");
    EXPECT_STREQ(GetEanDigitPattern('x', 0), "");
    // Without a device context the first digit has no width: 10 + 95 modules.
    EXPECT_EQ(code.GetBarsWidth(nullptr), 10 + 95 * 15);
}

TEST(Ean8, FilterLayoutAndWidth)
{
    CBarcodeEAN8 code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("9638507"), "96385074");
    EXPECT_EQ(code.FilterText("12A4567"), code.FilterText("1204567"));
    const std::string m = ModulesOf(code, "9638507");
    ASSERT_EQ(m.size(), 67u);
    EXPECT_EQ(m.substr(3, 7), "0001011");    // 9 in L
    EXPECT_EQ(m.substr(31, 5), "02020");
    EXPECT_EQ(m.substr(57, 7), "1011100");   // 4 in R
    EXPECT_EQ(code.GetBarsWidth(nullptr), 67 * 15);
    EXPECT_EQ(code.GetTextWidth(nullptr), 57 * 15);
}

TEST(UpcA, FilterAndExtendedOuterDigits)
{
    CBarcodeUPCA code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("03600029145"), "036000291452");
    const std::string m = ModulesOf(code, "03600029145");
    ASSERT_EQ(m.size(), 95u);
    EXPECT_EQ(m.substr(3, 7), "0002202");    // 0 in L, running into the text line
    EXPECT_EQ(m.substr(10, 7), "0111101");   // 3 in L
    EXPECT_EQ(m.substr(85, 7), "2202200");   // 2 in R, running into the text line
    EXPECT_EQ(m.substr(92), "202");
}

TEST(UpcE, FilterExpansionAndParity)
{
    CBarcodeUPCE code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("0123456"), "01234565");
    EXPECT_EQ(code.FilterText("1123456"), "01234565");  // number system 0 only
    EXPECT_EQ(code.FilterText("01234565"), "01234565");
    // The expansions of the last digit 0 to 9 against their UPC-A forms.
    CBarcodeUPCA upcA(0.01f, 0.6f);
    const char* expansions[][2] = {{"0123450", "01200000345"}, {"0123453", "01230000045"},
                                   {"0123454", "01234000005"}, {"0123457", "01234500007"}};
    for (auto& e : expansions)
        EXPECT_EQ(code.FilterText(e[0]).right(1), upcA.FilterText(e[1]).right(1)) << e[0];
    const std::string m = ModulesOf(code, "0123456");
    ASSERT_EQ(m.size(), 51u);
    // Check digit 5: G L L G G L for 1 2 3 4 5 6.
    EXPECT_EQ(Plain(m.substr(3, 42)), std::string("0110011") + "0010011" + "0111101" + "0011101" + "0111001" + "0101111");
    EXPECT_EQ(m.substr(45), "020202");
}

TEST(EanUpc, ShortStoredTextDrawsNoModules)
{
    CBarcodeEAN13 code(0.01f, 0.6f);
    EXPECT_TRUE(code.GetModules().empty());
    EXPECT_EQ(code.GetTextWidth(nullptr), 0);
}
