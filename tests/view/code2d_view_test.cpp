// The 2-D code objects in the editing view: made by the Barcodes palette, shown at two zooms with
// their grey edge handles, and read back from the screen by zxing-cpp.

#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "symbology/zxing_read.h"
#include "paletteview.h"
#include "support/testoutput.h"

namespace {

class Code2DView : public PaletteAndView {
protected:
    void SetUp() override
    {
        PaletteAndView::SetUp();
        const float size[2] = {1000.0f, 600.0f};
        doc.SetLabelSize(size);
    }
    // Drags the palette entry of that caption into the view and drops it there.
    CDrawObj* Drop(const QString& caption, QPoint at)
    {
        QTreeWidgetItem* group = bar->Tree()->topLevelItem(0)->child(1);
        QTreeWidgetItem* entry = nullptr;
        for (int i = 0; i < group->childCount(); ++i)
            if (group->child(i)->text(0) == caption)
                entry = group->child(i);
        if (!entry || !bar->BeginDrag(entry))
            return nullptr;
        bar->DragMove(InView(at.x(), at.y()));
        bar->EndDrag();
        return doc.GetObjects().empty() ? nullptr : doc.GetObjects().back();
    }
};

}  // namespace

TEST_F(Code2DView, ThePaletteMakesFittedSymbolsThatTheScreenShows)
{
    Zoom(100);
    auto* qr = dynamic_cast<CDrawQRCode*>(Drop("QR Code", QPoint(110, 110)));
    auto* pdf = dynamic_cast<CDrawPDF417*>(Drop("PDF417", QPoint(270, 110)));
    auto* dm = dynamic_cast<CDrawDataMatrix*>(Drop("Data Matrix", QPoint(110, 210)));
    ASSERT_TRUE(qr && pdf && dm);
    for (CDrawText* code : std::initializer_list<CDrawText*>{qr, pdf, dm})
        EXPECT_EQ(code->m_text, "12345678");
    EXPECT_EQ(qr->m_position.Size(), CSize(525, 525));
    EXPECT_GT(pdf->Encoder().GetModuleRows(), 0);
    EXPECT_EQ(pdf->m_position.Size(),
              CSize(25 * pdf->Encoder().GetModuleColumns(), 3 * 25 * pdf->Encoder().GetModuleRows()));
    CSize modules;
    ASSERT_TRUE(dm->Encoder().GetSymbolSize(CString("12345678"), modules));
    EXPECT_EQ(dm->m_position.Size(), CSize(50 * modules.cx, 50 * modules.cy));
    EXPECT_EQ(qr->GetName(), "Barcode 1");

    view->Select(qr);
    for (int zoom : {100, 400}) {
        Zoom(zoom);
        const QImage shot = view->viewport()->grab().toImage();
        shot.save(TestOutputDir() + QStringLiteral("/code2d-view-zoom-%1.png").arg(zoom));
        const int dpr = int(shot.devicePixelRatio());
        // The edge handles grey, the corners green.
        const CRect r = qr->m_position;
        const CPoint edge = view->DocToClient(CPoint((r.left + r.right) / 2, r.top));
        const CPoint corner = view->DocToClient(r.TopLeft());
        EXPECT_EQ(QColor(shot.pixel((edge.x + 2) * dpr, (edge.y + 2) * dpr)), QColor(0xBE, 0xBE, 0xBE)) << zoom;
        EXPECT_EQ(QColor(shot.pixel((corner.x + 2) * dpr, (corner.y + 2) * dpr)), QColor(0, 255, 0)) << zoom;
    }
    // At 400 % each module is six pixels: the screen reads as the symbol.
    const QImage shot = view->viewport()->grab().toImage();
    const CPoint lt = view->DocToClient(qr->m_position.TopLeft());
    const CPoint rb = view->DocToClient(qr->m_position.BottomRight());
    const QImage symbol = shot.copy(QRect(QPoint(lt.x - 30, lt.y - 30), QPoint(rb.x + 30, rb.y + 30)));
    EXPECT_EQ(zxread::Decode(symbol, ZXing::BarcodeFormat::QRCode).text, "12345678");
}
