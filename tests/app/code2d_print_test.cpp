// Labels with a QR Code, a PDF417 and a Data Matrix symbol counting a serial number, printed to
// PDF through the print road, rendered by poppler and read back by zxing-cpp.

#include "app/pdfpages.h"
#include "app/shellfixture.h"
#include "support/testoutput.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "symbology/zxing_read.h"

namespace {

// Logical units to pixels of the rendered pages.
int UnitsPx(qint64 units)
{
    return int(units * kPdfDpi / 1536);
}

}  // namespace

class Code2DPrint : public Shell {};

TEST_F(Code2DPrint, EveryLabelsSymbolsCarryItsSerial)
{
    CDrawDoc* doc = Active();
    CDrawView* view = m_app->GetActiveDrawView();
    ASSERT_TRUE(doc && view);
    UseTwoByFiveSheet(doc);
    const std::vector<std::pair<CDrawText*, ZXing::BarcodeFormat>> codes = {
        {new CDrawQRCode(CRect(300, 300, 300, 300), view, "0001"), ZXing::BarcodeFormat::QRCode},
        {new CDrawPDF417(CRect(1500, 300, 1500, 300), view, "0001"), ZXing::BarcodeFormat::PDF417},
        {new CDrawDataMatrix(CRect(300, 1700, 300, 1700), view, "0001"), ZXing::BarcodeFormat::DataMatrix}};
    for (const auto& [code, format] : codes) {
        code->Content().mode = CONTENT_SERIAL;
        code->Content().step = 1;
        view->AddObject(code);
    }
    doc->SetLabelsToPrint(3);
    const QString pdf = QDir(TestOutputDir()).filePath("code2d-labels.pdf");
    ASSERT_TRUE(m_app->PrintDocument(doc, pdf));
    const QList<QImage> pages = RenderPdf(pdf);
    ASSERT_EQ(pages.size(), 1);
    pages[0].copy(0, 0, Px(2100), Px(100 + 2 * 554 + 100)).save(TestOutputDir() + "/code2d-pdf-page.png");

    for (int n = 0; n < 3; ++n) {
        const QPoint cell = TwoByFiveCell(n % 2, n / 2).topLeft();
        for (const auto& [code, format] : codes) {
            const CRect r = code->m_position;
            const QRect around(cell + QPoint(UnitsPx(r.left) - 30, UnitsPx(r.top) - 30),
                               cell + QPoint(UnitsPx(r.right) + 30, UnitsPx(r.bottom) + 30));
            EXPECT_EQ(zxread::Decode(pages[0].copy(around), format).text, "000" + std::to_string(n + 1))
                << code->GetRuntimeClass()->m_lpszClassName << " on label " << n + 1;
        }
    }
    // The fourth cell stays blank.
    const QImage fourth = pages[0].copy(TwoByFiveCell(1, 1));
    int dark = 0;
    for (int y = 0; y < fourth.height(); ++y)
        for (int x = 0; x < fourth.width(); ++x)
            dark += qGray(fourth.pixel(x, y)) < 128;
    EXPECT_EQ(dark, 0);
}
