// File > Send as the user meets it: a copy of the label, as it stands, handed to the mail program
// (a stand-in xdg-email first on PATH that records what it was given), the item gone from the
// menu where no mail program can be started, and a mail program that fails to start or fails
// later, when it has run a while.

#include "app/shellfixture.h"
#include "objects/drawtext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

using namespace ShellCmd;

namespace {

class SendMail : public Shell
{
protected:
    void SetUp() override
    {
        m_path = qgetenv("PATH");
        Shell::SetUp();
        ASSERT_TRUE(m_bin.isValid());
    }
    void TearDown() override
    {
        Shell::TearDown();
        qputenv("PATH", m_path);
    }

    // A stand-in xdg-email with this body, alone on PATH or first on it.
    void InstallMailProgram(const QByteArray& script, bool alone = false)
    {
        const QString program = m_bin.filePath("xdg-email");
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", alone ? m_bin.path().toLocal8Bit() : m_bin.path().toLocal8Bit() + ':' + m_path);
    }
    // The stand-in writes its arguments, one a line, and a copy of the file it was given to
    // attach, and only then the arguments' file, which the test waits for.
    void InstallRecordingMailProgram()
    {
        const QByteArray dir = m_bin.path().toLocal8Bit();
        InstallMailProgram("#!/bin/sh\n"
                           "printf '%s\\n' \"$@\" > '" + dir + "/args.part'\n"
                           "[ \"$1\" = --attach ] && cp \"$2\" '" + dir + "/attachment'\n"
                           "mv '" + dir + "/args.part' '" + dir + "/args'\n");
    }
    // What the mail program was given: its arguments, and the attachment as it found it.
    QStringList MailArguments()
    {
        const QString args = m_bin.filePath("args");
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(args) && t.elapsed() < ModalWaitMs())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QFile file(args);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "the mail program was not started";
            return {};
        }
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        file.remove();
        return lines;
    }
    // The names of the objects of the label file the mail program got.
    QStringList ObjectsOfAttachment()
    {
        CDrawDoc copy;
        EXPECT_TRUE(copy.OnOpenDocument(m_bin.filePath("attachment"))) << copy.GetErrorText().toStdString();
        QStringList texts;
        for (CDrawObj* obj : copy.GetObjects())
            texts << obj->GetName();
        return texts;
    }
    // Opens the File menu as a user does; the Send item's action when the menu shows it.
    QAction* SendItemOfFileMenu()
    {
        QMenu* file = MenuOf("&File");
        EXPECT_NE(file, nullptr);
        if (!file)
            return nullptr;
        emit file->aboutToShow();
        for (QAction* a : file->actions())
            if (CommandIdOf(a) == kFileSendMail)
                return a;
        return nullptr;
    }

    void AddNamedText(const QString& name)
    {
        auto* text = new CDrawText(CRect(100, 100, 2000, 500), m_app->GetActiveDrawView(), name);
        text->SetName(name);
        AddSelected(text);
    }

    QByteArray m_path;
    QTemporaryDir m_bin;
};

}  // namespace

