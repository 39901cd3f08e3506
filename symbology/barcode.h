#pragma once
// Linear barcode symbologies: the common base, the symbology ids and the factory.
//
// A CBarcode holds the data text, the module width and bar height (inches) and the options of the
// human-readable line. SetText fits a rectangle to the symbol; Draw paints the bars as filled
// rectangles and the human-readable text through a CDC. All sizes are drawing units of 1/1536 inch.

#include "framework/geometry.h"
#include "framework/object.h"
#include "framework/types.h"

#include <QVarLengthArray>

#include <cstdint>
#include <memory>
#include <span>

class CArchive;
class CDC;

// Symbology ids: what GetType returns, what a barcode object stores and what CreateBarcode takes.
enum : int {
    BARCODE_ID_CODE39 = 0,
    BARCODE_ID_CODE39_FULL = 1,
    BARCODE_ID_CODE93 = 2,
    BARCODE_ID_CODE128_AUTO = 3,
    BARCODE_ID_CODE128_A = 4,
    BARCODE_ID_CODE128_B = 5,
    BARCODE_ID_CODE128_C = 6,
    BARCODE_ID_EAN13 = 7,
    BARCODE_ID_EAN8 = 8,
    BARCODE_ID_UPCA = 9,
    BARCODE_ID_UPCE = 10,
    BARCODE_ID_I2OF5 = 11,
    BARCODE_ID_CODABAR = 12,
    BARCODE_ID_ITF14 = 13,
    BARCODE_ID_COUNT = 14
};

// Drawing units per inch.
constexpr int BARCODE_UNITS_PER_INCH = 1536;

class CBarcode : public CObject {
    DECLARE_SERIAL(CBarcode)
public:
    CBarcode(float moduleWidth, float barHeight);
    ~CBarcode() override;

    void Serialize(CArchive& ar) override;

    // Paints the bars and the human-readable text into rect; the element widths are those the
    // last SetText or SetModuleWidth left.
    virtual void Draw(CDC* pDC, CRect rect);
    virtual int GetType() const;
    CString GetTypeName() const;
    // Stores the text and fits rect (right and bottom, from its left and top) to the symbol.
    // ratio is the wide-to-narrow element ratio. Without a device context no text is measured:
    // the rectangle holds the bars alone.
    virtual void SetText(CDC* pDC, const CString& text, CRect* rect, double ratio);
    // Width of all bars and spaces; here the sum of the element widths, kept by the encoding.
    virtual int GetBarsWidth(CDC* pDC) const;
    // Width of the human-readable text; here the filtered text's.
    virtual int GetTextWidth(CDC* pDC) const;
    // Size of the filtered text in the selected font; (0, 0) when the text is hidden.
    CSize GetTextExtent(CDC* pDC) const;
    // The text the symbol encodes: the symbology's character set, padding and check characters.
    virtual CString FilterText(const CString& text) const;

    float GetBarHeight() const { return m_barHeight; }
    void SetBarHeight(float inches) { m_barHeight = inches; }
    float GetModuleWidth() const { return m_moduleWidth; }
    // Also sets the narrow element to the module width and the wide element to three times it,
    // and rebuilds the elements with them.
    void SetModuleWidth(float inches);
    float GetBarHeightInUnits() const { return m_barHeight * BARCODE_UNITS_PER_INCH; }
    float GetModuleWidthInUnits() const { return m_moduleWidth * BARCODE_UNITS_PER_INCH; }
    CString GetText() const { return m_text; }
    int GetTextAlign() const { return m_textAlign; }
    void SetTextAlign(int align) { m_textAlign = align; }
    int GetTextPos() const { return m_textPos; }
    void SetTextPos(int pos) { m_textPos = pos; }
    BOOL GetShowText() const { return m_showText; }
    void SetShowText(BOOL show) { m_showText = show; }

    int GetNarrowWidth() const { return m_narrow; }
    int GetWideWidth() const { return m_wide; }
    // The rectangle SetText fitted or Draw last drew into.
    CRect GetLastRect() const { return m_lastRect; }

