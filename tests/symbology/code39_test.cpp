// Code 39, Code 39 Full ASCII, Code 93, Codabar and Interleaved 2 of 5: widths measured without a
// device context. The decode and libzint tests prove the character sets and their patterns.

#include "symbology/barcode2of5.h"
#include "symbology/barcode39.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr float kModule10 = 10.0f / 1536;  // narrow 10, wide 30

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
    // Characters outside the tables have no pattern.
    EXPECT_EQ(CBarcode39Full::GetFullAsciiCode(128), "");
    EXPECT_STREQ(CBarcodeCodabar::GetCharPattern(u'E'), "");
    EXPECT_STREQ(CBarcodeI2OF5::GetDigitPattern('a'), "");
}
