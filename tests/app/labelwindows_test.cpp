// A label's window on every road that opens one (the first label of a start through its wizard, a
// file named on the command line, File > Open, the recent-file list, Window > New Window): the
// label fitted to the window as it finally stands, and an objects tree that lists the label's
// objects in every window of it. The file dialogs start where the user left them, also after a
// restart.

#include "app/shellfixture.h"
#include "framework/ui/dialogids.h"
#include "objects/drawtext.h"
#include "printing/labelwizard.h"
#include "symbology/drawbarcode.h"
#include "view/compitem.h"

#include <QDir>
#include <QFileDialog>
#include <QMdiArea>
#include <QPaintEvent>
#include <QTreeWidget>

using namespace ShellCmd;

namespace {

constexpr UINT kEditClear = 57632;
constexpr UINT kLabelWizardCommand = 32873;

// The shell whose first label comes through the real label wizard, finished on its first page.
class LabelWindows : public Shell
{
protected:
    void SetUp() override
    {
        InstallLabelWizard();
        FinishNextWizard();
        Shell::SetUp();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        Shell::TearDown();
        CDrawDoc::c_labelWizard = {};
    }

    static void FinishNextWizard()
    {
        OnNextModal([](QWidget* w) { QTest::mouseClick(qobject_cast<CPropertySheet*>(w)->Button(ID_WIZFINISH), Qt::LeftButton); },
                    IsA<CPropertySheet>);
    }

    // Ends the program and starts it again with these arguments, as a user does.
    void Restart(const QStringList& arguments)
    {
        for (CDrawDoc* doc : m_app->Documents())
            doc->SetModifiedFlag(FALSE);
        m_app->ExitInstance();
        m_app.reset();
        m_app = std::make_unique<CDrawApp>();
        CDrawApp::StartOptions options;
        options.allowWelcome = false;
        if (arguments.isEmpty())
            FinishNextWizard();
        ASSERT_TRUE(m_app->InitInstance(CCommandLineInfo::Parse(arguments), options));
        m_frame = m_app->MainFrame();
        QApplication::processEvents();
    }

    // The zoom the label shows is the one Fit to Window gives on the same window.
    void ExpectFitted(const char* road)
    {
        QApplication::processEvents();
        const int shown = Active()->GetZoom();
        Action(kFitLabel)->trigger();
        QApplication::processEvents();
        EXPECT_EQ(shown, Active()->GetZoom()) << road;
        EXPECT_EQ(m_frame->ZoomBox()->GetText().toStdString(), QString("%1%").arg(shown).toStdString()) << road;
    }

    QString SavedLabelWithObjects()
    {
        CDrawView* view = m_app->GetActiveDrawView();
        auto* text = new CDrawText(CRect(100, 100, 900, 400), view, "Text");
        text->SetName("Price");
        view->AddObject(text);
        for (const char* name : {"Code A", "Code B"}) {
            auto* code = new CDrawBarcode(CRect(100, 600, 3000, 1600), view, "12345", 0);
            code->SetName(name);
            view->AddObject(code);
        }
        return SavedLabel();
    }

    // The objects tree of a window, as the user reads it: each group's caption, whether it is
    // open, and its entries; then the current entry.
    static std::string TreeOf(CSplitFrame* frame)
    {
        QTreeWidget* tree = frame->ObjectTree();
        QStringList lines;
        QTreeWidgetItem* root = tree->topLevelItem(0);
        for (int g = 0; root && g < root->childCount(); ++g) {
            QTreeWidgetItem* group = root->child(g);
            QStringList entries;
            for (int i = 0; i < group->childCount(); ++i)
                entries << group->child(i)->text(0);
            lines << QStringLiteral("%1 %2 [%3]").arg(group->text(0), group->isExpanded() ? "open" : "closed", entries.join(", "));
        }
        lines << QStringLiteral("current: %1").arg(tree->currentItem() ? tree->currentItem()->text(0) : QStringLiteral("none"));
        return lines.join(" | ").toStdString();
    }

    CSplitFrame* Child(int i) const { return m_frame->Children().value(i); }

