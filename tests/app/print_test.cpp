// Printing sheets of labels through the print road: to PDF files read back with poppler and
// zxing-cpp, from the program's command line and from its print commands.

#include "app/pdfpages.h"
#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/printjob.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/printpreview.h"
#include "printing/labelwizard.h"
#include "printing/printsetup.h"
#include "printing/sheetpreview.h"
#include "printing/tagprintdlg.h"
#include "printing/tagselectdlg.h"
#include "objects/drawtext.h"
#include "support/cupsserver.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"
#include "symbology/zxing_read.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>

#include <algorithm>

using namespace ShellCmd;

namespace {

class Printing : public Shell
{
protected:
    // An A4 sheet of 2 × 5 labels of 95 × 55.4 mm with 10 mm margins; each label shows a
    // serial Code 128 symbol and the same serial as text, counting from 000001.
    void SetUp() override
    {
        Shell::SetUp();
        doc = Active();
        ASSERT_NE(doc, nullptr);
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        UseTwoByFiveSheet(doc);
        auto* code = new CDrawBarcode(CRect(300, 300, 310, 310), view, "000001", BARCODE_ID_CODE128_AUTO);
        code->Content().mode = CONTENT_SERIAL;
        code->Content().step = 1;
        code->MoveTo(CRect(300, 300, 310, 310));
        view->AddObject(code);
        auto* text = new CDrawText(CRect(300, 1500, 3000, 1900), view, "000001");
        text->Content().mode = CONTENT_SERIAL;
        text->Content().step = 1;
        view->AddObject(text);
    }

    QString PrintToPdf(const QString& name)
    {
        const QString pdf = m_files.filePath(name);
        EXPECT_TRUE(m_app->PrintDocument(doc, pdf));
        return pdf;
    }

    // The symbol read from one cell of a rendered A4 page.
    std::string CellText(const QImage& page, int col, int row) const
    {
        return zxread::Decode(page.copy(TwoByFiveCell(col, row)), ZXing::BarcodeFormat::Code128).text;
    }

    static std::string Serial(int n) { return QString("%1").arg(n, 6, 10, QChar('0')).toStdString(); }

    // A second label, made by File > New, on the same sheet with one Code 128 symbol of "LABEL-B".
    CDrawDoc* NewSecondLabel()
    {
        Action(kFileNew)->trigger();
        CDrawDoc* b = Active();
        UseTwoByFiveSheet(b);
        auto* bView = m_app->GetActiveDrawView();
        bView->AddObject(new CDrawBarcode(CRect(300, 300, 310, 310), bView, "LABEL-B", BARCODE_ID_CODE128_AUTO));
        return b;
    }

    CDrawDoc* doc = nullptr;
    CDrawView* view = nullptr;
};

TEST_F(Printing, LabelsFillWholeSheetsInRowOrder)
{
    doc->SetLabelsToPrint(25);
    const QList<QImage> pages = RenderPdf(PrintToPdf("25.pdf"));
    ASSERT_EQ(pages.size(), 3);
    pages[0].save(TestOutputDir() + "/print-pdf-page.png");
    EXPECT_NEAR(pages[0].width(), Px(2100), 1);
    EXPECT_NEAR(pages[0].height(), Px(2970), 1);
    int n = 1;
    for (const QImage& page : pages)
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 2; ++col, ++n)
                EXPECT_EQ(CellText(page, col, row), n <= 25 ? Serial(n) : "<unread>") << "label " << n;

    doc->SetLabelsToPrint(20);
    EXPECT_EQ(RenderPdf(PrintToPdf("20.pdf")).size(), 2);
}

