// Printing the records chosen for printing: the print-data button of the print and preview
// dialogs, the print-data dialog, and sheets whose bound objects show one record per label, read
// back from PDF files with poppler and zxing-cpp. The command line prints stored texts.

#include "app/gridcells.h"
#include "app/pdfpages.h"
#include "app/programrun.h"
#include "app/shellfixture.h"
#include "data/barcodedb.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "framework/ui/printpreview.h"
#include "objects/drawtext.h"
#include "printing/prndataseldlg.h"
#include "printing/tagprintdlg.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"
#include "symbology/zxing_read.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>

using namespace ShellCmd;

namespace {

const char* const kLongName = "Bananas, green and yellow, from the orchard on the far side of the hill";

CString RowValue(int n)
{
    return QString("ROW-%1").arg(n, 2, 10, QChar('0'));
}

class PrintData : public Shell
{
protected:
    // A sheet of 2 x 5 labels on a 25-record CSV file; each label shows the record's Code as a
    // Code 128 symbol and as text after "No. ". Both objects store texts of their own.
    void SetUp() override
    {
        Shell::SetUp();
        doc = Active();
        ASSERT_NE(doc, nullptr);
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        UseTwoByFiveSheet(doc);

        csv = m_files.filePath("list.csv");
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Code,Name\n");
        for (int n = 1; n <= 25; ++n)
            file.write(QString("%1,%2\n").arg(RowValue(n), n == 2 ? QString(kLongName) : QString("Name %1").arg(n)).toUtf8());
        file.close();
        CBarcodeDB db;
        CString connection;
        ASSERT_TRUE(db.OpenFile(csv, connection)) << db.GetLastError().toStdString();
        doc->SetConnectionString(connection);
        doc->SetTableName(db.GetTextFileTable());
        doc->SetQuery("SELECT * FROM " + db.QuoteName(db.GetTextFileTable()));

        auto* code = new CDrawBarcode(CRect(300, 300, 310, 310), view, "STORED", BARCODE_ID_CODE128_AUTO);
        code->Content().mode = CONTENT_DATA;
        AddDataItem(code->Content(), doc->GetTableName(), "Code", "", "");
        code->MoveTo(CRect(300, 300, 310, 310));
        view->AddObject(code);
        auto* text = new CDrawText(CRect(300, 1500, 3000, 1900), view, "STORED-TEXT");
        text->Content().mode = CONTENT_DATA;
        AddDataItem(text->Content(), "", "Code", "No. ", "");
        view->AddObject(text);
    }

