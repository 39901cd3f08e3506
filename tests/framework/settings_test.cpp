#include "framework/settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Points QSettings at a private folder so that no test touches the user's settings.
class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsTest, RecentFilesKeepFourMostRecentFirst)
{
    CSettings settings;
    EXPECT_TRUE(settings.RecentFiles().isEmpty());
    for (const char* name : {"/labels/a.tag", "/labels/b.tag", "/labels/c.tag", "/labels/d.tag", "/labels/e.tag"})
        settings.AddRecentFile(QString::fromLatin1(name));
    EXPECT_EQ(settings.RecentFiles(), (QStringList{QStringLiteral("/labels/e.tag"), QStringLiteral("/labels/d.tag"),
                                                   QStringLiteral("/labels/c.tag"), QStringLiteral("/labels/b.tag")}));

    // Opening a listed file again moves it to the front; another spelling of it too.
    settings.AddRecentFile(QStringLiteral("/labels/./c.tag"));
    EXPECT_EQ(settings.RecentFiles(), (QStringList{QStringLiteral("/labels/c.tag"), QStringLiteral("/labels/e.tag"),
                                                   QStringLiteral("/labels/d.tag"), QStringLiteral("/labels/b.tag")}));

    settings.RemoveRecentFile(QStringLiteral("/labels/e.tag"));
    settings.AddRecentFile(QString());
    settings.Sync();

    // A second object (the next start) sees the same list under the documented keys.
    CSettings again;
    EXPECT_EQ(again.RecentFiles(), (QStringList{QStringLiteral("/labels/c.tag"), QStringLiteral("/labels/d.tag"),
                                                QStringLiteral("/labels/b.tag")}));
    EXPECT_EQ(again.GetProfileString(QStringLiteral("Recent File List"), QStringLiteral("File2")),
              QStringLiteral("/labels/d.tag"));
    EXPECT_TRUE(again.GetProfileString(QStringLiteral("Recent File List"), QStringLiteral("File4")).isEmpty());
}

TEST_F(SettingsTest, CleanStateEmptiesOnlyTheWorkspaceAndNumbersParseWhole)
{
    CSettings settings;
    settings.AddRecentFile(QStringLiteral("/labels/a.tag"));
    settings.WriteProfileBinary(QStringLiteral("Settings/ToolBars"), QStringLiteral("State"), QByteArray("\x01\x00\x02", 3));
    settings.WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("Docked"), 1);
    settings.WriteProfileInt(QStringLiteral("Print"), QStringLiteral("Copies"), 3);

    settings.CleanState();
    settings.Sync();

    QSettings raw(QString::fromLatin1(CSettings::kOrganisation), QString::fromLatin1(CSettings::kApplication));
    raw.beginGroup(QStringLiteral("Settings"));
    EXPECT_TRUE(raw.allKeys().isEmpty());
    raw.endGroup();
    EXPECT_EQ(settings.GetProfileInt(QStringLiteral("Print"), QStringLiteral("Copies"), 0), 3);
    EXPECT_EQ(settings.RecentFiles(), QStringList{QStringLiteral("/labels/a.tag")});

    // Text that is not a whole number gives the default, not a partial parse.
    settings.WriteProfileString(QStringLiteral("View"), QStringLiteral("Zoom"), QStringLiteral("150%"));
    EXPECT_EQ(settings.GetProfileInt(QStringLiteral("View"), QStringLiteral("Zoom"), 100), 100);
}
