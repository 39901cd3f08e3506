#include "framework/resourcemodule.h"

#include <gtest/gtest.h>

#include "support/testoutput.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QXmlStreamReader>
#include <QtEndian>

#include <functional>

namespace {

const QString kModule = QStringLiteral(QB_RESOURCE_MODULE);

// Collects the warnings issued while it lives.
class WarningCatcher
{
public:
    WarningCatcher() { s_messages.clear(); m_previous = qInstallMessageHandler(&Handler); }
    ~WarningCatcher() { qInstallMessageHandler(m_previous); }
    QString All() const { return s_messages.join(QLatin1Char('\n')); }

private:
    static void Handler(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type == QtWarningMsg)
            s_messages << message;
    }
    static inline QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};

QString OutputPath(const QString& name)
{
    return QDir(TestOutputDir()).filePath(name);
}

QString WriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = OutputPath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

QByteArray ReadModuleBytes()
{
    QFile file(kModule);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(kModule);
    return file.readAll();
}

void CollectCommands(const std::vector<CMenuTemplateItem>& items, QSet<UINT>& ids)
{
    for (const auto& item : items) {
        if (item.kind == CMenuTemplateItem::Command)
            ids.insert(item.id);
        else if (item.kind == CMenuTemplateItem::Popup)
            CollectCommands(item.items, ids);
    }
}

// Uses every kind of resource, so that a damaged module is read all the way through.
void TouchEverything(const CResourceModule& module)
{
    for (UINT id : {2u, 3u, 76u, 89u, 57344u})
        (void)module.LoadString(id);
    for (UINT id : {2u, 110u, 162u})
        (void)module.LoadBitmap(id);
    (void)module.LoadIcon(2);
    (void)module.LoadCursor(154);
    (void)module.LoadMenu(3);
    (void)module.LoadToolbar(2);
    (void)module.LoadDialogLayout(100);
    (void)module.FindResource(QStringLiteral("TEST"), QStringLiteral("FIXTURE"));
    (void)module.Languages();
}

// The string ids the program asks for; every language must have all of them.
const UINT kStringIds[] = {4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                           27, 28, 29, 30, 31, 34, 35, 36, 37, 38, 39, 40, 41, 43, 44, 45, 46, 47, 48, 49, 50,
                           51, 52, 55, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 72, 73, 74, 75, 76,
                           77, 78, 79, 80, 81, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 101, 102,
                           121, 124, 125, 126, 127, 128, 129, 57344};

} // namespace

TEST(ResourceModule, StringTablesOfEveryLanguage)
{
    // Three modules at once: each keeps its own language.
    CResourceModule enu, chs, cht;
    ASSERT_TRUE(enu.Load(kModule, QStringLiteral("ENU")));
    ASSERT_TRUE(chs.Load(kModule, QStringLiteral("chs")));
    ASSERT_TRUE(cht.Load(kModule, QStringLiteral("CHT")));
    EXPECT_EQ(chs.Language(), QStringLiteral("CHS"));
    EXPECT_EQ(enu.CodePage(), 1252u);
    EXPECT_EQ(chs.CodePage(), 936u);
    EXPECT_EQ(cht.CodePage(), 950u);
    EXPECT_EQ(enu.Languages(), (QStringList{QStringLiteral("CHS"), QStringLiteral("CHT"), QStringLiteral("ENU")}));

    for (const CResourceModule* module : {&enu, &chs, &cht}) {
        EXPECT_FALSE(module->IsFallback());
        for (UINT id : kStringIds)
            EXPECT_TRUE(module->HasString(id)) << "string " << id << " missing in " << qPrintable(module->Language());
        EXPECT_FALSE(module->HasString(4242));
        // Escapes are undone.
        EXPECT_TRUE(module->LoadString(49).contains(QLatin1Char('\n')));
        EXPECT_FALSE(module->LoadString(49).contains(QLatin1String("\\n")));
    }
    EXPECT_EQ(enu.LoadString(76), QStringLiteral("OK"));
    EXPECT_EQ(chs.LoadString(76), QStringLiteral("确定"));
    EXPECT_EQ(cht.LoadString(76), QStringLiteral("確定"));
    // An empty text is a text: the default extension of "other files" is none.
    EXPECT_TRUE(enu.HasString(42));
    EXPECT_TRUE(enu.LoadString(42).isEmpty());
}

