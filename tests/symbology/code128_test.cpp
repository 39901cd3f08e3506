// Code 128: filters, code-set choice, symbol values, check value and widths.

#include "symbology/barcode128.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<int> Values(const QString& text, int set)
{
    CBarcode128 code(0.01f, 0.4f, set);
    std::vector<BYTE> v;
    CBarcode128::Encode(code.FilterText(text), set, v);
    return std::vector<int>(v.begin(), v.end());
}

QString Fnc1()
{
    return QString(QChar(char16_t(CBarcode128::FNC1)));
}

// The text symbol values carry, read through their changes of code set (0 A, 1 B, 2 C).
QString Decode(const std::vector<int>& values)
{
    int set = values.front() - 103;
    QString text;
    for (std::size_t i = 1; i + 2 < values.size(); ++i) {
        const int v = values[i];
        if (v == 102)
            text += Fnc1();
        else if (set == 2 && v < 100)
            text += QString::asprintf("%02d", v);
        else if (v == 99 || (set != 0 && v == 101) || (set != 1 && v == 100))
            set = v == 99 ? 2 : v == 101 ? 0 : 1;
        else
            text += QChar(char16_t(set == 0 && v >= 64 ? v - 64 : v + 32));
    }
    return text;
}

}  // namespace

TEST(Code128, FixedSetsFilterAndEncode)
{
    EXPECT_EQ(Values("12345", CBarcode128::SetC), (std::vector<int>{105, 1, 23, 45, 81, 106}));
    EXPECT_EQ(CBarcode128(0.01f, 0.4f, CBarcode128::SetA).FilterText("abc"), "");
    EXPECT_EQ(CBarcode128(0.01f, 0.4f, CBarcode128::SetB).FilterText("Ab1\t"), "Ab1\t");
    EXPECT_EQ(Values("A\x01", CBarcode128::SetA), (std::vector<int>{103, 33, 65, (103 + 33 + 2 * 65) % 103, 106}));
    // Encode is public: odd or non-digit input to set C must not read past the text or leave the table.
    std::vector<BYTE> v;
    CBarcode128::Encode("123", CBarcode128::SetC, v);
    EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{105, 12, 3, (105 + 12 + 6) % 103, 106}));
    CBarcode128::Encode("x\xff", CBarcode128::SetC, v);
    for (BYTE b : v)
        EXPECT_LE(b, 106);
}

TEST(Code128, AutoChoosesSetsByRunsOfDigits)
{
    const int A = CBarcode128::SetAuto;
    EXPECT_EQ(Values("1234", A), (std::vector<int>{105, 12, 34, (105 + 12 + 68) % 103, 106}));
    EXPECT_EQ(Values("123", A)[0], 104);  // too short a run for set C
    const auto ab = Values("AB12345678", A);
    EXPECT_EQ(ab, (std::vector<int>{104, 33, 34, 99, 12, 34, 56, 78, ab[8], 106}));
    EXPECT_EQ(Values("12345", A), (std::vector<int>{105, 12, 34, 100, 21, Values("12345", A)[5], 106}));
    // A control character is carried by set A.
    const auto ctl = Values("ab\x01", A);
    EXPECT_EQ(ctl, (std::vector<int>{104, 65, 66, 101, 65, ctl[5], 106}));
    // Set A stays in force while its characters last.
    const auto back = Values("\x01" "AB", A);
    EXPECT_EQ(back, (std::vector<int>{103, 65, 33, 34, back[4], 106}));
}

TEST(Code128, AutoNeverPairsADigitWithFnc1)
{
    const int A = CBarcode128::SetAuto;
    // An even group before FNC1 stays in set C.
    const auto even = Values("12" + Fnc1() + "34", A);
    EXPECT_EQ(even, (std::vector<int>{105, 12, 102, 34, even[4], 106}));
    // An odd group enters set C one digit later.
    const auto odd = Values("123" + Fnc1() + "45", A);
    EXPECT_EQ(odd, (std::vector<int>{104, 17, 99, 23, 102, 45, odd[6], 106}));
    // A lone digit after pairs leaves set C for one character.
    const auto lone = Values("1234" + Fnc1() + "5" + Fnc1() + "67", A);
    for (std::size_t i = 1; i + 2 < lone.size(); ++i)
        EXPECT_LE(lone[i], 102) << i;
    EXPECT_EQ(lone[0], 105);
    EXPECT_EQ(lone[3], 102);  // the FNC1 after 12 34
}

TEST(Code128, AutoCarriesEveryTextAndLongRunsInSetC)
{
    const int A = CBarcode128::SetAuto;
    // Digit runs of every length between other characters, now and then a very long one.
    const QString pieces[] = {"7", "12", "345", "6789", "01234", "A", "b", "\x01", Fnc1(), QString(100001, u'5')};
    std::minstd_rand random(1);
    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int n = 0; n < 12; ++n)
            text += pieces[random() % (round % 50 ? 9 : 10)];
        ASSERT_EQ(Decode(Values(text, A)), text) << "round " << round;
    }
    // A run of digits costs one value a pair, however long.
    const QString digits(200000, u'9');
    EXPECT_EQ(Values(digits, A).size(), 100000u + 3u);
    EXPECT_EQ(Values("AB" + digits + "C", A).size(), 2u + 1u + 100000u + 1u + 1u + 3u);
}
