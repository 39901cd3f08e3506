#pragma once
// EAN-13, EAN-8, UPC-A and UPC-E: guard bars, parity sets and the digits beside and under the bars.

#include "symbology/barcode.h"

#include <string_view>

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
    std::string_view GetModules() const { return std::string_view(m_layout.modules, std::size_t(m_layout.moduleCount)); }

protected:
    CBarcodeEanUpc(float moduleWidth, float barHeight);

    // The longest filtered text: EAN-13's.
    static constexpr int kMaxDigits = 13;

    // Where a digit of the stored text is written.
    struct DigitPlace {
        int index;   // character of the stored text
        int module;  // module where the digit starts; -1 at the rectangle's left edge
    };
    // The modules and digit places of a symbol, in fixed buffers.
    struct Layout {
        char modules[96];
        int moduleCount = 0;
        DigitPlace places[kMaxDigits];
        int placeCount = 0;

        void Add(const char* guard);
        // The digit's modules in the set, its bars as '2' when extended.
        void AddDigit(char digit, int set, bool extended);
        // The digit `index` is written at the module, or at the current end plus `ahead`.
        void Place(int index, int module) { places[placeCount++] = DigitPlace{index, module}; }
        void PlaceHere(int index, int ahead = 0) { Place(index, moduleCount + ahead); }
    };

    virtual int FullLength() const = 0;
    // The filtered text, FullLength digits with the check digit, into out.
    virtual void FilterDigits(const CString& text, char* out) const = 0;
    // The modules and digit places of a filtered text.
    virtual void LayOut(const char* digits, Layout& out) const = 0;
    // Offset of the first bar from the rectangle's left edge, given the first digit's width.
    virtual int BarsOffset(int firstDigitWidth) const = 0;

    void FilterUnits(const CString& text, Units& out) const override;
    void EncodeText() override;

    // The width of character k of the stored text, measured at the font's own size in drawing
    // units (viewport extent equal to window extent); 0 without a device context.
    int CharWidth(CDC* pDC, int k) const;
    CSize CharSize(CDC* pDC, int k) const;
    // The width of the whole stored text at the current mapping.
    int StoredTextWidth(CDC* pDC) const;

private:
    // Lays out the filtered digits of the stored text.
    void KeepDigits(const char* digits);

    char m_digits[kMaxDigits] = {};
    Layout m_layout;
};

class CBarcodeEAN13 : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeEAN13)
public:
    CBarcodeEAN13(float moduleWidth, float barHeight);
    int GetType() const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;
    // Parity sets ('0' L, '1' G) of the digits in positions 2 to 7 for the first digit.
    static const char* GetParity(char16_t firstDigit);

protected:
    CBarcodeEAN13();
    int FullLength() const override { return 13; }
    void FilterDigits(const CString& text, char* out) const override;
    void LayOut(const char* digits, Layout& out) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth + 10; }
};

class CBarcodeEAN8 : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeEAN8)
public:
    CBarcodeEAN8(float moduleWidth, float barHeight);
    int GetType() const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;

protected:
    CBarcodeEAN8();
    int FullLength() const override { return 8; }
    void FilterDigits(const CString& text, char* out) const override;
    void LayOut(const char* digits, Layout& out) const override;
    int BarsOffset(int) const override { return 0; }
};

class CBarcodeUPCA : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeUPCA)
public:
    CBarcodeUPCA(float moduleWidth, float barHeight);
    int GetType() const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;

protected:
    CBarcodeUPCA();
    int FullLength() const override { return 12; }
    void FilterDigits(const CString& text, char* out) const override;
    void LayOut(const char* digits, Layout& out) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth; }
};

class CBarcodeUPCE : public CBarcodeEanUpc {
    DECLARE_SERIAL(CBarcodeUPCE)
public:
    CBarcodeUPCE(float moduleWidth, float barHeight);
    int GetType() const override;
    int GetBarsWidth(CDC* pDC) const override;
    int GetTextWidth(CDC* pDC) const override;
    // Parity sets ('0' L, '1' G) of the six digits for the check digit, number system 0.
    static const char* GetParity(char16_t checkDigit);

protected:
    CBarcodeUPCE();
    int FullLength() const override { return 8; }
    void FilterDigits(const CString& text, char* out) const override;
    void LayOut(const char* digits, Layout& out) const override;
    int BarsOffset(int firstDigitWidth) const override { return firstDigitWidth; }
};
