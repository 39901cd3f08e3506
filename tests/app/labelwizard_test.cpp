// The label wizard as the user meets it: on the first label at start-up, on File New, and as the
// Label Wizard command's sheet on an existing label.

#include "shellfixture.h"

#include "framework/ui/dialogids.h"
#include "printing/labelwizard.h"
#include "printing/sheettext.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QMdiArea>
#include <QRadioButton>
#include <QTabWidget>

namespace {

constexpr UINT kLabelWizardCommand = 32873;

// Runs f on the wizard or sheet that opens next.
void OnSheet(std::function<void(CPropertySheet*)> f)
{
    OnNextModal([f](QWidget* w) { f(qobject_cast<CPropertySheet*>(w)); }, IsA<CPropertySheet>);
}

void Click(CPropertySheet* sheet, int buttonId)
{
    QAbstractButton* b = sheet->Button(buttonId);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isEnabled());
    QTest::mouseClick(b, Qt::LeftButton);
}

// The shell with the real label wizard, whose first run (the first label at start-up) is
// finished on its first page.
class LabelWizard : public Shell
{
protected:
    void SetUp() override
    {
        InstallLabelWizard();
        OnSheet([this](CPropertySheet* wizard) {
            m_startWizardPages = wizard->GetPageCount();
            Click(wizard, ID_WIZFINISH);
        });
        Shell::SetUp();
    }
    void TearDown() override
    {
        Shell::TearDown();
        CDrawDoc::c_labelWizard = {};
    }
    // The layout of a document as the test reads it.
    static std::vector<float> Layout(CDrawDoc* doc)
    {
        float l, t, r, b;
        doc->GetMargins(&l, &t, &r, &b);
        return {doc->GetPaperSize()[0], doc->GetPaperSize()[1], doc->GetLabelSize()[0], doc->GetLabelSize()[1],
                doc->GetLabelGap()[0], doc->GetLabelGap()[1], float(doc->GetLabelGrid()[0]),
                float(doc->GetLabelGrid()[1]), l, t, r, b, float(doc->GetOrientation())};
    }
    int m_startWizardPages = 0;
};

}  // namespace

TEST_F(LabelWizard, FirstLabelFinishedOnTheFirstPageTakesTheSolvedDefaults)
{
    EXPECT_EQ(m_startWizardPages, 5);
    CDrawDoc* doc = Active();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Layout(doc), (std::vector<float>{2100, 2970, 950, 554, 0, 0, 2, 5, 100, 100, 100, 100, 1}));
    EXPECT_FALSE(doc->IsModified());

    // The label's white face and its grid show on the grey canvas.
    QApplication::processEvents();
    CDrawView* view = m_frame->ActiveChild()->GetActiveDrawView();
    ASSERT_NE(view, nullptr);
    const QImage shot = view->viewport()->grab().toImage();
    int white = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4)
            white += shot.pixel(x, y) == qRgb(255, 255, 255);
    EXPECT_GT(white, 200);
}

TEST_F(LabelWizard, NewLabelWalksFivePagesWithFinishOnEachAndCancelLeavesNoWindow)
{
    std::vector<QString> titles;
    OnSheet([&](CPropertySheet* wizard) {
        EXPECT_TRUE(wizard->IsWizard());
        for (int page = 0; page < 5; ++page) {
            EXPECT_EQ(wizard->GetActiveIndex(), page);
            EXPECT_TRUE(wizard->Button(ID_WIZFINISH)->isEnabled()) << page;
            EXPECT_EQ(wizard->Button(ID_WIZBACK)->isEnabled(), page > 0) << page;
            EXPECT_EQ(wizard->Button(ID_WIZNEXT)->isEnabled(), page < 4) << page;
            titles.push_back(wizard->findChild<QLabel*>("headerTitle")->text());
            if (page < 4)
                Click(wizard, ID_WIZNEXT);
        }
        Click(wizard, IDCANCEL);
    });
    const size_t before = m_app->Documents().size();
    Action(ShellCmd::kFileNew)->trigger();
    EXPECT_EQ(m_app->Documents().size(), before);
    EXPECT_EQ(titles, (std::vector<QString>{"New Label", "Printer", "Paper", "Paper Margins", "Labels on the Sheet"}));
}

TEST_F(LabelWizard, EveryNewPageTakesTheFocusWithItsFirstField)
{
    OnSheet([&](CPropertySheet* wizard) {
        ASSERT_NE(FocusIn(wizard), nullptr);
        // The first step with a click on Next, which takes the focus; the others with Alt+N.
        for (int page = 1; page < 5; ++page) {
            if (page == 1)
                Click(wizard, ID_WIZNEXT);
            else
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
            // The button's access letter clicks it a moment later.
            ASSERT_TRUE(QTest::qWaitFor([&] { return wizard->GetActiveIndex() == page; }, HangBoundMs(10000)))
                << "page " << page << " did not open; the wizard shows page " << wizard->GetActiveIndex();
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr) << "no focus on page " << page;
            EXPECT_TRUE(wizard->GetActivePage()->isAncestorOf(focus) && focus->isVisible())
                << "page " << page << ": the focus is on " << focus->objectName().toStdString();
        }
        Click(wizard, IDCANCEL);
    });
    Action(ShellCmd::kFileNew)->trigger();
}

