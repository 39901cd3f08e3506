#pragma once
// Code 128 in its code sets A, B and C and the automatic choice between them.

#include "symbology/barcode.h"

class CBarcode128 : public CBarcode {
    DECLARE_SERIAL(CBarcode128)
public:
    // Code sets; each number is also the text character that stands for the change to that set.
    static constexpr int SetA = 128, SetB = 129, SetC = 130, SetAuto = 131;

    // Characters U+0080 to U+008C of a text stand for the symbol-level functions.
    static constexpr BYTE CodeA = 128, CodeB = 129, CodeC = 130;
    static constexpr BYTE StartA = 132, StartB = 133, StartC = 134, Stop = 135;
    static constexpr BYTE FNC1 = 136, FNC2 = 137, FNC3 = 138, FNC4 = 139, Shift = 140;

    CBarcode128(float moduleWidth, float barHeight, int codeSet);

    int GetType() const override;
    int GetTextWidth(CDC* pDC) const override;

    int GetCodeSet() const { return m_codeSet; }

    // The symbol value of one character (its low 8 bits) in one code set.
    static int GetCharValue(BYTE c, int codeSet);
    // The code set for the character at position i when current is in force.
    static int ChooseCodeSet(const CString& text, int i, int current);
    // The complete list of symbol values: start, data, code-set changes, check value and stop.
    static void Encode(const CString& filtered, int codeSet, std::vector<BYTE>& out);
    static int CalcCheckSum(const std::vector<BYTE>& values);
    // The modules of a symbol value as '1' bars and '0' spaces; empty above 106.
    static const char* GetPattern(int value);

protected:
    CBarcode128();
    void FilterUnits(const CString& text, Units& out) const override;
    void BuildElements(const Units& filtered) override;

private:
    // Objects made by dynamic creation choose their code sets themselves.
    int m_codeSet = SetAuto;
};