TEST_F(Printing, ARangeOfPagesIsClippedToTheSheetsAndCopiesRepeatTheJob)
{
    doc->SetLabelsToPrint(25);
    QPrinter* printer = m_app->Printer();
    const QString pdf = PrinterToPdf("range.pdf");
    CPrintInfo range;
    range.m_bDirect = TRUE;
    range.SetPageRange(2, 9);
    ASSERT_TRUE(AfxPrintJob(view, printer, &range));
    EXPECT_EQ(range.GetMaxPage(), 3u);
    QList<QImage> pages = RenderPdf(pdf);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(CellText(pages[0], 0, 0), Serial(11));
    EXPECT_EQ(CellText(pages[1], 0, 2), Serial(25));

    // A PDF file makes no copies of its own: the pages come again, labels counted anew.
    ASSERT_FALSE(printer->supportsMultipleCopies());
    printer->setCopyCount(2);
    CPrintInfo copies;
    copies.m_bDirect = TRUE;
    ASSERT_TRUE(AfxPrintJob(view, printer, &copies));
    pages = RenderPdf(pdf);
    ASSERT_EQ(pages.size(), 6);
    EXPECT_EQ(CellText(pages[3], 0, 0), Serial(1));
}

TEST_F(Printing, TheFirstCellLiesAtTheMarginsFromThePapersEdge)
{
    // A black square at the label's corner, alone on the label.
    for (CDrawObj* obj : std::vector<CDrawObj*>(doc->GetObjects())) {
        view->Select(obj);
        doc->Remove(obj);
        delete obj;
    }
    auto* square = new CDrawRect(CRect(0, 0, 600, 600));
    square->m_bBrush = TRUE;
    square->m_logbrush.lbColor = RGB(0, 0, 0);
    doc->Add(square);
    doc->SetMargins(150, 230, 100, 100);
    for (bool fullPage : {false, true}) {
        SCOPED_TRACE(fullPage);
        m_app->Printer()->setFullPage(fullPage);
        const QList<QImage> pages = RenderPdf(PrintToPdf(QString("corner%1.pdf").arg(fullPage)));
        ASSERT_EQ(pages.size(), 1);
        const QImage& page = pages[0];
        int left = -1, top = -1;
        for (int y = 0; y < page.height() && top < 0; ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128) {
                    top = y;
                    left = x;
                    break;
                }
        EXPECT_NEAR(left, Px(150), 1);
        EXPECT_NEAR(top, Px(230), 1);
    }
}

TEST_F(Printing, ThePageHasTheDocumentsPaperTurnedOnce)
{
    doc->SetOrientation(2);
    EXPECT_EQ(PageSize(PrintToPdf("a4.pdf")), "842 x 595");

    // A custom paper keeps its stored size: 4 × 6 in upright, and as stored when turned.
    const float upright[2] = {1016, 1524}, turned[2] = {1524, 1016}, label[2] = {300, 100};
    doc->SetLabelSize(label);
    doc->SetMargins(0, 0, 0, 0);
    doc->SetPaperCode(256);
    doc->SetPaperSize(upright);
    doc->SetOrientation(1);
    EXPECT_EQ(PageSize(PrintToPdf("4x6.pdf")), "288 x 432");
    doc->SetPaperSize(turned);
    doc->SetOrientation(2);
    EXPECT_EQ(PageSize(PrintToPdf("6x4.pdf")), "432 x 288");
    // A paper code Qt does not know is a custom paper.
    doc->SetPaperCode(4242);
    EXPECT_EQ(PageSize(PrintToPdf("unknown.pdf")), "432 x 288");
}

