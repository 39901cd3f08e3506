#pragma once
// Numbers typed by users, read the way the program always read them: the leading number of the
// text, after white space, else 0. Independent of the process locale (the decimal point is '.').

#include "framework/types.h"

// The leading decimal number ("12.5mm" gives 12.5; "inf" and "nan" give themselves; a number
// too large for a double gives infinity); 0 when the text does not begin with one.
double Wtof(const CString& text);
// The leading integer, saturated to the range of int; 0 when the text does not begin with one.
int Wtoi(const CString& text);

// A length of logical units (1/1536 inch) in millimetres with two decimals, rounded correctly
// ("25.40" for 1536, "9.92" for 600).
CString MillimetresText(double units);