    // The folder a file dialog that the command opens starts in; the dialog is cancelled.
    QString DialogFolder(UINT command)
    {
        QString shown;
        OnNextModal([&](QWidget* w) {
            shown = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
            QTest::keyClick(FocusIn(w), Qt::Key_Escape);
        }, IsA<QFileDialog>);
        Action(command)->trigger();
        return shown;
    }
};

}  // namespace

TEST_F(LabelWindows, EveryRoadShowsTheLabelFittedToTheWindowAsItFinallyStands)
{
    // The wizard's label is 95 x 55.4 mm: on this screen it fits neither at 100 % nor at the
    // smallest zoom.
    ASSERT_EQ(Active()->GetLabelSize()[0], 950.0f);
    ASSERT_NE(Active()->GetZoom(), 100);
    ExpectFitted("the first label of the start");

    const QString path = SavedLabelWithObjects();
    Restart({path});
    ASSERT_EQ(Active()->GetPathName(), path);
    ExpectFitted("a file on the command line");
    // The frame takes another size later (a window manager that maximises it late): the label,
    // untouched, follows.
    m_frame->resize(1000, 720);
    ExpectFitted("a file on the command line, the frame grown");

    Action(kZoom100)->trigger();
    Action(kWindowNew)->trigger();
    ASSERT_EQ(m_frame->Children().size(), 2);
    ExpectFitted("Window > New Window");

    Action(kFileClose)->trigger();
    ASSERT_TRUE(m_app->Documents().empty());
    OnNextModal([path](QWidget* w) { TypeFileName(w, path); }, IsA<QFileDialog>);
    Action(kFileOpen)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    ExpectFitted("File > Open");

    Action(kFileClose)->trigger();
    Update();
    Action(kFileMru1)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    ExpectFitted("the recent-file list");
}

// The zoom and scroll position of each paint of a label view that draws more than the rulers.
struct LabelPaints : QObject {
    std::vector<std::pair<int, CPoint>> shown;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* view = event->type() == QEvent::Paint ? qobject_cast<CDrawView*>(watched->parent()) : nullptr;
        const QRect area = view ? static_cast<QPaintEvent*>(event)->rect() : QRect();
        if (view && watched == view->viewport() && view->GetDocument() && area.right() >= CDrawView::kRulerWidth &&
            area.bottom() >= CDrawView::kRulerWidth)
            shown.emplace_back(view->GetDocument()->GetZoom(), view->GetScrollPosition());
        return false;
    }
};

TEST_F(LabelWindows, ALabelIsPaintedOnceFittedAndFittedAgainWhenTheWizardChangesItsSize)
{
    const QString path = SavedLabelWithObjects();
    // Fit to Window neither zooms nor scrolls a label that is already fitted and centred.
    auto fitted = [this](const char* road) {
        const std::pair<int, CPoint> shown(Active()->GetZoom(), m_app->GetActiveDrawView()->GetScrollPosition());
        ExpectFitted(road);
        EXPECT_EQ(m_app->GetActiveDrawView()->GetScrollPosition(), shown.second) << road;
        return shown;
    };
    for (bool commandLine : {true, false}) {
        LabelPaints paints;
        qApp->installEventFilter(&paints);
        if (commandLine) {
            Restart({path});
        } else {
            Action(kFileClose)->trigger();
            m_app->m_askOpenPath = [path] { return path; };
            Action(kFileOpen)->trigger();
        }
        QTest::qWait(300);  // for any later paint
        qApp->removeEventFilter(&paints);
        ASSERT_EQ(Active()->GetPathName(), path);
        ASSERT_EQ(paints.shown.size(), 1u) << commandLine;
        EXPECT_EQ(paints.shown[0], fitted("opened")) << commandLine;
    }

    // The user's zoom stays through a wizard that keeps the size; one column instead of two
    // doubles the width, and the label is fitted again.
    m_frame->showNormal();
    m_frame->resize(1600, 1000);
    TypeIntoZoomBox("400");
    for (const char* columns : {"2", "1"}) {
        OnNextModal([columns](QWidget* w) {
            auto* sheet = qobject_cast<CPropertySheet*>(w);
            ClickTab(sheet, 3);
            TypeInto(Control<QLineEdit>(sheet, 149), columns);
            QTest::mouseClick(sheet->Button(IDOK), Qt::LeftButton);
        }, IsA<CPropertySheet>);
        Action(kLabelWizardCommand)->trigger();
        if (columns[0] == '2')
            EXPECT_EQ(Active()->GetZoom(), 400);
    }
    EXPECT_LT(fitted("the wizard's new size").first, 400);
}

