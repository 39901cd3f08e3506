#pragma once
// The PDF417 label object: the symbol of its text at a module width of 5 to 150 logical units,
// each symbol row a row-height factor of module widths high.

#include "symbology/drawcode2d.h"
#include "symbology/pdf417encoder.h"

class CDrawPDF417 : public CDrawCode2D {
    DECLARE_SERIAL(CDrawPDF417)
protected:
    CDrawPDF417();

public:
    static constexpr int kLargestModule = 150;
    static constexpr int kMaxRowFactor = 100;

    // A new object of the palette, fitted to the symbol of the text.
    CDrawPDF417(const CRect& position, CDrawViewBase* view, const CString& text);

    void Serialize(CArchive& ar) override;
    Qt::CursorShape CursorForHandle(int n) override { return CornerCursor(n); }

    int GetModuleSize() const override { return m_nModuleWidth; }
    void SetModuleSize(int units) override { m_nModuleWidth = units; }
    int GetRowFactor() const { return m_nRowFactor; }
    void SetRowFactor(int factor) { m_nRowFactor = factor; }
    CPDF417Encoder& Encoder() { return m_encoder; }

protected:
    std::optional<CSize> Measure(const CString& text) override;
    void PaintSymbol(CDC* dc, const CString& text) override;
    int RowFactor() const override { return m_nRowFactor; }
    void AttachPage() override;
    void DetachPage() override { m_sheet.pdf417 = nullptr; }
    void TakePage() override;

private:
    int m_nModuleWidth = 25;
    int m_nRowFactor = 3;
    CPDF417Encoder m_encoder;
    CPDF417PageData m_page;
};
