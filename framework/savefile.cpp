#include "framework/savefile.h"
#include "framework/resourcemodule.h"

#include "framework/resourcemodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<WriteFaultHook> g_faultHook{nullptr};

// The random part of a temporary file's name: a 64-bit number in 13 base-36 digits.
constexpr int kSuffixLength = 13;
// How much of the target's name goes into a temporary name, so that a name near the system's
// length limit leaves room.
constexpr int kNameLength = 64;
// How long a pipe without a reader, or with a reader that takes nothing, is waited for.
constexpr int kPipeWaitMs = 5000;
constexpr int kPipeWaitStepMs = 20;
// Failures of a pipe that have no errno of their own: nobody opened it to read, or nobody read
// from it for kPipeWaitMs.
constexpr int kNoReader = -1;
constexpr int kReaderStalled = -2;

// errno of a step the test seam makes fail, 0 otherwise.
int Injected(WriteStep step)
{
    const WriteFaultHook hook = g_faultHook.load();
    return hook ? hook(step) : 0;
}

// Every byte, through short writes and interruptions; 0 or the errno of the failure.
int WriteAll(int fd, const char* data, qsizetype left)
{
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

// Every byte into a pipe, socket or device opened without blocking: a write that would block
// waits until the other end takes something, but no longer than kPipeWaitMs without progress.
int WriteAllWaiting(int fd, const char* data, qsizetype left)
{
    while (left > 0) {
        if (const int err = Injected(WriteStep::Write))
            return err;
        const ssize_t n = ::write(fd, data, size_t(std::min<qsizetype>(left, 1 << 20)));
        if (n > 0) {
            data += n;
            left -= n;
            continue;
        }
        if (n == 0)
            return EIO;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        pollfd ready{fd, POLLOUT, 0};
        int polled;
        while ((polled = ::poll(&ready, 1, kPipeWaitMs)) < 0 && errno == EINTR) {
        }
        if (polled < 0)
            return errno;
        if (polled == 0)
            return kReaderStalled;
        // POLLERR or POLLHUP: the next write says why (EPIPE).
    }
    return 0;
}

// As WriteAllWaiting, into a pipe or socket whose reader may have gone: that is a failed write
// (EPIPE), not the end of the program by SIGPIPE.
int WriteAllToSpecial(int fd, const char* data, qsizetype size)
{
    sigset_t pipeSignal, oldMask, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &oldMask);
    const int err = WriteAllWaiting(fd, data, size);
    if (err == EPIPE && !wasPending) {
        const timespec now{};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    return err;
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

// ".<name>." where name is the start of the target's name: what every temporary file of the
// target begins with.
QByteArray TemporaryPrefix(const QString& name)
{
    return QFile::encodeName(u'.' + name.left(kNameLength) + u'.');
}

bool IsTemporaryName(const char* entry, const QByteArray& prefix)
{
    if (std::strncmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    const char* suffix = entry + prefix.size();
    if (std::strlen(suffix) != kSuffixLength)
        return false;
    for (const char* c = suffix; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'z')))
            return false;
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary files of earlier writers of the same target that were killed before
// they could: regular files of the name pattern that nobody holds locked. A writer locks its
// file from the moment it made it, so a file that can be locked has no writer any more.
void RemoveLeftovers(const QByteArray& folder, const QByteArray& prefix)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name, prefix))
            continue;
        constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = ::openat(dirFd, entry->d_name, O_RDONLY | flags);
        if (fd < 0 && errno == EACCES)
            fd = ::openat(dirFd, entry->d_name, O_WRONLY | flags);
        if (fd < 0)
            continue;
        struct stat opened{}, named{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// Creates "<folder>/.<name>.<random>" exclusively and locks it; the descriptor, or -1 with
// errno set.
int CreateTemporary(const QString& folder, const QString& name, QByteArray& tempPath, mode_t mode)
{
    const QByteArray start = QFile::encodeName(folder) + '/' + TemporaryPrefix(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const int err = Injected(WriteStep::Create)) {
            errno = err;
            return -1;
        }
        const QByteArray suffix =
            QByteArray::number(QRandomGenerator::global()->generate64(), 36).rightJustified(kSuffixLength, '0');
        tempPath = start + suffix;
        const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Another writer's clean-up may have found the file before it was locked and taken it
        // for a leftover: then it is (or is about to be) removed, and another name is taken.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            continue;
        }
        struct stat opened{}, named{};
        if (::fstat(fd, &opened) != 0 || ::stat(tempPath.constData(), &named) != 0 || !SameFile(opened, named)) {
            ::close(fd);
            continue;
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// An unnamed file in the temporary folder, for the bytes of a file that is to be overwritten
// in place; -1 with errno set.
int CreateSpool()
{
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    int fd = ::open(tmp.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    QByteArray name = tmp + "/.quillbar-spool-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

// Copies the spool's `size` bytes over the existing target where no file may be made beside
// it: the room for the new contents is claimed first (where the file system can), so that a
// full disk is found before a byte is overwritten; then written over and cut to the new length.
int OverwriteFromSpool(const QByteArray& target, int spool, qint64 size)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = size == 0 ? 0 : ::posix_fallocate(fd, 0, off_t(size));
    if (err == EOPNOTSUPP || err == EINVAL)
        err = 0;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; err == 0 && done < size;) {
        const ssize_t n = ::pread(spool, buffer.data(), size_t(std::min<qint64>(buffer.size(), size - done)), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        err = WriteAll(fd, buffer.constData(), n);
        done += n;
    }
    if (err == 0 && ::ftruncate(fd, off_t(size)) != 0)
        err = errno;
    if (err == 0)
        err = Sync(fd);
    return Close(fd, err);
}

} // namespace

QString SystemErrorText(int err)
{
    if (err == kNoReader || err == kReaderStalled)
        return CResourceModule::Get().LoadString(err == kNoReader ? 740 : 741).arg(kPipeWaitMs / 1000);
    return QString::fromLocal8Bit(std::strerror(err));
}

void SetWriteFaultHookForTesting(WriteFaultHook hook)
{
    g_faultHook.store(hook);
}

CSaveFile::CSaveFile(const QString& path) : m_path(path) {}

CSaveFile::~CSaveFile()
{
    Abandon();
}

bool CSaveFile::Fail(int err, QString& error)
{
    Abandon();
    error = SystemErrorText(err);
    return false;
}

bool CSaveFile::Open(QString& error)
{
    Abandon();
    m_err = 0;
    m_size = 0;
    // What the name leads to, through any links: a link may lead where no path names (a link
    // to /dev/stdout leads to the program's pipe), so pipes and devices are opened by the name
    // given.
    const QByteArray asked = QFile::encodeName(m_path);
    struct stat old{};
    if (::stat(asked.constData(), &old) == 0 && !S_ISREG(old.st_mode) && !S_ISDIR(old.st_mode)) {
        if (::access(asked.constData(), W_OK) != 0 || !(old.st_mode & 0222)) {
            error = LoadMessage(491, "the file is read-only");
            return false;
        }
        m_target = asked;
        return OpenSpecial(asked, error);
    }
    QFileInfo target(m_path);
    if (target.isSymLink() && target.exists())
        target = QFileInfo(target.canonicalFilePath());
    const bool exists = target.exists();
    m_target = QFile::encodeName(target.absoluteFilePath());
    if (exists) {
        if (target.isDir()) {
            error = LoadMessage(477, "it is a folder");
            return false;
        }
        // WriteUser is left out: for root it reflects access(), not the file's mode.
        constexpr auto anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!target.isWritable() || !(target.permissions() & anyWrite)) {
            error = LoadMessage(491, "the file is read-only");
            return false;
        }
        if (::stat(m_target.constData(), &old) != 0)
            return Fail(errno, error);
        if (!S_ISREG(old.st_mode))
            return OpenSpecial(m_target, error);
    }
    const QString folder = target.absolutePath();
    m_folder = QFile::encodeName(folder);
    RemoveLeftovers(m_folder, TemporaryPrefix(target.fileName()));

    m_fd = CreateTemporary(folder, target.fileName(), m_temp, 0666);
    if (m_fd < 0) {
        const int err = errno;
        m_temp.clear();
        if (!exists || (err != EACCES && err != EPERM))
            return Fail(err, error);
        // The folder takes no new file: the bytes wait in a file of their own until they are
        // all there, and then overwrite the target.
        m_fd = CreateSpool();
        if (m_fd < 0)
            return Fail(errno, error);
        m_mode = Mode::InPlace;
        return true;
    }
    m_mode = Mode::Replace;
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        ::fchmod(m_fd, old.st_mode & 07777);
        if (::fchown(m_fd, old.st_uid, old.st_gid) != 0) {
            // Only the owner's own files can be handed back; the file stays the user's.
        }
    }
    return true;
}

