#pragma once
// Signed decimal numbers of any length and the serial-number text of text and barcode objects.

#include "framework/types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A signed decimal held digit by digit, so that start values longer than any machine integer
// (long article numbers, 20-digit serials) count exactly.
class BigDecimal
{
public:
    static constexpr BYTE kPositive = 1;    // zero or positive
    static constexpr BYTE kNegative = 255;

    BigDecimal();                 // zero: sign positive, digits [0]
    BigDecimal(std::int64_t value);  // NOLINT: converts like a number; never trimmed

    // Reads an optional "-" and the run of digits at the end of the text, spaces round it
    // ignored. The previous value is discarded; the result is trimmed.
    void FromString(std::string_view s);
    std::string ToString() const;

    friend BigDecimal operator+(const BigDecimal& a, const BigDecimal& b);
    friend BigDecimal operator-(const BigDecimal& a, const BigDecimal& b);

    BYTE sign = kPositive;
    std::vector<BYTE> digits;     // each 0 to 9, least significant first; empty means zero

private:
    bool IsNegative() const { return sign == kNegative; }
    void Trim();
    // Compares magnitudes as stored: a longer array is larger, even when it has leading zeros.
    static int CompareMagnitude(const std::vector<BYTE>& a, const std::vector<BYTE>& b);
    static std::vector<BYTE> AddMagnitude(const std::vector<BYTE>& a, const std::vector<BYTE>& b);
    static std::vector<BYTE> SubtractMagnitude(const std::vector<BYTE>& larger,
                                               const std::vector<BYTE>& smaller);
};

// Count directions of a serial number.
enum SerialDirection {
    SERIAL_UP = 0,
    SERIAL_DOWN = 1,
};

// The serial number shown on label `labelIndex`: labels share one value in groups of `repeat`,
// each group moves the start value by `step` up or down. Every character of the start text
// that is not a digit counts as 0, and the result is padded with leading zeros to the start
// text's length (zeros go in front of a minus sign). A repeat of 0 counts as 1. The offset
// (labelIndex / repeat) x step is exact: it never wraps.
CString SerialNumberText(const CString& start, int step, int repeat, int direction, int labelIndex);

// Replaces the markers a user types for control characters: "<CRLF>" gives CR LF, "<CR>" a
// line feed (a new line when drawn), "<LF>" a carriage return (back to the line's start) and
// "<TAB>" a tab.
CString ApplyTextEscapes(const CString& text);

// The text of an object in serial mode: escaped prefix, serial number, escaped suffix.
CString SerialDrawString(const CString& prefix, const CString& suffix, const CString& start,
                         int step, int repeat, int direction, int labelIndex);
