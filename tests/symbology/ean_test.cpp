// EAN-13, EAN-8, UPC-A and UPC-E: filters with check digits, guards and the module layout. The
// decode test proves the digits' parity patterns.

#include "symbology/barcodeean.h"

#include <gtest/gtest.h>

namespace {

std::string ModulesOf(CBarcodeEanUpc& code, const QString& text)
{
    CRect rect;
    code.SetText(nullptr, text, &rect, 3.0);
    return code.GetModules();
}

}  // namespace

TEST(Ean13, FilterAndCheckDigit)
{
    CBarcodeEAN13 code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("400638133393"), "4006381333931");
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
    EXPECT_EQ(m.substr(31, 5), "02020");
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
    EXPECT_EQ(m.substr(85, 7), "2202200");   // 2 in R, running into the text line
    EXPECT_EQ(m.substr(92), "202");
}

TEST(UpcE, FilterExpansionAndParity)
{
    CBarcodeUPCE code(0.01f, 0.6f);
    EXPECT_EQ(code.FilterText("0123456"), "01234565");
    EXPECT_EQ(code.FilterText("1123456"), "01234565");  // number system 0 only
    EXPECT_EQ(code.FilterText("01234565"), "01234565");
    const std::string m = ModulesOf(code, "0123456");
    ASSERT_EQ(m.size(), 51u);
    EXPECT_EQ(m.substr(45), "020202");
}

TEST(EanUpc, ShortStoredTextDrawsNoModules)
{
    CBarcodeEAN13 code(0.01f, 0.6f);
    EXPECT_TRUE(code.GetModules().empty());
    EXPECT_EQ(code.GetTextWidth(nullptr), 0);
}
