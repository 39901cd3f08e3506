#pragma once
// The label object of a linear barcode: a text object whose text is drawn as a symbol. The symbol
// is built from the text of the label being drawn, so serial numbers count in the bars as well
// as in the human-readable line, and the object's rectangle always follows the symbol.

#include "objects/drawtext.h"
#include "symbology/barcode.h"

#include <memory>

class CDrawBarcode : public CDrawText {
    DECLARE_SERIAL(CDrawBarcode)
protected:
    CDrawBarcode();

public:
    // Module width and bar height of a new object, inches.
    static constexpr float kNewModuleWidth = 0.01f;
    static constexpr float kNewBarHeight = 0.4f;
    // Resizing changes module width and bar height in these steps, inches.
    static constexpr float kSizeStep = 0.0001f;
    static constexpr float kMinModuleWidth = 0.006f;
    static constexpr float kMinBarHeight = 0.1f;
    static constexpr float kMaxBarHeight = 100.0f;

    // A new object of the barcode tool and the palette: an 8-point human-readable line, the
    // rectangle fitted to the symbol. The document is the view's.
    CDrawBarcode(const CRect& position, CDrawViewBase* view, const CString& text, int symbologyId);
    ~CDrawBarcode() override;

    void Serialize(CArchive& ar) override;

    void AssignDefaultName(CDrawViewBase* view) override;
    void Draw(CDC* dc, int labelIndex) override;
    void FitToText(CDC* dc, CRect* rect, const CString& text) override;
    // A symbol's text is one line.
    bool TakesLineBreaks() const override { return false; }
    // The rectangle the symbol of the text would take from the position's top-left corner with
    // another module width, measured on the DC in the object's font; the object stays as it is.
    CRect SymbolRectWithModule(CDC* dc, float moduleWidth, const CString& text) const;
    // The text object's pages and the barcode page. On OK a changed symbology is rebuilt with
    // the module width, bar height and text settings of the old one, and the box refitted.
    BOOL OnEditProperties(CDrawViewBase* view) override;

    // Gives the symbol the text and fits the object's right and bottom to it (of the box turned
    // back, for a turned object).
    void UpdateBarcode(CDC* dc, const CString& text);

    CBarcode* GetBarcode() const { return m_pBarcode.get(); }
    int GetSymbologyId() const { return m_nSymbology; }

protected:
    // Module width and bar height follow the box in steps; the moved sides follow the symbol.
    void DragUprightHandle(int n, CPoint point, CDrawViewBase* view) override;

private:
    std::unique_ptr<CBarcode> m_pBarcode;
    int m_nSymbology = BARCODE_ID_CODE39;
};

// "%s %d" of the code objects' name and the document's next code number.
CString CodeObjectDefaultName(CDrawDoc* doc);
