#pragma once
// EAN-13, EAN-8, UPC-A and UPC-E: guard bars, parity sets and the digits beside and under the bars.

#include "symbology/barcode.h"

#include <string>

// Module pattern of a digit '0' to '9' in set 0 (L, odd parity), 1 (G, even parity) or 2 (R,
// right-hand); empty for anything else.
const char* GetEanDigitPattern(char16_t digit, int set);

// What the four classes share: they store the filtered text and draw the same way.
class CBarcodeEanUpc : public CBarcode {
    DECLARE_DYNAMIC(CBarcodeEanUpc)
public:
    void SetText(CDC* pDC, const CString& text, CRect* rect, double ratio) override;
    void Draw(CDC* pDC, CRect rect) override;

    // The symbol's modules, left to right: '0' space, '1' bar, '2' bar running down (or up) into
    // the text line. Empty unless the stored text has its full length.
    std::string GetModules() const;

protected:
    CBarcodeEanUpc(float moduleWidth, float barHeight) : CBarcode(moduleWidth, barHeight) {}

    // Where a digit of the stored text is written.
    struct DigitPlace {
        int index;   // character of the stored text
        int module;  // module where the digit starts; -1 at the rectangle's left edge
    };
    virtual int FullLength() const = 0;
    // Builds the modules and digit places for a stored text of the full length.
    virtual void Layout(const CString& digits, std::string& modules, std::vector<DigitPlace>& places) const = 0;
    // Offset of the first bar from the rectangle's left edge, given the first digit's width.
    virtual int BarsOffset(int firstDigitWidth) const = 0;

    // The width of character k of the stored text, measured at the font's own size in drawing
    // units (viewport extent equal to window extent); 0 without a device context.
    int CharWidth(CDC* pDC, int k) const;
    CSize CharSize(CDC* pDC, int k) const;
    // The width of the whole stored text at the current mapping.
    int StoredTextWidth(CDC* pDC) const;
};

class CBarcodeEAN13 : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeEAN13)
public:
    CBarcodeEAN13(float moduleWidth, float barHeight);
    int GetType() const override;
    CString FilterText(const CString& text) const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;
    // Parity sets (0 L, 1 G) of the digits in positions 2 to 7 for the first digit.
    static std::string GetParity(char16_t firstDigit);

protected:
    CBarcodeEAN13();
    int FullLength() const override { return 13; }
    void Layout(const CString& digits, std::string& modules, std::vector<DigitPlace>& places) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth + 10; }
};

class CBarcodeEAN8 : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeEAN8)
public:
    CBarcodeEAN8(float moduleWidth, float barHeight);
    int GetType() const override;
    CString FilterText(const CString& text) const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;

protected:
    CBarcodeEAN8();
    int FullLength() const override { return 8; }
    void Layout(const CString& digits, std::string& modules, std::vector<DigitPlace>& places) const override;
    int BarsOffset(int) const override { return 0; }
};

class CBarcodeUPCA : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeUPCA)
public:
    CBarcodeUPCA(float moduleWidth, float barHeight);
    int GetType() const override;
    CString FilterText(const CString& text) const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;

protected:
    CBarcodeUPCA();
    int FullLength() const override { return 12; }
    void Layout(const CString& digits, std::string& modules, std::vector<DigitPlace>& places) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth; }
};

class CBarcodeUPCE : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeUPCE)
public:
    CBarcodeUPCE(float moduleWidth, float barHeight);
    int GetType() const override;
    CString FilterText(const CString& text) const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;
    // Parity sets (0 L, 1 G) of the six digits for the check digit, number system 0.
    static std::string GetParity(char16_t checkDigit);

protected:
    CBarcodeUPCE();
    int FullLength() const override { return 8; }
    void Layout(const CString& digits, std::string& modules, std::vector<DigitPlace>& places) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth; }
};
