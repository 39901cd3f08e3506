// EAN-13, EAN-8, UPC-A and UPC-E: filters with check digits and the module layout with its guard
// extensions. The decode test proves the digits' parity patterns, the draw test the guards drawn.

#include "symbology/barcodeean.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

TEST(EanUpc, FiltersAddTheCheckDigit)
{
    const struct {
        int id;
        const char16_t* typed;
        const char* filtered;
    } rows[] = {
        {BARCODE_ID_EAN13, u"400638133393", "4006381333931"},
        {BARCODE_ID_EAN13, u"12345678901234", "1234567890128"},  // cut to twelve digits
        {BARCODE_ID_EAN13, u"40063813339\u4e2d", "4006381333900"},  // a wide character is a zero
        {BARCODE_ID_EAN8, u"9638507", "96385074"},
        {BARCODE_ID_EAN8, u"12A4567", "12045679"},
        {BARCODE_ID_UPCA, u"03600029145", "036000291452"},
        {BARCODE_ID_UPCE, u"0123456", "01234565"},
        {BARCODE_ID_UPCE, u"1123456", "01234565"},  // number system 0 only
        {BARCODE_ID_UPCE, u"01234565", "01234565"},
    };
    for (const auto& r : rows) {
        std::unique_ptr<CBarcode> code(CreateBarcode(r.id, 0.01f, 0.6f));
        EXPECT_EQ(code->FilterText(QString::fromUtf16(r.typed)), r.filtered) << r.id;
    }
    // The family stores the filtered text, also over a full-length one with a wrong check digit.
    CBarcodeEAN13 code(0.01f, 0.6f);
    CRect rect;
    for (const char* typed : {"400638133393", "4006381333930"}) {
        code.SetText(nullptr, typed, &rect, 3.0);
        EXPECT_EQ(code.GetText(), "4006381333931") << typed;
    }
}

TEST(EanUpc, ModuleLayoutAndWidths)
{
    // '2' marks a bar that runs into the text line.
    const struct {
        int id;
        const char* text;
        std::size_t modules;
        std::size_t at;
        const char* piece;
    } rows[] = {
        {BARCODE_ID_EAN13, "4006381333931", 95, 45, "02020"},
        {BARCODE_ID_EAN8, "9638507", 67, 31, "02020"},
        {BARCODE_ID_UPCA, "03600029145", 95, 3, "0002202"},   // 0 in L
        {BARCODE_ID_UPCA, "03600029145", 95, 85, "2202200"},  // 2 in R
        {BARCODE_ID_UPCE, "0123456", 51, 45, "020202"},
    };
    for (const auto& r : rows) {
        std::unique_ptr<CBarcodeEanUpc> code(static_cast<CBarcodeEanUpc*>(CreateBarcode(r.id, 0.01f, 0.6f)));
        CRect rect;
        code->SetText(nullptr, r.text, &rect, 3.0);
        const std::string m(code->GetModules());
        ASSERT_EQ(m.size(), r.modules) << r.id;
        EXPECT_EQ(m.substr(r.at, std::strlen(r.piece)), r.piece) << r.id;
    }
    EXPECT_STREQ(GetEanDigitPattern('x', 0), "");

    // Without a device context the first digit of EAN-13 has no width: 10 + 95 modules.
    CBarcodeEAN13 ean13(0.01f, 0.6f);
    EXPECT_TRUE(ean13.GetModules().empty());  // nothing stored, nothing drawn
    EXPECT_EQ(ean13.GetTextWidth(nullptr), 0);
    CRect rect;
    ean13.SetText(nullptr, "4006381333931", &rect, 3.0);
    EXPECT_EQ(ean13.GetBarsWidth(nullptr), 10 + 95 * 15);
    CBarcodeEAN8 ean8(0.01f, 0.6f);
    ean8.SetText(nullptr, "9638507", &rect, 3.0);
    EXPECT_EQ(ean8.GetBarsWidth(nullptr), 67 * 15);
    EXPECT_EQ(ean8.GetTextWidth(nullptr), 57 * 15);
}
