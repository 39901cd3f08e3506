#include "framework/resourcemodule.h"

#include <gtest/gtest.h>

#include "support/testoutput.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QMap>
#include <QSet>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>

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

// The access letter of a caption ("&&" is a plain '&'); a null character when it has none.
QChar AccessLetter(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == u'&') {
            if (caption[i + 1] != u'&')
                return caption[i + 1].toUpper();
            ++i;
        }
    return {};
}

// No two entries of one menu share an access letter, in any popup at any depth.
void ExpectOneEntryPerLetter(const std::vector<CMenuTemplateItem>& items, const QString& where)
{
    QMap<QChar, QString> taken;
    for (const auto& item : items) {
        if (item.kind == CMenuTemplateItem::Separator)
            continue;
        const QChar letter = AccessLetter(item.caption);
        if (!letter.isNull()) {
            EXPECT_FALSE(taken.contains(letter)) << where.toStdString() << ": " << item.caption.toStdString()
                                                 << " and " << taken.value(letter).toStdString();
            taken.insert(letter, item.caption);
        }
        if (item.kind == CMenuTemplateItem::Popup)
            ExpectOneEntryPerLetter(item.items, where + QStringLiteral(" > ") + item.caption);
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

TEST(ResourceModule, MenusToolbarsAndPrompts)
{
    for (const char* language : {"ENU", "CHS", "CHT"}) {
        CResourceModule module;
        ASSERT_TRUE(module.Load(kModule, QString::fromLatin1(language)));
        // The toolbars' own buttons (the zoom box and export) and every menu command.
        QSet<UINT> commands{32835, 32936}, documentCommands;
        for (UINT id : {2u, 3u, 103u}) {
            const auto menu = module.LoadMenu(id);
            ASSERT_TRUE(menu && !menu->items.empty()) << "menu " << id;
            for (const auto& popup : menu->items)
                EXPECT_EQ(popup.kind, CMenuTemplateItem::Popup);
            ExpectOneEntryPerLetter(menu->items, QStringLiteral("%1 menu %2").arg(QLatin1String(language)).arg(id));
            CollectCommands(menu->items, commands);
            if (id == 3)
                CollectCommands(menu->items, documentCommands);
        }
        // Every command has a prompt and a tooltip.
        for (UINT id : commands) {
            const QStringList parts = module.LoadString(id).split(QLatin1Char('\n'));
            ASSERT_EQ(parts.size(), 2) << language << " " << id;
            EXPECT_FALSE(parts[0].isEmpty() || parts[1].isEmpty()) << language << " " << id;
        }
        EXPECT_FALSE(module.LoadString(57345).isEmpty());  // the status bar between prompts

        // Every toolbar button runs a document command or the zoom box, and has a picture.
        for (UINT id : {2u, 110u}) {
            const auto toolbar = module.LoadToolbar(id);
            ASSERT_TRUE(toolbar) << "toolbar " << id;
            const QImage strip = module.LoadBitmap(toolbar->bitmap);
            EXPECT_EQ(strip.height(), toolbar->imageHeight);
            int buttons = 0;
            for (const auto& button : toolbar->buttons) {
                if (button.IsSeparator())
                    continue;
                ++buttons;
                EXPECT_TRUE(documentCommands.contains(button.id) || button.id == 32835 || button.id == 32936)
                    << button.id;
                EXPECT_LE((button.image + 1) * toolbar->imageWidth, strip.width()) << button.id;
            }
            EXPECT_GT(buttons, 5);
        }
    }
    CResourceModule enu, chs;
    ASSERT_TRUE(enu.Load(kModule, QStringLiteral("ENU")));
    ASSERT_TRUE(chs.Load(kModule, QStringLiteral("CHS")));
    EXPECT_EQ(enu.LoadMenu(3)->items[0].items[0].shortcut, QStringLiteral("Ctrl+N"));
    EXPECT_EQ(chs.LoadMenu(3)->items[0].caption, QStringLiteral("文件(&F)"));
    EXPECT_FALSE(enu.LoadMenu(9999));
    EXPECT_FALSE(enu.LoadToolbar(3));
}

TEST(ResourceModule, PicturesLayoutsAndBinaryResources)
{
    CResourceModule module;
    ASSERT_TRUE(module.Load(kModule, QStringLiteral("ENU")));
    EXPECT_TRUE(module.LoadBitmap(7777).isNull());
    EXPECT_FALSE(module.LoadIcon(2).isNull());
    const CCursorResource drop = module.LoadCursor(154);
    EXPECT_EQ(drop.image.size(), QSize(32, 32));
    EXPECT_TRUE(drop.image.hasAlphaChannel());
    EXPECT_EQ(module.LoadCursor(102).hotSpot, QPoint(0, 31));
    EXPECT_TRUE(module.LoadCursor(155).image.isNull());

    QXmlStreamReader about(module.LoadDialogLayout(100));
    int widgets = 0;
    while (!about.atEnd())
        widgets += about.readNext() == QXmlStreamReader::StartElement && about.name() == QLatin1String("widget");
    EXPECT_FALSE(about.hasError()) << qPrintable(about.errorString());
    EXPECT_GE(widgets, 6);
    EXPECT_TRUE(module.LoadDialogLayout(4711).isEmpty());

    const auto fixture = module.FindResource(QStringLiteral("TEST"), QStringLiteral("FIXTURE"));
    ASSERT_TRUE(fixture);
    EXPECT_EQ(*fixture, QByteArray("QBRES fixture\0\1\2\3\xff", 18));
    EXPECT_TRUE(module.FindResource(QStringLiteral("QRCODE"), QStringLiteral("IDR_QRV1_0")));
    EXPECT_FALSE(module.FindResource(QStringLiteral("QRCODE"), QStringLiteral("IDR_QRV41_0")));
    // No way out of the resource tree.
    EXPECT_FALSE(module.FindResource(QStringLiteral(".."), QStringLiteral("strings")));
    EXPECT_FALSE(module.FindResource(QStringLiteral("TEST"), QStringLiteral("../../strings/ENU.txt")));
}

// The plain texts of a layout (captions, titles, items), in document order.
QStringList LayoutTexts(const QByteArray& layout)
{
    QStringList texts;
    if (layout.isEmpty())
        return texts;
    QXmlStreamReader xml(layout);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("string")
            && xml.attributes().isEmpty())
            if (QString text = xml.readElementText(); !text.isEmpty())
                texts << text;
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    return texts;
}

TEST(ResourceModule, DialogLayoutsSpeakTheModulesLanguage)
{
    CResourceModule enu;
    ASSERT_TRUE(enu.Load(kModule, QStringLiteral("ENU")));
    // Names that no language translates.
    const QSet<QString> names{"Quillbar", "PDF417", "Data Matrix", "ECC 200"};
    for (const char* language : {"ENU", "CHS", "CHT"}) {
        CResourceModule module;
        ASSERT_TRUE(module.Load(kModule, QString::fromLatin1(language)));
        int layouts = 0;
        for (UINT id = 100; id < 200; ++id) {
            const QStringList english = LayoutTexts(enu.LoadDialogLayout(id));
            if (english.isEmpty())
                continue;
            ++layouts;
            const QStringList texts = LayoutTexts(module.LoadDialogLayout(id));
            ASSERT_EQ(texts.size(), english.size()) << language << " " << id;
            QMap<QChar, QString> taken;
            for (qsizetype i = 0; i < texts.size(); ++i) {
                if (QLatin1String(language) != QLatin1String("ENU") && !names.contains(english[i]))
                    EXPECT_NE(texts[i], english[i]) << language << " dialog " << id << " is not translated";
                // One control per access letter in each dialog.
                const QChar letter = AccessLetter(texts[i]);
                if (letter.isNull())
                    continue;
                EXPECT_FALSE(taken.contains(letter)) << language << " dialog " << id << ": "
                                                     << texts[i].toStdString() << " and " << taken.value(letter).toStdString();
                taken.insert(letter, texts[i]);
            }
        }
        EXPECT_GE(layouts, 25);
    }
    CResourceModule chs, cht;
    ASSERT_TRUE(chs.Load(kModule, QStringLiteral("CHS")) && cht.Load(kModule, QStringLiteral("CHT")));
    EXPECT_EQ(chs.DialogText(QStringLiteral("Document Properties")), QStringLiteral("文档属性"));
    EXPECT_EQ(cht.DialogText(QStringLiteral("Document Properties")), QStringLiteral("文件內容"));
    EXPECT_EQ(chs.DialogText(QStringLiteral("no such text")), QStringLiteral("no such text"));
    EXPECT_EQ(chs.UiLocale().name(), QStringLiteral("zh_CN"));
    EXPECT_EQ(cht.UiLocale().name(), QStringLiteral("zh_TW"));
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
        EXPECT_TRUE(module.LoadMenu(2));
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

    // Cuts everywhere: the tree lies at the end of the file, so each one is damage. Every byte
    // near both ends, and about 1,500 cuts between them however large the module grows.
    const qsizetype stride = std::max<qsizetype>(61, good.size() / 1500) | 1;
    for (qsizetype length = 0; length < good.size(); length += (length < 64 || good.size() - length < 64) ? 1 : stride) {
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
    const int tree = int(qFromBigEndian<quint32>(good.constData() + 8));
    // Version, tree offset, data offset, the root's child count, the root as its own child.
    const std::pair<int, quint32> damage[] = {{4, 9}, {8, 0xFFFFFFF0}, {12, quint32(good.size())},
                                              {tree + 6, 0x7FFFFFFF}, {tree + 10, 0}};
    for (const auto& [at, value] : damage) {
        QByteArray bytes = good;
        qToBigEndian(value, bytes.data() + at);
        EXPECT_FALSE(CResourceModule::CheckResourceFile(bytes).isEmpty()) << at;
    }
}
