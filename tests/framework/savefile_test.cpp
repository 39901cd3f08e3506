#include "framework/savefile.h"
#include "support/pipereader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

WriteStep g_failingStep;
int g_failingErrno = 0;

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t TypeOf(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// A character device like the system's null (1, 3) or full (7) device: a node of its own where
// the test may make one (as root), else a link to the system's, which a user cannot replace.
QString Device(const QString& dir, const char* name, unsigned minor)
{
    const QString node = dir + '/' + name;
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, minor)) == 0)
        return node;
    EXPECT_NE(::geteuid(), 0u) << "root could not make a device node";
    QFile::link(QStringLiteral("/dev/") + name, node);
    return node;
}

}  // namespace

TEST(SaveFile, AFailureAtAnyStepLeavesTheTargetAndNoTemporaryFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("label.tag");
    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, "old contents", error));
    const struct {
        WriteStep step;
        int err;
    } failures[] = {{WriteStep::Create, ENOSPC}, {WriteStep::Write, ENOSPC}, {WriteStep::Sync, EIO},
                    {WriteStep::Rename, EXDEV}};
    for (const auto& f : failures) {
        SCOPED_TRACE(int(f.step));
        g_failingStep = f.step;
        g_failingErrno = f.err;
        SetWriteFaultHookForTesting([](WriteStep step) { return step == g_failingStep ? g_failingErrno : 0; });
        error.clear();
        EXPECT_FALSE(WriteFileAtomically(target, QByteArray(100000, 'n'), error));
        SetWriteFaultHookForTesting(nullptr);
        EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(f.err)));
        EXPECT_EQ(Bytes(target), "old contents");
        EXPECT_EQ(Entries(dir.path()), QStringList{"label.tag"});
    }
}

