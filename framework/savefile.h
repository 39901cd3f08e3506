#pragma once
// The one writer of every file the program writes (labels, exported pictures and workbooks,
// print jobs sent to a file): the target is either replaced completely or left byte for byte as
// it was.

#include <QByteArray>
#include <QString>

// Writes bytes to a new, exclusively created file in the target's folder, checks every write,
// flushes it to the disk (fsync), renames it over the target and flushes the folder. Any failure
// removes the temporary file, leaves the target as it was and puts the system's own cause
// ("No space left on device") into error. A target that is a symbolic link replaces the file
// it points to. Only where the folder refuses new files (a shared folder where only the file is
// the user's) is an existing target overwritten in place, which can leave it partly written.
// A target that is a folder, or a file that nobody may write, is refused (even for a user such
// as root whom the system would let replace it).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// The system's own words for an errno value ("No space left on device").
QString SystemErrorText(int err);

// Test seam: the steps of a write that can fail. A hook that returns an errno value for a step
// makes that step fail with it, as the system would; 0 lets it run.
enum class WriteStep { Create, Write, Sync, Rename };
using WriteFaultHook = int (*)(WriteStep step);
void SetWriteFaultHookForTesting(WriteFaultHook hook);
