// The PDF417 encoder: segmentation and compaction into codewords, sizing, error correction
// against the standard's coefficients, the failures, and the row layout.

#include "symbology/pdf417encoder.h"
#include "symbology/pdf417patterns.h"
#include "matrix_render.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

// The data codewords (the length descriptor first) of a text encoded with default settings.
std::vector<int> DataCodewords(const std::string& text)
{
    PDF417Param p;
    p.text = reinterpret_cast<const uint8_t*>(text.data());
    p.lenText = int(text.size());
    PDF417Encode(&p);
    EXPECT_EQ(PDF417_ERROR_SUCCESS, p.error) << text;
    int n = p.codewords[0];
    while (n > 1 && p.codewords[n - 1] == 900)  // padding
        --n;
    return std::vector<int>(p.codewords, p.codewords + n);
}

int Latches(const std::vector<int>& cw, int latch)
{
    int n = 0;
    for (size_t i = 1; i < cw.size(); ++i)
        n += cw[i] == latch;
    return n;
}

// c(x) over GF(929), highest degree first, at x.
int Evaluate(const int* c, int n, int x)
{
    int r = 0;
    for (int i = 0; i < n; ++i)
        r = (r * x + c[i]) % 929;
    return r;
}

}  // namespace

TEST(PDF417Compaction, SegmentsFollowRunsOfDigitsTextAndBytes)
{
    // Text compaction starts the symbol: "Quillbar" is Q, latch to lower, u i l l b a r, pad.
    EXPECT_EQ((std::vector<int>{6, 16 * 30 + 27, 20 * 30 + 8, 11 * 30 + 11, 1 * 30 + 0, 17 * 30 + 29}),
              DataCodewords("Quillbar"));
    // Thirteen digits make a numeric segment; twelve between letters stay text.
    EXPECT_EQ(1, Latches(DataCodewords("AB1234567890123CD"), 902));
    EXPECT_EQ(0, Latches(DataCodewords("AB123456789012CD"), 902));
    // Twelve digits alone: a text segment that turns numeric, being 8 or more digits.
    const std::vector<int> twelve = DataCodewords("123456789012");
    EXPECT_EQ(7u, twelve.size());
    EXPECT_EQ(902, twelve[1]);
    // A lone byte between text runs long enough together is shifted in text compaction.
    const std::vector<int> shifted = DataCodewords("AB\x80" "C");
    EXPECT_EQ(0, Latches(shifted, 901));
    EXPECT_EQ(1, Latches(shifted, 913));
    // Byte runs: latch 924 for whole groups of six, 901 otherwise.
    EXPECT_EQ(924, DataCodewords(std::string(6, '\x80'))[1]);
    EXPECT_EQ(901, DataCodewords(std::string(7, '\x80'))[1]);
    EXPECT_EQ(901, DataCodewords("\x80\x81")[1]);
    // "1" followed by the digits: 100012300 = 123 * 900^2 + 424 * 900 + 700.
    EXPECT_EQ((std::vector<int>{5, 902, 123, 424, 700}), DataCodewords("00012300"));
    // Six bytes are one 48-bit number in five codewords; the rest one codeword each.
    EXPECT_EQ((std::vector<int>{8, 901, 215, 318, 502, 193, 33, 0x86}),
              DataCodewords("\x80\x81\x82\x83\x84\x85\x86"));
}

TEST(PDF417Sizing, ColumnsRowsAndLevelFollowTheSettings)
{
    CPDF417Encoder enc;
    // Aspect ratio 1 and row height 3 give one column; the level fills the rows.
    EXPECT_EQ(CSize(17 * 5 + 1, 17), enc.GetSymbolSize(Bytes("12345678901234567890")));
    EXPECT_EQ(2, enc.GetParam().errorLevel);
    EXPECT_EQ(1, enc.GetParam().codeColumns);

    enc.SetOptions(PDF417_FIXED_ROWS);
    enc.SetRows(3);
    EXPECT_EQ(CSize(17 * 9 + 1, 3), enc.GetSymbolSize(Bytes("Quillbar")));
    EXPECT_EQ(2, enc.GetParam().errorLevel);

    enc.SetOptions(PDF417_FIXED_ROWS | PDF417_USE_ERROR_LEVEL);
    enc.SetErrorLevel(0);
    enc.SetRows(10);
    EXPECT_EQ(CSize(17 * 5 + 1, 10), enc.GetSymbolSize(Bytes("Quillbar")));
    EXPECT_EQ(1, enc.GetParam().errorLevel) << "the level rises to fill the rows";

    // Rows below the minimum are raised to 3; what one text made of the rows is not kept.
    enc.SetOptions(PDF417_FIXED_ROWS);
    enc.SetRows(1);
    EXPECT_EQ(3, enc.GetSymbolSize(Bytes("Quillbar")).cy);
    enc.SetRows(3);
    EXPECT_GT(enc.GetSymbolSize(std::vector<uint8_t>(400, 'x')).cy, 3);
    EXPECT_EQ(3, enc.GetSymbolSize(Bytes("Quillbar")).cy);
    EXPECT_EQ(3, enc.GetRows());
}

