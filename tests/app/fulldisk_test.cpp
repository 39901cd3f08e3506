// Every file the program writes, written over an existing file on a disk with no room left: the
// old file stays byte for byte, no temporary file is left beside it, the user is told the
// system's cause and the label stays unsaved. Once on a real tmpfs filled to the last byte (in a
// mount namespace of its own, where the system lets the test mount one), once with the failure
// injected into the writer, so that the same checks run everywhere.
//
// The same roads onto pipes, devices and sockets: they are written into or refused, never
// replaced by a regular file.

#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/savefile.h"
#include "framework/settings.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/uistrings.h"
#include "printing/biffworkbook.h"
#include "printing/exportfiledlg.h"
#include "printing/tagprintdlg.h"
#include "support/pipereader.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr UINT kExport = 32936;
constexpr UINT kStrExportDone = 43;
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

mode_t TypeOf(const QString& path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
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

// Keeps the program's warnings while it lives (the print road reports through them).
struct WarningCatcher {
    WarningCatcher() : previous(qInstallMessageHandler(&Keep)) { s_texts = &texts; }
    ~WarningCatcher()
    {
        qInstallMessageHandler(previous);
        s_texts = nullptr;
    }
    static void Keep(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (s_texts && type == QtWarningMsg)
            *s_texts << text;
    }
    inline static QStringList* s_texts = nullptr;
    QStringList texts;
    QtMessageHandler previous;
};

// What each road made of one kind of target: whether it said it failed (and what), and what a
// reader at a pipe got.
struct RoadResult {
    QString road;
    bool failed = false;
    QString said;
    QByteArray received;
};

// The files the roads write: a label, a picture, a workbook and a PDF file.
struct Targets {
    QString label, picture, sheet, pdf;
};

class FullDisk : public Shell {
protected:
    void TearDown() override
    {
        SetWriteFaultHookForTesting(nullptr);
        Shell::TearDown();
    }

    // Saves the active label (File > Save As), exports a picture from the toolbar, writes a
    // workbook and prints into a file through the print dialog, the print road and, when
    // `program` names a label, the program's command line. With `pipes`, a reader takes what
    // each road sends.
    std::vector<RoadResult> RunRoads(const Targets& t, const QString& program, bool pipes)
    {
        std::vector<RoadResult> results;
        const auto road = [&](const char* name, const QString& target, const std::function<bool(QString&)>& run) {
            std::optional<PipeReader> reader;
            if (pipes)
                reader.emplace(target);
            RoadResult r{QString::fromLatin1(name)};
            r.failed = !run(r.said);
            if (reader)
                r.received = reader->Stop();
            results.push_back(r);
        };
        road("save", t.label, [&](QString& said) {
            MessageBoxWatch watch;
            m_app->m_askSavePath = [label = t.label](const CString&) { return label; };
            Update();
            Action(ShellCmd::kFileSaveAs)->trigger();
            said = watch.texts.join('|');
            return !Active()->IsModified() && Active()->GetPathName() == t.label;
        });
        road("export", t.picture, [&](QString& said) {
            OnNextModal([&](QWidget* w) {
                auto* edit = w->findChild<QLineEdit*>("125");
                ASSERT_NE(edit, nullptr);
                edit->selectAll();
                QTest::keyClicks(edit, t.picture);
                ClickMessageBox(QMessageBox::Ok, &said);
                QTest::mouseClick(w->findChild<QPushButton*>(QString::number(IDOK)), Qt::LeftButton);
            }, IsA<CExportFileDlg>);
            Action(kExport)->trigger();
            return said == AfxLoadString(kStrExportDone);
        });
        road("workbook", t.sheet, [&](QString& said) {
            const CTextSheet records("Data", 2, 1, [](int row, int) { return row ? CString("7") : CString("Field"); });
            return records.Save(t.sheet, &said);
        });
        road("print dialog", t.pdf, [&](QString& said) {
            m_app->Printer()->setOutputFormat(QPrinter::PdfFormat);
            m_app->Printer()->setOutputFileName(t.pdf);
            // Every message box answered, Yes where it asks (whether to print over the file);
            // what is not a question tells of a failure.
            QStringList told;
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [&told] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    const bool asks = box->standardButtons() & QMessageBox::Yes;
                    if (!asks)
                        told << box->text();
                    box->button(asks ? QMessageBox::Yes : QMessageBox::Ok)->click();
                }
            });
            answer.start(5);
            bool refused = false;
            OnNextModal([&](QWidget* w) {
                EXPECT_TRUE(QTest::qWaitForWindowActive(w)) << "the print dialog did not become active";
                ClickAccept(w);
                // The dialog itself may refuse the file and stay open.
                if (w->isVisible()) {
                    refused = true;
                    qobject_cast<QDialog*>(w)->reject();
                }
            }, IsA<CTagPrintDlg>);
            Update();
            Action(ShellCmd::kFilePrint)->trigger();
            said = told.join('|');
            return said.isEmpty() && !refused;
        });
        road("print road", t.pdf, [&](QString& said) {
            WarningCatcher warnings;
            const bool ok = m_app->PrintDocument(Active(), t.pdf);
            said = warnings.texts.join('|');
            return ok;
        });
        for (const char* option : {"/pt", "--print-to"}) {
            if (program.isEmpty())
                break;
            road(option, t.pdf, [&](QString& said) {
                const ProgramRun run = RunProgram({QString::fromLatin1(option), program, t.pdf}, m_settingsDir.path());
                said = run.err;
                return run.exitCode == 0;
            });
        }
        return results;
    }

    // Writes the old files into dir, lets `fill` take the room, then goes every road over them
    // (on a real disk, also the command line's).
    void ExpectNothingLost(const QString& dir, const std::function<void(const QString&)>& fill, bool realDisk)
    {
        const Targets t{dir + "/label.tag", dir + "/label.png", dir + "/data.xls", dir + "/label.pdf"};
        const float size[2] = {500.0f, 300.0f};
        Active()->SetLabelSize(size);
        m_app->m_askSavePath = [label = t.label](const CString&) { return label; };
        ASSERT_TRUE(m_app->SaveDocument(Active(), false));
        for (const QString& old : {t.picture, t.sheet, t.pdf}) {
            QFile f(old);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("an older file") > 0 && f.flush());
        }
        m_app->GetActiveDrawView()->AddObject(new CDrawRect(CRect(100, 100, 900, 500)));
        Active()->SetModifiedFlag(TRUE);
        std::map<QString, QByteArray> before;
        for (const QString& path : {t.label, t.picture, t.sheet, t.pdf})
            before[path] = Bytes(path);
        const QString title = m_frame->windowTitle();
        const QStringList recent = m_app->Settings()->RecentFiles();
        fill(dir);

        for (const RoadResult& r : RunRoads(t, realDisk ? t.label : QString(), false)) {
            EXPECT_TRUE(r.failed) << r.road.toStdString();
            EXPECT_TRUE(r.said.contains(NoSpace())) << r.road.toStdString() << ": " << r.said.toStdString();
        }
        EXPECT_TRUE(Active()->IsModified());
        EXPECT_EQ(m_frame->windowTitle(), title);
        EXPECT_EQ(m_app->Settings()->RecentFiles(), recent);
        EXPECT_EQ(m_app->Printer()->outputFileName(), t.pdf);

        for (const auto& [path, bytes] : before)
            EXPECT_EQ(Bytes(path), bytes) << path.toStdString();
        QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        left.removeAll("filler");
        EXPECT_EQ(left, (QStringList{"data.xls", "label.pdf", "label.png", "label.tag"}));
    }
};

