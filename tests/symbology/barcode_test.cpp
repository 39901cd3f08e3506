// The shared base: id table, factory, element widths and fitting without a device context.

#include "framework/archive.h"
#include "symbology/barcode.h"
#include "symbology/barcode39.h"
#include "symbology/barcodeean.h"

#include <gtest/gtest.h>

#include <memory>

TEST(BarcodeFactory, RefusesUnknownIds)
{
    for (int id : {14, 255, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(CreateBarcode(id, 0.01f, 0.4f), nullptr) << id;
}

TEST(BarcodeBase, SetTextWithoutDeviceContextFitsTheBarsAlone)
{
    CBarcode39 code(0.01f, 0.4f);  // narrow 15, wide 45
    CRect rect(100, 200, 0, 0);
    code.SetText(nullptr, "A", &rect, 3.0);
    EXPECT_EQ(rect, CRect(100, 200, 100 + 720, 200 + 614));  // three characters of 240; 0.4 in
    code.SetModuleWidth(0.0133f);
    code.SetText(nullptr, "A", &rect, 2.5);  // the wide element follows the ratio
    EXPECT_EQ(code.GetNarrowWidth(), 20);
    EXPECT_EQ(code.GetWideWidth(), 50);
    // A null rectangle is allowed: the text is still stored.
    code.SetText(nullptr, "B", nullptr, 3.0);
    EXPECT_EQ(code.GetText(), "B");
}

TEST(BarcodeBase, DamagedSizesNeitherOverflowNorCrash)
{
    for (float w : {1e30f, -1e30f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        for (int id = 0; id < BARCODE_ID_COUNT; ++id) {
            std::unique_ptr<CBarcode> code(CreateBarcode(id, w, w));
            CRect rect;
            code->SetText(nullptr, QString(500, QLatin1Char('8')), &rect, 3.0);
            code->GetBarsWidth(nullptr);
        }
    }
    EXPECT_EQ(BarcodeUnitsFromInches(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(BarcodeBase, PreFilterTurnsWideCharactersIntoTwoZeros)
{
    EXPECT_EQ(BarcodePreFilter(QString::fromUtf16(u"A\u0100B\u4e2d\u00e9")), QString::fromUtf16(u"A00B00\u00e9"));
    // In every symbology but the EAN/UPC family.
    const QString wide = QString::fromUtf16(u"1\u20ac2");
    for (int id : {0, 1, 2, 3, 4, 5, 12})
        EXPECT_TRUE(std::unique_ptr<CBarcode>(CreateBarcode(id, 0.01f, 0.4f))->FilterText(wide).startsWith("1002")) << id;
    EXPECT_EQ(std::unique_ptr<CBarcode>(CreateBarcode(6, 0.01f, 0.4f))->FilterText(wide), "1002");
    EXPECT_EQ(std::unique_ptr<CBarcode>(CreateBarcode(11, 0.01f, 0.4f))->FilterText(wide), "1002");
}

TEST(BarcodeBase, ElementsFollowTheModuleWidthAndALoadedText)
{
    // Bars positive, spaces negative; the EAN/UPC family's module row as one '1' or '0' each.
    auto widthsOf = [](const CBarcode& code) {
        std::vector<int> out;
        for (const CBarcode::Element& e : code.GetElements())
            out.push_back(e.bar ? e.width : -e.width);
        if (auto* ean = dynamic_cast<const CBarcodeEanUpc*>(&code))
            for (char m : ean->GetModules())
                out.push_back(m != '0');
        return out;
    };
    for (int id = 0; id < BARCODE_ID_COUNT; ++id) {
        // The same symbol built in one go.
        std::unique_ptr<CBarcode> fresh(CreateBarcode(id, 0.02f, 0.4f));
        fresh->SetText(nullptr, "1234567", nullptr, 3.0);

        // A new module width rebuilds the elements without a new SetText.
        std::unique_ptr<CBarcode> code(CreateBarcode(id, 0.01f, 0.4f));
        code->SetText(nullptr, "1234567", nullptr, 3.0);
        code->SetModuleWidth(0.02f);
        EXPECT_EQ(code->GetBarsWidth(nullptr), fresh->GetBarsWidth(nullptr)) << id;
        EXPECT_EQ(widthsOf(*code), widthsOf(*fresh)) << id;

        // A loaded record brings its text: the elements are those of that text.
        CArchive out(CArchive::store);
        fresh->Serialize(out);
        std::unique_ptr<CBarcode> loaded(CreateBarcode(id, 0.02f, 0.4f));
        loaded->SetText(nullptr, "99", nullptr, 3.0);
        CArchive in(out.GetBuffer(), CArchive::load);
        in.SetObjectSchema(2);
        loaded->Serialize(in);
        EXPECT_EQ(widthsOf(*loaded), widthsOf(*fresh)) << id;
        EXPECT_FALSE(widthsOf(*fresh).empty()) << id;
    }
}
