#pragma once
// Numbers of the sheet as the label wizard's boxes show and read them: millimetres with one or
// two decimals, whole tenths of a millimetre inside. Reading and writing never depend on the
// process locale: the decimal point is always '.'.

#include "framework/types.h"

#include <optional>

// The whole number at the start of the text: blanks, an optional sign, digits; 0 when there is
// none, saturated to the range of int.
int ReadWholeNumber(const CString& text);
// The decimal number at the start of the text: blanks, an optional sign, digits with a '.'
// fraction and an exponent, or "inf"; 0 when there is none and for "nan".
double ReadDecimal(const CString& text);

// Millimetres typed into a box, as whole tenths: the whole part of (value + nudge) x 10, so that
// what lies below a tenth is cut and a value typed as 12.3 is not lost to binary rounding;
// brought within kMaxSheetLength. Margins nudge by 0.001, label sizes and gaps by 0.000001.
constexpr double kMarginNudge = 0.001;
constexpr double kSizeNudge = 0.000001;
int ReadTenths(const CString& text, double nudge);
// A count of columns or rows typed into a box; nothing when it is not 1 to kMaxSheetCells.
std::optional<int> ReadCellCount(const CString& text);

// Tenths shown as millimetres with the given decimals ("%.1f" of 123 is "12.3").
CString FormatMillimetres(double tenths, int decimals = 1);
// "%.1f x %.1f %s": a size in millimetres with its unit.
CString FormatSheetSize(int widthTenths, int heightTenths, const CString& unit);
