// The Simplified and Traditional Chinese interfaces: every dialog a user opens speaks the language,
// Qt's own dialogs included, and no translated text is cut off. The windows are saved as pictures.

#include "gridcells.h"
#include "shellfixture.h"

#include "data/barcodedb.h"
#include "data/ui/dbgrid.h"
#include "data/ui/dbsetupwizard.h"
#include "framework/ui/dialogids.h"
#include "objects/drawtext.h"
#include "printing/labelwizard.h"
#include "printing/prndataseldlg.h"
#include "printing/tagprintdlg.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QToolButton>

namespace {

constexpr UINT kLabelWizardCommand = 32873;

bool HasChinese(const QString& text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

// Visible captions narrower than their text needs, and captions left in English, of a window.
struct CaptionCheck {
    QStringList clipped, english;
};

// A text in English: a word of Latin letters besides the names that stay as they are.
bool IsEnglish(QString text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    static const QStringList names{"Quillbar", "PDF417", "Data Matrix", "QR", "ECC", "ODBC", "Access", "Excel", "dpi"};
    for (const QString& name : names)
        text.remove(name);
    return text.contains(word) && !HasChinese(text);
}

CaptionCheck CheckCaptions(QWidget* window)
{
    CaptionCheck check;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible())
            continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap() && label->pixmap().isNull())
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !qobject_cast<QToolButton*>(w))
            text = button->text();
        if (text.isEmpty())
            continue;
        const QString where = w->objectName() + u' ' + text;
        if (w->width() < w->sizeHint().width())
            check.clipped << QStringLiteral("%1 (%2 < %3)").arg(where).arg(w->width()).arg(w->sizeHint().width());
        if (IsEnglish(text))
            check.english << where;
    }
    return check;
}

void Examine(QWidget* window, const QString& picture)
{
    QApplication::processEvents();
    window->grab().save(TestOutputDir(QStringLiteral("chinese")) + u'/' + picture + QStringLiteral(".png"));
    const CaptionCheck check = CheckCaptions(window);
    EXPECT_TRUE(check.clipped.isEmpty()) << picture.toStdString() << ": " << check.clipped.join(", ").toStdString();
    EXPECT_TRUE(check.english.isEmpty()) << picture.toStdString() << ": " << check.english.join(", ").toStdString();
    EXPECT_FALSE(IsEnglish(window->windowTitle())) << picture.toStdString() << ": " << window->windowTitle().toStdString();
}

class Chinese : public Shell, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        InstallLabelWizard();
        // The first label's wizard at start-up, finished at once.
        OnNextModal([](QWidget* w) { qobject_cast<CPropertySheet*>(w)->Button(ID_WIZFINISH)->click(); },
                    IsA<CPropertySheet>);
        Shell::SetUp();
        ShowFrame();
    }
    void TearDown() override
    {
        Shell::TearDown();
        CDrawDoc::c_labelWizard = {};
    }
    QString Language() const override { return QString::fromLatin1(GetParam()); }
    QString Picture(const QString& name) const { return Language() + u'-' + name; }

    // The active label's data source becomes a small CSV file, whose path is the answer.
    QString UseSmallCsvFile()
    {
        const QString csv = m_files.filePath("list.csv");
        QFile file(csv);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Code,Number,Part\nA100,12345678,P-001\nA2,7,P-002\n");
        file.close();
        CBarcodeDB db;
        CString connection;
        EXPECT_TRUE(db.OpenFile(csv, connection)) << db.GetLastError().toStdString();
        CDrawDoc* doc = Active();
        doc->SetConnectionString(connection);
        doc->SetTableName(db.GetTextFileTable());
        doc->SetQuery("SELECT * FROM " + db.QuoteName(db.GetTextFileTable()));
        return csv;
    }
};

}  // namespace

