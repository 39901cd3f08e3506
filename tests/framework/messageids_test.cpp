// Every message the sources ask for by number is in the string table of every language, and the
// English text a source gives in case no table is loaded is the English table's.
#include "framework/resourcemodule.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

struct Use {
    UINT id;
    QString english;  // empty where the source gives none
    QString where;
};

// Undoes the escapes of a C++ string literal that messages use.
QString Unescaped(QString literal)
{
    literal.replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return literal;
}

std::vector<Use> UsesInSources()
{
    // LoadMessage(id, "English" "continued"), its stand-in Tr(id, "English") and LoadString(id).
    static const QRegularExpression withText(
        QStringLiteral(R"re(\b(?:LoadMessage|Tr)\((\d+),\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re"));
    static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    static const QRegularExpression byNumber(QStringLiteral(R"re(\bLoadString\((\d+)\))re"));
    std::vector<Use> uses;
    for (const char* folder : {"app", "data", "document", "framework", "image", "objects", "printing", "symbology", "view"}) {
        QDirIterator it(QStringLiteral(QB_SOURCE_DIR "/") + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
            const QString source = QString::fromUtf8(file.readAll());
            for (auto m = withText.globalMatch(source); m.hasNext();) {
                const auto match = m.next();
                QString english;
                for (auto parts = literal.globalMatch(match.captured(2)); parts.hasNext();)
                    english += Unescaped(parts.next().captured(1));
                uses.push_back({match.captured(1).toUInt(), english, path});
            }
            for (auto m = byNumber.globalMatch(source); m.hasNext();)
                uses.push_back({m.next().captured(1).toUInt(), QString(), path});
        }
    }
    return uses;
}

}  // namespace

TEST(MessageIds, EveryIdUsedIsInEveryLanguageWithTheEnglishOfTheSource)
{
    CResourceModule enu, chs, cht;
    ASSERT_TRUE(enu.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU")));
    ASSERT_TRUE(chs.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("CHS")));
    ASSERT_TRUE(cht.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("CHT")));
    const std::vector<Use> uses = UsesInSources();
    // The scan finds the messages it is here for.
    ASSERT_GT(std::count_if(uses.begin(), uses.end(), [](const Use& u) { return !u.english.isEmpty(); }), 100);

    for (const Use& use : uses) {
        SCOPED_TRACE(use.where.toStdString() + ": string " + std::to_string(use.id));
        for (const CResourceModule* module : {&enu, &chs, &cht})
            EXPECT_TRUE(module->HasString(use.id)) << "missing in " << qPrintable(module->Language());
        if (use.english.isEmpty())
            continue;
        // Also catches one number taken for two different texts.
        EXPECT_EQ(enu.LoadString(use.id), use.english);
        // A message with places to fill has them in every language.
        static const QRegularExpression place(QStringLiteral("%\\d"));
        QStringList places;
        for (auto p = place.globalMatch(use.english); p.hasNext();)
            places << p.next().captured();
        places.sort();
        for (const CResourceModule* module : {&chs, &cht}) {
            QStringList translated;
            for (auto p = place.globalMatch(module->LoadString(use.id)); p.hasNext();)
                translated << p.next().captured();
            translated.sort();
            EXPECT_EQ(translated, places) << qPrintable(module->Language());
        }
    }
}
