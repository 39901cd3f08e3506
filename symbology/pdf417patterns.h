#pragma once
// The PDF417 symbol characters: for each of the three clusters used in rows (0, 3 and 6 of the
// standard, here 0, 1 and 2) the bar-space pattern of each codeword value 0..928, as 17 modules
// written most significant bit first (1 dark).

#include <cstdint>

// The pattern of a codeword in a cluster (0..2), or 0 when the table holds no pattern for it.
uint32_t PDF417Pattern(int cluster, int value);
