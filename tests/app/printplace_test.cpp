// Where printed labels land on the paper, with a print server of the test's own whose queue cannot
// print the outer 6.35 mm of the paper: a polygon drawn with the polygon tool on a 3 x 7 sheet,
// printed through the print dialog and shown in the print preview; the paper of jobs sent through
// the print dialog and the pages chosen there; and serial numbers far down a long job.

#include "app/pdfpages.h"
#include "app/shellfixture.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/printpreview.h"
#include "objects/drawpoly.h"
#include "printing/tagprintdlg.h"
#include "support/cupsserver.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"
#include "symbology/zxing_read.h"
#include "view/drawtool.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTabWidget>

using namespace ShellCmd;

namespace {

// A 3 x 7 sheet of 63.5 x 38.1 mm labels on A4: margins 7.2 mm left and 15.1 mm top, columns
// 2.5 mm apart.
constexpr int kLeft = 72, kTop = 151, kWidth = 635, kHeight = 381, kGapX = 25;

QRect CellPx(int cell)
{
    const int col = cell % 3, row = cell / 3;
    return QRect(Px(kLeft + col * (kWidth + kGapX)), Px(kTop + row * kHeight), Px(kWidth), Px(kHeight));
}

// The smallest rectangle holding every dark pixel of an area of a page; empty when there is none.
QRect InkBox(const QImage& page, const QRect& area)
{
    QRect box;
    const QRect r = area & page.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

std::string Box(const QRect& r)
{
    return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

// The first page of a print preview drawn at 300 dpi on a picture of the given size, as the
// preview window shows it; the preview's pages measure pixels of the printer's resolution.
QImage PreviewPage(CPrintPreviewWindow* window, QSize size, int printerDpi)
{
    auto* graphics = window->Preview()->findChild<QGraphicsView*>();
    if (!graphics || !graphics->scene())
        return {};
    QGraphicsItem* first = nullptr;
    for (QGraphicsItem* item : graphics->scene()->items())
        if (!first || item->scenePos().y() < first->scenePos().y())
            first = item;
    if (!first)
        return {};
    // A page item's bounds are its paper with a shadow border all round.
    const QRectF bounds = first->boundingRect();
    const QRectF paper(0, 0, bounds.width() + 2 * bounds.left(), bounds.height() + 2 * bounds.top());
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    const double scale = double(kPdfDpi) / printerDpi;
    graphics->scene()->render(&painter, QRectF(0, 0, paper.width() * scale, paper.height() * scale),
                              first->mapRectToScene(paper));
    return page;
}

// The value of a job's attribute in the server's record of the job (IPP encoding: value tag,
// name length and name, value length and value); empty when the job has none.
QString JobAttribute(const QString& control, const QByteArray& attribute)
{
    QFile f(control);
    if (!f.open(QIODevice::ReadOnly))
        return "<no record>";
    const QByteArray bytes = f.readAll();
    const QByteArray name = QByteArray(1, '\0') + char(attribute.size()) + attribute;
    const qsizetype at = bytes.indexOf(name);
    const qsizetype value = at + name.size() + 2;
    if (at < 0 || value > bytes.size())
        return {};
    const int length = (quint8(bytes[value - 2]) << 8) | quint8(bytes[value - 1]);
    return QString::fromLatin1(bytes.mid(value, length));
}

// A 3 x 7 sheet in the main window, and, when cupsd is installed, a print server of the test's
// own with a queue "Labels" (tests/app/labels.ppd) that is the application's printer.
class PrintPlace : public Shell
{
protected:
    void SetUp() override
    {
        if (CTestCupsServer::Available()) {
            UseTestCupsServer();
            ASSERT_TRUE(server.Start()) << server.Error().toStdString();
            const QString ppd = QDir::cleanPath(QStringLiteral(QB_TEST_DATA_DIR "/../labels.ppd"));
            ASSERT_TRUE(server.AddPrinter("Labels", ppd)) << server.Error().toStdString();
            ASSERT_TRUE(server.SetDefault("Labels")) << server.Error().toStdString();
            queue = true;
        }
        Shell::SetUp();
        ShowFrame();
        doc = Active();
        view = m_app->GetActiveDrawView();
        ASSERT_TRUE(doc && view);
        const float paper[2] = {2100, 2970}, label[2] = {kWidth, kHeight}, gap[2] = {kGapX, 0};
        const int grid[2] = {3, 7};
        doc->SetPaperSize(paper);
        doc->SetPaperCode(9);
        doc->SetOrientation(1);
        doc->SetLabelSize(label);
        doc->SetLabelGap(gap);
        doc->SetLabelGrid(grid);
        doc->SetMargins(kLeft, kTop, 100, 100);
        if (queue) {
            m_app->Printer()->setOutputFormat(QPrinter::NativeFormat);
            m_app->Printer()->setPrinterName("Labels");
            ASSERT_TRUE(m_app->Printer()->isValid());
        }
    }

    // The file and the media of the server's job `job`, once the server has it; the media with
    // the job's PageSize when it has one.
    std::pair<QString, QString> Job(int job)
    {
        const QString data = JobFile(job, "d", "-001"), control = JobFile(job, "c");
        QElapsedTimer waited;
        waited.start();
        while (!(QFile::exists(data) && QFile::exists(control)) && waited.elapsed() < HangBoundMs(30000))
            QTest::qWait(50);
        EXPECT_TRUE(QFile::exists(data)) << "the server has no job " << job << " after " << waited.elapsed() / 1000 << " s";
        QString media = JobAttribute(control, "media");
        if (const QString pageSize = JobAttribute(control, "PageSize"); !pageSize.isEmpty())
            media += " PageSize=" + pageSize;
        return {data, media};
    }

    // The server's file of a job: its record ("c") or its document ("d", "-001").
    QString JobFile(int job, const char* kind, const char* suffix = "") const
    {
        return server.SpoolDir() + "/" + kind + QString("%1").arg(job, 5, 10, QChar('0')) + suffix;
    }

    // A press and release where a logical point of the label shows, delivered to the window.
    void ClickAt(CPoint logical)
    {
        QWidget* port = view->viewport();
        const CPoint client = view->DocToClient(logical);
        QWindow* window = port->window()->windowHandle();
        const QPoint at = port->mapTo(port->window(), QPoint(client.x, client.y));
        QTest::mouseMove(window, at);
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
    }

    CTestCupsServer server;
    bool queue = false;
    CDrawDoc* doc = nullptr;
    CDrawView* view = nullptr;
};

TEST_F(PrintPlace, APolygonPrintsInEveryCellWhereItIsOnTheDesignInPrintAndPreview)
{
    // The queue's printer cannot print the outer 6.35 mm of the paper.
    if (!queue)
        GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";

    // The polygon tool: three corners, then back on the first closes the outline.
    Update();
    Action(32782)->trigger();
    for (const CPoint p : {CPoint(400, 300), CPoint(3200, 700), CPoint(1700, 2000), CPoint(400, 300)})
        ClickAt(p);
    ASSERT_EQ(doc->GetObjects().size(), 1u);
    auto* poly = dynamic_cast<CDrawPoly*>(doc->GetObjects().front());
    ASSERT_NE(poly, nullptr);
    ASSERT_EQ(poly->GetPointCount(), 3);
    const CRect design = poly->m_position;
    m_frame->grab().save(TestOutputDir() + "/polygon-design.png");

    // File > Print, 21 labels, OK: the queue's job is what the paper gets.
    OnNextModal([](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        // A step that fails closes the dialog, so that the command returns.
        auto closed = qScopeGuard([dialog] { dialog->reject(); });
        TypeInto(dialog->LabelsTab()->findChild<QLineEdit*>("158"), "21");
        closed.dismiss();
        ClickAccept(dialog);
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    EXPECT_NEAR(m_app->Printer()->pageLayout().margins(QPageLayout::Millimeter).left(), 6.35, 0.05);
    const QList<QImage> pages = RenderPdf(Job(1).first);
    ASSERT_EQ(pages.size(), 1);
    const QImage& printed = pages[0];
    printed.save(TestOutputDir() + "/polygon-print.png");

    // File > Print Preview with the same count.
    QImage previewed;
    OnNextModal([](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>("1"), Qt::LeftButton);
    }, IsA<CTagPreviewDlg>);
    OnNextModal([&](QWidget* w) {
        auto* window = qobject_cast<CPrintPreviewWindow*>(w);
        QApplication::processEvents();
        window->grab().save(TestOutputDir() + "/polygon-preview-window.png");
        previewed = PreviewPage(window, printed.size(), m_app->Printer()->resolution());
        window->reject();
    }, IsA<CPrintPreviewWindow>);
    Action(kFilePrintPreview)->trigger();
    ASSERT_FALSE(previewed.isNull());
    previewed.save(TestOutputDir() + "/polygon-preview.png");

    // The outline's ink box is its design box moved by the cell, on paper and in the preview.
    for (int cell : {0, 1, 20}) {
        SCOPED_TRACE(cell + 1);
        const QRect c = CellPx(cell);
        const QRect expected(c.left() + qRound(design.left * 300.0 / 1536), c.top() + qRound(design.top * 300.0 / 1536),
                             qRound(design.Width() * 300.0 / 1536), qRound(design.Height() * 300.0 / 1536));
        const QRect ink = InkBox(printed, c);
        const QRect shown = InkBox(previewed, c);
        for (const QRect& r : {ink, shown}) {
            EXPECT_NEAR(r.left(), expected.left(), 2) << Box(r) << " expected " << Box(expected);
            EXPECT_NEAR(r.top(), expected.top(), 2) << Box(r) << " expected " << Box(expected);
            EXPECT_NEAR(r.right(), expected.right(), 2) << Box(r) << " expected " << Box(expected);
            EXPECT_NEAR(r.bottom(), expected.bottom(), 2) << Box(r) << " expected " << Box(expected);
        }
    }
    // The preview shows the paper's ink, to a pixel of rounding.
    const QRect all = InkBox(printed, printed.rect()), allShown = InkBox(previewed, previewed.rect());
    EXPECT_NEAR(all.left(), allShown.left(), 1);
    EXPECT_NEAR(all.top(), allShown.top(), 1);
    EXPECT_NEAR(all.right(), allShown.right(), 1);
    EXPECT_NEAR(all.bottom(), allShown.bottom(), 1);
}

TEST_F(PrintPlace, SerialNumbersCountOnPastTheIntRange)
{
    // A Code 128 made a serial on its Data Source page: start 0, step 100000, OK.
    auto* code = AddSelected(new CDrawBarcode(CRect(200, 200, 200, 200), view, "12345678", BARCODE_ID_CODE128_AUTO));
    RunSheet([&](CPropertySheet* sheet) {
        auto closed = qScopeGuard([sheet] { static_cast<QDialog*>(sheet)->reject(); });
        CPropertyPage* page = sheet->GetActivePage();
        auto* mode = GetDlgItem<QComboBox>(page, 133);
        ASSERT_NE(mode, nullptr);
        mode->setFocus();
        ASSERT_EQ(FocusIn(sheet), mode);
        QTest::keyClicks(mode, "Serial");
        ASSERT_EQ(mode->currentText(), "Serial number");
        TypeInto(GetDlgItem(page, 128), "0");
        TypeInto(GetDlgItem(page, 134), "100000");
        closed.dismiss();
        QTest::mouseClick(sheet->Button(IDOK), Qt::LeftButton);
    });
    ASSERT_EQ(code->Content().mode, CONTENT_SERIAL);
    ASSERT_EQ(code->Content().step, 100000);

    // Label 30000 (counted from 0) is the 13th cell of sheet 1429.
    doc->SetLabelsToPrint(30001);
    const QString pdf = PrinterToPdf("serial.pdf");
    CPrintInfo info;
    info.m_bDirect = TRUE;
    info.SetPageRange(1429, 1429);
    ASSERT_TRUE(AfxPrintJob(view, m_app->Printer(), &info));
    const QList<QImage> pages = RenderPdf(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(zxread::Decode(pages[0].copy(CellPx(12)), ZXing::BarcodeFormat::Code128).text, "3000000000");
}

TEST_F(PrintPlace, JobsThroughThePrintDialogCarryTheQueuesOwnPaperAndItsPropertiesShowIt)
{
    if (!queue)
        GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";
    const float label[2] = {300, 200}, gap[2] = {0, 0};
    const int grid[2] = {1, 1};
    doc->SetLabelSize(label);
    doc->SetLabelGap(gap);
    doc->SetLabelGrid(grid);
    doc->SetMargins(100, 100, 100, 100);
    struct Case {
        const char* what;
        int code, width, height, orientation;
        const char* page;  // in points
        const char* media;
        const char* shown;  // the paper of Print > Properties; empty: the user picks 4 x 6 in there
    } cases[] = {
        {"Letter", 1, 2159, 2794, 1, "612 x 792", "Letter", "US Letter"},
        {"4 x 6 in", 256, 1016, 1524, 1, "288 x 432", "w288h432", "4 x 6 in"},
        {"100 x 50 mm", 256, 1000, 500, 2, "283 x 142", "w283h142", "100 x 50 mm"},
        {"50 x 100 mm, the queue's paper turned", 256, 500, 1000, 1, "142 x 283", "w283h142", "100 x 50 mm"},
        {"landscape A4", 9, 2100, 2970, 2, "842 x 595", "A4", "A4"},
        {"A5 of a custom code", 256, 1480, 2100, 1, "420 x 595", "A5", "A5"},
        // Only a size the queue lacks is a custom one.
        {"80 x 40 mm", 256, 800, 400, 2, "227 x 113", "Custom.40x80mm", "Custom"},
        // A paper the user picks in the printer's properties is the job's.
        {"Letter, 4 x 6 in chosen", 1, 2159, 2794, 1, "288 x 432", "w288h432", ""},
    };
    int job = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const float paper[2] = {float(c.width), float(c.height)};
        doc->SetPaperCode(c.code);
        doc->SetPaperSize(paper);
        doc->SetOrientation(c.orientation);
        bool accepted = false;
        QString shown;
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            // A step that fails closes the dialog, so that the command returns.
            auto closed = qScopeGuard([dialog] { dialog->reject(); });
            // Print > Properties, where the user may also pick a paper.
            const bool choose = !*c.shown;
            OnNextModal([&](QWidget* properties) {
                auto closedToo = qScopeGuard([properties] { qobject_cast<QDialog*>(properties)->reject(); });
                auto* sizes = properties->findChild<QComboBox*>("pageSizeCombo");
                ASSERT_NE(sizes, nullptr);
                shown = sizes->currentText();
                if (!choose)
                    return;
                const int wanted = sizes->findText("4 x 6 in");
                ASSERT_GE(wanted, 0);
                ASSERT_NE(sizes->currentIndex(), wanted);
                // Stepped to with the keys, as a user picks it.
                sizes->setFocus();
                while (sizes->currentIndex() != wanted)
                    QTest::keyClick(sizes, sizes->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
                closedToo.dismiss();
                ClickAccept(properties);
            }, [dialog](QWidget* m) { return m != dialog; });
            auto* properties = dialog->findChild<QPushButton*>("properties");
            ASSERT_NE(properties, nullptr);
            QTest::mouseClick(properties, Qt::LeftButton);
            accepted = true;
            closed.dismiss();
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
        ASSERT_TRUE(accepted);
        if (*c.shown) {
            EXPECT_EQ(shown.toStdString(), c.shown);
        }
        const auto [file, media] = Job(++job);
        EXPECT_EQ(PageSize(file), c.page);
        EXPECT_EQ(media.toStdString(), c.media);
    }
}

// After a job to a file, Print > Properties of the queue shows the paper its job gets.
TEST_F(PrintPlace, PropertiesShowTheQueuesPaperAfterAJobToAFile)
{
    if (!queue)
        GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";
    const float paper[2] = {1000, 500}, label[2] = {300, 200}, gap[2] = {0, 0};
    const int grid[2] = {1, 1};
    doc->SetPaperCode(256);
    doc->SetPaperSize(paper);
    doc->SetOrientation(2);
    doc->SetLabelSize(label);
    doc->SetLabelGap(gap);
    doc->SetLabelGrid(grid);
    doc->SetMargins(100, 100, 100, 100);
    QString shown;
    bool landscape = true;
    for (bool toFile : {true, false}) {
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            auto closed = qScopeGuard([dialog] { dialog->reject(); });
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            // Print to file is the list's last entry; each is chosen with the keys.
            auto* printers = dialog->findChild<QComboBox*>("printers");
            const int wanted = toFile ? printers->count() - 1 : printers->findText("Labels");
            printers->setFocus();
            while (printers->currentIndex() != wanted)
                QTest::keyClick(printers, printers->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
            if (toFile) {
                TypeInto(dialog->findChild<QLineEdit*>("filename"), m_files.filePath("first.pdf"));
            } else {
                OnNextModal([&](QWidget* properties) {
                    shown = properties->findChild<QComboBox*>("pageSizeCombo")->currentText();
                    landscape = properties->findChild<QRadioButton*>("landscape")->isChecked();
                    qobject_cast<QDialog*>(properties)->reject();
                }, [dialog](QWidget* m) { return m != dialog; });
                QTest::mouseClick(dialog->findChild<QPushButton*>("properties"), Qt::LeftButton);
            }
            closed.dismiss();
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
    }
    // The queue's 100 x 50 mm paper is wider than tall: the job goes on it upright.
    EXPECT_EQ(shown.toStdString(), "100 x 50 mm");
    EXPECT_FALSE(landscape);
    EXPECT_EQ(Job(1).second.toStdString(), "w283h142");
}

TEST_F(PrintPlace, PagesChosenInThePrintDialogReachTheQueueOnce)
{
    if (!queue)
        GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";
    // 105 serial labels fill five sheets; a sheet is known by the serial of its first cell.
    auto* code = new CDrawBarcode(CRect(300, 300, 310, 310), view, "000001", BARCODE_ID_CODE128_AUTO);
    code->Content().mode = CONTENT_SERIAL;
    code->Content().step = 1;
    code->MoveTo(CRect(300, 300, 310, 310));
    view->AddObject(code);

    // File > Print, 105 labels, the pages from and to typed on the dialog's page of copies and
    // pages; a range with no page of the job first, when given, which is refused.
    QStringList offered;
    QString refusal;
    auto print = [&](const char* from, const char* to, const char* refused = nullptr) {
        offered.clear();
        OnNextModal([&, from, to, refused](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            auto closed = qScopeGuard([dialog] { dialog->reject(); });
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
            TypeInto(dialog->LabelsTab()->findChild<QLineEdit*>("158"), "105");
            auto* tabs = dialog->findChild<QTabWidget*>("tabs");
            ASSERT_NE(tabs, nullptr);
            const int pagesTab = tabs->indexOf(dialog->findChild<QWidget*>("copiesTab"));
            ASSERT_GE(pagesTab, 0);
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(pagesTab).center());
            ASSERT_EQ(tabs->currentIndex(), pagesTab);
            dialog->grab().save(TestOutputDir() + "/print-pages-tab.png");
            // Every control that chooses pages and that the user sees.
            auto* range = dialog->findChild<QWidget*>("gbPrintRange");
            ASSERT_NE(range, nullptr);
            for (QWidget* c : range->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c->isVisibleTo(dialog) && (qobject_cast<QRadioButton*>(c) || qobject_cast<QLineEdit*>(c)))
                    offered << c->objectName();
            ClickMark(dialog->findChild<QRadioButton*>("printRange"));
            auto* first = dialog->findChild<QSpinBox*>("from");
            auto* last = dialog->findChild<QSpinBox*>("to");
            if (refused) {
                TypeInto(first, refused);
                TypeInto(last, refused);
                ClickMessageBox(QMessageBox::Ok, &refusal);
                ClickAccept(dialog);
                ASSERT_TRUE(dialog->isVisible());
            }
            TypeInto(first, from);
            TypeInto(last, to);
            closed.dismiss();
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
    };
    // The sheets the server got for a job, by the serials of their first cells.
    auto sheets = [this](int job) {
        std::string first;
        for (const QImage& page : RenderPdf(Job(job).first))
            first += zxread::Decode(page.copy(CellPx(0)), ZXing::BarcodeFormat::Code128).text + ' ';
        return first;
    };

    print("2", "3");
    // Pages are chosen from-to only; a list of pages would be cut again by the server.
    EXPECT_EQ(offered.join(' ').toStdString(), "printAll printRange");
    EXPECT_EQ(sheets(1), "000022 000043 ");
    EXPECT_TRUE(JobAttribute(JobFile(1, "c"), "page-ranges").isEmpty());

    print("4", "5", "9");
    EXPECT_TRUE(refusal.contains("5 page")) << refusal.toStdString();
    EXPECT_EQ(sheets(2), "000064 000085 ");
    EXPECT_TRUE(JobAttribute(JobFile(2, "c"), "page-ranges").isEmpty());
}

}  // namespace