TEST(ResourceModule, LanguageChoice)
{
    EXPECT_EQ(CResourceModule::LanguageForLocale(QLocale(QStringLiteral("zh_SG"))), QStringLiteral("CHS"));
    EXPECT_EQ(CResourceModule::LanguageForLocale(QLocale(QStringLiteral("zh_HK"))), QStringLiteral("CHT"));
    EXPECT_EQ(CResourceModule::LanguageForLocale(QLocale(QStringLiteral("de_DE"))), QStringLiteral("ENU"));

    // A language the module lacks gives English, with a warning, not the fallback.
    WarningCatcher warnings;
    CResourceModule module;
    EXPECT_TRUE(module.Load(kModule, QStringLiteral("FRA")));
    EXPECT_FALSE(module.IsFallback());
    EXPECT_EQ(module.Language(), QStringLiteral("ENU"));
    EXPECT_TRUE(warnings.All().contains(QLatin1String("FRA")));

    const QStringList arguments{QStringLiteral("quillbar"), QStringLiteral("--resources"), QStringLiteral("/x/y.rcc")};
    EXPECT_EQ(CResourceModule::LocateModule(arguments), QStringLiteral("/x/y.rcc"));
    EXPECT_EQ(CResourceModule::LocateModule({QStringLiteral("--resources=/z.rcc")}), QStringLiteral("/z.rcc"));
}

TEST(ResourceModule, MenusAndToolbars)
{
    CResourceModule module;
    ASSERT_TRUE(module.Load(kModule, QStringLiteral("ENU")));

    QSet<UINT> frameCommands, documentCommands, contextCommands;
    for (UINT id : {2u, 3u, 103u}) {
        const auto menu = module.LoadMenu(id);
        ASSERT_TRUE(menu) << "menu " << id;
        ASSERT_FALSE(menu->items.empty());
        for (const auto& popup : menu->items)
            EXPECT_EQ(popup.kind, CMenuTemplateItem::Popup);
        CollectCommands(menu->items, id == 2 ? frameCommands : id == 3 ? documentCommands : contextCommands);
    }
    EXPECT_FALSE(module.LoadMenu(9999));

    // A sample of standard and editor commands: the menus are read whole, not cut short.
    for (UINT id : {57600u, 59393u, 32888u})
        EXPECT_TRUE(frameCommands.contains(id)) << id;
    for (UINT id : {57600u, 57872u, 32906u, 32944u, 32820u})
        EXPECT_TRUE(documentCommands.contains(id)) << id;
    EXPECT_TRUE(contextCommands.contains(32934));

    EXPECT_EQ(module.LoadMenu(3)->items[0].items[0].shortcut, QStringLiteral("Ctrl+N"));
    CResourceModule chinese;
    ASSERT_TRUE(chinese.Load(kModule, QStringLiteral("CHS")));
    EXPECT_EQ(chinese.LoadMenu(3)->items[0].caption, QStringLiteral("文件(&F)"));

    // Every toolbar button runs a menu command or the zoom box, and has a picture.
    for (UINT id : {2u, 110u}) {
        const auto toolbar = module.LoadToolbar(id);
        ASSERT_TRUE(toolbar) << "toolbar " << id;
        const QImage strip = module.LoadBitmap(toolbar->bitmap);
        ASSERT_FALSE(strip.isNull());
        EXPECT_EQ(strip.height(), toolbar->imageHeight);
        int buttons = 0;
        for (const auto& button : toolbar->buttons) {
            if (button.IsSeparator())
                continue;
            ++buttons;
            EXPECT_TRUE(documentCommands.contains(button.id) || button.id == 32835 || button.id == 32936) << button.id;
            EXPECT_LE((button.image + 1) * toolbar->imageWidth, strip.width()) << button.id;
        }
        EXPECT_GT(buttons, 5);
    }
    EXPECT_FALSE(module.LoadToolbar(3));
}

