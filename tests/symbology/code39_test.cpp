// Code 39, Code 39 Full ASCII, Code 93, Codabar and Interleaved 2 of 5: element patterns and
// widths measured without a device context. The decode test proves the full character sets.

#include "symbology/barcode2of5.h"
#include "symbology/barcode39.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr float kModule10 = 10.0f / 1536;  // narrow 10, wide 30

// The elements as 'B'/'S' runs of their widths in narrow units, e.g. "B1S3".
std::string Runs(const CBarcode& code)
{
    std::string out;
    for (const CBarcode::Element& e : code.GetElements())
        out += (e.bar ? 'B' : 'S') + std::to_string(e.width / 10);
    return out;
}

}  // namespace

TEST(LinearWidths, StartAndStopCountEvenWithoutData)
{
    struct Row {
        int id;
        const char* text;
        int width;
        float module = kModule10;
    };
    const Row rows[] = {
        {BARCODE_ID_CODE39, "1", 480},
        {BARCODE_ID_CODE39, "A#B", 4 * 160},  // a character without a pattern adds nothing
        {BARCODE_ID_CODE39, "abc", 2 * 160},  // nothing to encode: the two asterisks remain
        {BARCODE_ID_CODE39, "", 480, 0.01f},
        {BARCODE_ID_CODE39_FULL, "a", 4 * 160},
        {BARCODE_ID_CODE39_FULL, "", 2 * 160},
        {BARCODE_ID_CODE93, "A", 10 * (9 * 5 + 1)},
        {BARCODE_ID_CODE93, "a", 10 * (9 * 6 + 1)},
        {BARCODE_ID_CODE93, "$%/+", 10 * (9 * 8 + 1)},  // Code 93's own characters, not shifted
        {BARCODE_ID_CODE93, "", 10 * (9 * 2 + 1)},  // start, stop, termination bar, no checks
        {BARCODE_ID_CODABAR, "123", 630},
        {BARCODE_ID_CODABAR, "", 2 * 130 + 10},
        {BARCODE_ID_I2OF5, "12", 270},
        {BARCODE_ID_I2OF5, "x", 40 + 50},
        {BARCODE_ID_ITF14, "", 4 * 15 + 45 + 2 * 15 + 429, 0.01f},  // 28 modules of bearer room
    };
    for (const Row& r : rows) {
        std::unique_ptr<CBarcode> code(CreateBarcode(r.id, r.module, 0.4f));
        CRect rect;
        code->SetText(nullptr, r.text, &rect, 3.0);
        EXPECT_EQ(code->GetBarsWidth(nullptr), r.width) << r.id << " '" << r.text << "'";
        EXPECT_EQ(rect.Width(), r.width) << r.id << " '" << r.text << "'";
    }
}

TEST(LinearPatterns, ElementsAndEncodings)
{
    CBarcode39 code39(kModule10, 0.4f);
    CRect rect;
    code39.SetText(nullptr, "1", &rect, 3.0);
    // '*' '1' '*', each ending in its narrow gap.
    EXPECT_EQ(Runs(code39), "B1S3B1S1B3S1B3S1B1S1" "B3S1B1S3B1S1B1S1B3S1" "B1S3B1S1B3S1B3S1B1S1");
    code39.SetText(nullptr, "abc", &rect, 3.0);
    EXPECT_FALSE(code39.HasData());

    EXPECT_EQ(CBarcode39Full::GetFullAsciiCode(128), "");  // above 127 there is no encoding

    EXPECT_STREQ(CBarcodeCodabar::GetCharPattern(u'E'), "");
    EXPECT_STREQ(CBarcodeI2OF5::GetDigitPattern('a'), "");
}
