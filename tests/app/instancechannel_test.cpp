// The single-instance channel: one per user and graphical session, stale sockets replaced, and
// programs started on two displays each serving their own.
#include "app/shellfixture.h"
#include "app/singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

QProcessEnvironment Env(std::initializer_list<std::pair<const char*, const char*>> values)
{
    QProcessEnvironment env;
    for (const auto& [name, value] : values)
        env.insert(name, value);
    return env;
}

mode_t Mode(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// A socket file nobody listens on, as a killed program leaves it.
bool MakeStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), std::min<size_t>(native.size(), sizeof address.sun_path - 1));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

// Hands files over from another thread while this one serves the channel.
CInstanceChannel::Handover HandOver(const QString& name, const QStringList& files)
{
    std::atomic<int> result{-1};
    std::thread second([&] { result = int(CInstanceChannel::SendFiles(name, files, HangBoundMs(10000))); });
    QElapsedTimer t;
    t.start();
    while (result < 0 && t.elapsed() < HangBoundMs(15000))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    return CInstanceChannel::Handover(int(result));
}

}  // namespace

TEST(InstanceChannel, NamedPerUserAndSessionInsideAPrivateFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString runtime = dir.filePath("run"), temp = dir.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(runtime) && QDir().mkpath(temp));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    const uid_t me = ::getuid();

    struct Case {
        const char* runtimeDir;
        const char* wayland;
        const char* display;
        QString expected;
    };
    const QString fallback = temp + QStringLiteral("/quillbar-%1/").arg(me);
    const Case cases[] = {
        {"RUN", "", ":0", runtime + "/quillbar-_0"},
        {"RUN", "", ":0.1", runtime + "/quillbar-_0"},
        {"RUN", "", ":1", runtime + "/quillbar-_1"},
        {"RUN", "wayland-1", ":0", runtime + "/quillbar-wayland-1"},
        {"RUN", "", "host/x:10.0", runtime + "/quillbar-host_x_10"},
        {"RUN", "", "", runtime + "/quillbar-nodisplay"},
        {"", "", ":2", fallback + "_2"},
        {"relative/run", "", ":2", fallback + "_2"},
        {"/nonexistent-runtime-folder", "", ":3", fallback + "_3"},
    };
    for (const Case& c : cases) {
        const QString runtimeValue = QString(c.runtimeDir) == "RUN" ? runtime : QString(c.runtimeDir);
        QProcessEnvironment env;
        if (!runtimeValue.isEmpty())
            env.insert("XDG_RUNTIME_DIR", runtimeValue);
        if (*c.wayland)
            env.insert("WAYLAND_DISPLAY", c.wayland);
        if (*c.display)
            env.insert("DISPLAY", c.display);
        EXPECT_EQ(CInstanceChannel::SessionName(env, temp, me), c.expected) << c.runtimeDir << " " << c.display;
    }

    // The fallback folder is the user's alone, and narrowed back when it was opened up; a runtime
    // folder others may enter is not used.
    EXPECT_EQ(Mode(fallback) & 0777, 0700u);
    ::chmod(QFile::encodeName(fallback).constData(), 0755);
    ::chmod(QFile::encodeName(runtime).constData(), 0755);
    EXPECT_EQ(CInstanceChannel::SessionName(Env({{"XDG_RUNTIME_DIR", qPrintable(runtime)}, {"DISPLAY", ":4"}}), temp, me),
              fallback + "_4");
    EXPECT_EQ(Mode(fallback) & 0777, 0700u);
    // A folder of that name that is a link or another user's is not a channel at all.
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    ASSERT_TRUE(QFile::link(dir.path(), fallback.chopped(1)));
    EXPECT_EQ(CInstanceChannel::SessionName(Env({{"DISPLAY", ":5"}}), temp, me), "");
    EXPECT_EQ(CInstanceChannel::SessionName(Env({{"DISPLAY", ":5"}}), dir.path(), me + 1), "");
}

