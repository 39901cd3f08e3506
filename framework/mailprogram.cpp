#include "framework/mailprogram.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace MailProgram {

CString Locate()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

BOOL ComposeWithAttachment(const CString& file, CString* error)
{
    const CString program = Locate();
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("xdg-email was not found.");
        return FALSE;
    }
    QProcess process;
    process.setProgram(program);
    // The path is absolute, so it is never taken for an option.
    process.setArguments({QStringLiteral("--attach"), QFileInfo(file).absoluteFilePath()});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        if (error)
            *error = process.errorString();
        return FALSE;
    }
    return TRUE;
}

}  // namespace MailProgram
