#include "framework/tempfile.h"

#include <QDir>
#include <QTemporaryFile>

CString GetTempFilePath()
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/~qbXXXXXX"));
    // The file stays when this object goes: the caller owns it from here.
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return file.fileName();
}
