// Temporary files are taken, not just named: the file exists when its name is handed out.

#include "framework/tempfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(TempFile, NameIsTakenByAnEmptyFileOfTheCaller)
{
    const QString a = GetTempFilePath(), b = GetTempFilePath();
    ASSERT_FALSE(a.isEmpty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo(a).fileName().startsWith("~qb"));
    EXPECT_EQ(QFileInfo(a).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(a).isFile());
    EXPECT_EQ(QFileInfo(a).size(), 0);
    EXPECT_TRUE(QFile::remove(a));
    EXPECT_TRUE(QFile::remove(b));
}
