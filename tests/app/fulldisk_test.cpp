// Every file the program writes, written over an existing file on a disk with no room left: the
// old file stays byte for byte, no temporary file is left beside it, the user is told the
// system's cause and the label stays unsaved. Once on a real tmpfs filled to the last byte (in a
// mount namespace of its own, where the system lets the test mount one), once with the failure
// injected into the writer, so that the same checks run everywhere.

#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/savefile.h"
#include "framework/settings.h"
#include "framework/ui/dialogids.h"
#include "printing/biffworkbook.h"
#include "printing/exportfiledlg.h"
#include "printing/tagprintdlg.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

constexpr UINT kExport = 32936;
const char* const kDirVariable = "QB_FULL_DISK_DIR";

QString NoSpace()
{
    return QString::fromLocal8Bit(std::strerror(ENOSPC));
}

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Takes the last free byte of the folder's file system.
void FillUp(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir + "/filler").constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const QByteArray block(65536, 'f');
    for (qsizetype chunk : {qsizetype(65536), qsizetype(1)})
        while (::write(fd, block.constData(), size_t(chunk)) == chunk) {
        }
    ASSERT_EQ(errno, ENOSPC);
    ::close(fd);
}

class FullDisk : public Shell {
protected:
    void TearDown() override
    {
        SetWriteFaultHookForTesting(nullptr);
        Shell::TearDown();
    }

    // Writes the old files into dir, lets `fill` take the room, then saves, exports a picture
    // and a workbook and prints to a file over them (on a real disk, also from the command line).
    void ExpectNothingLost(const QString& dir, const std::function<void(const QString&)>& fill, bool realDisk)
    {
        const QString label = dir + "/label.tag", picture = dir + "/label.png", sheet = dir + "/data.xls",
                      pdf = dir + "/label.pdf";
        const float size[2] = {500.0f, 300.0f};
        Active()->SetLabelSize(size);
        m_app->m_askSavePath = [label](const CString&) { return label; };
        ASSERT_TRUE(m_app->SaveDocument(Active(), false));
        for (const QString& old : {picture, sheet, pdf}) {
            QFile f(old);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("an older file") > 0 && f.flush());
        }
        m_app->GetActiveDrawView()->AddObject(new CDrawRect(CRect(100, 100, 900, 500)));
        Active()->SetModifiedFlag(TRUE);
        std::map<QString, QByteArray> before;
        for (const QString& path : {label, picture, sheet, pdf})
            before[path] = Bytes(path);
        const QString title = m_frame->windowTitle();
        const QStringList recent = m_app->Settings()->RecentFiles();
        fill(dir);

        // File > Save.
        QString said;
        ClickMessageBox(QMessageBox::Ok, &said);
        Update();
        Action(ShellCmd::kFileSave)->trigger();
        EXPECT_TRUE(said.contains(NoSpace())) << said.toStdString();
        EXPECT_TRUE(Active()->IsModified());
        EXPECT_EQ(m_frame->windowTitle(), title);
        EXPECT_EQ(m_app->Settings()->RecentFiles(), recent);

        // Export as a picture from the toolbar.
        said.clear();
        OnNextModal([&](QWidget* w) {
            auto* edit = w->findChild<QLineEdit*>("125");
            ASSERT_NE(edit, nullptr);
            edit->selectAll();
            QTest::keyClicks(edit, picture);
            ClickMessageBox(QMessageBox::Ok, &said);
            QTest::mouseClick(w->findChild<QPushButton*>(QString::number(IDOK)), Qt::LeftButton);
        }, IsA<CExportFileDlg>);
        Action(kExport)->trigger();
        EXPECT_TRUE(said.contains(NoSpace())) << said.toStdString();

        // The print data as a workbook.
        CString why;
        const CTextSheet records("Data", 2, 1, [](int row, int) { return row ? CString("7") : CString("Field"); });
        EXPECT_FALSE(records.Save(sheet, &why));
        EXPECT_TRUE(why.contains(NoSpace())) << why.toStdString();

        // File > Print into a PDF file, OK in the print dialog; the command line's road.
        m_app->Printer()->setOutputFormat(QPrinter::PdfFormat);
        m_app->Printer()->setOutputFileName(pdf);
        {
            // The dialog asks before it prints over an existing file: Yes.
            MessageBoxWatch watch;
            OnNextModal([&](QWidget* w) {
                EXPECT_TRUE(QTest::qWaitForWindowActive(w)) << "the print dialog did not become active";
                ClickAccept(w);
            }, IsA<CTagPrintDlg>);
            Update();
            Action(ShellCmd::kFilePrint)->trigger();
            EXPECT_TRUE(watch.texts.value(watch.texts.size() - 1).contains(NoSpace())) << watch.texts.join('|').toStdString();
        }
        EXPECT_EQ(m_app->Printer()->outputFileName(), pdf);
        EXPECT_FALSE(m_app->PrintDocument(Active(), pdf));
        // The program started to print, on the real full disk: exit code 1 and the cause.
        if (realDisk)
            for (const QStringList& line : {QStringList{"/pt", label, pdf}, QStringList{"--print-to", label, pdf}}) {
                const ProgramRun run = RunProgram(line, m_settingsDir.path());
                EXPECT_EQ(run.exitCode, 1) << line.join(' ').toStdString() << run.err.toStdString();
                EXPECT_TRUE(run.err.contains(NoSpace())) << run.err.toStdString();
            }

        for (const auto& [path, bytes] : before)
            EXPECT_EQ(Bytes(path), bytes) << path.toStdString();
        QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        left.removeAll("filler");
        EXPECT_EQ(left, (QStringList{"data.xls", "label.pdf", "label.png", "label.tag"}));
    }
};

}  // namespace

TEST_F(FullDisk, InjectedNoSpaceLosesNothing)
{
    ExpectNothingLost(m_files.path(), [](const QString&) {
        SetWriteFaultHookForTesting([](WriteStep step) { return step == WriteStep::Write ? ENOSPC : 0; });
    }, false);
}

TEST_F(FullDisk, FilledTmpfsLosesNothing)
{
    // The run inside the namespace, on the tmpfs the outer run mounted.
    if (const QString inside = qEnvironmentVariable(kDirVariable); !inside.isEmpty())
        return ExpectNothingLost(inside, FillUp, true);

    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root (CI runs the tests as root)";
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kDirVariable, mountPoint.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("unshare", {"-m", "sh", "-c",
                            "mount --make-rprivate / && mount -t tmpfs -o size=512k tmpfs \"$QB_FULL_DISK_DIR\" && "
                            "exec \"$0\" --gtest_filter=FullDisk.FilledTmpfsLosesNothing",
                            QCoreApplication::applicationFilePath()});
    ASSERT_TRUE(child.waitForFinished(HangBoundMs(60000))) << "the run on a full tmpfs did not end";
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (!output.contains("[ RUN      ]"))
        GTEST_SKIP() << "no tmpfs could be mounted here: " << output.trimmed().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