TEST_F(LabelWindows, EveryWindowOfALabelListsItsObjectsWithTheLastOneCurrent)
{
    const QString path = SavedLabelWithObjects();
    const std::string opened = "Text Objects (1) open [Price] | Barcode Objects (2) open [Code A, Code B] | current: Code B";
    Restart({path});
    EXPECT_EQ(TreeOf(Child(0)), opened);
    Action(kWindowNew)->trigger();
    ASSERT_EQ(m_frame->Children().size(), 2);
    EXPECT_EQ(TreeOf(Child(1)), opened);
    Action(kFileClose)->trigger();
    m_app->m_askOpenPath = [path] { return path; };
    Action(kFileOpen)->trigger();
    EXPECT_EQ(TreeOf(Child(0)), opened);

    // An object added in the second window is listed in the first one too, which keeps its
    // own current entry; renamed in one window, deleted in the other, it leaves both.
    Action(kWindowNew)->trigger();
    auto* added = new CDrawText(CRect(300, 300, 2000, 700), m_app->GetActiveDrawView(), "Added");
    added->SetName("Added");
    AddSelected(added);
    EXPECT_EQ(TreeOf(Child(1)), "Text Objects (2) open [Price, Added] | Barcode Objects (2) open [Code A, Code B] | current: Added");
    EXPECT_EQ(TreeOf(Child(0)), "Text Objects (2) open [Price, Added] | Barcode Objects (2) open [Code A, Code B] | current: Code B");
    RunSheet([](CPropertySheet* sheet) {
        TypeInto(Control<QLineEdit>(sheet, 130), "Renamed");
        QTest::mouseClick(sheet->Button(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(TreeOf(Child(0)), "Text Objects (2) open [Price, Renamed] | Barcode Objects (2) open [Code A, Code B] | current: Code B");

    m_frame->ActivateChild(m_frame->MdiArea()->subWindowList().first());
    m_app->GetActiveDrawView()->Select(added, FALSE);
    Update();
    Action(kEditClear)->trigger();
    EXPECT_EQ(Active()->GetObjects().size(), 3u);
    const std::string after = "Text Objects (1) open [Price] | Barcode Objects (2) open [Code A, Code B] | current: ";
    EXPECT_EQ(TreeOf(Child(0)).substr(0, after.size()), after);
    EXPECT_EQ(TreeOf(Child(1)).substr(0, after.size()), after);

    // A palette entry dragged over one window and out again leaves no entry in the other.
    CDrawView* view = m_app->GetActiveDrawView();
    CTextCompItem entry(RUNTIME_CLASS(CDrawText), 1);
    view->OnDropComponent(view->viewport()->mapToGlobal(QPoint(100, 100)), &entry);
    EXPECT_EQ(TreeOf(Child(1)).substr(0, 19), "Text Objects (2) op");
    view->CancelComponentDrop();
    EXPECT_EQ(TreeOf(Child(1)).substr(0, after.size()), after);
}

TEST_F(LabelWindows, FileDialogsStartInTheLastFolderAfterARestart)
{
    ASSERT_TRUE(QDir(m_files.path()).mkpath("labels"));
    const QString folder = QDir(m_files.path()).filePath("labels");
    OnNextModal([folder](QWidget* w) { TypeFileName(w, QDir(folder).filePath("kept.tag")); }, IsA<QFileDialog>);
    Action(kFileSaveAs)->trigger();
    ASSERT_EQ(Active()->GetPathName(), QDir(folder).filePath("kept.tag"));

    // Start and exit clear the window layout; the folder stays.
    Restart({});
    ASSERT_NE(Active(), nullptr);
    EXPECT_EQ(DialogFolder(kFileOpen).toStdString(), folder.toStdString());
    EXPECT_EQ(DialogFolder(kFileSaveAs).toStdString(), folder.toStdString());
}
