// The label drawn into a picture for export: bands of 1024 rows that join without a seam, the
// resolution recorded, the format named by the file's extension, and symbols that read back.

#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/uistrings.h"
#include "image/rasterimage.h"
#include "objects/drawobj.h"
#include "symbology/barcode.h"
#include "symbology/drawbarcode.h"
#include "symbology/zxing_read.h"
#include "view/drawview.h"
#include "support/testoutput.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTransform>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

class LabelExport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
        AfxSetStringLoader([](UINT id) { return CResourceModule::Get().LoadString(id); });
    }
    static void TearDownTestSuite() { AfxSetStringLoader({}); }
    void SetUp() override
    {
        view = std::make_unique<CDrawView>();
        view->resize(600, 400);
        view->AttachDocument(&doc);
        ASSERT_TRUE(dir.isValid());
    }
    void SetLabel(float w, float h)
    {
        const float size[2] = {w, h};
        doc.SetLabelSize(size);
    }
    // Exports, closing the message that tells the outcome.
    bool Save(const QString& name, int dpi, QString* message = nullptr)
    {
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [message, &poll] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll.stop();
                if (message)
                    *message = box->text();
                box->accept();
            }
        });
        poll.start();
        return view->ExportLabel(dir.filePath(name), dpi);
    }
    QByteArray Head(const QString& name, int n)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
    }

    CDrawDoc doc;
    std::unique_ptr<CDrawView> view;
    QTemporaryDir dir;
};

}  // namespace

