#pragma once
// Interleaved 2 of 5 and ITF-14 (Interleaved 2 of 5 inside a bearer frame).

#include "symbology/barcode.h"

#include <string>

class CBarcodeI2OF5 : public CBarcode {
    DECLARE_SERIAL(CBarcodeI2OF5)
public:
    CBarcodeI2OF5(float moduleWidth, float barHeight);

    int GetType() const override;

    // The five elements of a digit, '1' wide and '0' narrow; character 0 gives the start
    // ("0000"), character 1 the stop ("100"); anything else gives an empty pattern.
    static constexpr const char* GetDigitPattern(char16_t c)
    {
        constexpr const char* digits[10] = {"00110", "10001", "01001", "11000", "00101",
                                            "10100", "01100", "00011", "10010", "01010"};
        if (c == 0)
            return "0000";
        if (c == 1)
            return "100";
        return c >= '0' && c <= '9' ? digits[c - '0'] : "";
    }
    // Start, the interleaved digit pairs (a '0' in front of an odd count) and stop.
    static std::string GetElementString(const CString& filtered);

protected:
    CBarcodeI2OF5();
    void FilterUnits(const CString& text, Units& out) const override;
    void BuildElements(const Units& filtered) override;
    CString GetDisplayText(CDC* pDC) const override;
};

class CBarcodeITF14 : public CBarcodeI2OF5 {
    DECLARE_SERIAL(CBarcodeITF14)
public:
    CBarcodeITF14(float moduleWidth, float barHeight);

    int GetType() const override;
    int GetBarsWidth(CDC* pDC) const override;

protected:
    CBarcodeITF14();
    void DrawBars(CDC* pDC, int x0, const CRect& band) const override;
};