TEST_F(LabelWizard, RecentEntryOrBrowsedFileOpensThroughTheOpenRoad)
{
    const QString path = SavedLabel();
    Active()->SetTitle("Changed");
    m_app->CloseDocument(Active());
    ASSERT_TRUE(m_app->Documents().empty());

    // A recent entry: the radio button takes the first entry, Finish opens it.
    OnSheet([](CPropertySheet* wizard) {
        auto* list = Control<QListWidget>(wizard, 139);
        ASSERT_EQ(list->count(), 1);
        ClickMark(Control<QRadioButton>(wizard, 137));
        EXPECT_EQ(list->currentRow(), 0);
        EXPECT_FALSE(wizard->Button(ID_WIZNEXT)->isEnabled());
        Click(wizard, ID_WIZFINISH);
    });
    Action(ShellCmd::kFileNew)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(Active()->GetPathName(), path);
    EXPECT_EQ(Active()->GetTitle(), "saved.tag");

    // The same file again, browsed this time: its window comes forward, no second one.
    OnSheet([path](CPropertySheet* wizard) {
        OnNextModal([path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
            EXPECT_EQ(dialog->nameFilters(), (QStringList{"Tag Files (*.tag) (*.tag)", "All Files (*.*) (*)"}));
            TypeFileName(w, path);
        }, IsA<QFileDialog>);
        QTest::mouseClick(Control<QPushButton>(wizard, 138), Qt::LeftButton);
    });
    Action(ShellCmd::kFileNew)->trigger();
    EXPECT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(m_frame->MdiArea()->subWindowList().size(), 1);

    // A recent file that is gone: the open failure is reported and no window is left.
    m_app->CloseDocument(Active());
    QFile::remove(path);
    QString message;
    OnSheet([&message](CPropertySheet* wizard) {
        ClickMessageBox(QMessageBox::Ok, &message);
        ClickMark(Control<QRadioButton>(wizard, 137));
        Click(wizard, ID_WIZFINISH);
    });
    Action(ShellCmd::kFileNew)->trigger();
    EXPECT_TRUE(m_app->Documents().empty());
    EXPECT_TRUE(message.contains("saved.tag")) << message.toStdString();

    // No entry chosen: nothing opens and no window is left.
    OnSheet([](CPropertySheet* wizard) {
        Control<QListWidget>(wizard, 139)->clear();
        ClickMark(Control<QRadioButton>(wizard, 137));
        Click(wizard, ID_WIZFINISH);
    });
    Action(ShellCmd::kFileNew)->trigger();
    EXPECT_TRUE(m_app->Documents().empty());
    EXPECT_TRUE(m_frame->MdiArea()->subWindowList().isEmpty());
}

