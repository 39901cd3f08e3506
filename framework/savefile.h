#pragma once
// Writing a whole file so that the target is either replaced completely or left as it was (where
// its folder lets a temporary file be made beside it).

#include <QByteArray>
#include <QString>

// Writes bytes to a new, exclusively created file in the target's folder and renames it over
// the target only when everything was written; a failure leaves the target untouched, removes
// the temporary file and puts the reason into error. Only where the folder refuses the temporary
// file is an existing target overwritten in place, so a failure there can leave it partly
// written. A target that is a folder, or a file that nobody may write, is refused (even for a
// user such as root whom the system would let replace it).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);