TEST(ResourceModule, EveryCommandHasAPromptAndATooltipInEveryLanguage)
{
    for (const char* language : {"ENU", "CHS", "CHT"}) {
        CResourceModule module;
        ASSERT_TRUE(module.Load(kModule, QString::fromLatin1(language)));
        // The toolbars' own buttons; every other button runs a menu command (see above).
        QSet<UINT> commands{32835, 32936};
        for (UINT id : {2u, 3u, 103u})
            CollectCommands(module.LoadMenu(id)->items, commands);
        for (UINT id : commands) {
            const QStringList parts = module.LoadString(id).split(QLatin1Char('\n'));
            ASSERT_EQ(parts.size(), 2) << language << " " << id;
            EXPECT_FALSE(parts[0].isEmpty() || parts[1].isEmpty()) << language << " " << id;
        }
        // The status bar's text between prompts.
        EXPECT_FALSE(module.LoadString(57345).isEmpty());
    }
}

TEST(ResourceModule, PicturesAndCursors)
{
    CResourceModule module;
    ASSERT_TRUE(module.Load(kModule, QStringLiteral("ENU")));

    // The view's image list: five 16 x 16 images on magenta (the binding markers among them).
    const QImage images = module.LoadBitmap(162);
    ASSERT_EQ(images.size(), QSize(80, 16));
    EXPECT_EQ(images.pixel(0, 0) & 0xFFFFFF, 0xFF00FFu);

    EXPECT_TRUE(module.LoadBitmap(7777).isNull());
    EXPECT_FALSE(module.LoadIcon(2).isNull());

    const CCursorResource drop = module.LoadCursor(154);
    EXPECT_EQ(drop.image.size(), QSize(32, 32));
    EXPECT_TRUE(drop.image.hasAlphaChannel());
    EXPECT_EQ(module.LoadCursor(102).hotSpot, QPoint(0, 31));
    EXPECT_TRUE(module.LoadCursor(155).image.isNull());
}

TEST(ResourceModule, DialogLayoutsAndBinaryResources)
{
    CResourceModule module;
    ASSERT_TRUE(module.Load(kModule, QStringLiteral("ENU")));

    auto widgetNames = [&](UINT id) {
        QSet<QString> names;
        QXmlStreamReader xml(module.LoadDialogLayout(id));
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("widget"))
                names.insert(xml.attributes().value(QStringLiteral("name")).toString());
        EXPECT_FALSE(xml.hasError()) << id << qPrintable(xml.errorString());
        return names;
    };
    const QSet<QString> about = widgetNames(100);
    for (const char* control : {"100", "160", "164", "166", "138", "1"})
        EXPECT_TRUE(about.contains(QString::fromLatin1(control))) << control;
    EXPECT_TRUE(module.LoadDialogLayout(4711).isEmpty());

    const auto fixture = module.FindResource(QStringLiteral("TEST"), QStringLiteral("FIXTURE"));
    ASSERT_TRUE(fixture);
    EXPECT_EQ(*fixture, QByteArray("QBRES fixture\0\1\2\3\xff", 18));
    EXPECT_TRUE(module.FindResource(QStringLiteral("QRCODE"), QStringLiteral("IDR_QRV1_0")));
    EXPECT_FALSE(module.FindResource(QStringLiteral("QRCODE"), QStringLiteral("IDR_QRV41_0")));
    EXPECT_FALSE(module.FindResource(QStringLiteral(".."), QStringLiteral("strings")));
    EXPECT_FALSE(module.FindResource(QStringLiteral("TEST"), QStringLiteral("../../strings/ENU.txt")));
}

