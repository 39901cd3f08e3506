#pragma once
// How large a sheet of labels may be, for the label wizard and for the print road alike.

// Lengths of the sheet stay within this many tenths of a millimetre either way (ten metres).
constexpr int kMaxSheetLength = 100000;
// The most columns or rows a sheet may have.
constexpr int kMaxSheetCells = 999;