// Sheets no printer can take, as damaged files store them, are refused before anything is
// computed with them: by the print command with the text of a layout that does not fit, and by
// the command line with the same text and exit code 1.
TEST_F(Printing, AnUnprintableSheetIsRefused)
{
    const QString label = m_files.filePath("absurd.tag");
    const QString pdf = m_files.filePath("absurd.pdf");
    const float a4[2] = {2100, 2970}, huge[2] = {4e24f, 2970};
    const int sheet[2] = {2, 5}, none[2] = {0, INT_MAX};
    struct Case {
        const char* what;
        std::function<void()> spoil;
    } cases[] = {
        {"no columns, 2^31 - 1 rows", [&] { doc->SetLabelGrid(none); }},
        {"left margin 5e32", [&] { doc->SetMargins(5e32f, 100, 100, 100); }},
        {"paper 4e24 wide", [&] { doc->SetPaperSize(huge); }},
        {"margin not a number", [&] { doc->SetMargins(100, std::nanf(""), 100, 100); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doc->SetLabelGrid(sheet);
        doc->SetMargins(100, 100, 100, 100);
        doc->SetPaperSize(a4);
        c.spoil();
        EXPECT_FALSE(m_app->PrintDocument(doc, pdf));
        EXPECT_FALSE(QFile::exists(pdf));

        QString said;
        ClickMessageBox(QMessageBox::Ok, &said);
        Action(kFilePrint)->trigger();
        EXPECT_EQ(said, "The labels do not fit on the paper.\nCheck the margins, the label size and the gaps,\n"
                        "or use fewer rows or columns.");

        ASSERT_TRUE(doc->OnSaveDocument(label));
        const ProgramRun run = RunProgram({"/pt", label, pdf}, m_files.path());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("The labels do not fit on the paper.")) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(pdf));
    }
}

// A label whose stored size is beyond any sheet or no number opens, and says so in the words the
// print command refuses it with.
TEST_F(Printing, ALabelOfADamagedSizeOpensWithThePrintCommandsWords)
{
    const QString label = m_files.filePath("damaged-size.tag");
    const float sizes[][2] = {{4e30f, 554}, {std::nanf(""), 554}, {950, -std::numeric_limits<float>::infinity()}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size[0]);
        doc->SetLabelSize(size);
        ASSERT_TRUE(doc->OnSaveDocument(label));
        ASSERT_TRUE(m_app->CloseDocument(doc));

        QString said;
        ClickMessageBox(QMessageBox::Ok, &said);
        m_app->m_askOpenPath = [label] { return label; };
        Action(kFileOpen)->trigger();
        EXPECT_EQ(said, UnprintableSheetText());
        doc = Active();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetPathName(), label);
        EXPECT_FALSE(m_app->GetActiveDrawView()->viewport()->grab().isNull());
    }
    // A label within the limits opens without a word.
    const float fine[2] = {950, 554};
    doc->SetLabelSize(fine);
    ASSERT_TRUE(doc->OnSaveDocument(label));
    ASSERT_TRUE(m_app->CloseDocument(doc));
    MessageBoxWatch watch;
    Action(kFileOpen)->trigger();
    EXPECT_NE(Active(), nullptr);
    EXPECT_EQ(watch.texts, QStringList());
}

// A click on the up-down's upper (up) or lower (down) arrow.
void Step(QScrollBar* upDown, bool up)
{
    QTest::mouseClick(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, up ? 3 : upDown->height() - 3));
}

