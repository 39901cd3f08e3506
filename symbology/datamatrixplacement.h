#pragma once
// ECC 200 module placement (the standard's "utah" arrangement) and the interleaving of the
// 144 x 144 symbol's codewords.

#include <cstdint>
#include <vector>

// For each module of an nrow x ncol mapping matrix (row after row, top row first): the bit it
// carries as codeword * 8 + bit (bit 0 the most significant), or -1 for the fixed corner
// modules that no codeword reaches (dark at the bottom right and top left of the 2 x 2 square).
std::vector<int> DataMatrixPlacement(int nrow, int ncol);

// The 144 x 144 symbol holds 1558 data and 620 error-correction codewords in ten Reed-Solomon
// blocks: blocks 0..7 of 156 data and 62 error-correction codewords, blocks 8 and 9 of 155 and
// 62. The symbol interleaves whole blocks, codeword i of each block in turn; libdmtx 0.7.7
// interleaves the data that way but appends the error correction as if every block held 156
// data codewords, so decoders that follow the standard cannot read its 144 x 144 symbols.
// Given libdmtx's codewords, puts them in the standard's order and writes them into modules
// (144 x 144, top row first, 1 dark), whose finder and alignment patterns stay. Codewords that
// are not in libdmtx 0.7.7's order leave the modules as they are.
void ReplaceDataMatrix144(std::vector<uint8_t>& modules, const unsigned char* code, int count);
