// Interleaved 2 of 5 and ITF-14: filter, interleaving and widths.

#include "symbology/barcode2of5.h"

#include <gtest/gtest.h>

TEST(Interleaved2of5, FilterAndElementString)
{
    CBarcodeI2OF5 code(0.01f, 0.4f);
    EXPECT_EQ(code.FilterText("12-34"), "1234");
    EXPECT_EQ(code.FilterText("abc"), "");
    EXPECT_STREQ(CBarcodeI2OF5::GetDigitPattern('a'), "");
    // 123 is drawn as the pairs 01 and 23: bars of 0 and 2, spaces of 1 and 3.
    EXPECT_EQ(CBarcodeI2OF5::GetElementString("123"), "0000" "0100101001" "0111000010" "100");
}

TEST(Interleaved2of5, Widths)
{
    CBarcodeI2OF5 code(10.0f / 1536, 0.4f);
    CRect rect;
    code.SetText(nullptr, "12", &rect, 3.0);
    EXPECT_EQ(code.GetBarsWidth(nullptr), 270);
    EXPECT_EQ(rect.Width(), 270);
    // Without digits the start and stop remain.
    code.SetText(nullptr, "x", &rect, 3.0);
    EXPECT_EQ(code.GetBarsWidth(nullptr), 40 + 50);
    EXPECT_EQ(rect.Width(), 90);
}

TEST(Itf14, TwentyEightModulesWider)
{
    CBarcodeITF14 itf(0.01f, 0.4f);
    CBarcodeI2OF5 plain(0.01f, 0.4f);
    CRect rect;
    itf.SetText(nullptr, "09501101530003", &rect, 3.0);
    plain.SetText(nullptr, "09501101530003", &rect, 3.0);
    EXPECT_EQ(itf.GetBarsWidth(nullptr) - plain.GetBarsWidth(nullptr), 429);
    itf.SetText(nullptr, "", &rect, 3.0);
    EXPECT_EQ(itf.GetBarsWidth(nullptr), 4 * 15 + 45 + 2 * 15 + 429);
    EXPECT_EQ(itf.GetTypeName(), "");
}