TEST(PDF417Sizing, LimitsOfTextAndCodewordsGiveNoSymbol)
{
    CPDF417Encoder enc;
    ASSERT_NE(CSize(0, 0), enc.GetSymbolSize(Bytes("Quillbar")));
    // Too long for the length check: nothing is compacted.
    EXPECT_EQ(CSize(0, 0), enc.GetSymbolSize(std::vector<uint8_t>(5421, '1')));
    EXPECT_EQ(PDF417_ERROR_TEXT_TOO_BIG, enc.GetError());
    EXPECT_EQ(0, enc.GetModuleColumns());
    // Long enough to pass it, too many codewords.
    EXPECT_EQ(CSize(0, 0), enc.GetSymbolSize(std::vector<uint8_t>(5420, '1')));
    EXPECT_EQ(PDF417_ERROR_TEXT_TOO_BIG, enc.GetError());
    // 1108 bytes: length descriptor, latch, 184 groups of five and four single codewords.
    EXPECT_EQ(CSize(17 * 20 + 1, 58), enc.GetSymbolSize(std::vector<uint8_t>(1108, 0x80)));
    EXPECT_EQ(926, enc.GetParam().codewords[0]);
    EXPECT_EQ(0, enc.GetParam().errorLevel);
    EXPECT_EQ(CSize(0, 0), enc.GetSymbolSize(std::vector<uint8_t>(1109, 0x80)));
    EXPECT_EQ(CSize(0, 0), enc.GetSymbolSize(std::vector<uint8_t>()));
}

TEST(PDF417Encoder, ZeroBytesAreData)
{
    // "AB" in UTF-16LE: a byte segment of four bytes, not the text "A".
    CPDF417Encoder enc;
    enc.SetCodePage(1200);
    ASSERT_NE(CSize(0, 0), enc.GetSymbolSize(QStringLiteral("AB")));
    const int* cw = enc.GetParam().codewords;
    EXPECT_EQ((std::vector<int>{901, 'A', 0, 'B', 0}), std::vector<int>(cw + 1, cw + 6));
}

TEST(PDF417ErrorCorrection, CoefficientsAndCodewordsOfEveryLevel)
{
    // The standard's table for levels 0 and 1.
    EXPECT_EQ((std::vector<int>{27, 917}), PDF417ErrorCoefficients(0));
    EXPECT_EQ((std::vector<int>{522, 568, 723, 809}), PDF417ErrorCoefficients(1));
    // Every symbol's codewords, data then error correction, vanish at 3^1 .. 3^k.
    CPDF417Encoder enc;
    enc.SetOptions(PDF417_USE_ERROR_LEVEL);
    for (int level = 0; level <= 8; ++level) {
        enc.SetErrorLevel(level);
        ASSERT_NE(CSize(0, 0), enc.GetSymbolSize(Bytes("Quillbar 417 error correction")));
        const PDF417Param& p = enc.GetParam();
        ASSERT_GE(p.errorLevel, level);
        int root = 1;
        for (int i = 1; i <= (2 << p.errorLevel); ++i) {
            root = root * 3 % 929;
            ASSERT_EQ(0, Evaluate(p.codewords, p.lenCodewords, root)) << "level " << level << " root " << i;
        }
    }
}

TEST(PDF417Layout, InvertedRowsFlipEveryModule)
{
    CPDF417Encoder enc;
    enc.SetOptions(PDF417_FIXED_COLUMNS);
    enc.SetColumns(3);
    ASSERT_EQ(17 * 7 + 1, enc.GetSymbolSize(Bytes("Quillbar rows")).cx);
    const std::vector<uint8_t> plain = enc.GetParam().bitMatrix;
    enc.SetOptions(PDF417_FIXED_COLUMNS | PDF417_INVERT_BITMAP);
    enc.GetSymbolSize(Bytes("Quillbar rows"));
    ASSERT_EQ(plain.size(), enc.GetParam().bitMatrix.size());
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(uint8_t(~plain[i]), enc.GetParam().bitMatrix[i]);
}

namespace {

zxread::Symbol ReadBack(const CPDF417Encoder& enc, const CSize& size, int factor)
{
    const QImage image = matrixrender::Render(size.cy, size.cx, factor, [&](int r, int c) { return enc.IsDark(r, c); });
    return zxread::DecodeSymbol(image, ZXing::BarcodeFormat::PDF417, true);
}

}  // namespace

