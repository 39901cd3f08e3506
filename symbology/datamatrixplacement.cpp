#include "symbology/datamatrixplacement.h"

#include <cstddef>

namespace {

class Placement {
public:
    Placement(int nrow, int ncol) : m_nrow(nrow), m_ncol(ncol), m_bits(std::size_t(nrow) * ncol, kEmpty) {}

    std::vector<int> Run()
    {
        int chr = 0;
        int row = 4;
        int col = 0;
        do {
            if (row == m_nrow && col == 0)
                Corner1(chr++);
            if (row == m_nrow - 2 && col == 0 && m_ncol % 4 != 0)
                Corner2(chr++);
            if (row == m_nrow - 2 && col == 0 && m_ncol % 8 == 4)
                Corner3(chr++);
            if (row == m_nrow + 4 && col == 2 && m_ncol % 8 == 0)
                Corner4(chr++);
            // Up and to the right.
            do {
                if (row < m_nrow && col >= 0 && At(row, col) == kEmpty)
                    Utah(row, col, chr++);
                row -= 2;
                col += 2;
            } while (row >= 0 && col < m_ncol);
            row += 1;
            col += 3;
            // Down and to the left.
            do {
                if (row >= 0 && col < m_ncol && At(row, col) == kEmpty)
                    Utah(row, col, chr++);
                row += 2;
                col -= 2;
            } while (row < m_nrow && col >= 0);
            row += 3;
            col += 1;
        } while (row < m_nrow || col < m_ncol);
        // A square the codewords leave free in the bottom-right corner: fixed modules.
        for (int& bit : m_bits) {
            if (bit == kEmpty)
                bit = -1;
        }
        return m_bits;
    }

private:
    static constexpr int kEmpty = -2;

    int& At(int row, int col) { return m_bits[std::size_t(row) * m_ncol + col]; }

    // bit 1..8, 1 the most significant.
    void Module(int row, int col, int chr, int bit)
    {
        if (row < 0) {
            row += m_nrow;
            col += 4 - ((m_nrow + 4) % 8);
        }
        if (col < 0) {
            col += m_ncol;
            row += 4 - ((m_ncol + 4) % 8);
        }
        At(row, col) = chr * 8 + bit - 1;
    }

    void Utah(int row, int col, int chr)
    {
        Module(row - 2, col - 2, chr, 1);
        Module(row - 2, col - 1, chr, 2);
        Module(row - 1, col - 2, chr, 3);
        Module(row - 1, col - 1, chr, 4);
        Module(row - 1, col, chr, 5);
        Module(row, col - 2, chr, 6);
        Module(row, col - 1, chr, 7);
        Module(row, col, chr, 8);
    }

    void Corner1(int chr)
    {
        Module(m_nrow - 1, 0, chr, 1);
        Module(m_nrow - 1, 1, chr, 2);
        Module(m_nrow - 1, 2, chr, 3);
        Module(0, m_ncol - 2, chr, 4);
        Module(0, m_ncol - 1, chr, 5);
        Module(1, m_ncol - 1, chr, 6);
        Module(2, m_ncol - 1, chr, 7);
        Module(3, m_ncol - 1, chr, 8);
    }

    void Corner2(int chr)
    {
        Module(m_nrow - 3, 0, chr, 1);
        Module(m_nrow - 2, 0, chr, 2);
        Module(m_nrow - 1, 0, chr, 3);
        Module(0, m_ncol - 4, chr, 4);
        Module(0, m_ncol - 3, chr, 5);
        Module(0, m_ncol - 2, chr, 6);
        Module(0, m_ncol - 1, chr, 7);
        Module(1, m_ncol - 1, chr, 8);
    }

    void Corner3(int chr)
    {
        Module(m_nrow - 3, 0, chr, 1);
        Module(m_nrow - 2, 0, chr, 2);
        Module(m_nrow - 1, 0, chr, 3);
        Module(0, m_ncol - 2, chr, 4);
        Module(0, m_ncol - 1, chr, 5);
        Module(1, m_ncol - 1, chr, 6);
        Module(2, m_ncol - 1, chr, 7);
        Module(3, m_ncol - 1, chr, 8);
    }