    // In the print-data dialog: unticks the records of the rows given (by a click on the box
    // of the first, by the space bar on the others), keeps a picture, and presses OK.
    static void ChooseRecords(QWidget* w, const std::vector<int>& untick, const QString& picture)
    {
        auto* dialog = qobject_cast<CPrnDataSelDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTableView* table = dialog->Table();
        ASSERT_EQ(table->model()->rowCount(), 25);
        ASSERT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), "Print");
        // The columns show their values whole, the long name in a third of the grid at most.
        const QFontMetrics metrics(table->font());
        EXPECT_GT(table->horizontalHeader()->sectionSize(1), metrics.horizontalAdvance(RowValue(25)));
        EXPECT_GT(table->horizontalHeader()->sectionSize(2), metrics.horizontalAdvance("Name 25"));
        EXPECT_LE(table->horizontalHeader()->sectionSize(2), table->width() / 3);
        EXPECT_EQ(CutShortCells(table), std::vector<std::string>());
        for (std::size_t i = 0; i < untick.size(); ++i) {
            const int row = untick[i];
            if (i == 0) {
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 0)).center());
            } else {
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 2)).center());
                // On a busy machine the offscreen platform may have handed the activation back
                // to the dialog below, whose focused print-data button the key would press.
                QWidget* focus = FocusIn(dialog);
                ASSERT_EQ(focus, table);
                QTest::keyClick(focus, Qt::Key_Space);
            }
            EXPECT_EQ(table->model()->data(table->model()->index(row, 0), Qt::CheckStateRole), Qt::Unchecked) << row;
        }
        if (!picture.isEmpty())
            dialog->grab().save(TestOutputDir() + "/" + picture);
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
    }

    // The Code 128 symbols of a rendered page's cells, row by row.
    static std::vector<std::string> Codes(const QList<QImage>& pages)
    {
        std::vector<std::string> codes;
        for (const QImage& page : pages)
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 2; ++col)
                    codes.push_back(zxread::Decode(page.copy(TwoByFiveCell(col, row)), ZXing::BarcodeFormat::Code128).text);
        return codes;
    }

    // The values the labels should carry: every record but the unticked ones, then unread cells
    // to the end of the last sheet.
    static std::vector<std::string> Expected(const std::vector<int>& skipped, int cells)
    {
        std::vector<std::string> values;
        for (int n = 1; n <= 25; ++n)
            if (std::find(skipped.begin(), skipped.end(), n) == skipped.end())
                values.push_back(RowValue(n).toStdString());
        values.resize(std::size_t(cells), "<unread>");
        return values;
    }

    // The label as the editing view draws it, at 300 dpi: the stored texts.
    std::string ScreenCode() const
    {
        QImage image(Px(950), Px(554), QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(qRound(kPdfDpi / 0.0254));
        image.setDotsPerMeterY(qRound(kPdfDpi / 0.0254));
        {
            CPainterDC dc(&image);
            dc.SetMapMode(MM_ANISOTROPIC);
            dc.SetWindowExt(1536, 1536);
            dc.SetViewportExt(kPdfDpi, kPdfDpi);
            doc->Draw(&dc, nullptr);
        }
        return zxread::Decode(image, ZXing::BarcodeFormat::Code128).text;
    }

    CDrawDoc* doc = nullptr;
    CDrawView* view = nullptr;
    QString csv;
};

TEST_F(PrintData, ThePrintRoadPrintsEachChosenRecordOnItsLabel)
{
    for (const std::vector<int>& untick : {std::vector<int> {}, std::vector<int> {1, 4}}) {
        SCOPED_TRACE(untick.size());
        const QString pdf = PrinterToPdf(QString("records%1.pdf").arg(untick.size()));
        QStringList seen;
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            QWidget* tab = dialog->LabelsTab();
            auto* button = tab->findChild<QPushButton*>("4");
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->isEnabled());
            EXPECT_FALSE(button->isHidden());
            EXPECT_FALSE(tab->findChild<QLabel*>("200")->isHidden());
            if (untick.empty())
                dialog->grab().save(TestOutputDir() + "/printdata-print-dialog.png");
            OnNextModal([&](QWidget* d) { ChooseRecords(d, untick, untick.empty() ? QString() : "printdata-dialog-unticked.png"); },
                        IsA<CPrnDataSelDlg>);
            QTest::mouseClick(button, Qt::LeftButton);
            seen << tab->findChild<QLineEdit*>("158")->text();
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
        EXPECT_EQ(seen, QStringList {QString::number(25 - int(untick.size()))});

        const QList<QImage> pages = RenderPdf(pdf);
        ASSERT_EQ(pages.size(), 3);
        if (untick.empty())
            pages[0].save(TestOutputDir() + "/printdata-page1.png");
        const std::vector<int> skipped = untick.empty() ? std::vector<int> {} : std::vector<int> {2, 5};
        EXPECT_EQ(Codes(pages), Expected(skipped, 30));
        const QString text = PdfText(pdf);
        for (int n = 1; n <= 25; ++n)
            EXPECT_EQ(text.contains("No. " + RowValue(n)), !untick.empty() ? n != 2 && n != 5 : true) << n;
        EXPECT_FALSE(text.contains("STORED-TEXT"));
        // The screen keeps showing the stored texts.
        EXPECT_EQ(ScreenCode(), "STORED");
    }
}

