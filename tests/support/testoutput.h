#pragma once
// Where tests put files for a person to look at: the folder QB_TEST_OUTPUT (the shared main
// always sets it), or a sub-folder of it, made when missing.

#include <QDir>
#include <QString>

inline QString TestOutputDir(const QString& sub = QString())
{
    QDir dir(qEnvironmentVariable("QB_TEST_OUTPUT"));
    if (!sub.isEmpty())
        dir.setPath(dir.filePath(sub));
    dir.mkpath(QStringLiteral("."));
    return dir.path();
}
