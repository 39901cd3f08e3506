// The desktop entry and the MIME type installed with the program: the file manager offers the
// program for "*.tag" files and starts it with their names.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {
QByteArray Read(const QString& name)
{
    QFile f(QStringLiteral(QB_APP_SOURCE_DIR) + "/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

TEST(Packaging, DesktopEntryAndMimeTypeAgree)
{
    const QString desktop = QString::fromUtf8(Read("quillbar.desktop"));
    ASSERT_FALSE(desktop.isEmpty());
    EXPECT_TRUE(desktop.contains("\nExec=quillbar %F\n"));
    EXPECT_TRUE(desktop.contains("\nMimeType=application/x-quillbar-tag;\n"));

    QXmlStreamReader xml(Read("quillbar-mime.xml"));
    QString type, glob;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"mime-type")
            type = xml.attributes().value("type").toString();
        if (xml.name() == u"glob")
            glob = xml.attributes().value("pattern").toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(type, "application/x-quillbar-tag");
    EXPECT_EQ(glob, "*.tag");

    // The shared-mime-info tool accepts the package and maps the extension to the type.
    const QString tool = QStandardPaths::findExecutable("update-mime-database");
    if (tool.isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("packages"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QB_APP_SOURCE_DIR) + "/quillbar-mime.xml", dir.filePath("packages/quillbar.xml")));
    QProcess p;
    p.start(tool, {dir.path()});
    ASSERT_TRUE(p.waitForFinished(30000)) << "update-mime-database did not finish within 30 s";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile globs(dir.filePath("globs2"));
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains("application/x-quillbar-tag:*.tag"));
}