// Print Data closed with Escape leaves the records and count an earlier choice made.
TEST_F(PrintData, ACancelledChoiceKeepsTheRecordsChosenBefore)
{
    const QString pdf = PrinterToPdf("kept.pdf");
    QStringList counts;
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        OnNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<CTagPrintDlg*>(w);
            auto closed = qScopeGuard([dialog] { dialog->reject(); });
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            OnNextModal([&](QWidget* d) {
                if (!cancel)
                    return ChooseRecords(d, {2}, {});
                ASSERT_TRUE(QTest::qWaitForWindowActive(d));
                QTest::keyClick(d, Qt::Key_Escape);
            }, IsA<CPrnDataSelDlg>);
            QTest::mouseClick(dialog->LabelsTab()->findChild<QPushButton*>("4"), Qt::LeftButton);
            counts << dialog->LabelsTab()->findChild<QLineEdit*>("158")->text();
            closed.dismiss();
            if (cancel)
                ClickMessageBox(QMessageBox::Yes);  // the file of the first job is replaced
            ClickAccept(dialog);
        }, IsA<CTagPrintDlg>);
        Action(kFilePrint)->trigger();
        EXPECT_EQ(Codes(RenderPdf(pdf)), Expected({3}, 30));
    }
    EXPECT_EQ(counts, QStringList({"24", "24"}));
}

TEST_F(PrintData, APreviewShowsTheChosenRecords)
{
    QString count;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPreviewDlg*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        auto* button = dialog->findChild<QPushButton*>("4");
        EXPECT_FALSE(button->isHidden());
        OnNextModal([&](QWidget* d) { ChooseRecords(d, {1, 4}, {}); },
                    IsA<CPrnDataSelDlg>);
        QTest::mouseClick(button, Qt::LeftButton);
        count = dialog->findChild<QLineEdit*>("158")->text();
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
    }, IsA<CTagPreviewDlg>);
    const QString pdf = m_files.filePath("preview.pdf");
    int pages = 0;
    OnNextModal([&](QWidget* w) {
        auto* window = qobject_cast<CPrintPreviewWindow*>(w);
        ASSERT_NE(window, nullptr);
        QApplication::processEvents();
        pages = window->Preview()->pageCount();
        // The preview's own drawing of its pages, onto a PDF file.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        emit window->Preview()->paintRequested(&printer);
        window->reject();
    }, IsA<CPrintPreviewWindow>);
    Action(kFilePrintPreview)->trigger();
    EXPECT_EQ(count, "23");
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(Codes(RenderPdf(pdf)), Expected({2, 5}, 30));
    EXPECT_EQ(ScreenCode(), "STORED");
}

TEST_F(PrintData, EnterInThePreviewCountStartsThePreview)
{
    bool printDataOpened = false, previewed = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPreviewDlg*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        // Print Data, should Enter open it, is noted and closed.
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [&] {
            if (auto* data = qobject_cast<CPrnDataSelDlg*>(QApplication::activeModalWidget())) {
                printDataOpened = true;
                data->reject();
            }
        });
        guard.start(10);
        QWidget* focus = FocusIn(dialog);
        ASSERT_EQ(focus, dialog->findChild<QLineEdit*>("158"));
        QTest::keyClick(focus, Qt::Key_Return);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Enter did not start the preview";
            dialog->reject();
        }
    }, IsA<CTagPreviewDlg>);
    OnNextModal([&](QWidget* w) {
        previewed = true;
        qobject_cast<CPrintPreviewWindow*>(w)->reject();
    }, IsA<CPrintPreviewWindow>);
    Action(kFilePrintPreview)->trigger();
    EXPECT_FALSE(printDataOpened);
    EXPECT_TRUE(previewed);
}

bool IsCompoundFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray::fromHex("D0CF11E0A1B11AE1");
}

