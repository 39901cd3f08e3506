// The generated QR Code tables against the construction rules of the symbology, computed here
// independently of the generator.

#include "qrhelpers.h"

#include <set>

using namespace qrtest;

namespace {

class QRTables : public ::testing::Test {
protected:
    void SetUp() override { LoadTables(); }
};

int Log(int value)  // discrete logarithm in GF(256) with the field polynomial 0x11D
{
    int x = 1;
    for (int i = 0; i < 255; ++i) {
        if (x == value)
            return i;
        x <<= 1;
        if (x & 0x100)
            x ^= 0x11D;
    }
    return -1;
}

int Bch(int value, int generator)
{
    int degree = 0;
    while (generator >> (degree + 1))
        ++degree;
    int r = value << degree;
    for (int bit = 30; bit >= degree; --bit)
        if (r & (1 << bit))
            r ^= generator << (bit - degree);
    return r;
}

// Modules of the encoding region (data, EC and remainder bits) of a version.
int RegionModules(int v)
{
    int modules = (16 * v + 128) * v + 64;
    if (v >= 2) {
        const int align = v / 7 + 2;
        modules -= (25 * align - 10) * align - 55;
        if (v >= 7)
            modules -= 36;
    }
    return modules;
}

} // namespace

TEST_F(QRTables, GeneratorPolynomialsHaveTheStandardsExponents)
{
    auto exponents = [](int degree) {
        const auto rows = Table(QStringLiteral("IDR_RSC%1").arg(degree));
        std::vector<int> logs{0};  // the leading term
        if (rows.size() != 256u * degree)
            return logs;
        for (int k = 0; k < degree; ++k)
            logs.push_back(Log(rows[degree + k]));  // row 1 is the generator itself
        return logs;
    };
    EXPECT_EQ(exponents(7), (std::vector<int>{0, 87, 229, 146, 149, 238, 102, 21}));
    EXPECT_EQ(exponents(10), (std::vector<int>{0, 251, 67, 46, 61, 118, 70, 64, 94, 32, 45}));
    for (int degree : {7, 10, 13, 15, 16, 17, 18, 20, 22, 24, 26, 28, 30}) {
        const auto rows = Table(QStringLiteral("IDR_RSC%1").arg(degree));
        ASSERT_EQ(rows.size(), 256u * degree) << degree;
        // Row v is v times row 1: multiplying by alpha shifts every logarithm by one.
        for (int k = 0; k < degree; ++k)
            EXPECT_EQ(Log(rows[2 * degree + k]), (Log(rows[degree + k]) + 1) % 255) << degree;
    }
}

TEST_F(QRTables, VersionInformationAndFormatStrings)
{
    auto versionBits = [](int version) {
        const int side = 4 * version + 17;
        const auto frame = Table(QStringLiteral("IDR_QRVFR%1").arg(version));
        std::string bits(18, '?'), mirrored(18, '?');
        if (frame.size() != std::size_t(side) * (side + 1))
            return std::make_pair(bits, mirrored);
        auto at = [&](int x, int y) { return frame[std::size_t(y) * (side + 1) + x] == '1' ? '1' : '0'; };
        for (int i = 0; i < 18; ++i) {
            bits[17 - i] = at(side - 11 + i % 3, i / 3);
            mirrored[17 - i] = at(i / 3, side - 11 + i % 3);
        }
        return std::make_pair(bits, mirrored);
    };
    EXPECT_EQ(versionBits(7).first, "000111110010010100");
    EXPECT_EQ(versionBits(7).second, "000111110010010100");
    EXPECT_EQ(versionBits(40).first, "101000110001101001");
    EXPECT_EQ(versionBits(40).second, "101000110001101001");
    for (int v = 7; v <= 40; ++v)
        EXPECT_EQ(versionBits(v).first, QString::number((v << 12) | Bch(v, 0x1F25), 2).rightJustified(18, '0').toStdString());

    for (int index = 0; index < 32; ++index) {
        const int bits = ((index << 10) | Bch(index, 0x537)) ^ 0x5412;
        EXPECT_EQ(std::string(CQRCodeEncoder::FormatString(index)),
                  QString::number(bits, 2).rightJustified(15, '0').toStdString()) << index;
    }
}

