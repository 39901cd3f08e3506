// Code 39, Code 39 Full ASCII, Code 93 and Codabar: filters, patterns, check characters, widths.

#include "symbology/barcode39.h"

#include <gtest/gtest.h>

namespace {

// Narrow 10, wide 30 (module width 10/1536 inch) after SetText.
template <class T>
void Prepare(T& code, const QString& text)
{
    CRect rect;
    code.SetText(nullptr, text, &rect, 3.0);
    ASSERT_EQ(code.GetNarrowWidth(), 10);
    ASSERT_EQ(code.GetWideWidth(), 30);
}

constexpr float kModule10 = 10.0f / 1536;

// The elements as 'B'/'S' runs of their widths in narrow units, e.g. "B1S3".
template <class T>
std::string Runs(const T& code)
{
    std::string out;
    for (const CBarcode::Element& e : code.GetElements())
        out += (e.bar ? 'B' : 'S') + std::to_string(e.width / 10);
    return out;
}

}  // namespace

TEST(Code39, FilterDropsLowerCaseAndKeepsTheRest)
{
    CBarcode39 code(0.01f, 0.4f);
    EXPECT_EQ(code.FilterText("Ab1"), "A1");
    EXPECT_EQ(code.FilterText("abc"), "");
    EXPECT_EQ(code.FilterText("A#B"), "A#B");  // kept, but draws nothing
}

TEST(Code39, WidthsAndElements)
{
    CBarcode39 code(kModule10, 0.4f);
    Prepare(code, "1");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 480);
    // '*' '1' '*', each ending in its narrow gap.
    EXPECT_EQ(Runs(code), "B1S3B1S1B3S1B3S1B1S1" "B3S1B1S3B1S1B1S1B3S1" "B1S3B1S1B3S1B3S1B1S1");
    Prepare(code, "A#B");  // a character without a pattern adds nothing
    EXPECT_EQ(code.GetBarsWidth(nullptr), 4 * 160);
    // With nothing to encode the two asterisks remain: they size a new object's box.
    Prepare(code, "abc");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 2 * 160);
    EXPECT_FALSE(code.HasData());
    CBarcode39 standard(0.01f, 0.4f);
    CRect rect;
    standard.SetText(nullptr, "", &rect, 3.0);
    EXPECT_EQ(rect.Width(), 480);
}

TEST(Code39Full, EncodesAsciiThroughShiftPairs)
{
    EXPECT_EQ(CBarcode39Full::GetFullAsciiCode('a'), "+A");
    // Every row from 0 to 127 is proved by the decoder; above 127 there is none.
    EXPECT_EQ(CBarcode39Full::GetFullAsciiCode(128), "");
    EXPECT_EQ(CBarcode39Full::GetFullAsciiCode(255), "");

    CBarcode39Full code(kModule10, 0.4f);
    Prepare(code, "a");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 4 * 160);
    Prepare(code, "");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 2 * 160);
    // Characters 128 to 255 have no Full ASCII encoding: they are left out.
    EXPECT_EQ(code.FilterText(QString::fromUtf16(u"a\u00e9b\u0080")), "ab");
}

TEST(Code93, CheckCharactersAndMapping)
{
    EXPECT_EQ(CBarcode93::GetCheckChars("TEST93"), "+6");
    EXPECT_EQ(CBarcode93::GetCheckChars(""), "");
    EXPECT_EQ(CBarcode93::MapFullAscii("a$\x01" "A"), "\x7f" "A~D|AA");
    // Long texts, where the weights wrap, are proved by the decoder.
    CBarcode93 code(0.01f, 0.4f);
    EXPECT_EQ(code.FilterText(QString::fromUtf16(u"x\u00ffy")), "xy");
}

TEST(Code93, Widths)
{
    CBarcode93 code(kModule10, 0.4f);
    Prepare(code, "A");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 10 * (9 * 5 + 1));
    Prepare(code, "a");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 10 * (9 * 6 + 1));
    // Start, stop and the termination bar, without check characters.
    Prepare(code, "");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 10 * (9 * 2 + 1));
}

TEST(Codabar, ElementsWithGapsAndWidths)
{
    CBarcodeCodabar code(kModule10, 0.4f);
    EXPECT_EQ(code.GetStartChar(), u'a');
    EXPECT_EQ(code.GetStopChar(), u'a');
    EXPECT_EQ(code.FilterText("12#3"), "12#3");
    Prepare(code, "123");
    // start A, 1, 2, 3, stop A with four narrow gaps between them.
    EXPECT_EQ(code.GetBarsWidth(nullptr), 630);
    EXPECT_EQ(Runs(code).substr(0, 16), "B1S1B3S3B1S3B1S1");  // A then the gap
    EXPECT_STREQ(CBarcodeCodabar::GetCharPattern(u'E'), "");
    Prepare(code, "");
    EXPECT_EQ(code.GetBarsWidth(nullptr), 2 * 130 + 10);  // start and stop A with their gap
}
