#include "framework/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

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
