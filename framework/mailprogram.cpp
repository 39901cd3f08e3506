#include "framework/mailprogram.h"

#include "framework/resourcemodule.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace MailProgram {

namespace {

// What a failing program wrote is shown in a message box: its last part, within reason.
constexpr qint64 kOutputShown = 4096;

CString ReadOutput(QTemporaryFile& file)
{
    if (!file.seek(std::max<qint64>(0, file.size() - kOutputShown)))
        return {};
    return QString::fromLocal8Bit(file.read(kOutputShown)).trimmed();
}

}  // namespace

CString Locate()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

BOOL ComposeWithAttachment(const CString& file, CString* error, FailureHandler failed)
{
    const CString program = Locate();
    if (program.isEmpty()) {
        if (error)
            *error = LoadMessage(400, "xdg-email was not found.");
        return FALSE;
    }
    // The error output goes to a file rather than a pipe: a mail client that xdg-email leaves
    // running inherits it and may write to it long after this program is gone.
    auto output = std::make_unique<QTemporaryFile>();
    if (!output->open()) {
        if (error)
            *error = output->errorString();
        return FALSE;
    }
    auto* process = new QProcess;
    process->setProgram(program);
    // The path is absolute, so it is never taken for an option.
    process->setArguments({QStringLiteral("--attach"), QFileInfo(file).absoluteFilePath()});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(output->fileName());
    process->start();
    if (!process->waitForStarted()) {
        if (error)
            *error = process->errorString();
        delete process;
        return FALSE;
    }
    // A program still running when this one ends is left running: the process object is never
    // deleted then, as deleting it would kill the program and the message being written.
    QObject::connect(process, &QProcess::finished, process,
                     [process, output = std::shared_ptr<QTemporaryFile>(std::move(output)), failed](
                         int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code == 0)
                             return;
                         if (failed)
                             failed(status == QProcess::CrashExit ? -1 : code, ReadOutput(*output));
                     });
    return TRUE;
}

}  // namespace MailProgram