// The grid shows whole every value that a third of its width holds, at the size the dialog
// opens with and after it is made wider and narrower again.
TEST_F(PrintData, TheGridShowsShortValuesWholeAtEverySize)
{
    ASSERT_TRUE(LoadPrintData(doc, TRUE, nullptr));
    CPrnDataSelDlg dialog(doc->GetPrintDataGrid(), m_frame);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTableView* table = dialog.Table();
    const QSize opened = dialog.size();
    EXPECT_EQ(CutShortCells(table), std::vector<std::string>());
    // The end of the long name, cut at a third of the grid as it opens.
    const QModelIndex orchard = table->model()->index(1, 4);
    const int needed = QFontMetrics(table->font()).horizontalAdvance(orchard.data().toString());
    ASSERT_GT(needed, table->width() / 3);
    EXPECT_LE(table->columnWidth(4), table->width() / 3);

    dialog.resize(opened.width() * 3, opened.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->width() > 3 * needed; }, ModalWaitMs()));
    EXPECT_EQ(CutShortCells(table), std::vector<std::string>());
    EXPECT_GT(table->columnWidth(4), needed);
    dialog.grab().save(TestOutputDir() + "/printdata-wide.png");

    dialog.resize(opened);
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->width() < 3 * needed; }, ModalWaitMs()));
    EXPECT_EQ(CutShortCells(table), std::vector<std::string>());
    EXPECT_LE(table->columnWidth(4), table->width() / 3);
    dialog.close();
}