// Makes a target of one kind at a path.
using Maker = std::function<void(const QString& path)>;

// The roads onto targets of one kind, named stem.tag, stem.png, stem.xls and stem.pdf; the
// command line prints a regular label saved first.
class SpecialTarget : public FullDisk {
protected:
    std::vector<RoadResult> RunRoads(const QString& stem, const Maker& make, bool pipes)
    {
        const QString base = m_files.filePath(stem);
        const Targets t{base + ".tag", base + ".png", base + ".xls", base + ".pdf"};
        for (const QString& path : {t.label, t.picture, t.sheet, t.pdf})
            make(path);
        const float size[2] = {500.0f, 300.0f};
        Active()->SetLabelSize(size);
        m_app->GetActiveDrawView()->AddObject(new CDrawRect(CRect(100, 100, 900, 500)));
        return FullDisk::RunRoads(t, SavedLabel(), pipes);
    }
};

// A character device node of the given minor number of the memory devices (3 null, 7 full):
// the test's own where it may make one, else a link to the system's, which a user cannot
// replace.
Maker DeviceNode(unsigned minor, const char* system)
{
    return [minor, system](const QString& path) {
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
            ASSERT_TRUE(::geteuid() != 0 && QFile::link(QString::fromLatin1(system), path)) << std::strerror(errno);
    };
}

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

