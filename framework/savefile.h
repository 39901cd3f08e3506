#pragma once
// The one writer of every file the program writes (labels, exported pictures and workbooks,
// print jobs sent to a file): the target is either replaced completely or left byte for byte as
// it was.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A file written piece by piece: the bytes go to a new, exclusively created file in the target's
// folder as they come, every write checked; Commit flushes it to the disk (fsync), renames it
// over the target and flushes the folder. Any failure removes the temporary file, leaves the
// target as it was and gives the system's own cause ("No space left on device").
//
// - A target that is a symbolic link replaces the file it points to.
// - A target that exists and is not a regular file (a pipe, a device, a socket) is never
//   replaced: the bytes are written into it directly, every write checked. A pipe nobody reads
//   is waited for a little while, then refused; so is a write that its reader leaves untaken
//   for that while.
// - Where the folder refuses new files (a shared folder where only the file is the user's), the
//   existing target is overwritten in place once every byte is there, which can leave it partly
//   written.
// - A target that is a folder, or a file that nobody may write, is refused (even for a user
//   such as root whom the system would let replace it).
//
// The writer holds a lock on its temporary file while it writes. Opening removes what earlier
// writers of the same file left behind when they were killed: temporary files of the target's
// name whose writer is gone. Those of a writer still at work (in another program) stay.
class CSaveFile {
public:
    explicit CSaveFile(const QString& path);
    // A file not committed is abandoned: its temporary file is removed.
    ~CSaveFile();
    CSaveFile(const CSaveFile&) = delete;
    CSaveFile& operator=(const CSaveFile&) = delete;

    bool Open(QString& error);
    // Appends bytes. After a failed write nothing more is written; Commit reports the cause.
    // One thread at a time may write.
    bool Write(const char* data, qsizetype size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Bytes written so far, and whether a write failed.
    qint64 Size() const { return m_size; }
    bool HasFailed() const { return m_err != 0; }
    bool Commit(QString& error);
    void Abandon();

private:
    enum class Mode { Closed, Replace, InPlace, Direct };
    bool OpenSpecial(const QByteArray& target, QString& error);
    bool CommitInPlace(QString& error);
    bool Fail(int err, QString& error);

    QString m_path;
    Mode m_mode = Mode::Closed;
    int m_fd = -1;
    int m_err = 0;
    qint64 m_size = 0;
    QByteArray m_target;
    QByteArray m_folder;
    QByteArray m_temp;
};

// The whole of bytes through CSaveFile.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// The system's own words for an errno value ("No space left on device").
QString SystemErrorText(int err);

// Test seam: the steps of a write that can fail. A hook that returns an errno value for a step
// makes that step fail with it, as the system would; 0 lets it run.
enum class WriteStep { Create, Write, Sync, Rename };
using WriteFaultHook = int (*)(WriteStep step);
void SetWriteFaultHookForTesting(WriteFaultHook hook);
