// Every message the sources ask for by number is in the string table of every language, with the
// English text a source gives for when no table is loaded, and its places to fill in every language.
#include "framework/resourcemodule.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

QStringList Places(const QString& text)
{
    static const QRegularExpression place(QStringLiteral("%\\d"));
    QStringList places;
    for (auto p = place.globalMatch(text); p.hasNext();)
        places << p.next().captured();
    places.sort();
    return places;
}

}  // namespace

TEST(MessageIds, EveryIdUsedIsInEveryLanguageWithTheEnglishOfTheSource)
{
    CResourceModule enu, chs, cht;
    ASSERT_TRUE(enu.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU")));
    ASSERT_TRUE(chs.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("CHS")));
    ASSERT_TRUE(cht.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("CHT")));
    // LoadMessage(id, "English" "continued"), its stand-in Tr(id, "English"), and LoadString(id).
    static const QRegularExpression withText(QStringLiteral(R"re(\b(?:LoadMessage|Tr)\((\d+),\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re"));
    static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    static const QRegularExpression byNumber(QStringLiteral(R"re(\bLoadString\((\d+)\))re"));
    int withEnglish = 0;
    const auto check = [&](const QString& where, UINT id, const QString& english) {
        SCOPED_TRACE(where.toStdString() + ": string " + std::to_string(id));
        for (const CResourceModule* module : {&enu, &chs, &cht})
            EXPECT_TRUE(module->HasString(id)) << "missing in " << qPrintable(module->Language());
        if (english.isEmpty())
            return;
        ++withEnglish;
        EXPECT_EQ(enu.LoadString(id), english);  // also catches one number taken for two texts
        for (const CResourceModule* module : {&chs, &cht})
            EXPECT_EQ(Places(module->LoadString(id)), Places(english)) << qPrintable(module->Language());
    };
    for (const char* folder : {"app", "data", "document", "framework", "image", "objects", "printing", "symbology", "view"}) {
        QDirIterator it(QStringLiteral(QB_SOURCE_DIR "/") + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QString source = QString::fromUtf8(file.readAll());
            for (auto m = withText.globalMatch(source); m.hasNext();) {
                const auto match = m.next();
                QString english;
                for (auto parts = literal.globalMatch(match.captured(2)); parts.hasNext();)
                    english += parts.next().captured(1).replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
                check(file.fileName(), match.captured(1).toUInt(), english);
            }
            for (auto m = byNumber.globalMatch(source); m.hasNext();)
                check(file.fileName(), m.next().captured(1).toUInt(), QString());
        }
    }
    EXPECT_GT(withEnglish, 100) << "the scan missed the messages";
}