// Pipes, devices and sockets are written into, never replaced, by every road that writes a
// file; each write is checked and a failure said.
TEST_F(SpecialTarget, PipesReceiveEveryFileAndStayPipes)
{
    const auto results = RunRoads("pipe", [](const QString& path) {
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0) << std::strerror(errno);
    }, true);
    const std::map<QString, QByteArray> magic{{"save", "\xD0\xCF\x11\xE0"}, {"export", "\x89PNG"}, {"workbook", "\xD0\xCF\x11\xE0"}};
    for (const RoadResult& r : results) {
        SCOPED_TRACE(r.road.toStdString());
        EXPECT_FALSE(r.failed) << r.said.toStdString();
        EXPECT_TRUE(r.received.startsWith(magic.count(r.road) ? magic.at(r.road) : QByteArray("%PDF-")))
            << r.received.left(16).toHex().toStdString();
        if (!magic.count(r.road))
            EXPECT_TRUE(r.received.trimmed().endsWith("%%EOF")) << r.received.right(16).toStdString();
    }
    for (const char* ext : {"tag", "png", "xls", "pdf"})
        EXPECT_EQ(TypeOf(m_files.filePath(QStringLiteral("pipe.") + ext)), mode_t(S_IFIFO)) << ext;
}

TEST_F(SpecialTarget, DevicesAreWrittenIntoAndAFullOneSaysSo)
{
    // The null device through links to it (the way a link to /dev/null is given), the full
    // device by its own name.
    const QString null = m_files.filePath("null-node");
    DeviceNode(3, "/dev/null")(null);
    const auto toNull = RunRoads("null", [null](const QString& path) { ASSERT_TRUE(QFile::link(null, path)); }, false);
    for (const RoadResult& r : toNull)
        EXPECT_FALSE(r.failed) << r.road.toStdString() << ": " << r.said.toStdString();
    const auto toFull = RunRoads("full", DeviceNode(7, "/dev/full"), false);
    for (const RoadResult& r : toFull) {
        EXPECT_TRUE(r.failed) << r.road.toStdString();
        EXPECT_TRUE(r.said.contains(NoSpace())) << r.road.toStdString() << ": " << r.said.toStdString();
    }
    EXPECT_EQ(TypeOf(null), mode_t(S_IFCHR));
    for (const char* ext : {"tag", "png", "xls", "pdf"}) {
        EXPECT_EQ(TypeOf(m_files.filePath(QStringLiteral("null.") + ext)), mode_t(S_IFCHR)) << ext;
        EXPECT_TRUE(QFileInfo(m_files.filePath(QStringLiteral("null.") + ext)).isSymLink()) << ext;
        EXPECT_EQ(TypeOf(m_files.filePath(QStringLiteral("full.") + ext)), mode_t(S_IFCHR)) << ext;
    }
}

TEST_F(SpecialTarget, SocketsAreRefusedAndStaySockets)
{
    std::vector<int> sockets;
    const auto results = RunRoads("socket", [&sockets](const QString& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockets.push_back(fd);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        ASSERT_LT(size_t(name.size()), sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    }, false);
    for (const RoadResult& r : results) {
        EXPECT_TRUE(r.failed) << r.road.toStdString();
        // The print dialog refuses it in its own words before the program writes anything.
        if (r.road != "print dialog")
            EXPECT_TRUE(r.said.contains(QString::fromLocal8Bit(std::strerror(ENXIO)))) << r.road.toStdString() << ": " << r.said.toStdString();
    }
    for (const char* ext : {"tag", "png", "xls", "pdf"})
        EXPECT_EQ(TypeOf(m_files.filePath(QStringLiteral("socket.") + ext)), mode_t(S_IFSOCK)) << ext;
    for (int fd : sockets)
        ::close(fd);
}
