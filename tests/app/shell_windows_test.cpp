// The label windows as a user handles them: closing a tab by its button, a second window on a
// label, a file that does not open, Save As over an existing file, saving in a folder that takes
// no new files, and the names the program shows in titles, tabs, the recent-file list and the
// about box.

#include "app/shellfixture.h"
#include "app/shelldialogs.h"
#include "app/singleinstance.h"
#include "objects/drawobj.h"
#include "framework/settings.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>
#include <QUrl>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace ShellCmd;

namespace {

// Types a file name where the keys of the next file dialog arrive and presses Enter.
void AnswerFileDialog(const QString& name)
{
    OnNextModal([name](QWidget* w) { TypeFileName(w, name); }, IsA<QFileDialog>);
}

class ShellWindows : public Shell
{
protected:
    QTabBar* Tabs() const { return m_frame->MdiArea()->findChild<QTabBar*>(); }

    QStringList TabTexts() const
    {
        QStringList texts;
        for (int i = 0; i < Tabs()->count(); ++i)
            texts << Tabs()->tabText(i);
        return texts;
    }

    // Clicks the close button of a tab, as the user does, and lets the closed window go.
    void ClickTabClose(int index)
    {
        QTabBar* tabs = Tabs();
        QWidget* button = tabs->tabButton(index, QTabBar::RightSide);
        if (!button)
            button = tabs->tabButton(index, QTabBar::LeftSide);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

    // The labels stay tabs: the active window fills the area, without a frame of its own.
    void ExpectAllInTabs()
    {
        EXPECT_EQ(Tabs()->count(), m_frame->MdiArea()->subWindowList().size());
        QMdiSubWindow* active = m_frame->MdiArea()->activeSubWindow();
        ASSERT_NE(active, nullptr);
        EXPECT_TRUE(active->isMaximized()) << active->windowTitle().toStdString();
    }

    struct HandOver {
        CInstanceChannel::Handover result, resultWhenShown;
        QString message;
    };
    // A second start hands over a file; the one message box the program then shows is read
    // and closed, and the second start's answer at that moment is kept.
    HandOver HandOverWithMessage(const QString& path)
    {
        std::atomic<int> result{-1};
        int resultWhenShown = -2;
        QString message;
        OnNextModal([&](QWidget* w) {
            // The second start may take a moment to read its answer, but never needs this box.
            QElapsedTimer t;
            t.start();
            while (result < 0 && t.elapsed() < HangBoundMs(5000))
                QThread::msleep(10);
            resultWhenShown = result;
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            message = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        std::thread second([&] { result = int(CInstanceChannel::SendFiles(InstanceName(), {path}, HangBoundMs(10000))); });
        QElapsedTimer t;
        t.start();
        while ((result < 0 || message.isEmpty()) && t.elapsed() < HangBoundMs(15000))
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        second.join();
        return {CInstanceChannel::Handover(int(result)), CInstanceChannel::Handover(resultWhenShown), message};
    }

    QString DamagedFile()
    {
        const QString path = m_files.filePath("damaged.tag");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'x'));
        return path;
    }
};

}  // namespace

TEST_F(ShellWindows, TabCloseButtonAsksFirstAndLeavesTheOtherLabel)
{
    Action(kFileNew)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 2u);
    CDrawDoc* first = m_app->Documents()[0];
    CDrawDoc* second = m_app->Documents()[1];
    first->SetModifiedFlag(TRUE);
    second->SetModifiedFlag(TRUE);
    ASSERT_EQ(TabTexts(), (QStringList{"Label1", "Label2"}));

    // Cancel keeps the label and its window.
    QString question;
    ClickMessageBox(QMessageBox::Cancel, &question);
    ClickTabClose(0);
    EXPECT_EQ(question, "Save changes to Label1?");
    EXPECT_EQ(m_app->Documents().size(), 2u);
    EXPECT_EQ(Tabs()->count(), 2);

    // No closes it without saving; the other label lives on, unsaved, in its tab.
    ClickMessageBox(QMessageBox::No);
    ClickTabClose(0);
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(m_app->Documents()[0], second);
    EXPECT_TRUE(second->IsModified());
    EXPECT_EQ(Active(), second);
    EXPECT_EQ(TabTexts(), QStringList{"Label2"});
    ExpectAllInTabs();
    EXPECT_TRUE(m_frame->windowTitle().endsWith("Label2"));

    // The last label closed by its tab leaves the frame without documents.
    second->SetModifiedFlag(FALSE);
    ClickTabClose(0);
    EXPECT_TRUE(m_app->Documents().empty());
    EXPECT_EQ(Active(), nullptr);
    EXPECT_EQ(m_frame->menuBar()->actions().size(), 3);
}