TEST(ResourceModule, MissingOrDamagedModuleFallsBack)
{
    const QByteArray good = ReadModuleBytes();
    ASSERT_GT(good.size(), 1000);

    auto expectFallback = [](const QString& path, const char* reason) {
        WarningCatcher warnings;
        CResourceModule module;
        EXPECT_FALSE(module.Load(path, QStringLiteral("CHS"))) << reason;
        EXPECT_TRUE(module.IsFallback()) << reason;
        EXPECT_TRUE(warnings.All().contains(QDir::toNativeSeparators(path))) << reason;
        EXPECT_TRUE(warnings.All().contains(QLatin1String(reason))) << qPrintable(warnings.All());
        // The built-in table keeps the program usable in English.
        EXPECT_EQ(module.Language(), QStringLiteral("ENU"));
        EXPECT_EQ(module.LoadString(76), QStringLiteral("OK"));
        EXPECT_EQ(module.LoadString(57345), QStringLiteral("Ready"));
        EXPECT_TRUE(module.LoadString(48).isEmpty());
        const auto menu = module.LoadMenu(2);
        ASSERT_TRUE(menu);
        QSet<UINT> commands;
        CollectCommands(menu->items, commands);
        EXPECT_EQ(commands, (QSet<UINT>{57600, 57601, 57603, 57665, 57664}));
        TouchEverything(module);
    };

    expectFallback(OutputPath(QStringLiteral("no-such-module.rcc")), "does not exist");

    QByteArray noise(4096, '\0');
    QRandomGenerator random(20240611);
    for (char& c : noise)
        c = char(random.bounded(256));
    expectFallback(WriteFile(QStringLiteral("noise.rcc"), noise), "not a resource file");

    // A real header in front of noise must not send the reader through wild offsets.
    QByteArray forged = good.left(24) + noise;
    expectFallback(WriteFile(QStringLiteral("forged.rcc"), forged), "cannot be used");

    expectFallback(QStringLiteral(QB_TEST_NOTAG_MODULE), "string 89");
}

TEST(ResourceModule, EveryTruncationAndCorruptionIsSafe)
{
    const QByteArray good = ReadModuleBytes();
    const QString path = OutputPath(QStringLiteral("damaged.rcc"));

    // Every cut: the tree lies at the end of the file, so each one is damage.
    for (qsizetype length = 0; length < good.size(); length += (length < 64 || good.size() - length < 64) ? 1 : 61) {
        WriteFile(QStringLiteral("damaged.rcc"), good.left(length));
        CResourceModule module;
        EXPECT_FALSE(module.Load(path, QStringLiteral("ENU"))) << length;
        ASSERT_TRUE(module.IsFallback());
    }

    // Scrambled bytes anywhere: loads or falls back, but reads only what is there.
    QRandomGenerator random(77);
    int loaded = 0;
    for (int round = 0; round < 150; ++round) {
        QByteArray bytes = good;
        const int changes = 1 + int(random.bounded(4));
        for (int i = 0; i < changes; ++i)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        WriteFile(QStringLiteral("damaged.rcc"), bytes);
        WarningCatcher quiet;
        CResourceModule module;
        if (module.Load(path, QStringLiteral("ENU")))
            ++loaded;
        TouchEverything(module);
    }
    EXPECT_GT(loaded, 0);  // most single-byte changes hit picture data and are harmless
}

TEST(ResourceModule, CheckResourceFileFindsBadOffsets)
{
    const QByteArray good = ReadModuleBytes();
    EXPECT_TRUE(CResourceModule::CheckResourceFile(good).isEmpty());
    EXPECT_FALSE(CResourceModule::CheckResourceFile(QByteArray("qres")).isEmpty());

    auto withWord = [&](int at, quint32 value) {
        QByteArray bytes = good;
        qToBigEndian(value, bytes.data() + at);
        return bytes;
    };
    EXPECT_FALSE(CResourceModule::CheckResourceFile(withWord(4, 9)).isEmpty());               // version
    EXPECT_FALSE(CResourceModule::CheckResourceFile(withWord(8, 0xFFFFFFF0)).isEmpty());      // tree
    EXPECT_FALSE(CResourceModule::CheckResourceFile(withWord(12, quint32(good.size()))).isEmpty());
    // The root's child count made huge.
    const quint32 tree = qFromBigEndian<quint32>(good.constData() + 8);
    EXPECT_FALSE(CResourceModule::CheckResourceFile(withWord(int(tree) + 6, 0x7FFFFFFF)).isEmpty());
    // The root listing itself as its own child.
    EXPECT_FALSE(CResourceModule::CheckResourceFile(withWord(int(tree) + 10, 0)).isEmpty());
}
