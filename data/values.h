#pragma once
// Display texts of data values, the same from every source: numbers in their shortest
// round-trip form with ".", dates as "2024-03-01" (plus " hh:mm:ss" when not midnight),
// "True"/"False".

#include "framework/types.h"

#include <QString>
#include <optional>
#include <string_view>

CString FormatNumber(double value);
// A date and time given as days since 1899-12-30 (the serial of spreadsheets and Access).
CString FormatDateSerial(double days);
CString FormatBool(bool value);
// The value of a text that is a number written in its canonical form ("12.5", "-3", "1e+21"),
// nothing for any other text ("00123", "12.50", " 1").
std::optional<double> CanonicalNumber(std::string_view text);
