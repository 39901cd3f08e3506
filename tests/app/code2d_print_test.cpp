// Labels with a QR Code, a PDF417 and a Data Matrix symbol counting a serial number, printed to
// PDF through the print road, rendered by poppler and read back by zxing-cpp.

#include "app/shellfixture.h"
#include "support/testoutput.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "symbology/zxing_read.h"

#include <QDir>
#include <QProcess>

namespace {

constexpr int kDpi = 300;

// Tenths of a millimetre, and logical units, to pixels of the rendered page.
int Px(double tenths)
{
    return qRound(tenths / 254.0 * kDpi);
}
int UnitsPx(qint64 units)
{
    return int(units * kDpi / 1536);
}

QList<QImage> RenderPdf(const QString& pdf)
{
    QTemporaryDir dir;
    QProcess::execute("pdftoppm", {"-r", QString::number(kDpi), "-png", pdf, dir.filePath("page")});
    QList<QImage> pages;
    for (const QString& f : QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name))
        pages.append(QImage(dir.filePath(f)));
    return pages;
}

}  // namespace

class Code2DPrint : public Shell {};

TEST_F(Code2DPrint, EveryLabelsSymbolsCarryItsSerial)
{
    CDrawDoc* doc = Active();
    CDrawView* view = m_app->GetActiveDrawView();
    ASSERT_TRUE(doc && view);
    // An A4 sheet of 2 x 5 labels of 95 x 55.4 mm, 10 mm margins.
    const float paper[2] = {2100, 2970}, label[2] = {950, 554}, gap[2] = {0, 0};
    const int grid[2] = {2, 5};
    doc->SetPaperSize(paper);
    doc->SetPaperCode(9);
    doc->SetLabelSize(label);
    doc->SetLabelGap(gap);
    doc->SetLabelGrid(grid);
    doc->SetMargins(100, 100, 100, 100);

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
        const QPoint cell(Px(100 + (n % 2) * 950), Px(100 + (n / 2) * 554));
        for (const auto& [code, format] : codes) {
            const CRect r = code->m_position;
            const QRect around(cell + QPoint(UnitsPx(r.left) - 30, UnitsPx(r.top) - 30),
                               cell + QPoint(UnitsPx(r.right) + 30, UnitsPx(r.bottom) + 30));
            EXPECT_EQ(zxread::Decode(pages[0].copy(around), format).text, "000" + std::to_string(n + 1))
                << code->GetRuntimeClass()->m_lpszClassName << " on label " << n + 1;
        }
    }
    // The fourth cell stays blank.
    const QImage fourth = pages[0].copy(QRect(QPoint(Px(1050), Px(654)), QSize(Px(950), Px(554))));
    int dark = 0;
    for (int y = 0; y < fourth.height(); ++y)
        for (int x = 0; x < fourth.width(); ++x)
            dark += qGray(fourth.pixel(x, y)) < 128;
    EXPECT_EQ(dark, 0);
}