TEST_P(Chinese, DialogsSpeakTheLanguageAndShowTheirWholeTexts)
{
    // The label wizard, page after page.
    int pages = 0;
    OnNextModal([&](QWidget* w) {
        auto* wizard = qobject_cast<CPropertySheet*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wizard));
        for (int page = 0; page < wizard->GetPageCount(); ++page) {
            if (page > 0)
                wizard->Button(ID_WIZNEXT)->click();
            ASSERT_EQ(wizard->GetActiveIndex(), page);
            Examine(wizard, Picture("wizard-") + QString::number(page));
            ++pages;
        }
        wizard->Button(IDCANCEL)->click();
    }, IsA<CPropertySheet>);
    Action(ShellCmd::kFileNew)->trigger();
    EXPECT_EQ(pages, 5);

    // Every page of a sheet.
    auto examinePages = [&](const QString& name) {
        return [this, name](CPropertySheet* sheet) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
            for (int page = 0; page < sheet->GetPageCount(); ++page) {
                ClickTab(sheet, page);
                Examine(sheet, Picture(name) + QString::number(page));
            }
            sheet->Button(IDCANCEL)->click();
        };
    };
    // A text object's and a barcode's sheets, and Document Properties.
    AddSelected(new CDrawText(CRect(1000, 1000, 4000, 2000), m_app->GetActiveDrawView(), "Label"));
    RunSheet(examinePages("text-"));
    AddSelected(new CDrawBarcode(CRect(1000, 3000, 1010, 3010), m_app->GetActiveDrawView(), "123", BARCODE_ID_CODE128_AUTO));
    RunSheet(examinePages("barcode-"));
    RunSheet(examinePages("properties-"), 32792);

    // The print dialog: Qt's own texts and the label count tab.
    bool printed = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        printed = true;
        // With its options shown: the tab of the label count among them.
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text().endsWith(QLatin1String(">>")))
                b->click();
        Examine(dialog, Picture("print"));
        dialog->reject();
    }, IsA<CTagPrintDlg>);
    Update();
    Action(57607)->trigger();
    EXPECT_TRUE(printed);
}

TEST_P(Chinese, DataDialogsSpeakTheLanguageAndShowTheirWholeTexts)
{
    // A label on a small CSV file of short values, which the grids show whole.
    const QString csv = UseSmallCsvFile();

    // The database set-up wizard, page after page.
    int pages = 0;
    OnNextModal([&](QWidget* w) {
        auto* wizard = qobject_cast<CWizDBSetupSheet*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wizard));
        for (int page = 0; page < wizard->GetPageCount(); ++page) {
            if (page > 0) {
                if (!wizard->Button(ID_WIZNEXT)->isEnabled())
                    break;
                wizard->Button(ID_WIZNEXT)->click();
            }
            Examine(wizard, Picture("database-") + QString::number(page));
            if (wizard->GetActivePage() == &wizard->PreviewPage()) {
                EXPECT_EQ(wizard->PreviewPage().Grid()->model()->rowCount(), 2);
                EXPECT_EQ(CutShortCells(wizard->PreviewPage().Grid()), std::vector<std::string>());
            }
            if (page == 0)
                TypeInto(wizard->GetActivePage()->findChild<QLineEdit*>(), csv);
            ++pages;
        }
        wizard->Button(IDCANCEL)->click();
    }, IsA<CWizDBSetupSheet>);
    Update();
    Action(32934)->trigger();
    EXPECT_GE(pages, 3);

    // The preview's count dialog and, from it, Print Data.
    bool counted = false, listed = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPreviewDlg*>(w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        counted = true;
        Examine(dialog, Picture("preview-count"));
        OnNextModal([&](QWidget* d) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
            listed = true;
            Examine(d, Picture("print-data"));
            QTableView* table = qobject_cast<CPrnDataSelDlg*>(d)->Table();
            EXPECT_EQ(table->model()->rowCount(), 2);
            EXPECT_EQ(CutShortCells(table), std::vector<std::string>());
            qobject_cast<QDialog*>(d)->reject();
        }, IsA<CPrnDataSelDlg>);
        dialog->findChild<QPushButton*>("4")->click();
        dialog->reject();
    }, IsA<CTagPreviewDlg>);
    Update();
    Action(57609)->trigger();
    EXPECT_TRUE(counted);
    EXPECT_TRUE(listed);
}

