#include "framework/resourcemodule.h"
#include "framework/savefile.h"
#include "support/pipereader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// Pipes as scripts hand them over (the roads of the program onto pipes, devices and sockets are
// the full-disk tests'): a link to the program's own output, and a reader that goes away.
TEST(SaveFile, WritesIntoPipesAndSaysWhenTheReaderHasGone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;

    // A link to an output that no path names (as /dev/stdout is when it is a pipe).
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
    EXPECT_EQ(TypeOf(toOutput), mode_t(S_IFLNK));

    // The reader goes away part of the way: the write fails and says so (no signal ends the
    // program), and the pipe stays.
    const QString fifo = dir.filePath("pipe.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    PipeReader reader(fifo, 10);
    EXPECT_FALSE(WriteFileAtomically(fifo, QByteArray(4 << 20, 'p'), error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EPIPE)));
    EXPECT_EQ(reader.Stop().size(), 10);
    EXPECT_EQ(TypeOf(fifo), mode_t(S_IFIFO));
    EXPECT_EQ(Entries(dir.path()).join(' ').toStdString(), "pipe.pdf stdout.pdf");
}

// A pipe nobody opens to read, or whose reader takes nothing, holds the writer a few seconds, not
// for ever; the refusal says which, and the pipe stays a pipe.
TEST(SaveFile, APipeWhoseReaderNeverComesOrStopsIsRefused)
{
    ASSERT_TRUE(CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU")));
    QTemporaryDir dir;
    const QString unread = dir.filePath("unread.pdf"), stalled = dir.filePath("stalled.tag"), linked = dir.filePath("link.png");
    for (const QString& fifo : {unread, stalled})
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0) << std::strerror(errno);
    ASSERT_TRUE(QFile::link(unread, linked));
    const int stalledReader = ::open(QFile::encodeName(stalled).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(stalledReader, 0) << std::strerror(errno);

    const struct {
        QString path;
        qsizetype bytes;  // for the stalled reader more than the pipe holds
        QString said;
    } cases[] = {{unread, 100, "nothing opened the pipe to read from it within 5 seconds"},
                 {linked, 100, "nothing opened the pipe to read from it within 5 seconds"},
                 {stalled, 4 << 20, "nothing read from the pipe for 5 seconds"}};
    std::vector<std::future<QString>> runs;
    for (const auto& c : cases)
        runs.push_back(std::async(std::launch::async, [&c] {
            QString error;
            return WriteFileAtomically(c.path, QByteArray(c.bytes, 'p'), error) ? QStringLiteral("written") : error;
        }));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_EQ(runs[i].wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the write never ended";
        EXPECT_EQ(runs[i].get(), cases[i].said);
    }
    ::close(stalledReader);
    EXPECT_EQ(TypeOf(unread), mode_t(S_IFIFO));
    EXPECT_EQ(TypeOf(stalled), mode_t(S_IFIFO));
    EXPECT_EQ(TypeOf(linked), mode_t(S_IFLNK));
    EXPECT_EQ(Entries(dir.path()).join(' ').toStdString(), "link.png stalled.tag unread.pdf");
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