TEST_F(ShellWindows, NewWindowOpensASecondTabOnTheSameLabel)
{
    // The Window menu offers New Window only: tabs are never cascaded, tiled or arranged.
    QMenu* windowMenu = MenuOf("&Window");
    ASSERT_NE(windowMenu, nullptr);
    QList<UINT> ids;
    for (QAction* a : windowMenu->actions())
        ids << CommandIdOf(a);
    EXPECT_EQ(ids, (QList<UINT>{kWindowNew}));

    emit windowMenu->aboutToShow();
    ASSERT_TRUE(Action(kWindowNew)->isEnabled());
    CDrawDoc* doc = Active();
    Action(kWindowNew)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(TabTexts(), (QStringList{"Label1:1", "Label1:2"}));
    ExpectAllInTabs();
    const auto children = m_frame->Children();
    ASSERT_EQ(children.size(), 2);
    EXPECT_EQ(m_frame->ActiveChild(), children[1]);
    EXPECT_EQ(children[1]->GetActiveDrawView()->GetDocument(), doc);
    EXPECT_EQ(children[0]->GetActiveDrawView()->GetDocument(), doc);
    EXPECT_TRUE(m_frame->windowTitle().endsWith(" - Label1"));

    // The new window's commands reach the same document.
    Action(kZoomIn)->trigger();
    EXPECT_EQ(doc->GetZoom(), 125);

    // Closing one of two windows asks nothing and keeps the document; the last one asks.
    doc->SetModifiedFlag(TRUE);
    ClickTabClose(0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(TabTexts(), QStringList{"Label1"});
    EXPECT_EQ(m_app->FrameOf(doc), m_frame->ActiveChild());
    QString question;
    ClickMessageBox(QMessageBox::No, &question);
    ClickTabClose(0);
    EXPECT_EQ(question, "Save changes to Label1?");
    EXPECT_TRUE(m_app->Documents().empty());

    // File > Close takes every window of its document.
    Action(kFileNew)->trigger();
    QApplication::processEvents();
    Action(kWindowNew)->trigger();
    Action(kWindowNew)->trigger();
    EXPECT_EQ(Tabs()->count(), 3);
    Action(kFileClose)->trigger();
    EXPECT_TRUE(m_app->Documents().empty());
    EXPECT_TRUE(m_frame->MdiArea()->subWindowList().isEmpty());
}

TEST_F(ShellWindows, FailedOpenLeavesNoWindowAndTheOtherLabelInItsTabAsItWas)
{
    // A label of 50 x 30 mm fitted into its window.
    ShowFrame();
    const float size[2] = {500, 300};
    Active()->SetLabelSize(size);
    Update();
    Action(kFitLabel)->trigger();
    QApplication::processEvents();
    const int fitted = Active()->GetZoom();
    ASSERT_NE(fitted, 100);
    const QString damaged = DamagedFile();
    QString message;
    AnswerFileDialog(damaged);
    ClickMessageBox(QMessageBox::Ok, &message);
    Action(kFileOpen)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(message.startsWith(QDir::toNativeSeparators(damaged) + " could not be opened."));
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(TabTexts(), QStringList{"Label1"});
    ExpectAllInTabs();
    EXPECT_EQ(Active()->GetZoom(), fitted);
    EXPECT_EQ(m_frame->ZoomBox()->GetText(), QString("%1%").arg(fitted));
}

// A file that does not open leaves the label the user was on active, also while its message is
// up: not the tab that the failed window's tab bar would pick instead.
TEST_F(ShellWindows, FailedOpenKeepsTheActiveTab)
{
    ShowFrame();
    Action(kFileNew)->trigger();
    Action(kFileNew)->trigger();
    ASSERT_EQ(TabTexts(), (QStringList{"Label1", "Label2", "Label3"}));
    QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(1).center());
    CDrawDoc* second = m_app->Documents()[1];
    ASSERT_EQ(Active(), second);

    const QString damaged = DamagedFile();
    AnswerFileDialog(damaged);
    QString tabUnderMessage;
    CDrawDoc* activeUnderMessage = nullptr;
    OnNextModal([&](QWidget* w) {
        tabUnderMessage = Tabs()->tabText(Tabs()->currentIndex());
        activeUnderMessage = Active();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    }, IsA<QMessageBox>);
    Action(kFileOpen)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(tabUnderMessage, "Label2");
    EXPECT_EQ(activeUnderMessage, second);
    EXPECT_EQ(TabTexts(), (QStringList{"Label1", "Label2", "Label3"}));
    EXPECT_EQ(Tabs()->currentIndex(), 1);
    EXPECT_EQ(Active(), second);
    EXPECT_EQ(m_frame->ActiveChild(), m_app->FrameOf(second));
    ExpectAllInTabs();
}

