// Builds the QR Code tables of the resource module (type "QRCODE") from the construction rules
// of the symbology: module placement, block structure and interleaving, mask conditions,
// function patterns, version information and Reed-Solomon generator polynomials. Only the
// error-correction block counts and the alignment-pattern centres are tabulated.
//
//   qrtables OUTDIR
//
// writes OUTDIR/binary/QRCODE/<name> (each a zlib stream) and OUTDIR/qrcode.qrc, which lists
// them under the resource module's prefix.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Levels in the order of their two-bit indicator: M 00, L 01, H 10, Q 11.
enum { M, L, H, Q };

// Error-correction codewords per block and number of blocks, by version 1..40.
// Rows: L, M, Q, H.
constexpr int kEcPerBlock[4][40] = {
    {7, 10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
};
constexpr int kBlocks[4][40] = {
    {1, 1, 1, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4, 4, 6, 6, 6, 6, 7, 8,
     8, 9, 9, 10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {1, 1, 1, 2, 2, 4, 4, 4, 5, 5, 5, 8, 9, 9, 10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {1, 1, 2, 2, 4, 4, 6, 6, 8, 8, 8, 10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {1, 1, 2, 4, 4, 4, 5, 6, 8, 8, 11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
};
// Row of the two tables above for each indicator-ordered level.
constexpr int kTableRow[4] = {1, 0, 3, 2};

// Alignment-pattern centre coordinates, by version 2..40 (version 1 has none).
const std::vector<int> kAlignment[41] = {
    {}, {}, {6, 18}, {6, 22}, {6, 26}, {6, 30}, {6, 34}, {6, 22, 38}, {6, 24, 42}, {6, 26, 46},
    {6, 28, 50}, {6, 30, 54}, {6, 32, 58}, {6, 34, 62}, {6, 26, 46, 66}, {6, 26, 48, 70},
    {6, 26, 50, 74}, {6, 30, 54, 78}, {6, 30, 56, 82}, {6, 30, 58, 86}, {6, 34, 62, 90},
    {6, 28, 50, 72, 94}, {6, 26, 50, 74, 98}, {6, 30, 54, 78, 102}, {6, 28, 54, 80, 106},
    {6, 32, 58, 84, 110}, {6, 30, 58, 86, 114}, {6, 34, 62, 90, 118},
    {6, 26, 50, 74, 98, 122}, {6, 30, 54, 78, 102, 126}, {6, 26, 52, 78, 104, 130},
    {6, 30, 56, 82, 108, 134}, {6, 34, 60, 86, 112, 138}, {6, 30, 58, 86, 114, 142},
    {6, 34, 62, 90, 118, 146}, {6, 30, 54, 78, 102, 126, 150}, {6, 24, 50, 76, 102, 128, 154},
    {6, 28, 54, 80, 106, 132, 158}, {6, 32, 58, 84, 110, 136, 162},
    {6, 26, 54, 82, 110, 138, 166}, {6, 30, 58, 86, 114, 142, 170},
};

// GF(256) with the field polynomial x^8 + x^4 + x^3 + x^2 + 1.
struct Field {
    int exp[512];
    int log[256];
    Field()
    {
        int x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = x;
            log[x] = i;
            x <<= 1;
            if (x & 0x100)
                x ^= 0x11D;
        }
        for (int i = 255; i < 512; ++i)
            exp[i] = exp[i - 255];
        log[0] = 0;
    }
    int Mul(int a, int b) const { return a && b ? exp[log[a] + log[b]] : 0; }
};
const Field gf;

// Coefficients of prod (x - a^i), i = 0..degree-1, highest power first, leading 1 included.
std::vector<int> Generator(int degree)
{
    std::vector<int> g{1};
    for (int i = 0; i < degree; ++i) {
        std::vector<int> next(g.size() + 1, 0);
        for (std::size_t k = 0; k < g.size(); ++k) {
            next[k] ^= g[k];
            next[k + 1] ^= gf.Mul(g[k], gf.exp[i]);
        }
        g = next;
    }
    return g;
}

int Side(int version) { return 4 * version + 17; }

// Remainder of value (shifted left by the generator's degree) divided by the BCH generator.
int Bch(int value, int generator)
{
    int degree = 0;
    while ((generator >> (degree + 1)) != 0)
        ++degree;
    int r = value << degree;
    for (int bit = 31; bit >= degree; --bit)
        if (r & (1 << bit))
            r ^= generator << (bit - degree);
    return r;
}

struct Symbol {
    int side = 0;
    std::vector<char> function;  // 1 where a function pattern or format/version area lies
    std::vector<char> dark;      // dark function modules
    void Set(int x, int y, bool isDark)
    {
        function[y * side + x] = 1;
        dark[y * side + x] = isDark ? 1 : 0;
    }
    bool IsFunction(int x, int y) const { return function[y * side + x] != 0; }
};

Symbol FunctionPatterns(int version)
{
    Symbol s;
    s.side = Side(version);
    const int n = s.side;
    s.function.assign(n * n, 0);
    s.dark.assign(n * n, 0);
    // Timing patterns.
    for (int i = 0; i < n; ++i) {
        s.Set(6, i, i % 2 == 0);
        s.Set(i, 6, i % 2 == 0);
    }
    // Finder patterns with their separators.
    auto finder = [&](int cx, int cy) {
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx) {
                const int x = cx + dx, y = cy + dy;
                if (x < 0 || y < 0 || x >= n || y >= n)
                    continue;
                const int d = std::max(std::abs(dx), std::abs(dy));
                s.Set(x, y, d != 2 && d != 4);
            }
    };
    finder(3, 3);
    finder(n - 4, 3);
    finder(3, n - 4);
    // Alignment patterns, except where they would overlap a finder.
    const auto& centres = kAlignment[version];
    const int count = int(centres.size());
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j) {
            if ((i == 0 && j == 0) || (i == 0 && j == count - 1) || (i == count - 1 && j == 0))
                continue;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    s.Set(centres[j] + dx, centres[i] + dy,
                          std::max(std::abs(dx), std::abs(dy)) != 1);
        }
    // Format areas (both copies; written by the encoder) and the dark module.
    for (int i = 0; i < 9; ++i) {
        if (!s.IsFunction(8, i))
            s.Set(8, i, false);
        if (!s.IsFunction(i, 8))
            s.Set(i, 8, false);
    }
    for (int i = 0; i < 8; ++i) {
        s.Set(n - 1 - i, 8, false);
        s.Set(8, n - 1 - i, false);
    }
    s.Set(8, n - 8, true);
    // Version information: 6 bits of version and 12 of BCH (0x1F25), at both corners.
    if (version >= 7) {
        const int bits = (version << 12) | Bch(version, 0x1F25);
        for (int i = 0; i < 18; ++i) {
            const bool bit = (bits >> i) & 1;
            const int a = n - 11 + i % 3, b = i / 3;
            s.Set(a, b, bit);
            s.Set(b, a, bit);
        }
    }
    return s;
}

// Encoding-region modules in the order the codeword bits fill them: two-module columns from
// the right, upwards and downwards in turn, stepping over the vertical timing pattern.
std::vector<std::pair<int, int>> Placement(const Symbol& s)
{
    std::vector<std::pair<int, int>> order;
    const int n = s.side;
    for (int right = n - 1; right >= 1; right -= 2) {
        if (right == 6)
            right = 5;
        const bool upward = ((right + 1) & 2) == 0;
        for (int vert = 0; vert < n; ++vert)
            for (int j = 0; j < 2; ++j) {
                const int x = right - j;
                const int y = upward ? n - 1 - vert : vert;
                if (!s.IsFunction(x, y))
                    order.emplace_back(x, y);
            }
    }
    return order;
}

bool MaskCondition(int m, int i, int j)  // i row, j column
{
    switch (m) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    default: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    }
}

bool Write(const std::filesystem::path& path, const Bytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes packed(size);
    if (compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK)
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed.data()), std::streamsize(size));
    return bool(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qrtables OUTDIR\n");
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    const std::filesystem::path folder = root / "binary" / "QRCODE";
    std::filesystem::create_directories(folder);
    std::vector<std::string> names;
    std::set<int> ecCounts;
    auto emit = [&](const std::string& name, const Bytes& raw) {
        if (!Write(folder / name, raw)) {
            std::fprintf(stderr, "qrtables: cannot write %s\n", name.c_str());
            std::exit(1);
        }
        names.push_back(name);
    };

    for (int version = 1; version <= 40; ++version) {
        const Symbol s = FunctionPatterns(version);
        const int n = s.side;
        const auto order = Placement(s);
        const int total = int(order.size()) / 8;

        Bytes frame;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x)
                frame.push_back(s.dark[y * n + x] ? '1' : '0');
            frame.push_back('\n');
        }
        emit("IDR_QRVFR" + std::to_string(version), frame);

        for (int level = 0; level < 4; ++level) {
            const int row = kTableRow[level];
            const int ec = kEcPerBlock[row][version - 1];
            const int blocks = kBlocks[row][version - 1];
            ecCounts.insert(ec);
            // Blocks share the codewords as evenly as they can, the shorter ones first.
            const int shortTotal = total / blocks;
            const int longBlocks = total % blocks;
            std::vector<int> totals(blocks, shortTotal);
            for (int b = blocks - longBlocks; b < blocks; ++b)
                totals[b] = shortTotal + 1;
            if (blocks > 127 || shortTotal - ec < 1) {
                std::fprintf(stderr, "qrtables: bad block table at version %d\n", version);
                return 1;
            }

            // Index of each codeword of the plain stream (data in order, then the EC codewords
            // block by block) in the interleaved one.
            std::vector<int> dataStart(blocks), ecStart(blocks);
            int data = 0;
            for (int b = 0; b < blocks; ++b) {
                dataStart[b] = data;
                data += totals[b] - ec;
            }
            for (int b = 0; b < blocks; ++b)
                ecStart[b] = data + b * ec;
            std::vector<int> plainAt;  // plain index of interleaved codeword i
            for (int col = 0; col < shortTotal - ec + 1; ++col)
                for (int b = 0; b < blocks; ++b)
                    if (col < totals[b] - ec)
                        plainAt.push_back(dataStart[b] + col);
            for (int col = 0; col < ec; ++col)
                for (int b = 0; b < blocks; ++b)
                    plainAt.push_back(ecStart[b] + col);
            std::vector<int> interleavedOf(total);
            for (int i = 0; i < total; ++i)
                interleavedOf[plainAt[i]] = i;

            const std::size_t bits = order.size();
            Bytes xs(bits), ys(bits), masks(bits);
            for (std::size_t k = 0; k < bits; ++k) {
                const std::size_t codeword = k / 8;
                const std::size_t at = codeword < std::size_t(total)
                    ? std::size_t(interleavedOf[codeword]) * 8 + k % 8 : k;
                const auto [x, y] = order[at];
                xs[k] = std::uint8_t(x);
                ys[k] = std::uint8_t(y);
                for (int m = 0; m < 8; ++m)
                    if (MaskCondition(m, y, x))
                        masks[k] |= std::uint8_t(1 << m);
            }
            Bytes table;
            table.insert(table.end(), xs.begin(), xs.end());
            table.insert(table.end(), ys.begin(), ys.end());
            table.insert(table.end(), masks.begin(), masks.end());
            // Second copy of the format string, character 0 (most significant) first.
            for (int k = 0; k < 15; ++k)
                table.push_back(std::uint8_t(k < 7 ? 8 : n - 15 + k));
            for (int k = 0; k < 15; ++k)
                table.push_back(std::uint8_t(k < 7 ? n - 1 - k : 8));
            table.push_back(std::uint8_t(ec));
            Bytes list(128, 0);
            for (int b = 0; b < blocks; ++b)
                list[b] = std::uint8_t(totals[b]);
            table.insert(table.end(), list.begin(), list.end());
            emit("IDR_QRV" + std::to_string(version) + "_" + std::to_string(level), table);
        }
    }

    for (int ec : ecCounts) {
        const std::vector<int> g = Generator(ec);
        Bytes rows;
        for (int v = 0; v < 256; ++v)
            for (int k = 1; k <= ec; ++k)
                rows.push_back(std::uint8_t(gf.Mul(v, g[k])));
        emit("IDR_RSC" + std::to_string(ec), rows);
    }

    std::ofstream qrc(root / "qrcode.qrc", std::ios::trunc);
    qrc << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/quillbar\">\n";
    for (const auto& name : names)
        qrc << "    <file>binary/QRCODE/" << name << "</file>\n";
    qrc << "  </qresource>\n</RCC>\n";
    return qrc ? 0 : 1;
}
