#include "framework/webpage.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

void AfxShowWebPage(const QUrl& page, std::function<void()> failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(page) && failed)
            failed();
        return;
    }
    // The opener may wait for the browser it starts: it outlives whatever asked for the page,
    // and is left running when the program ends.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({page.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, [process, failed](int code, QProcess::ExitStatus status) {
        if ((status != QProcess::NormalExit || code != 0) && failed)
            failed();
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        if (failed)
            failed();
        process->deleteLater();
    });
    process->start();
}