TEST(SaveFile, ReplacesTheFileALinkPointsToAndKeepsItsPermissions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString real = dir.filePath("real.tag"), link = dir.filePath("link.tag");
    QString error;
    ASSERT_TRUE(WriteFileAtomically(real, "old", error));
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(real, mode));
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(WriteFileAtomically(link, "new", error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Bytes(real), "new");
    EXPECT_EQ(QFile::permissions(real) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
    EXPECT_EQ(Entries(dir.path()), (QStringList{"link.tag", "real.tag"}));

    // A folder that refuses new files: the file itself is written over, to its new length.
    SetWriteFaultHookForTesting([](WriteStep step) { return step == WriteStep::Create ? EACCES : 0; });
    EXPECT_TRUE(WriteFileAtomically(real, "in place", error)) << error.toStdString();
    EXPECT_TRUE(WriteFileAtomically(real, "new", error)) << error.toStdString();
    SetWriteFaultHookForTesting(nullptr);
    EXPECT_EQ(Bytes(real), "new");

    // A name at the system's length limit leaves room for the temporary name.
    const QString longName = dir.filePath(QString(251, u'n') + ".tag");
    EXPECT_TRUE(WriteFileAtomically(longName, "long", error)) << error.toStdString();
    EXPECT_EQ(Bytes(longName), "long");
    QFile::remove(longName);

    // A folder, or a file nobody may write, is refused and stays.
    EXPECT_FALSE(WriteFileAtomically(dir.path(), "x", error));
    ASSERT_TRUE(QFile::setPermissions(real, QFileDevice::ReadOwner));
    EXPECT_FALSE(WriteFileAtomically(real, "x", error));
    EXPECT_EQ(Bytes(real), "new");
}

TEST(SaveFile, WritesIntoPipesDevicesAndSocketsWithoutReplacingThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;

    // A pipe, also through a link: the bytes go to its reader, and it stays a pipe.
    const QString fifo = dir.filePath("pipe.pdf"), link = dir.filePath("link.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link}) {
        PipeReader reader(fifo);
        EXPECT_TRUE(WriteFileAtomically(path, "%PDF- through the pipe", error)) << error.toStdString();
        EXPECT_EQ(reader.Stop(), "%PDF- through the pipe");
    }
    EXPECT_EQ(TypeOf(fifo), mode_t(S_IFIFO));
    EXPECT_EQ(TypeOf(link), mode_t(S_IFLNK));

    // A link to the program's own output (as /dev/stdout is), which leads to a pipe no path
    // names.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const QString toOutput = dir.filePath("stdout.pdf");
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fd/%1").arg(ends[1]), toOutput));
    EXPECT_TRUE(WriteFileAtomically(toOutput, "%PDF- to the output", error)) << error.toStdString();
    ::close(ends[1]);
    char got[64] = {};
    EXPECT_EQ(::read(ends[0], got, sizeof got), 19);
    EXPECT_STREQ(got, "%PDF- to the output");
    ::close(ends[0]);
    EXPECT_TRUE(QFile::remove(toOutput));

    // A reader that goes away part of the way: the write fails and says so (no signal ends
    // the program).
    {
        PipeReader reader(fifo, 10);
        EXPECT_FALSE(WriteFileAtomically(fifo, QByteArray(4 << 20, 'p'), error));
        EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EPIPE)));
        EXPECT_EQ(reader.Stop().size(), 10);
    }
    EXPECT_EQ(TypeOf(fifo), mode_t(S_IFIFO));

    // Devices, directly and through a link: each write checked, the node left where it is.
    const QString null = Device(dir.path(), "null", 3), full = Device(dir.path(), "full", 7);
    const QString toNull = dir.filePath("to-null");
    ASSERT_TRUE(QFile::link(null, toNull));
    const mode_t nullType = TypeOf(null);
    for (const QString& path : {null, toNull})
        EXPECT_TRUE(WriteFileAtomically(path, QByteArray(100000, 'n'), error)) << error.toStdString();
    EXPECT_FALSE(WriteFileAtomically(full, "x", error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(TypeOf(null), nullType);
    EXPECT_EQ(TypeOf(full), nullType);
    EXPECT_EQ(QFileInfo(toNull).canonicalFilePath(), QFileInfo(null).canonicalFilePath());

    // A socket cannot be written as a file: refused, and still a socket.
    const QString socketPath = dir.filePath("socket");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(encoded.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    EXPECT_FALSE(WriteFileAtomically(socketPath, "x", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(TypeOf(socketPath), mode_t(S_IFSOCK));
    ::close(sock);

    EXPECT_EQ(Entries(dir.path()).join(' ').toStdString(), "full link.pdf null pipe.pdf socket to-null");
}

TEST(SaveFile, RemovesWhatKilledWritersOfTheSameFileLeftBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("label.tag");
    const auto make = [&](const QString& name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write("left") == 4);
    };
    // Two killed writers of label.tag, one of them from before the file had a lock.
    make(".label.tag.0k3x9az81mq2p");
    make(".label.tag.3w5e11264sgsf");
    // A writer at work in another program holds a lock on its file.
    make(".label.tag.00000000000aa");
    const int working = ::open(QFile::encodeName(dir.filePath(".label.tag.00000000000aa")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(working, LOCK_EX | LOCK_NB), 0);
    // Files of the user and leftovers of another label stay.
    const QStringList others{".label.tag.backup", ".label.tag.0k3x9az81mq2p.bak", ".label.tag.0K3X9AZ81MQ2P",
                             ".label.tag.0k3x9az81mq2", ".other.tag.0k3x9az81mq2p", "label.tag.0k3x9az81mq2p"};
    for (const QString& name : others)
        make(name);

    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, "new", error)) << error.toStdString();
    QStringList expected = others;
    expected << ".label.tag.00000000000aa" << "label.tag";
    expected.sort();
    EXPECT_EQ(Entries(dir.path()).join(' ').toStdString(), expected.join(' ').toStdString());

    // Once that writer is gone too, the next save takes its file away as well.
    ::close(working);
    ASSERT_TRUE(WriteFileAtomically(target, "newer", error)) << error.toStdString();
    expected.removeAll(".label.tag.00000000000aa");
    EXPECT_EQ(Entries(dir.path()).join(' ').toStdString(), expected.join(' ').toStdString());
    EXPECT_EQ(Bytes(target), "newer");
}