TEST_F(PrintData, ThePrintDataDialogExportsTheTickedRecords)
{
    ASSERT_TRUE(LoadPrintData(doc, TRUE, nullptr));
    CPrnDataSelDlg dialog(doc->GetPrintDataGrid(), m_frame);
    struct Said {
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    std::vector<Said> said;
    QStringList filters;
    // Export under a name; each question of the file dialog is answered Yes.
    auto exportAs = [&](const QString& name) {
        OnNextModal([&, name](QWidget* d) {
            if (auto* types = d->findChild<QComboBox*>("fileTypeCombo"))
                filters << types->currentText();
            OnNextModal([&](QWidget* box) {
                auto* mb = qobject_cast<QMessageBox*>(box);
                if (mb->button(QMessageBox::Yes)) {
                    said.push_back({"asked", mb->icon()});
                    mb->button(QMessageBox::Yes)->click();
                    OnNextModal([&](QWidget* b) {
                        said.push_back({qobject_cast<QMessageBox*>(b)->text(), qobject_cast<QMessageBox*>(b)->icon()});
                        qobject_cast<QMessageBox*>(b)->button(QMessageBox::Ok)->click();
                    }, IsA<QMessageBox>);
                    return;
                }
                said.push_back({mb->text(), mb->icon()});
                mb->button(QMessageBox::Ok)->click();
            }, IsA<QMessageBox>);
            TypeFileName(d, name);
        }, IsA<QFileDialog>);
        QTest::mouseClick(dialog.findChild<QPushButton*>("5"), Qt::LeftButton);
    };
    OnNextModal([&](QWidget*) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        exportAs(m_files.filePath("chosen"));
        exportAs(m_files.filePath("chosen.xls"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("4"), Qt::LeftButton);
        exportAs(m_files.filePath("none.xls"));
        exportAs(m_files.filePath("missing/out.xls"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
    }, [&](QWidget* w) { return w == &dialog; });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    ASSERT_EQ(said.size(), 5u);
    for (int i : {0, 2, 3}) {
        EXPECT_EQ(said[std::size_t(i)].text, "The file was saved.") << i;
        EXPECT_EQ(said[std::size_t(i)].icon, QMessageBox::Information) << i;
    }
    // Saving onto the file written before asks first.
    EXPECT_EQ(said[1].text, "asked");
    EXPECT_TRUE(said[4].text.startsWith("The file could not be written.\n")) << said[4].text.toStdString();
    EXPECT_GT(said[4].text.size(), QString("The file could not be written.\n").size());
    EXPECT_EQ(said[4].icon, QMessageBox::NoIcon);
    EXPECT_EQ(filters.value(0), "Microsoft Office Excel Workbook (*.xls)");
    EXPECT_TRUE(IsCompoundFile(m_files.filePath("chosen.xls")));
    EXPECT_TRUE(IsCompoundFile(m_files.filePath("none.xls")));
    EXPECT_FALSE(QFile::exists(m_files.filePath("chosen")));
    // The records stay in the grid after the dialog.
    EXPECT_EQ(doc->GetPrintDataGrid()->GetRowCount(), 25);
}

TEST_F(PrintData, WithoutADataSourceTheButtonStaysHiddenAndAnUnreachableSourceIsReported)
{
    {
        CDrawDoc plain;
        CTagPreviewDlg dialog(&plain, m_frame);
        EXPECT_TRUE(dialog.findChild<QPushButton*>("4")->isHidden());
        EXPECT_FALSE(dialog.findChild<QPushButton*>("4")->isEnabled());
        EXPECT_TRUE(dialog.findChild<QLabel*>("200")->isHidden());
    }
    {
        // Opening on the same source keeps the grid and its ticks; another source refills it.
        CTagPreviewDlg first(doc, m_frame);
        CPrintDataGrid* grid = doc->GetPrintDataGrid();
        ASSERT_EQ(grid->GetRowCount(), 25);
        grid->Toggle(3);
        CTagPreviewDlg second(doc, m_frame);
        EXPECT_EQ(grid->GetChangedRows().size(), 1u);
        doc->SetConnectionString(doc->GetConnectionString() + ";");
        CTagPreviewDlg third(doc, m_frame);
        EXPECT_TRUE(grid->GetChangedRows().empty());
        EXPECT_EQ(grid->GetRowCount(), 25);
        // So does another query on the same source.
        grid->Toggle(3);
        doc->SetQuery(doc->GetQuery() + "  ORDER BY `Code` DESC");
        CTagPreviewDlg fourth(doc, m_frame);
        EXPECT_TRUE(grid->GetChangedRows().empty());
        EXPECT_EQ(grid->GetValue(0, 1), RowValue(25));
    }
    // The data file is gone: the dialog says so, with the cause, and goes on with the count.
    QFile::remove(csv);
    doc->SetConnectionString(doc->GetConnectionString() + " ");
    QString said;
    ClickMessageBox(QMessageBox::Ok, &said);
    CTagPreviewDlg dialog(doc, m_frame);
    EXPECT_TRUE(said.startsWith("The data source could not be opened.\n")) << said.toStdString();
    EXPECT_GT(said.size(), QString("The data source could not be opened.\n").size());
    EXPECT_FALSE(doc->GetPrintDataGrid()->IsOpen());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("158")->text(), "1");
}

TEST_F(PrintData, TheCommandLinePrintsTheStoredTexts)
{
    // Also a print handed to the running program, while its grid holds the records.
    ASSERT_TRUE(LoadPrintData(doc, TRUE, nullptr));
    const QString handed = m_files.filePath("handed.pdf");
    ASSERT_TRUE(m_app->PrintDocument(doc, handed));
    EXPECT_TRUE(PdfText(handed).contains("STORED-TEXT"));
    EXPECT_FALSE(PdfText(handed).contains("ROW-"));

    const QString label = m_files.filePath("bound.tag");
    ASSERT_TRUE(doc->OnSaveDocument(label));
    for (bool withData : {true, false}) {
        SCOPED_TRACE(withData);
        if (!withData) {
            ASSERT_TRUE(QFile::remove(csv));
        }
        const QString pdf = m_files.filePath(QString("pt%1.pdf").arg(withData));
        const ProgramRun run = RunProgram({"/pt", label, pdf}, m_files.path());
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QString text = PdfText(pdf);
        EXPECT_TRUE(text.contains("STORED-TEXT")) << text.toStdString();
        EXPECT_FALSE(text.contains("ROW-"));
    }
}

}  // namespace
