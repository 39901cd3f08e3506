// Runs the built program as a user's shell would, with its settings in a folder of their own.
#pragma once

#include "support/waitbound.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

inline ProgramRun RunProgram(const QStringList& arguments, const QString& home, bool withDisplay = true)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home);
    env.insert("HOME", home);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (withDisplay)
        env.insert("QT_QPA_PLATFORM", "offscreen");
    else
        env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QB_EXECUTABLE), arguments);
    ProgramRun run;
    if (!process.waitForFinished(HangBoundMs(60000))) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "the program did not finish within " << HangBoundMs(60000) / 1000
                      << " s: " << arguments.join(' ').toStdString();
        return run;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