    // One bar or space of a symbol, in drawing units.
    struct Element {
        int width;
        bool bar;
        friend bool operator==(const Element&, const Element&) = default;
    };
    // Bars and spaces of the symbol of the stored text, left to right, from the first bar to the
    // last, as SetText or SetModuleWidth last built them. An empty filtered text still has the
    // symbology's start and stop, which GetBarsWidth counts, though Draw paints nothing for it.
    std::span<const Element> GetElements() const { return {m_elements.get(), m_elementCount}; }
    // Whether the filtered text holds anything to encode; a symbol without it is not drawn.
    bool HasData() const { return m_hasData; }

protected:
    CBarcode();

    // A filtered text: every filter leaves characters below U+0100 only, so one byte each.
    using Units = QVarLengthArray<std::uint8_t, 128>;

    // Filters the text into out (emptied first); FilterText gives the same as a string.
    virtual void FilterUnits(const CString& text, Units& out) const;
    // Filters the stored text and builds its elements, bars width and filtered string.
    virtual void EncodeText();
    // Appends the bars and spaces of an already filtered text, start and stop included, through
    // ElementRoom and CommitElements.
    virtual void BuildElements(const Units& filtered);
    // Where the next element goes, with room for `more` of them; CommitElements takes the end of
    // those written and adds their widths to the bars width.
    Element* ElementRoom(std::size_t more);
    void CommitElements(const Element* end);
    // The same when the caller knows the width of the elements written.
    void CommitElements(const Element* end, std::int64_t width);
    // Keeps the filtered text as a string for measuring and display, sharing the stored text
    // when filtering changed nothing.
    void KeepFilteredText(const std::uint8_t* units, qsizetype n);
    const CString& FilteredText() const { return m_filteredText; }
    // Narrow element from the module width, wide element narrow × ratio (SetText's first step).
    void SetElementWidths(double ratio);
    // Measures the text at 100 % zoom and fits rect to the bars and the text (SetText's last step).
    void FitRect(CDC* pDC, CRect* rect);
    // The string of the human-readable line.
    virtual CString GetDisplayText(CDC* pDC) const;
    // Paints the bars with their first bar's left edge at x0, across band.
    virtual void DrawBars(CDC* pDC, int x0, const CRect& band) const;
    // The width of the filtered text in the selected font, at the current mapping.
    int MeasureFilteredText(CDC* pDC) const;

    CString m_text;
    int m_narrow = 0;
    int m_wide = 0;
    BOOL m_showText = TRUE;
    int m_textPos = 0;
    int m_textAlign = 0;
    float m_barHeight = 0;
    float m_moduleWidth = 0;
    CRect m_lastRect;
    bool m_hasData = false;

private:
    std::unique_ptr<Element[]> m_elements;
    std::size_t m_elementCount = 0;
    std::size_t m_elementCapacity = 0;
    std::int64_t m_barsWidth = 0;
    CString m_filteredText;
};

// A new symbology object of the id (0 to 13) owned by the caller, or nullptr for any other id.
CBarcode* CreateBarcode(int id, float moduleWidth, float barHeight);

// Inches to drawing units, rounded to the nearest unit and held within a range no symbol needs to
// leave, so that damaged sizes cannot overflow the integer arithmetic of the widths.
int BarcodeUnitsFromInches(double inches);

// The text with every character at or above U+0100 replaced by "00"; the first step of every
// filter but the EAN/UPC family's.
CString BarcodePreFilter(const CString& text);
// The same into a buffer of single-byte units, each character passed to keep(unit) first and
// left out when it says no.
template <class Buffer, class Keep>
void BarcodePreFilter(const CString& text, Buffer& out, Keep keep)
{
    const qsizetype start = out.size();
    out.resize(start + 2 * text.size());
    auto* w = out.data() + start;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c >= 0x100) {
            if (keep(std::uint8_t('0'))) {
                *w++ = '0';
                *w++ = '0';
            }
        } else if (keep(std::uint8_t(c))) {
            *w++ = std::uint8_t(c);
        }
    }
    out.resize(w - out.data());
}