TEST_F(LabelWizard, ExistingLabelGetsFourTabsAndOkMarksItModifiedOnlyOnAChange)
{
    CDrawDoc* doc = Active();
    const std::vector<float> before = Layout(doc);

    // Cancel after typing changes nothing.
    OnSheet([](CPropertySheet* sheet) {
        EXPECT_FALSE(sheet->IsWizard());
        auto* tabs = sheet->findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        EXPECT_EQ(tabs->count(), 4);
        EXPECT_EQ(sheet->Button(ID_APPLY_NOW), nullptr);
        ClickTab(sheet, 2);
        TypeInto(Control<QLineEdit>(sheet, 148), "25");
        Click(sheet, IDCANCEL);
    });
    Action(kLabelWizardCommand)->trigger();
    EXPECT_EQ(Layout(doc), before);
    EXPECT_FALSE(doc->IsModified());

    // OK without a change.
    OnSheet([](CPropertySheet* sheet) { Click(sheet, IDOK); });
    Action(kLabelWizardCommand)->trigger();
    EXPECT_EQ(Layout(doc), before);
    EXPECT_FALSE(doc->IsModified());

    // OK after a change.
    OnSheet([](CPropertySheet* sheet) {
        ClickTab(sheet, 3);
        TypeInto(Control<QLineEdit>(sheet, 149), "3");
        Click(sheet, IDOK);
    });
    Action(kLabelWizardCommand)->trigger();
    EXPECT_EQ(doc->GetLabelGrid()[0], 3);
    EXPECT_EQ(doc->GetLabelSize()[0], 633.0f);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(LabelWizard, OrientationTurnsGridLabelGapsPaperAndMarginsOnlyOnAChange)
{
    CDrawDoc* doc = Active();
    OnSheet([](CPropertySheet* sheet) {
        ClickTab(sheet, 2);
        TypeInto(Control<QLineEdit>(sheet, 126), "10");   // left
        TypeInto(Control<QLineEdit>(sheet, 148), "20");   // top
        TypeInto(Control<QLineEdit>(sheet, 128), "30");   // right
        TypeInto(Control<QLineEdit>(sheet, 125), "40");   // bottom
        ClickTab(sheet, 3);
        ClickMark(Control<QCheckBox>(sheet, 152));  // gaps by hand
        TypeInto(Control<QLineEdit>(sheet, 153), "2");
        TypeInto(Control<QLineEdit>(sheet, 127), "-1");
        ClickTab(sheet, 1);
        ClickMark(Control<QRadioButton>(sheet, 143));
        ClickMark(Control<QRadioButton>(sheet, 143));  // checked already
        Click(sheet, IDOK);
    });
    Action(kLabelWizardCommand)->trigger();
    // A gap of -1 mm as the boxes read it; the five labels across share what it gives back.
    const int gap = ReadTenths("-1", kSizeNudge);
    const float across = float((2970 - 4 * gap - 400 - 200) / 5);
    EXPECT_EQ(Layout(doc), (std::vector<float>{2970, 2100, across, 840, float(gap), 20, 5, 2, 200, 300, 400, 100, 2}));
    EXPECT_TRUE(doc->IsModified());

    OnSheet([](CPropertySheet* sheet) {
        ClickTab(sheet, 1);
        ClickMark(Control<QRadioButton>(sheet, 142));
        Click(sheet, IDOK);
    });
    Action(kLabelWizardCommand)->trigger();
    EXPECT_EQ(Layout(doc), (std::vector<float>{2100, 2970, 840, across, 20, float(gap), 2, 5, 100, 200, 300, 400, 1}));
}

TEST_F(LabelWizard, GridPageTakesOnlyCountsAndSizesAboveZeroAndCutsBelowATenth)
{
    CDrawDoc* doc = Active();
    OnSheet([](CPropertySheet* sheet) {
        ClickTab(sheet, 3);
        TypeInto(Control<QLineEdit>(sheet, 149), "0");
        TypeInto(Control<QLineEdit>(sheet, 125), "-3");
        ClickMark(Control<QCheckBox>(sheet, 150));  // size by hand
        EXPECT_TRUE(Control<QLineEdit>(sheet, 151)->isEnabled());
        // A width beyond the largest label shows as the largest once the box is left.
        TypeInto(Control<QLineEdit>(sheet, 151), "99999");
        TypeInto(Control<QLineEdit>(sheet, 126), "0");
        EXPECT_EQ(Control<QLineEdit>(sheet, 151)->text(), "10000.0");
        TypeInto(Control<QLineEdit>(sheet, 151), "12.39");
        TypeInto(Control<QLineEdit>(sheet, 126), "0");
        EXPECT_EQ(Control<QLineEdit>(sheet, 151)->text(), "12.3");
        // The gaps stay automatic and show what the solver made of them.
        EXPECT_EQ(Control<QLineEdit>(sheet, 153)->text(), "165.4");
        Click(sheet, IDOK);
    });
    Action(kLabelWizardCommand)->trigger();
    EXPECT_EQ(doc->GetLabelGrid()[0], 2);
    EXPECT_EQ(doc->GetLabelGrid()[1], 5);
    EXPECT_EQ(doc->GetLabelSize()[0], 123.0f);
    EXPECT_EQ(doc->GetLabelSize()[1], 554.0f);
    EXPECT_EQ(doc->GetLabelGap()[0], 1654.0f);
    EXPECT_FALSE(doc->GetAutoLabelSize());
}

TEST_F(LabelWizard, LabelFilesOnTheCommandLineOpenAndPrintWithoutTheWizard)
{
    const QString path = SavedLabel();
    int runs = 0;
    CDrawDoc::c_labelWizard = [&runs](CDrawDoc*, BOOL, CString*) { ++runs; return IDCANCEL; };
    CDrawApp::StartOptions options;
    options.allowWelcome = false;
    auto restart = [&](const QStringList& arguments) {
        for (CDrawDoc* doc : m_app->Documents())
            doc->SetModifiedFlag(FALSE);
        m_app->ExitInstance();
        m_app.reset();
        m_app = std::make_unique<CDrawApp>();
        const BOOL started = m_app->InitInstance(CCommandLineInfo::Parse(arguments), options);
        m_frame = m_app->MainFrame();
        return started;
    };

    ASSERT_TRUE(restart({path}));
    EXPECT_EQ(runs, 0);
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(Active()->GetPathName(), path);
    EXPECT_NE(m_frame->ActiveChild()->GetActiveDrawView(), nullptr);

    const QString pdf = m_files.filePath("out.pdf");
    restart({"/pt", path, pdf});
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(m_app->ExitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(pdf));
}
