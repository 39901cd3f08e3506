#include "framework/savefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<WriteFaultHook> g_faultHook{nullptr};

// errno of a step the test seam makes fail, 0 otherwise.
int Injected(WriteStep step)
{
    const WriteFaultHook hook = g_faultHook.load();
    return hook ? hook(step) : 0;
}

// Every byte, through short writes and interruptions; 0 or the errno of the failure.
int WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        if (const int err = Injected(WriteStep::Write))
            return err;
        const ssize_t n = ::write(fd, data, size_t(std::min<qsizetype>(left, 1 << 20)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        left -= n;
    }
    return 0;
}

int Sync(int fd)
{
    if (const int err = Injected(WriteStep::Sync))
        return err;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Closes the descriptor; a close that fails is a failed write (network file systems report
// their errors there).
int Close(int fd, int err)
{
    if (::close(fd) != 0 && err == 0 && errno != EINTR)
        err = errno;
    return err;
}

// The folder's entry of the renamed file reaches the disk. File systems that cannot sync a
// folder say so with EINVAL; that is no failure of the write.
int SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int err = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err == EINVAL || err == EROFS ? 0 : err;
}

// Creates "<folder>/.<name>.<random>" exclusively; the descriptor, or -1 with errno set.
int CreateTemporary(const QString& folder, const QString& name, QByteArray& tempPath, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const int err = Injected(WriteStep::Create)) {
            errno = err;
            return -1;
        }
        const QString suffix = QString::number(QRandomGenerator::global()->generate64(), 36);
        tempPath = QFile::encodeName(folder + QStringLiteral("/.") + name + u'.' + suffix);
        const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Overwrites the existing target where no file may be made beside it: the room for the new
// contents is claimed first (where the file system can), so that a full disk is found before a
// byte is overwritten; then written over and cut to the new length.
bool WriteInPlace(const QByteArray& target, const QByteArray& bytes, QString& error)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return error = SystemErrorText(errno), false;
    int err = bytes.isEmpty() ? 0 : ::posix_fallocate(fd, 0, off_t(bytes.size()));
    if (err == EOPNOTSUPP || err == EINVAL)
        err = 0;
    if (err == 0)
        err = WriteAll(fd, bytes);
    if (err == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0)
        err = errno;
    if (err == 0)
        err = Sync(fd);
    err = Close(fd, err);
    if (err != 0)
        return error = SystemErrorText(err), false;
    return true;
}

} // namespace

QString SystemErrorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

void SetWriteFaultHookForTesting(WriteFaultHook hook)
{
    g_faultHook.store(hook);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    QFileInfo target(path);
    if (target.isSymLink() && target.exists())
        target = QFileInfo(target.canonicalFilePath());
    struct stat old{};
    const bool exists = target.exists();
    if (exists) {
        if (target.isDir()) {
            error = QCoreApplication::translate("SaveFile", "it is a folder");
            return false;
        }
        // WriteUser is left out: for root it reflects access(), not the file's mode.
        constexpr auto anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!target.isWritable() || !(target.permissions() & anyWrite)) {
            error = QCoreApplication::translate("SaveFile", "the file is read-only");
            return false;
        }
        if (::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &old) != 0) {
            error = SystemErrorText(errno);
            return false;
        }
    }
    const QString folder = target.absolutePath();
    const QByteArray targetPath = QFile::encodeName(target.absoluteFilePath());

    QByteArray tempPath;
    // Part of the name only, so that a name near the system's length limit leaves room.
    const int fd = CreateTemporary(folder, target.fileName().left(64), tempPath, 0666);
    if (fd < 0) {
        const int err = errno;
        if (exists && (err == EACCES || err == EPERM))
            return WriteInPlace(targetPath, bytes, error);
        error = SystemErrorText(err);
        return false;
    }
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        ::fchmod(fd, old.st_mode & 07777);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the owner's own files can be handed back; the file stays the user's.
        }
    }
    int err = WriteAll(fd, bytes);
    if (err == 0)
        err = Sync(fd);
    err = Close(fd, err);
    if (err == 0) {
        err = Injected(WriteStep::Rename);
        if (err == 0 && ::rename(tempPath.constData(), targetPath.constData()) != 0)
            err = errno;
    }
    if (err != 0) {
        ::unlink(tempPath.constData());
        error = SystemErrorText(err);
        return false;
    }
    if (const int folderErr = SyncFolder(QFile::encodeName(folder))) {
        // The new file is in place but may not survive a power cut: said, not hidden.
        error = SystemErrorText(folderErr);
        return false;
    }
    return true;
}
