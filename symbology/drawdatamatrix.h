#pragma once
// The Data Matrix label object: the ECC 200 symbol of its text at a module size of 5 to 300
// logical units, of the smallest square or rectangular size that holds it or of a fixed size.

#include "symbology/datamatrixencoder.h"
#include "symbology/drawcode2d.h"

class CDrawDataMatrix : public CDrawCode2D {
    DECLARE_SERIAL(CDrawDataMatrix)
protected:
    CDrawDataMatrix();

public:
    static constexpr int kLargestModule = 300;

    // A new object of the palette, fitted to the symbol of the text.
    CDrawDataMatrix(const CRect& position, CDrawViewBase* view, const CString& text);

    void Serialize(CArchive& ar) override;
    // An empty text collapses the rectangle to its left-top corner; a text that fits no size
    // leaves it as it is.
    void FitToText(CDC* dc, CRect* rect, const CString& text) override;

    int GetModuleSize() const override { return m_encoder.m_nModuleSize; }
    void SetModuleSize(int units) override { m_encoder.m_nModuleSize = units; }
    CDataMatrixEncoder& Encoder() { return m_encoder; }

protected:
    std::optional<CSize> Measure(const CString& text) override;
    void PaintSymbol(CDC* dc, const CString& text) override;
    void AttachPage() override;
    void DetachPage() override { m_sheet.dataMatrix = nullptr; }
    void TakePage() override;

private:
    CDataMatrixEncoder m_encoder;
    CDataMatrixPageData m_page;
};