TEST_F(Printing, ThePrintDialogsCountBoxKeepsACountOfOneOrMore)
{
    const QString pdf = PrinterToPdf("dialog.pdf");
    doc->GetSelectTags().assign(10, CSelectTag {CRect(), TRUE});
    // Cancel keeps the counts and the chosen cells.
    doc->SetLabelsToPrint(12);
    OnNextModal([](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        TypeInto(dialog->LabelsTab()->findChild<QLineEdit*>("158"), "9");
        dialog->reject();
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    EXPECT_EQ(doc->GetLabelsToPrint(), 12);
    EXPECT_EQ(doc->GetSelectTags().size(), 10u);
    EXPECT_EQ(view->m_nLabelsToPrint, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    doc->SetLabelsToPrint(1);

    QStringList seen;
    bool checked = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QWidget* tab = dialog->LabelsTab();
        auto* tabs = qobject_cast<QTabWidget*>(tab->parentWidget()->parentWidget());
        ASSERT_NE(tabs, nullptr);
        const int index = tabs->indexOf(tab);
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
        ASSERT_EQ(tabs->currentWidget(), tab);
        auto* box = tab->findChild<QLineEdit*>("158");
        auto* upDown = tab->findChild<QScrollBar*>("159");
        ASSERT_TRUE(box && upDown);
        dialog->grab().save(TestOutputDir() + "/print-dialog-tab.png");
        seen << box->text();

        for (const QString& typed : {QString("0"), QString("abc"), QString("40000"), QString()}) {
            TypeInto(box, typed);
            QTest::keyClick(box, Qt::Key_Tab);
            seen << box->text();
        }
        // A cleared box takes the next digit as typed.
        TypeInto(box, "5");
        seen << box->text();
        QTest::keyClick(box, Qt::Key_Tab);
        seen << box->text();
        // Stepping: up from 5, then down below 1 is refused.
        Step(upDown, true);
        seen << box->text();
        TypeInto(box, "1");
        QTest::keyClick(box, Qt::Key_Tab);
        Step(upDown, false);
        seen << box->text() + "/" + QString::number(upDown->value());
        // The count typed last is the count printed, also without leaving the box.
        TypeInto(box, "25");
        checked = true;
        ClickAccept(dialog);
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    ASSERT_TRUE(checked);
    EXPECT_EQ(seen, QStringList({"1", "1", "1", "32767", "1", "5", "5", "6", "1/1"}));
    EXPECT_EQ(doc->GetLabelsToPrint(), 25);
    EXPECT_TRUE(doc->GetSelectTags().empty());
    EXPECT_EQ(view->m_nLabelsToPrint, 25);
    EXPECT_EQ(RenderPdf(pdf).size(), 3);
}

TEST_F(Printing, ChoosingCellsFromThePrintDialogPrintsThemOnOneSheet)
{
    const QString pdf = PrinterToPdf("cells.pdf");
    doc->SetLabelsToPrint(25);
    for (bool choose : {false, true}) {
        SCOPED_TRACE(choose);
        OnNextModal([](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            // The count typed here is not read on this road.
            TypeInto(dialog->LabelsTab()->findChild<QLineEdit*>("158"), "3");
            QTest::mouseClick(dialog->LabelsTab()->findChild<QPushButton*>("3"), Qt::LeftButton);
        }, IsA<CTagPrintDlg>);
        OnNextModal([choose](QWidget* w) {
            auto* dialog = qobject_cast<CTagSelectDlg*>(w);
            if (!choose) {
                dialog->reject();
                return;
            }
            QApplication::processEvents();
            const std::vector<CSelectTag> cells = dialog->Preview()->GetCells();
            ASSERT_EQ(cells.size(), 10u);
            for (int i : {0, 2}) {
                const CRect& r = cells[i].rect;
                QTest::mouseClick(dialog->Preview(), Qt::LeftButton, {}, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
            }
            dialog->grab().save(TestOutputDir() + "/print-cells.png");
            QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
        }, IsA<CTagSelectDlg>);
        Action(kFilePrint)->trigger();
        EXPECT_EQ(doc->GetLabelsToPrint(), 25);
        EXPECT_EQ(QFile::exists(pdf), choose);
    }
    const QList<QImage> pages = RenderPdf(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(CellText(pages[0], 0, 0), Serial(1));
    EXPECT_EQ(CellText(pages[0], 1, 0), "<unread>");
    EXPECT_EQ(CellText(pages[0], 0, 1), Serial(2));
    // The job carries the label's name, which the print system shows as its title.
    EXPECT_EQ(m_app->Printer()->docName(), doc->GetTitle());

    // The file is there now: the cells button asks before replacing it, and No keeps the dialog.
    const QDateTime written = QFileInfo(pdf).lastModified();
    QString question;
    bool stayed = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        ClickMessageBox(QMessageBox::No, &question);
        QTest::mouseClick(dialog->LabelsTab()->findChild<QPushButton*>("3"), Qt::LeftButton);
        stayed = dialog->isVisible();
        dialog->reject();
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    EXPECT_TRUE(question.contains("cells.pdf")) << question.toStdString();
    EXPECT_TRUE(stayed);
    EXPECT_EQ(QFileInfo(pdf).lastModified(), written);
}

TEST_F(Printing, EachPrintDialogOpensOnAllPagesAndRefusesPagesItsJobHasNot)
{
    // Label A: 20 labels, pages 2 to 2 of its two sheets.
    PrinterToPdf("a.pdf");
    QString printedTo;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        auto closed = qScopeGuard([dialog] { dialog->reject(); });
        TypeInto(dialog->LabelsTab()->findChild<QLineEdit*>("158"), "20");
        ClickMark(dialog->findChild<QRadioButton*>("printRange"));
        TypeInto(dialog->findChild<QSpinBox*>("from"), "2");
        printedTo = dialog->findChild<QLineEdit*>("filename")->text();
        closed.dismiss();
        ClickAccept(dialog);
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    QList<QImage> pages = RenderPdf(printedTo);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(CellText(pages[0], 0, 0), Serial(11));

    // Label B, one sheet: its dialog asks for all pages; pages 2 to 2 are refused with a message,
    // by OK and by the cells button alike, and the dialog stays.
    CDrawDoc* b = NewSecondLabel();
    ASSERT_NE(b, doc);
    PrinterToPdf("b.pdf");
    QStringList opened, refusals;
    std::vector<bool> stayed;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        auto closed = qScopeGuard([dialog] { dialog->reject(); });
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        auto* all = dialog->findChild<QRadioButton*>("printAll");
        auto* from = dialog->findChild<QSpinBox*>("from");
        ASSERT_TRUE(all && from);
        opened << QString::number(all->isChecked()) << from->text();
        ClickMark(dialog->findChild<QRadioButton*>("printRange"));
        TypeInto(from, "2");
        for (QAbstractButton* press : {static_cast<QAbstractButton*>(dialog->LabelsTab()->findChild<QPushButton*>("3")),
                                       static_cast<QAbstractButton*>(nullptr)}) {
            QString text;
            ClickMessageBox(QMessageBox::Ok, &text);
            if (press)
                QTest::mouseClick(press, Qt::LeftButton);
            else
                ClickAccept(dialog);
            refusals << text;
            stayed.push_back(dialog->isVisible());
        }
        ClickMark(all);
        printedTo = dialog->findChild<QLineEdit*>("filename")->text();
        closed.dismiss();
        ClickAccept(dialog);
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    EXPECT_EQ(opened, QStringList({"1", "1"}));
    ASSERT_EQ(refusals.size(), 2);
    for (const QString& text : refusals)
        EXPECT_TRUE(text.contains("1 page")) << text.toStdString();
    EXPECT_EQ(stayed, std::vector<bool>({true, true}));
    pages = RenderPdf(printedTo);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(CellText(pages[0], 0, 0), "LABEL-B");
}

TEST_F(Printing, PrintToFileOffersAFileNamedAfterTheLabelBeingPrinted)
{
    // A job through the dialog, with the file the dialog offered; Yes when it asks to replace it.
    auto print = [this](QString* offered, bool replace = false) {
        OnNextModal([offered, replace](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            auto closed = qScopeGuard([dialog] { dialog->reject(); });
            auto* name = dialog->findChild<QLineEdit*>("filename");
            ASSERT_NE(name, nullptr);
            *offered = name->text();
            if (replace)
                ClickMessageBox(QMessageBox::Yes);
            closed.dismiss();
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
    };
    // Label A to the file the printer holds.
    const QString first = PrinterToPdf("first.pdf");
    QString offered;
    print(&offered);
    EXPECT_EQ(offered.toStdString(), first.toStdString());
    ASSERT_TRUE(QFile::exists(first));

    // Label B, saved as bins.tag: its own name in the same folder, kept for its next job.
    CDrawDoc* b = NewSecondLabel();
    ASSERT_NE(b, doc);
    const QString saved = m_files.filePath("bins.tag");
    m_app->m_askSavePath = [saved](const CString&) { return saved; };
    ASSERT_TRUE(m_app->SaveDocument(b, false));
    const QString own = m_files.filePath("bins.pdf");
    for (int job = 0; job < 2; ++job) {
        SCOPED_TRACE(job);
        print(&offered, job > 0);
        EXPECT_EQ(offered.toStdString(), own.toStdString());
    }
    const QList<QImage> pages = RenderPdf(own);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(CellText(pages[0], 0, 0), "LABEL-B");
}

TEST_F(Printing, APreviewOfALabelWiderThanItsPaperSaysSoWithinThePage)
{
    struct Case {
        const char* what;
        int code;
        float width, height;
    } cases[] = {{"A4", 9, 2100, 2970}, {"100 x 50 mm", 256, 1000, 500}};
    const int grid[2] = {1, 1};
    doc->SetLabelGrid(grid);
    doc->SetAutoLabelSize(FALSE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const float paper[2] = {c.width, c.height}, wide[2] = {c.width + 400, c.height / 4};
        doc->SetPaperCode(c.code);
        doc->SetPaperSize(paper);
        doc->SetOrientation(c.width > c.height ? 2 : 1);
        doc->SetLabelSize(wide);
        OnNextModal([](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("1"), Qt::LeftButton); },
                    IsA<CTagPreviewDlg>);
        QImage shot;
        OnNextModal([&](QWidget* w) {
            auto* window = qobject_cast<CPrintPreviewWindow*>(w);
            ASSERT_NE(window, nullptr);
            QApplication::processEvents();
            shot = window->Preview()->grab().toImage();
            window->reject();
        }, IsA<CPrintPreviewWindow>);
        Action(kFilePrintPreview)->trigger();
        ASSERT_FALSE(shot.isNull());
        shot.save(TestOutputDir() + "/print-preview-too-wide-" + QString::number(c.code) + ".png");

        // The page is the white of the picture; the sheet preview's red words stand on it.
        QRect page, red;
        std::vector<bool> redRows(size_t(shot.height()), false);
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor px = shot.pixelColor(x, y);
                if (px == Qt::white)
                    page |= QRect(x, y, 1, 1);
                else if (px.red() > 150 && px.green() < 90 && px.blue() < 90) {
                    red |= QRect(x, y, 1, 1);
                    redRows[size_t(y)] = true;
                }
            }
        ASSERT_FALSE(red.isEmpty());
        // The words keep to the page, short of its right edge by at least half their indent:
        // none is cut off there.
        EXPECT_TRUE(page.contains(red));
        EXPECT_GE(page.right() - red.right(), (red.left() - page.left()) / 2)
            << "page " << page.left() << " to " << page.right() << ", words " << red.left() << " to " << red.right();
        // Lines of text follow each other with no empty line between them: no gap between rows of
        // text is as tall as a line.
        std::vector<int> runs, gaps;
        for (int y = red.top(); y <= red.bottom(); ++y) {
            const bool text = redRows[size_t(y)];
            std::vector<int>& v = text ? runs : gaps;
            if (y == red.top() || text != redRows[size_t(y - 1)])
                v.push_back(0);
            ++v.back();
        }
        ASSERT_GE(runs.size(), 3u);
        const int line = *std::max_element(runs.begin(), runs.end());
        for (int gap : gaps)
            EXPECT_LT(gap, line);
    }
}

TEST_F(Printing, APreviewShowsWholeSheetsAndLeavesLastPrintedAlone)
{
    doc->SetZoom(200);
    doc->GetSelectTags().assign(10, CSelectTag {CRect(), TRUE});
    const QString lastPrinted = doc->GetSummInfo()->GetLastPrintDate();
    QStringList counts;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPreviewDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        auto* box = dialog->findChild<QLineEdit*>("158");
        // A refused step leaves the document's count as it was; what is typed is stored.
        Step(dialog->findChild<QScrollBar*>("159"), false);
        counts << box->text() << QString::number(doc->GetLabelsToPrint());
        TypeInto(box, "25");
        counts << QString::number(doc->GetLabelsToPrint());
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
    }, IsA<CTagPreviewDlg>);
    int pages = 0, zoom = 0;
    bool printDialog = false;
    OnNextModal([&](QWidget* w) {
        auto* window = qobject_cast<CPrintPreviewWindow*>(w);
        ASSERT_NE(window, nullptr);
        QApplication::processEvents();
        pages = window->Preview()->pageCount();
        zoom = doc->GetZoom();
        window->grab().save(TestOutputDir() + "/print-preview.png");
        // Its print action runs the print command.
        OnNextModal([&](QWidget* d) {
            printDialog = true;
            qobject_cast<QDialog*>(d)->reject();
        }, IsA<CTagPrintDlg>);
        window->PrintAction()->trigger();
    }, IsA<CPrintPreviewWindow>);
    Action(kFilePrintPreview)->trigger();
    EXPECT_TRUE(printDialog);
    EXPECT_EQ(counts, QStringList({"1", "1", "25"}));
    EXPECT_EQ(pages, 3);
    EXPECT_TRUE(doc->GetSelectTags().empty());
    EXPECT_EQ(zoom, 100);
    EXPECT_EQ(doc->GetZoom(), 200);
    EXPECT_EQ(view->m_nLabelsToPrint, 25);
    EXPECT_EQ(doc->GetSummInfo()->GetLastPrintDate(), lastPrinted);
}

// Whether a dark pixel lies within two across the line at each of its pixels, the two at each end aside.
bool DrawnAlong(const QImage& shot, QPoint from, QPoint to)
{
    const QPoint along = (to - from) / std::max(1, (to - from).manhattanLength()), across(along.y(), along.x());
    const auto dark = [&shot](QPoint p) { return shot.rect().contains(p) && qGray(shot.pixel(p)) < 128; };
    for (QPoint p = from + 2 * along; p != to - along; p += along) {
        bool near = false;
        for (int d = -2; d <= 2 && !near; ++d)
            near = dark(p + d * across);
        if (!near)
            return false;
    }
    return true;
}

// A thin outline maps to less than a screen pixel while the preview shows a whole page.
TEST_F(Printing, ThePreviewShowsEveryEdgeOfThinOutlinesAtEveryZoom)
{
    Action(kFileNew)->trigger();
    doc = Active();
    UseTwoByFiveSheet(doc);
    auto* rect = new CDrawRect(CRect(121, 121, 121 + 2419, 121 + 544));  // 40 x 9 mm, 2 mm in
    doc->Add(rect);
    for (int pen : {6, 1}) {
        rect->m_logpen.lopnWidth = CPoint(pen, pen);
        OnNextModal([](QWidget* w) {
            TypeInto(w->findChild<QLineEdit*>("158"), "10");
            QTest::mouseClick(w->findChild<QPushButton*>("1"), Qt::LeftButton);
        }, IsA<CTagPreviewDlg>);
        int seen = 0;
        OnNextModal([&](QWidget* w) {
            auto* window = qobject_cast<CPrintPreviewWindow*>(w);
            auto closed = qScopeGuard([window] { window->reject(); });
            QApplication::processEvents();
            auto* graphics = window->Preview()->findChild<QGraphicsView*>();
            ASSERT_TRUE(graphics && graphics->scene() && !graphics->scene()->items().isEmpty());
            const QGraphicsItem* page = graphics->scene()->items().constFirst();
            const double dpi = m_app->Printer()->resolution();
            const auto drawn = [&](int cell) {  // in the printer's pixels on the page
                const QRect c = TwoByFiveCell(cell % 2, cell / 2);
                return QRectF(QPointF(c.topLeft()) * dpi / kPdfDpi + QPointF(rect->m_position.left, rect->m_position.top) * dpi / 1536,
                              QSizeF(rect->m_position.Width(), rect->m_position.Height()) * dpi / 1536);
            };
            // From the whole page, zoomed in step by step, on the first label and on the last.
            for (int step = 0; step <= 12; ++step) {
                if (step > 0)
                    window->ZoomInAction()->trigger();
                for (int centre : {0, 9}) {
                    graphics->centerOn(page->mapToScene(drawn(centre).center()));
                    QApplication::processEvents();
                    const QImage shot = graphics->viewport()->grab().toImage();
                    for (int cell = 0; cell < 10; ++cell) {
                        const QRect r = graphics->mapFromScene(page->mapToScene(drawn(cell))).boundingRect();
                        if (!shot.rect().contains(r.adjusted(-3, -3, 3, 3)))
                            continue;
                        ++seen;
                        for (const auto& [from, to] : {std::pair {r.topLeft(), r.topRight()}, std::pair {r.bottomLeft(), r.bottomRight()},
                                                       std::pair {r.topLeft(), r.bottomLeft()}, std::pair {r.topRight(), r.bottomRight()}})
                            EXPECT_TRUE(DrawnAlong(shot, from, to)) << "pen " << pen << ", zoom step " << step << ", label " << cell + 1
                                                                    << ", edge from " << from.x() << ", " << from.y();
                    }
                }
            }
        }, IsA<CPrintPreviewWindow>);
        Action(kFilePrintPreview)->trigger();
        EXPECT_GE(seen, 50);
    }
}

// A print server of the test's own with two queues, Alpha the default.
class PrintSetup : public Shell
{
protected:
    void SetUp() override
    {
        if (!CTestCupsServer::Available())
            GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";
        UseTestCupsServer();
        ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString();
        const QString ppd = QDir::cleanPath(QStringLiteral(QB_TEST_DATA_DIR "/../../printing/sheets.ppd"));
        for (const char* name : {"Alpha", "Beta"})
            ASSERT_TRUE(m_server.AddPrinter(name, ppd)) << m_server.Error().toStdString();
        ASSERT_TRUE(m_server.SetDefault("Alpha")) << m_server.Error().toStdString();
        Shell::SetUp();
    }
    CTestCupsServer m_server;
};

TEST_F(PrintSetup, ThePrinterChosenThereIsOfferedFirstByThePrintDialogAndTheWizard)
{
    QStringList queues;
    OnNextModal([&](QWidget* w) {
        auto* printers = w->findChild<QComboBox*>("printers");
        ASSERT_NE(printers, nullptr);
        for (int i = 0; i < printers->count(); ++i)
            queues << printers->itemText(i);
        FocusIn(w);
        printers->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        w->grab().save(TestOutputDir() + "/print-setup.png");
        ClickAccept(w);
    }, IsA<CPrintSetupDlg>);
    Action(kFilePrintSetup)->trigger();
    EXPECT_EQ(queues, (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(m_app->Printer()->printerName(), "Beta");

    QString offered;
    OnNextModal([&](QWidget* w) {
        offered = w->findChild<QComboBox*>("printers")->currentText();
        qobject_cast<QDialog*>(w)->reject();
    }, IsA<CTagPrintDlg>);
    Action(kFilePrint)->trigger();
    EXPECT_EQ(offered, "Beta");

    QString wizard;
    // The wizard of a new label, on its printer page.
    InstallLabelWizard();
    OnNextModal([&](QWidget* w) {
        auto* sheet = qobject_cast<CPropertySheet*>(w);
        QTest::mouseClick(sheet->Button(ID_WIZNEXT), Qt::LeftButton);
        if (auto* printers = Control<QComboBox>(sheet, 1139))
            wizard = printers->currentText();
        QTest::mouseClick(sheet->Button(IDCANCEL), Qt::LeftButton);
    }, IsA<CPropertySheet>);
    Action(kFileNew)->trigger();
    CDrawDoc::c_labelWizard = {};
    EXPECT_EQ(wizard, "Beta");
}

}  // namespace