bool CSaveFile::OpenSpecial(const QByteArray& target, QString& error)
{
    // Opened without waiting, so that a pipe with no reader is not waited on for ever; a pipe
    // gets a little while for its reader to come, and each write as long to make progress.
    constexpr int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(target.constData(), flags);
    bool waitedForReader = false;
    for (int waited = 0; fd < 0 && errno == ENXIO && waited < kPipeWaitMs; waited += kPipeWaitStepMs) {
        struct stat st{};
        if (::stat(target.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
            break;
        waitedForReader = true;
        const timespec step{0, kPipeWaitStepMs * 1000000L};
        ::nanosleep(&step, nullptr);
        fd = ::open(target.constData(), flags);
    }
    if (fd < 0)
        return Fail(errno == ENXIO && waitedForReader ? kNoReader : errno, error);
    struct stat opened{};
    if (::fstat(fd, &opened) != 0 || S_ISREG(opened.st_mode) || S_ISDIR(opened.st_mode)) {
        // Something else took the name's place meanwhile: better refused than written into.
        ::close(fd);
        return Fail(EBUSY, error);
    }
    // The descriptor stays non-blocking: a reader that stops taking bytes must not hold the
    // writer for ever (WriteAllWaiting).
    m_fd = fd;
    m_mode = Mode::Direct;
    return true;
}

bool CSaveFile::Write(const char* data, qsizetype size)
{
    if (m_fd < 0 || m_err != 0)
        return false;
    if (size <= 0)
        return true;
    m_err = m_mode == Mode::Direct ? WriteAllToSpecial(m_fd, data, size) : WriteAll(m_fd, data, size);
    if (m_err == 0)
        m_size += size;
    return m_err == 0;
}

bool CSaveFile::CommitInPlace(QString& error)
{
    const int err = OverwriteFromSpool(m_target, m_fd, m_size);
    Abandon();
    if (err != 0)
        return error = SystemErrorText(err), false;
    return true;
}

bool CSaveFile::Commit(QString& error)
{
    if (m_fd < 0 || m_mode == Mode::Closed)
        return Fail(EBADF, error);
    if (m_err != 0)
        return Fail(m_err, error);
    switch (m_mode) {
    case Mode::InPlace:
        return CommitInPlace(error);
    case Mode::Direct: {
        // Pipes and character devices cannot be flushed (EINVAL); a device that can is.
        int err = Sync(m_fd);
        if (err == EINVAL || err == EROFS || err == ENOTSUP)
            err = 0;
        err = Close(m_fd, err);
        m_fd = -1;
        m_mode = Mode::Closed;
        if (err != 0)
            return error = SystemErrorText(err), false;
        return true;
    }
    default:
        break;
    }
    // Renamed while still open and locked, so that no clean-up takes it for a leftover.
    int err = Sync(m_fd);
    if (err == 0) {
        err = Injected(WriteStep::Rename);
        if (err == 0 && ::rename(m_temp.constData(), m_target.constData()) != 0)
            err = errno;
    }
    if (err != 0)
        return Fail(err, error);
    err = Close(m_fd, 0);
    m_fd = -1;
    m_temp.clear();
    m_mode = Mode::Closed;
    if (err == 0)
        err = SyncFolder(m_folder);
    if (err != 0) {
        // The new file is in place but may not have reached the disk: said, not hidden.
        error = SystemErrorText(err);
        return false;
    }
    return true;
}

void CSaveFile::Abandon()
{
    if (m_fd >= 0) {
        // Removed before the lock goes with the descriptor.
        if (m_mode == Mode::Replace && !m_temp.isEmpty())
            ::unlink(m_temp.constData());
        ::close(m_fd);
    }
    m_fd = -1;
    m_temp.clear();
    m_mode = Mode::Closed;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    CSaveFile file(path);
    if (!file.Open(error))
        return false;
    file.Write(bytes);
    return file.Commit(error);
}