TEST_F(QRTables, BlocksAndPlacementOfEveryVersionAndLevel)
{
    for (int v = 1; v <= 40; ++v) {
        const int side = 4 * v + 17;
        const int total = CQRCodeEncoder::TotalCodewords(v);
        const std::size_t n = std::size_t(total) * 8 + std::size_t(CQRCodeEncoder::RemainderBits(v));
        ASSERT_EQ(int(n), RegionModules(v)) << v;
        const auto frame = Table(QStringLiteral("IDR_QRVFR%1").arg(v));
        ASSERT_EQ(frame.size(), std::size_t(side) * (side + 1));
        EXPECT_EQ(frame[std::size_t(side - 8) * (side + 1) + 8], '1') << "dark module, version " << v;
        for (int level = 0; level < 4; ++level) {
            SCOPED_TRACE(testing::Message() << "version " << v << " level index " << level);
            const auto table = Table(QStringLiteral("IDR_QRV%1_%2").arg(v).arg(level));
            ASSERT_EQ(table.size(), 3 * n + 30 + 1 + 128);
            const int ec = table[3 * n + 30];
            int sum = 0, data = 0;
            for (std::size_t b = 0; b < 128 && (b == 0 || table[3 * n + 31 + b]); ++b) {
                sum += table[3 * n + 31 + b];
                data += table[3 * n + 31 + b] - ec;
            }
            EXPECT_EQ(sum, total);
            EXPECT_EQ(data * 8, CQRCodeEncoder::DataCapacityBits(v, level));

            // Each encoding-region module once, never a dark function or format module.
            std::set<int> format;
            for (int k = 0; k < 15; ++k)
                format.insert(table[3 * n + 15 + k] * side + table[3 * n + k]);
            for (int k = 0; k < 9; ++k)
                format.insert(8 * side + k), format.insert(k * side + 8);
            std::vector<char> seen(std::size_t(side) * side, 0);
            for (std::size_t k = 0; k < n; ++k) {
                const int x = table[k], y = table[n + k];
                ASSERT_LT(x, side);
                ASSERT_LT(y, side);
                ASSERT_FALSE(seen[std::size_t(y) * side + x]) << "twice: " << x << "," << y;
                seen[std::size_t(y) * side + x] = 1;
                ASSERT_NE(frame[std::size_t(y) * (side + 1) + x], '1');
                ASSERT_EQ(format.count(y * side + x), 0u);
                // Mask bits follow the conditions on row i and column j.
                const int i = y, j = x;
                const bool conditions[8] = {(i + j) % 2 == 0, i % 2 == 0, j % 3 == 0, (i + j) % 3 == 0,
                                            (i / 2 + j / 3) % 2 == 0, (i * j) % 2 + (i * j) % 3 == 0,
                                            ((i * j) % 2 + (i * j) % 3) % 2 == 0,
                                            ((i + j) % 2 + (i * j) % 3) % 2 == 0};
                for (int m = 0; m < 8; ++m)
                    ASSERT_EQ(bool((table[2 * n + k] >> m) & 1), conditions[m]) << "mask " << m;
            }
            EXPECT_EQ(table[0], side - 1);
            EXPECT_EQ(table[n], side - 1);
        }
    }
}

TEST_F(QRTables, DamagedLayoutsAreRefused)
{
    const int v = 7, level = 2;
    const std::size_t n = std::size_t(CQRCodeEncoder::TotalCodewords(v)) * 8;
    const auto good = Table(QStringLiteral("IDR_QRV%1_%2").arg(v).arg(level));
    ASSERT_TRUE(CQRCodeEncoder::IsValidLayout(v, level, good.data(), good.size()));
    EXPECT_FALSE(CQRCodeEncoder::IsValidLayout(v, level, good.data(), good.size() - 1));
    EXPECT_FALSE(CQRCodeEncoder::IsValidLayout(8, level, good.data(), good.size()));
    EXPECT_FALSE(CQRCodeEncoder::IsValidLayout(v, 1, good.data(), good.size()));  // other data count

    auto damaged = [&](std::size_t at, BYTE value) {
        auto copy = good;
        copy[at] = value;
        return CQRCodeEncoder::IsValidLayout(v, level, copy.data(), copy.size());
    };
    EXPECT_FALSE(damaged(5, 45));               // a column outside the 45 x 45 symbol
    EXPECT_FALSE(damaged(n + 5, 200));          // a row outside it
    EXPECT_FALSE(damaged(3 * n + 20, 45));      // a format position outside it
    EXPECT_FALSE(damaged(3 * n + 30, 0));       // no EC codewords
    EXPECT_FALSE(damaged(3 * n + 31 + 2, 0));   // a block list ended early
    EXPECT_FALSE(damaged(3 * n + 31, BYTE(good[3 * n + 31] + 1)));
}