TEST_F(Shell, StaleOrVanishedSocketsAreReplacedAndTheRunningProgramKeepsAnswering)
{
    QTemporaryDir run;
    ASSERT_TRUE(run.isValid());
    const QString name = run.filePath("quillbar-_7");
    const QString label = SavedLabel();

    // A killed program's socket: the next one takes the name over and serves it.
    ASSERT_TRUE(MakeStaleSocket(name));
    EXPECT_EQ(CInstanceChannel::SendFiles(name, {label}, 1000), CInstanceChannel::Handover::NoInstance);
    QStringList opened;
    CInstanceChannel channel;
    ASSERT_TRUE(channel.Listen(name, [&](const QStringList& files) { opened += files; return true; }));
    EXPECT_EQ(Mode(name) & 07777, mode_t(S_IRWXU | S_ISVTX));
    EXPECT_EQ(HandOver(name, {label}), CInstanceChannel::Handover::Opened);
    EXPECT_EQ(opened, QStringList{label});

    // A second program on the same session does not take the name from the running one.
    CInstanceChannel second;
    EXPECT_FALSE(second.Listen(name, [](const QStringList&) { return true; }));

    // A clean-up of the folder removed the socket: the running program listens again.
    ASSERT_TRUE(QFile::remove(name));
    channel.KeepListening();
    EXPECT_EQ(HandOver(name, {label}), CInstanceChannel::Handover::Opened);
    EXPECT_EQ(opened.size(), 2);
}

namespace {

// The built program started with files on a display of its own, the user's runtime folder and
// settings shared by every start of the test.
class SessionPrograms : public Shell
{
protected:
    void TearDown() override
    {
        for (QProcess* p : m_programs) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
        Shell::TearDown();
    }

    QProcessEnvironment Environment(const char* display) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_home.path());
        env.insert("HOME", m_home.path());
        env.insert("XDG_RUNTIME_DIR", m_home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DISPLAY", display);
        env.remove("WAYLAND_DISPLAY");
        return env;
    }

    QString ChannelOf(const char* display) const
    {
        return CInstanceChannel::SessionName(Environment(display), QDir::tempPath(), ::getuid());
    }

    QProcess* Start(const char* display, const QString& file)
    {
        auto* p = new QProcess;
        m_programs << p;
        p->setProcessEnvironment(Environment(display));
        p->start(QStringLiteral(QB_EXECUTABLE), {file});
        EXPECT_TRUE(p->waitForStarted(HangBoundMs(5000))) << "the program did not start";
        return p;
    }

    // Waits, a bounded time, until the display's program answers on its channel.
    bool Serving(const char* display, QProcess* program)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < HangBoundMs(20000) && program->state() != QProcess::NotRunning) {
            QLocalSocket probe;
            probe.connectToServer(ChannelOf(display));
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(100);
        }
        ADD_FAILURE() << "no program answered on display " << display << " within " << HangBoundMs(20000) / 1000 << " s";
        return false;
    }

    QTemporaryDir m_home;
    QList<QProcess*> m_programs;
};

}  // namespace

TEST_F(SessionPrograms, TwoDisplaysServeTheirOwnFilesAndAKilledProgramsSocketIsReplaced)
{
    ASSERT_TRUE(m_home.isValid());
    ::chmod(QFile::encodeName(m_home.path()).constData(), 0700);
    const QString label = SavedLabel();
    ASSERT_NE(ChannelOf(":91"), ChannelOf(":92"));

    // One program per display, each with its own window and channel.
    QProcess* first = Start(":91", label);
    ASSERT_TRUE(Serving(":91", first));
    QProcess* second = Start(":92", label);
    ASSERT_TRUE(Serving(":92", second));
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(second->state(), QProcess::Running);

    // A start on the first display hands its file to the first program and ends.
    QProcess* third = Start(":91", label);
    ASSERT_TRUE(third->waitForFinished(HangBoundMs(20000))) << "the start handing over did not end";
    EXPECT_EQ(third->exitCode(), 0) << third->readAllStandardError().constData();
    EXPECT_EQ(second->state(), QProcess::Running);

    // The first program killed, its socket stays behind; the next start serves the display.
    first->kill();
    ASSERT_TRUE(first->waitForFinished(HangBoundMs(5000)));
    ASSERT_TRUE(QFileInfo::exists(ChannelOf(":91")));
    QProcess* fourth = Start(":91", label);
    ASSERT_TRUE(Serving(":91", fourth));
    QProcess* fifth = Start(":91", label);
    ASSERT_TRUE(fifth->waitForFinished(HangBoundMs(20000))) << "the start handing over did not end";
    EXPECT_EQ(fifth->exitCode(), 0) << fifth->readAllStandardError().constData();
    EXPECT_EQ(fourth->state(), QProcess::Running);
}