TEST_F(ShellWindows, SaveAsOpensInTheLabelsFolderElseTheLastOneUsed)
{
    QString shown;
    const auto saveAs = [&](const QString& name) {
        OnNextModal([&, name](QWidget* w) {
            shown = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
            if (name.isEmpty())
                QTest::keyClick(FocusIn(w), Qt::Key_Escape);
            else
                TypeFileName(w, name);
        }, IsA<QFileDialog>);
        Action(kFileSaveAs)->trigger();
    };
    ASSERT_TRUE(QDir(m_files.path()).mkpath("labels"));
    const QString folder = QDir(m_files.path()).filePath("labels");
    saveAs(QDir(folder).filePath("one.tag"));
    ASSERT_EQ(Active()->GetPathName(), QDir(folder).filePath("one.tag"));
    // The saved label's own folder; a new label, the folder used last.
    saveAs({});
    EXPECT_EQ(shown, folder);
    Action(kFileNew)->trigger();
    saveAs({});
    EXPECT_EQ(shown, folder);
}

TEST_F(ShellWindows, SecondStartIsAnsweredBeforeTheFailureIsShown)
{
    const QString damaged = DamagedFile();
    const HandOver h = HandOverWithMessage(damaged);
    EXPECT_EQ(h.result, CInstanceChannel::Handover::Failed);
    EXPECT_EQ(h.resultWhenShown, CInstanceChannel::Handover::Failed);
    EXPECT_TRUE(h.message.startsWith(QDir::toNativeSeparators(damaged) + " could not be opened."));
    ASSERT_EQ(m_app->Documents().size(), 1u);
    ExpectAllInTabs();
}

// A label that opens without its data source is opened for the second start; the source's
// failure is said after the answer.
TEST_F(ShellWindows, SecondStartIsAnsweredBeforeADataSourceFailureIsShown)
{
    const QString path = m_files.filePath("no-source.tag");
    {
        CDrawDoc doc;
        doc.SetConnectionString("DSN=");
        ASSERT_TRUE(doc.OnSaveDocument(path));
    }
    const HandOver h = HandOverWithMessage(path);
    EXPECT_EQ(h.result, CInstanceChannel::Handover::Opened);
    EXPECT_EQ(h.resultWhenShown, CInstanceChannel::Handover::Opened);
    EXPECT_FALSE(h.message.isEmpty());
    ASSERT_EQ(m_app->Documents().size(), 2u);
    EXPECT_EQ(Active()->GetPathName(), path);
    ExpectAllInTabs();
}

TEST_F(ShellWindows, SaveAsAsksBeforeReplacingANameTypedWithoutItsSuffix)
{
    const QString existing = m_files.filePath("existing.tag");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    // Typed without ".tag", answered No: the dialog stays for another name; Escape leaves it.
    QString question;
    OnNextModal([&](QWidget* dialog) {
        ASSERT_NE(qobject_cast<QFileDialog*>(dialog), nullptr);
        auto* edit = qobject_cast<QLineEdit*>(FocusIn(dialog));
        ASSERT_NE(edit, nullptr);
        // The question opens inside the key press.
        auto asking = std::make_shared<bool>(true);
        OnNextModal([&, asking](QWidget* w) {
            if (!*asking)
                return;
            question = qobject_cast<QMessageBox*>(w)->text();
            qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click();
        }, [asking](QWidget* w) { return !*asking || qobject_cast<QMessageBox*>(w); });
        edit->selectAll();
        QTest::keyClicks(edit, QDir(m_files.path()).filePath("existing"));
        QTest::keyClick(edit, Qt::Key_Return);
        *asking = false;
        if (dialog->isVisible())
            QTest::keyClick(FocusIn(dialog), Qt::Key_Escape);
    });
    Action(kFileSaveAs)->trigger();
    EXPECT_TRUE(question.contains("existing.tag")) << question.toStdString();
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
    EXPECT_TRUE(Active()->GetPathName().isEmpty());

    // A new name typed without ".tag" is saved under the name with it.
    AnswerFileDialog(QDir(m_files.path()).filePath("fresh"));
    Action(kFileSaveAs)->trigger();
    EXPECT_EQ(Active()->GetPathName(), m_files.filePath("fresh.tag"));
    EXPECT_TRUE(QFile::exists(m_files.filePath("fresh.tag")));
}

