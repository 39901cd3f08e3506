#pragma once
// The QR Code label object: the symbol of its text at a module size of 5 to 150 logical units,
// its encoder's settings stored with it.

#include "symbology/drawcode2d.h"
#include "symbology/qrcodeencoder.h"

class CDrawQRCode : public CDrawCode2D {
    DECLARE_SERIAL(CDrawQRCode)
protected:
    CDrawQRCode();

public:
    static constexpr int kLargestModule = 150;
    // The reserved strings stored with the object.
    static constexpr int kReservedStrings = 5;

    // A new object of the palette, fitted to the symbol of the text.
    CDrawQRCode(const CRect& position, CDrawViewBase* view, const CString& text);

    void Serialize(CArchive& ar) override;
    Qt::CursorShape CursorForHandle(int n) override { return CornerCursor(n); }

    int GetModuleSize() const override { return m_encoder.GetModuleSize(); }
    void SetModuleSize(int units) override { m_encoder.SetModuleSize(units); }
    CQRCodeEncoder& Encoder() { return m_encoder; }

protected:
    std::optional<CSize> Measure(const CString& text) override;
    void PaintSymbol(CDC* dc, const CString& text) override;
    CString Placeholder() const override { return QStringLiteral("<EMPTY>"); }
    void AttachPage() override;
    void DetachPage() override { m_sheet.qrcode = nullptr; }
    void TakePage() override;
    void ReportFailure(bool again) override;

private:
    int m_nReserved = 0;
    CString m_reserved[kReservedStrings];
    CQRCodeEncoder m_encoder;
    CQRCodePageData m_page;
    bool m_complained = false;
};