    void Corner4(int chr)
    {
        Module(m_nrow - 1, 0, chr, 1);
        Module(m_nrow - 1, m_ncol - 1, chr, 2);
        Module(0, m_ncol - 3, chr, 3);
        Module(0, m_ncol - 2, chr, 4);
        Module(0, m_ncol - 1, chr, 5);
        Module(1, m_ncol - 3, chr, 6);
        Module(1, m_ncol - 2, chr, 7);
        Module(1, m_ncol - 1, chr, 8);
    }

    int m_nrow;
    int m_ncol;
    std::vector<int> m_bits;
};

// True when the codewords c(x) of one Reed-Solomon block (highest degree first) vanish at
// alpha^1 .. alpha^errorWords of GF(256) with the field polynomial 0x12D.
bool IsValidBlock(const std::vector<int>& block, int errorWords)
{
    int exp[255];
    int log[256] = {};
    for (int i = 0, x = 1; i < 255; ++i) {
        exp[i] = x;
        log[x] = i;
        x <<= 1;
        if (x & 0x100)
            x ^= 0x12D;
    }
    for (int k = 1; k <= errorWords; ++k) {
        int r = 0;
        for (int c : block)
            r = (r == 0 ? 0 : exp[(log[r] + k) % 255]) ^ c;
        if (r != 0)
            return false;
    }
    return true;
}

}  // namespace

std::vector<int> DataMatrixPlacement(int nrow, int ncol)
{
    return Placement(nrow, ncol).Run();
}

void ReplaceDataMatrix144(std::vector<uint8_t>& modules, const unsigned char* code, int count)
{
    constexpr int kSide = 144;
    constexpr int kRegion = 22;  // data region side; each region has its finder around it
    constexpr int kMapping = 6 * kRegion;
    constexpr int kData = 1558;
    constexpr int kBlocks = 10;
    constexpr int kTotal = 2178;
    if (count != kTotal || modules.size() != std::size_t(kSide) * kSide)
        return;

    // Only codewords in libdmtx 0.7.7's order are rearranged: block 8 must check out with its
    // error correction at 1558 + 10 j + 8. A library that already interleaves as the standard
    // does is left alone.
    std::vector<int> block8;
    for (int k = 8; k < kData; k += kBlocks)
        block8.push_back(code[k]);
    for (int k = kData + 8; k < kTotal; k += kBlocks)
        block8.push_back(code[k]);
    if (!IsValidBlock(block8, 62))
        return;

    // Interleaving takes codeword i of every block in turn, over the whole block (data, then
    // error correction). At i = 155 blocks 0..7 still give data while blocks 8 and 9 begin their
    // error correction, so from there on each round starts with blocks 8 and 9: libdmtx's
    // error-correction codeword 1558 + 10 j + b belongs at 1558 + 10 j + (b + 2) mod 10.
    std::vector<unsigned char> stream(code, code + kTotal);
    for (int j = 0; kData + j * kBlocks < kTotal; ++j) {
        for (int b = 0; b < kBlocks; ++b)
            stream[std::size_t(kData + j * kBlocks + (b + 2) % kBlocks)] = code[kData + j * kBlocks + b];
    }

    const std::vector<int> placement = DataMatrixPlacement(kMapping, kMapping);
    for (int r = 0; r < kMapping; ++r) {
        for (int c = 0; c < kMapping; ++c) {
            const int bit = placement[std::size_t(r) * kMapping + c];
            const bool dark = bit < 0 ? (r == kMapping - 1) == (c == kMapping - 1)
                                      : (stream[std::size_t(bit / 8)] & (0x80 >> (bit % 8))) != 0;
            const int row = (r / kRegion) * (kRegion + 2) + 1 + r % kRegion;
            const int col = (c / kRegion) * (kRegion + 2) + 1 + c % kRegion;
            modules[std::size_t(row) * kSide + col] = dark;
        }
    }
}