TEST_F(LabelExport, SizeResolutionAndFormatFollowTheLabelAndTheName)
{
    SetLabel(500.0f, 300.0f);
    const int screenExtent = view->GetViewportExtent();
    QString message;
    ASSERT_TRUE(Save("label.png", 300, &message));
    EXPECT_EQ(message, "The file was saved.");
    QImage png(dir.filePath("label.png"));
    EXPECT_EQ(png.size(), QSize(590, 354));
    EXPECT_EQ(png.dotsPerMeterX(), 11811);
    EXPECT_EQ(Head("label.png", 4), QByteArray("\x89PNG", 4));
    EXPECT_EQ(view->GetViewportExtent(), screenExtent);

    ASSERT_TRUE(Save("label.JPEG", 96));
    EXPECT_EQ(Head("label.JPEG", 3), QByteArray("\xFF\xD8\xFF", 3));
    ASSERT_TRUE(Save("label.tiff", 96));
    EXPECT_EQ(Head("label.tiff", 4), QByteArray("II*\0", 4));
    ASSERT_TRUE(Save("label.xyz", 96));
    EXPECT_EQ(Head("label.xyz", 2), QByteArray("BM"));

    // A folder that does not exist: the failure is told with the system's cause.
    EXPECT_FALSE(Save("missing/label.png", 96, &message));
    EXPECT_EQ(message, "The file could not be written.\n\n" + QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST_F(LabelExport, BandsJoinWithoutASeam)
{
    // 63.5 mm at 1000 dpi is 2500 rows: bands of 1024, 1024 and 452.
    SetLabel(100.0f, 635.0f);
    auto* ellipse = new CDrawRect(CRect(-200, 30, 1000, 3800));
    ellipse->m_nShape = CDrawRect::ellipse;
    ellipse->m_bBrush = TRUE;
    ellipse->m_logbrush.lbColor = RGB(20, 40, 200);
    doc.Add(ellipse);
    const int w = 393, h = 2500;
    CRasterImage image;
    ASSERT_TRUE(image.Create(DWORD(w), DWORD(h), 24, RASTER_FORMAT_BMP));
    view->RenderLabel(&image, w, h, 1000);
    EXPECT_EQ(image.GetXDPI(), 1000);

    // The same label drawn in one piece.
    QImage whole(w, h, QImage::Format_RGB32);
    whole.fill(Qt::white);
    whole.setDotsPerMeterX(qRound(1000 / 0.0254));
    whole.setDotsPerMeterY(qRound(1000 / 0.0254));
    view->SetFixedViewportExtent(TRUE, 1000);
    {
        CPainterDC dc(&whole, true);
        view->OnPrepareDC(&dc);
        doc.Draw(&dc, view.get());
    }
    view->SetFixedViewportExtent(FALSE);
    const QImage banded = image.ToQImage().convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            differing += banded.pixel(x, y) != whole.pixel(x, y);
    EXPECT_EQ(differing, 0);
    for (int row : {1023, 2047})
        EXPECT_EQ(banded.pixel(w / 4, row), banded.pixel(w / 4, row + 1)) << row;
}

TEST_F(LabelExport, SymbolsReadBackFromTheExportedPicture)
{
    SetLabel(800.0f, 1000.0f);
    const struct {
        int id;
        QString data;
        ZXing::BarcodeFormat format;
        std::string expected;
    } codes[] = {
        {BARCODE_ID_CODE128_AUTO, "QB-2026", ZXing::BarcodeFormat::Code128, "QB-2026"},
        {BARCODE_ID_EAN13, "400638133393", ZXing::BarcodeFormat::EAN13, "4006381333931"},
        {BARCODE_ID_CODE39, "LABEL42", ZXing::BarcodeFormat::Code39, "LABEL42"},
        {BARCODE_ID_ITF14, "15400141288763", ZXing::BarcodeFormat::ITF, "15400141288763"},
    };
    std::vector<CRect> boxes;
    int top = 300;
    for (const auto& code : codes) {
        auto* barcode = new CDrawBarcode(CRect(300, top, 3300, top + 1000), view.get(), code.data, code.id);
        doc.Add(barcode);
        boxes.push_back(barcode->m_position);
        top += 1400;
    }
    ASSERT_TRUE(Save("codes.png", 300));
    const QImage png(dir.filePath("codes.png"));
    png.save(TestOutputDir() + "/exported-codes.png");
    for (size_t i = 0; i < boxes.size(); ++i) {
        CRect r = boxes[i];
        r.NormalizeRect();
        const QRect area(r.left * 300 / 1536 - 40, r.top * 300 / 1536 - 40, r.Width() * 300 / 1536 + 80,
                         r.Height() * 300 / 1536 + 80);
        EXPECT_EQ(zxread::Decode(png.copy(area), codes[i].format).text, codes[i].expected) << i;
    }
}

TEST_F(LabelExport, TurnedSymbolsAndTextsAreDrawnWholeInTheViewAndOnPaper)
{
    SetLabel(800.0f, 800.0f);
    auto* barcode = new CDrawBarcode(CRect(1000, 1500, 3500, 2300), view.get(), "TURN-90", BARCODE_ID_CODE128_AUTO);
    doc.Add(barcode);
    view->resize(900, 900);
    view->show();
    view->OnActivateView(TRUE);
    for (int quarter = 1; quarter <= 3; ++quarter) {
        SCOPED_TRACE(quarter);
        const CRect before = barcode->m_position;
        barcode->Rotate90();

        // On paper, and in the view at 200 %: turned back, the symbol reads.
        ASSERT_TRUE(Save("turned.png", 300));
        const CRect stored = barcode->m_position;
        // The turn keeps the centre and exchanges the sides, give or take the symbol's refit.
        EXPECT_NEAR(stored.CenterPoint().x, before.CenterPoint().x, 2);
        EXPECT_NEAR(stored.Width(), before.Height(), 2);
        const QImage paper(dir.filePath("turned.png"));
        doc.SetZoom(200);
        const int e = view->GetViewportExtent();
        view->ScrollToPosition(CPoint(10 * e - 40, 10 * e - 40));
        QImage screen(view->viewport()->size(), QImage::Format_RGB32);
        {
            QPainter painter(&screen);
            view->Paint(painter, QRect(QPoint(0, 0), screen.size()));
        }
        view->Select(nullptr);
        screen.save(TestOutputDir() + QStringLiteral("/turned-view-%1.png").arg(quarter * 90));
        for (const QImage& image : {paper, screen}) {
            const QImage back = image.transformed(QTransform().rotate(90.0 * quarter));
            EXPECT_EQ(zxread::Decode(back, ZXing::BarcodeFormat::Code128).text, "TURN-90");
        }
        // Drawing again and again leaves the box where it is.
        ASSERT_TRUE(Save("turned.png", 300));
        EXPECT_EQ(barcode->m_position, stored);
        EXPECT_EQ(barcode->m_logfont.lfEscapement, 900 * quarter);
    }
}