TEST_F(ShellWindows, NamesShowAsTheyAre)
{
    // The title names the program once; no platform appends Qt's display name to it.
    EXPECT_EQ(m_frame->windowTitle(), "Quillbar(Label Designer) - Label1");
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("quillbar-title-probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "quillbar-title-probe");
    QCoreApplication::setApplicationName(name);

    // An "&" in a file name is itself on the tab and in the recent-file list, not a mnemonic.
    const QString path = m_files.filePath("R&D.tag");
    m_app->m_askSavePath = [path](const CString&) { return path; };
    Action(kFileSaveAs)->trigger();
    ASSERT_EQ(Active()->GetPathName(), path);
    EXPECT_EQ(m_frame->windowTitle(), "Quillbar(Label Designer) - R&D.tag");
    EXPECT_EQ(TabTexts(), QStringList{"R&&D.tag"});
    EXPECT_TRUE(QKeySequence::mnemonic(Tabs()->tabText(0)).isEmpty());
    QMenu* fileMenu = m_frame->menuBar()->actions().value(0)->menu();
    ASSERT_NE(fileMenu, nullptr);
    emit fileMenu->aboutToShow();
    const QString recent = Action(kFileMru1)->text();
    EXPECT_EQ(recent, "&1 " + QString(path).replace("&", "&&"));
    EXPECT_EQ(QKeySequence::mnemonic(recent), QKeySequence(Qt::ALT | Qt::Key_1));
    // A second window numbers both tabs.
    Action(kWindowNew)->trigger();
    EXPECT_EQ(TabTexts(), (QStringList{"R&&D.tag:1", "R&&D.tag:2"}));
}

TEST_F(ShellWindows, AboutBoxOpensTheAddressItShows)
{
    Update();
    QString shown, target, opened;
    CAboutDlg::SetUrlOpener([&](const QString& url) { opened = url; });
    OnNextModal([&](QWidget* w) {
        auto* link = w->findChild<QLabel*>("138");
        ASSERT_NE(link, nullptr);
        QTextDocument text;
        text.setHtml(link->text());
        shown = text.toPlainText();
        target = text.firstBlock().begin().fragment().charFormat().anchorHref();
        // The link is the label's only text, at its left.
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(4, link->height() / 2));
        qobject_cast<QDialog*>(w)->accept();
    });
    Action(kAppAbout)->trigger();
    CAboutDlg::SetUrlOpener([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    EXPECT_EQ(shown, QString::fromLatin1(kMakerWebPage));
    EXPECT_EQ(target, shown);
    EXPECT_EQ(opened, shown);
}

// Root passes every permission check, so a root test saves as "nobody" (only this thread's
// file-system user changes).
TEST_F(ShellWindows, SaveWritesInPlaceWhereTheFolderRefusesNewFiles)
{
    // A shared folder that lets the user change its files but not add any: the temporary file
    // of the safe save cannot be made there, and File > Save still writes the label.
    constexpr uid_t kNobody = 65534;
    const bool root = geteuid() == 0;
    const QString folder = m_files.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(chmod(QFile::encodeName(m_files.path()).constData(), 0755), 0);
    const QString path = QDir(folder).filePath("label.tag");
    CDrawDoc* doc = Active();
    m_app->m_askSavePath = [path](const CString&) { return path; };
    ASSERT_TRUE(m_app->SaveDocument(doc, false));
    if (root) {
        ASSERT_EQ(chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    if (root) {
        setfsuid(kNobody);
        if (setfsuid(uid_t(-1)) != kNobody)
            GTEST_SKIP() << "the file-system user cannot be changed here";
    }
    doc->Add(new CDrawRect(CRect(100, 100, 400, 300)));
    doc->SetModifiedFlag(TRUE);
    // A refused save would say so in a message box; the watch ends with the save.
    auto complaint = std::make_shared<QString>();
    auto watching = std::make_shared<bool>(true);
    OnNextModal([complaint, watching](QWidget* w) {
        if (!*watching)
            return;
        *complaint = qobject_cast<QMessageBox*>(w)->text();
        w->close();
    }, [watching](QWidget* w) { return !*watching || qobject_cast<QMessageBox*>(w); });
    Action(kFileSave)->trigger();
    *watching = false;
    if (root)
        setfsuid(0);
    chmod(QFile::encodeName(folder).constData(), 0755);

    EXPECT_TRUE(complaint->isEmpty()) << complaint->toStdString();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("label.tag")});
    m_app->m_askSavePath = {};
    CDrawDoc reread;
    ASSERT_TRUE(reread.OnOpenDocument(path));
    EXPECT_EQ(reread.GetObjects().size(), 1u);
}
