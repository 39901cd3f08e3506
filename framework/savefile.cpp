#include "framework/savefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    const QFileInfo target(path);
    if (target.exists()) {
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
    }
    QSaveFile file(path);
    // A folder that refuses new files (a shared folder where only the file is the user's) leaves
    // no room for the temporary file: the target is then written in place, which is all the user
    // may do there.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