TEST_F(SendMail, TheMailProgramGetsACopyOfTheLabelAsItStandsNamedAfterItsTitle)
{
    InstallRecordingMailProgram();
    AddNamedText("Unsaved");
    Active()->SetModifiedFlag(TRUE);
    QAction* send = SendItemOfFileMenu();
    ASSERT_NE(send, nullptr);
    ASSERT_TRUE(send->isEnabled());
    send->trigger();
    const QStringList first = MailArguments();
    ASSERT_EQ(first.size(), 2) << first.join(' ').toStdString();
    EXPECT_EQ(first[0], "--attach");
    EXPECT_EQ(QFileInfo(first[1]).fileName(), "Label1.tag");
    EXPECT_EQ(ObjectsOfAttachment(), QStringList{"Unsaved"});
    // The label itself stays unsaved and nameless.
    EXPECT_TRUE(Active()->IsModified());
    EXPECT_TRUE(Active()->GetPathName().isEmpty());
    EXPECT_EQ(Active()->GetTitle(), "Label1");

    // A saved label goes under its own name, also with changes that are not saved yet, which
    // stay unsaved; each message has its own copy.
    const QString path = SavedLabel();
    const QByteArray saved = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    AddNamedText("Changed");
    Active()->SetModifiedFlag(TRUE);
    SendItemOfFileMenu()->trigger();
    const QStringList second = MailArguments();
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(QFileInfo(second[1]).fileName(), "saved.tag");
    EXPECT_NE(second[1], path);
    EXPECT_EQ(ObjectsOfAttachment(), (QStringList{"Unsaved", "Changed"}));
    EXPECT_TRUE(Active()->IsModified());
    EXPECT_EQ(Active()->GetPathName(), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), saved);

    // The copies stay while the program runs and go with it.
    EXPECT_TRUE(QFileInfo::exists(first[1]));
    EXPECT_TRUE(QFileInfo::exists(second[1]));
    Active()->SetModifiedFlag(FALSE);
    m_app->ExitInstance();
    m_app.reset();
    EXPECT_FALSE(QFileInfo::exists(first[1]));
    EXPECT_FALSE(QFileInfo::exists(second[1]));
}

TEST_F(SendMail, AMailProgramThatDoesNotStartIsReportedAndWithoutOneTheItemLeavesTheMenu)
{
    // A program that cannot be run: its interpreter is missing.
    InstallMailProgram("#!/nonexistent/interpreter\n");
    QAction* send = SendItemOfFileMenu();
    ASSERT_NE(send, nullptr);
    QString said;
    ClickMessageBox(QMessageBox::Ok, &said);
    send->trigger();
    EXPECT_TRUE(said.startsWith("The mail program could not be started.")) << said.toStdString();
    EXPECT_FALSE(Active()->IsModified());

    // No mail program anywhere on PATH.
    QFile::remove(m_bin.filePath("xdg-email"));
    qputenv("PATH", m_bin.path().toLocal8Bit());
    EXPECT_EQ(SendItemOfFileMenu(), nullptr);
    Update();
    EXPECT_FALSE(Action(kFileSendMail)->isEnabled());
}

TEST_F(SendMail, AMailProgramThatFailsLaterIsReportedInItsOwnWordsWithoutHoldingTheWindow)
{
    // Each stand-in waits for the test to let it go on (ten seconds at most), then ends as told.
    const QByteArray wait = "#!/bin/sh\nn=0\nwhile [ ! -e '" + m_bin.path().toLocal8Bit() + "/go' ] && [ $n -lt 200 ]; do\n"
                            "  sleep 0.05; n=$((n+1))\ndone\ntouch \"$0.done\"\n";
    const struct {
        QByteArray end;
        QStringList said;  // the parts of the one message expected; none: no message
    } cases[] = {
        {"echo \"xdg-email: no method available for opening 'mailto:'\" >&2\nexit 3\n",
         {"The mail program failed (exit status 3), and the label was not sent.", "xdg-email: no method available for opening 'mailto:'"}},
        {"kill -KILL $$\n", {"The mail program stopped unexpectedly, and the label was not sent."}},
        {"echo 'a warning of no importance' >&2\nexit 0\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end.toStdString());
        QFile::remove(m_bin.filePath("go"));
        QFile::remove(m_bin.filePath("xdg-email.done"));
        InstallMailProgram(wait + c.end);
        MessageBoxWatch boxes;
        SendItemOfFileMenu()->trigger();
        QTest::qWait(100);
        EXPECT_TRUE(boxes.texts.isEmpty()) << "said while the program runs";
        QFile go(m_bin.filePath("go"));
        ASSERT_TRUE(go.open(QIODevice::WriteOnly));
        go.close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(m_bin.filePath("xdg-email.done")); }, ModalWaitMs()));
        (void)QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, c.said.isEmpty() ? 300 : ModalWaitMs());
        QTest::qWait(100);
        ASSERT_EQ(boxes.texts.size(), c.said.isEmpty() ? 0 : 1) << boxes.texts.join('|').toStdString();
        for (const QString& part : c.said)
            EXPECT_TRUE(boxes.texts[0].contains(part)) << boxes.texts[0].toStdString();
    }
}