TEST_P(Chinese, FileTypesOfTheLabelAndExportDialogsSpeakTheLanguage)
{
    auto typesShown = [](QWidget* dialog) {
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        QStringList shown;
        for (int i = 0; types && i < types->count(); ++i)
            shown << types->itemText(i);
        qobject_cast<QDialog*>(dialog)->reject();
        return shown;
    };
    // The label wizard's Browse on its first page.
    QStringList labelTypes;
    OnNextModal([&](QWidget* w) {
        auto* wizard = qobject_cast<CPropertySheet*>(w);
        OnNextModal([&](QWidget* d) { labelTypes = typesShown(d); }, IsA<QFileDialog>);
        QTest::mouseClick(GetDlgItem<QPushButton>(wizard->GetActivePage(), 138), Qt::LeftButton);
        wizard->Button(IDCANCEL)->click();
    }, IsA<CPropertySheet>);
    Action(ShellCmd::kFileNew)->trigger();

    // Export in the print-data dialog.
    CPrnDataSelDlg dialog(Active()->GetPrintDataGrid(), m_frame);
    QStringList exportTypes;
    OnNextModal([&](QWidget*) {
        OnNextModal([&](QWidget* d) { exportTypes = typesShown(d); }, IsA<QFileDialog>);
        QTest::mouseClick(dialog.findChild<QPushButton*>("5"), Qt::LeftButton);
        dialog.reject();
    }, [&](QWidget* w) { return w == &dialog; });
    dialog.exec();

    if (Language() == "CHT") {
        EXPECT_EQ(labelTypes, (QStringList{"Tag Files (*.tag)", "所有檔案 (*.*)"}));
        EXPECT_EQ(exportTypes, QStringList{"Microsoft Office Excel 活頁簿 (*.xls)"});
    } else {
        EXPECT_EQ(labelTypes, (QStringList{"标签文件 (*.tag)", "所有文件 (*.*)"}));
        EXPECT_EQ(exportTypes, QStringList{"Microsoft Office Excel 工作簿 (*.xls)"});
    }
}

// The print dialog in every language of the program.
using PrintDialogLanguages = Chinese;

TEST_P(PrintDialogLanguages, ThePrintDialogOpensOnTheLabelCountAndPrintData)
{
    // A label on a small CSV file, so that Print Data is offered.
    UseSmallCsvFile();

    bool shown = false, listed = false;
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<CTagPrintDlg*>(w);
        auto closed = qScopeGuard([dialog] { dialog->reject(); });
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        dialog->grab().save(TestOutputDir(QStringLiteral("chinese")) + u'/' + Picture("print-opened.png"));
        // As it opens, with no click: the count and Print Data, whose access key opens it.
        auto* count = dialog->LabelsTab()->findChild<QLineEdit*>("158");
        auto* data = dialog->LabelsTab()->findChild<QPushButton*>("4");
        ASSERT_TRUE(count && data);
        EXPECT_TRUE(count->isVisible());
        EXPECT_TRUE(data->isVisible());
        shown = count->isVisible() && data->isVisible();
        OnNextModal([&](QWidget* d) {
            listed = true;
            qobject_cast<QDialog*>(d)->reject();
        }, IsA<CPrnDataSelDlg>);
        QWidget* focus = FocusIn(dialog);
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_D, Qt::AltModifier);
        // The access key clicks the button a moment later.
        for (int wait = 0; wait < 100 && !listed; ++wait)
            QTest::qWait(20);
    }, IsA<CTagPrintDlg>);
    Update();
    Action(57607)->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(listed);
}

INSTANTIATE_TEST_SUITE_P(Languages, PrintDialogLanguages, ::testing::Values("ENU", "CHS", "CHT"));

INSTANTIATE_TEST_SUITE_P(Languages, Chinese, ::testing::Values("CHS", "CHT"));