// Symbols drawn 4 px per module, each row row-factor modules high, read back by zxing-cpp.
TEST(PDF417Decode, ColumnsLevelsAndRowFactorsReadBack)
{
    CPDF417Encoder enc;
    std::string data;
    for (int i = 0; i < 120; ++i)
        data += char(i % 2 ? 'a' + i % 26 : '0' + i % 10);
    data += "\x80\x00\xFF Grüße";
    const std::vector<uint8_t> bytes(data.begin(), data.end());
    for (int columns : {1, 3, 10, 30}) {
        for (int level = 0; level <= 8; ++level) {
            for (int factor = 2; factor <= 10; factor += (columns == 10 ? 1 : 4)) {
                enc.SetOptions(PDF417_FIXED_COLUMNS | PDF417_USE_ERROR_LEVEL);
                enc.SetColumns(columns);
                enc.SetErrorLevel(level);
                const CSize size = enc.GetSymbolSize(bytes);
                if (size.cy == 0)
                    continue;  // more codewords than one column or a high level allows
                const zxread::Symbol read = ReadBack(enc, size, factor);
                EXPECT_EQ(read.bytes, bytes) << columns << " columns, level " << level << ", factor " << factor;
                EXPECT_EQ(std::to_string(enc.GetParam().errorLevel), read.ecLevel);
                EXPECT_FALSE(read.mirrored);
                EXPECT_EQ(0, read.orientation);
            }
        }
    }
}

// Each pattern typed into the table: 17 modules in four bars and four spaces of 1 to 6 modules,
// bar first, of its own cluster ((b1 - b2 + b3 - b4) mod 9 = 0, 3, 6), none twice in a cluster.
TEST(PDF417Layout, SymbolCharacterTableHoldsWellFormedPatterns)
{
    for (int cluster = 0; cluster < 3; ++cluster) {
        std::vector<uint32_t> seen;
        for (int value = 0; value < 929; ++value) {
            const uint32_t bits = PDF417Pattern(cluster, value);
            if (bits == 0)
                continue;
            std::vector<int> widths;
            int previous = -1;
            for (int i = 16; i >= 0; --i) {
                const int bit = int((bits >> i) & 1u);
                if (bit == previous)
                    ++widths.back();
                else
                    widths.push_back(1);
                previous = bit;
            }
            ASSERT_EQ(1u, bits >> 16) << cluster << "/" << value << ": a bar first";
            ASSERT_EQ(8u, widths.size()) << cluster << "/" << value;
            for (int w : widths)
                EXPECT_LE(w, 6) << cluster << "/" << value;
            EXPECT_EQ(3 * cluster, ((widths[0] - widths[2] + widths[4] - widths[6]) % 9 + 9) % 9)
                << cluster << "/" << value;
            EXPECT_EQ(seen.end(), std::find(seen.begin(), seen.end(), bits)) << cluster << "/" << value;
            seen.push_back(bits);
        }
    }
}

// Texts of every character class, byte characters and digit runs: each compaction mode, latch
// and shift the segmentation picks must read back.
TEST(PDF417Decode, MixedTextsReadBack)
{
    const std::string pieces[] = {"ABC", "def", "0123", "12345678901234567", " ", "&\r\t,:#-.$/+%*=^",
                                  ";<>@[\\]_`~!", "\n\"|()?{}'", std::string("\x00\x01\x80\xFF", 4), "x",
                                  "Quillbar", "!?", "\xE9", "MiXeD", "9", std::string(7, '\x90')};
    std::mt19937 rng(12345);
    CPDF417Encoder enc;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int k = 1 + int(rng() % 12); k > 0; --k)
            text += pieces[rng() % std::size(pieces)];
        const std::vector<uint8_t> bytes(text.begin(), text.end());
        const CSize size = enc.GetSymbolSize(bytes);
        ASSERT_EQ(ReadBack(enc, size, 3).bytes, bytes) << round << ": " << ::testing::PrintToString(text);
    }
}

// Serial labels draw one text after another: each draw encodes its own text and settings.
TEST(PDF417Encoder, DrawRebuildsForNewTextOrSettings)
{
    CPDF417Encoder enc;
    enc.SetCodePage(1252);
    QImage image(64, 64, QImage::Format_RGB32);
    CPainterDC dc(&image);
    enc.Draw(&dc, QStringLiteral("0001"), CRect(0, 0, 64, 0), 3);
    const int shortRows = enc.GetModuleRows();
    enc.Draw(&dc, QStringLiteral("0002 and a much longer text, of more rows"), CRect(0, 0, 64, 0), 3);
    EXPECT_GT(enc.GetModuleRows(), shortRows);
    enc.SetOptions(PDF417_FIXED_ROWS);
    enc.SetRows(30);
    enc.Draw(&dc, QStringLiteral("0002 and a much longer text, of more rows"), CRect(0, 0, 64, 0), 3);
    EXPECT_EQ(30, enc.GetModuleRows());
}
