#include "framework/resourcemodule.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QResource>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>
#include <charconv>

namespace {

// Files larger than this are not resource modules of ours; refusing them keeps a stray
// path from pulling a huge file into memory.
constexpr qint64 kMaxModuleSize = 64 * 1024 * 1024;
// zlib cannot expand data by more than about 1032 to 1; a larger claimed size is damage.
constexpr quint64 kMaxInflateRatio = 1032;
// Menus nest popups; a deeper nesting than this is damage, not a menu.
constexpr int kMaxMenuDepth = 8;

const char* const kPrefix = "/quillbar/";

QAtomicInt g_nextMapRoot;

// Locale-independent parse of a whole decimal number.
template <typename T>
std::optional<T> ParseNumber(QByteArrayView text)
{
    T value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first == last)
        return std::nullopt;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<UINT> ParseUInt(QByteArrayView text)
{
    return ParseNumber<UINT>(text);
}

// Attribute values may carry blanks around the number.
std::optional<UINT> ParseUInt(QStringView text)
{
    return ParseNumber<UINT>(text.trimmed().toLatin1());
}

std::optional<int> ParseInt(QStringView text)
{
    return ParseNumber<int>(text.trimmed().toLatin1());
}

// Undoes the escapes of the string tables: \n, \t and \\. An unknown escape keeps both
// characters, so that a stray backslash in a text survives.
QString Unescape(QByteArrayView raw)
{
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            const char n = raw[i + 1];
            if (n == 'n') { out += '\n'; ++i; continue; }
            if (n == 't') { out += '\t'; ++i; continue; }
            if (n == '\\') { out += '\\'; ++i; continue; }
        }
        out += c;
    }
    return QString::fromUtf8(out);
}

// Calls fn(line) for every line of text without its line end.
template <typename Fn>
void ForEachLine(const QByteArray& text, Fn fn)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line(text.constData() + start, end - start);
        if (!line.isEmpty() && line.back() == '\r')
            line.chop(1);
        fn(line);
        start = end + 1;
    }
}

// The dialog texts of a language: "English<TAB>translation" a line, escaped as the string
// tables are.
QHash<QString, QString> ParseDialogTexts(const QByteArray& text)
{
    QHash<QString, QString> table;
    ForEachLine(text, [&](QByteArrayView line) {
        if (line.isEmpty() || line.front() == '#')
            return;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0 || tab + 1 == line.size())
            return;
        table.insert(Unescape(line.first(tab)), Unescape(line.sliced(tab + 1)));
    });
    return table;
}

QString XmlUnescape(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

std::unordered_map<UINT, CString> ParseStringTable(const QByteArray& text)
{
    std::unordered_map<UINT, CString> table;
    ForEachLine(text, [&](QByteArrayView line) {
        if (line.isEmpty() || line.front() == '#')
            return;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            return;
        const auto id = ParseUInt(line.first(tab));
        if (!id)
            return;
        table.emplace(*id, Unescape(line.sliced(tab + 1)));
    });
    return table;
}

QString Caption(const QXmlStreamAttributes& attributes, const QString& language)
{
    const QString localised = QStringLiteral("text-") + language;
    if (attributes.hasAttribute(localised))
        return attributes.value(localised).toString();
    return attributes.value(QStringLiteral("text")).toString();
}

// Reads the entries of the element the reader stands in, up to its end element.
bool ReadMenuItems(QXmlStreamReader& xml, const QString& language, int depth,
                   std::vector<CMenuTemplateItem>& items)
{
    if (depth > kMaxMenuDepth) {
        xml.raiseError(QStringLiteral("menus nested too deeply"));
        return false;
    }
    while (xml.readNextStartElement()) {
        CMenuTemplateItem item;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("separator")) {
            item.kind = CMenuTemplateItem::Separator;
            xml.skipCurrentElement();
        } else if (xml.name() == QLatin1String("item")) {
            const auto id = ParseUInt(attributes.value(QStringLiteral("id")));
            if (!id || *id == 0) {
                xml.raiseError(QStringLiteral("menu item without a command id"));
                return false;
            }
            item.kind = CMenuTemplateItem::Command;
            item.id = *id;
            item.caption = Caption(attributes, language);
            item.shortcut = attributes.value(QStringLiteral("shortcut")).toString();
            xml.skipCurrentElement();
        } else if (xml.name() == QLatin1String("popup")) {
            item.kind = CMenuTemplateItem::Popup;
            item.caption = Caption(attributes, language);
            if (!ReadMenuItems(xml, language, depth + 1, item.items))
                return false;
        } else {
            xml.raiseError(QStringLiteral("unknown menu element ") + xml.name().toString());
            return false;
        }
        items.push_back(std::move(item));
    }
    return !xml.hasError();
}

// The small table that stands in when the module cannot be used: enough for the dialog
// buttons, the start-up messages and a menu to open files and quit.
const std::pair<UINT, const char*> kFallbackStrings[] = {
    {76, "OK"},     {77, "&Yes"},    {78, "&No"},     {79, "Cancel"},
    {83, "Finish"}, {84, "&Next >"}, {85, "< &Back"}, {86, "&Apply"},
    {89, "ENU"},
    {101, "Embedded objects could not be initialised. The program ends."},
    {102, "The object could not be inserted."},
    {57344, "Quillbar"},    {57345, "Ready"},
};

CMenuTemplateItem FallbackCommand(UINT id, const char* caption, const char* shortcut = "")
{
    CMenuTemplateItem item;
    item.id = id;
    item.caption = QString::fromLatin1(caption);
    item.shortcut = QString::fromLatin1(shortcut);
    return item;
}

CMenuTemplate FallbackMainMenu()
{
    CMenuTemplate menu;
    menu.id = 2;
    CMenuTemplateItem file;
    file.kind = CMenuTemplateItem::Popup;
    file.caption = QStringLiteral("&File");
    file.items = {FallbackCommand(57600, "&New", "Ctrl+N"), FallbackCommand(57601, "&Open...", "Ctrl+O"),
                  FallbackCommand(57603, "&Save", "Ctrl+S"), CMenuTemplateItem{CMenuTemplateItem::Separator, 0, {}, {}, {}},
                  FallbackCommand(57665, "E&xit")};
    CMenuTemplateItem help;
    help.kind = CMenuTemplateItem::Popup;
    help.caption = QStringLiteral("&Help");
    help.items = {FallbackCommand(57664, "&About Quillbar...")};
    menu.items = {std::move(file), std::move(help)};
    return menu;
}

} // namespace

CResourceModule::CResourceModule()
    : m_mapRoot(QStringLiteral("/qbres%1").arg(g_nextMapRoot.fetchAndAddRelaxed(1)))
{
}

CResourceModule::~CResourceModule()
{
    Unload();
}

CResourceModule& CResourceModule::Get()
{
    // Never destroyed: Qt's resource registry may already be gone when static objects are
    // torn down, and unregistering then would touch freed memory.
    static CResourceModule* module = new CResourceModule;
    return *module;
}

QString CResourceModule::LocateModule(const QStringList& arguments)
{
    const QString option = QStringLiteral("--resources");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == option && i + 1 < arguments.size())
            return arguments[i + 1];
        if (argument.startsWith(option + QLatin1Char('=')))
            return argument.mid(option.size() + 1);
    }
    const QString fromEnvironment = qEnvironmentVariable("QB_RESOURCES");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kFileName));
}

QString CResourceModule::LanguageForLocale(const QLocale& locale)
{
    if (locale.language() != QLocale::Chinese)
        return QStringLiteral("ENU");
    switch (locale.territory()) {
    case QLocale::Taiwan:
    case QLocale::HongKong:
    case QLocale::Macao:
        return QStringLiteral("CHT");
    default:
        break;
    }
    // A locale that names only the script (zh_Hant) still asks for traditional characters.
    return locale.script() == QLocale::TraditionalChineseScript ? QStringLiteral("CHT")
                                                                : QStringLiteral("CHS");
}

QString CResourceModule::CheckResourceFile(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const quint64 size = quint64(bytes.size());
    auto be16 = [&](quint64 at, quint32& v) {
        if (at > size || size - at < 2)
            return false;
        v = qFromBigEndian<quint16>(p + at);
        return true;
    };
    auto be32 = [&](quint64 at, quint32& v) {
        if (at > size || size - at < 4)
            return false;
        v = qFromBigEndian<quint32>(p + at);
        return true;
    };

    if (size < 20 || bytes.left(4) != "qres")
        return QStringLiteral("not a resource file");
    quint32 version = 0, tree = 0, data = 0, names = 0;
    be32(4, version);
    be32(8, tree);
    be32(12, data);
    be32(16, names);
    if (version < 1 || version > 3)
        return QStringLiteral("unknown resource file version %1").arg(version);
    const quint64 headerSize = version >= 3 ? 24 : 20;
    if (size < headerSize || tree >= size || data >= size || names >= size)
        return QStringLiteral("the header points outside the file");

    const quint64 nodeSize = version >= 2 ? 22 : 14;
    const quint64 nodeCount = (size - tree) / nodeSize;
    if (nodeCount == 0)
        return QStringLiteral("the file has no resource tree");

    enum : quint32 { Compressed = 0x01, Directory = 0x02, CompressedZstd = 0x04 };
    // Every node but the root must be the child of exactly one directory; that also rules
    // out cycles, so the walk below ends.
    std::vector<bool> claimed(nodeCount, false);
    std::vector<quint64> pending{0};
    claimed[0] = true;
    while (!pending.empty()) {
        const quint64 node = pending.back();
        pending.pop_back();
        const quint64 at = tree + node * nodeSize;
        quint32 nameOffset = 0, flags = 0;
        if (!be32(at, nameOffset) || !be16(at + 4, flags))
            return QStringLiteral("a tree entry is cut off");
        if (node != 0) {
            quint32 nameLength = 0;
            if (!be16(quint64(names) + nameOffset, nameLength)
                || size - (quint64(names) + nameOffset) < 6 + 2 * quint64(nameLength))
                return QStringLiteral("a name lies outside the file");
        }
        if (flags & ~quint32(Compressed | Directory))
            return QStringLiteral("a resource uses an unsupported format (flags %1)").arg(flags);
        if (flags & Directory) {
            quint32 count = 0, first = 0;
            if (!be32(at + 6, count) || !be32(at + 10, first))
                return QStringLiteral("a tree entry is cut off");
            if (count == 0)
                continue;
            if (first == 0 || quint64(first) + count > nodeCount)
                return QStringLiteral("a folder lists entries outside the tree");
            for (quint64 child = first; child < quint64(first) + count; ++child) {
                if (claimed[child])
                    return QStringLiteral("the tree is not a tree");
                claimed[child] = true;
                pending.push_back(child);
            }
        } else {
            if (node == 0)
                return QStringLiteral("the root is not a folder");
            quint32 dataOffset = 0, length = 0;
            if (!be32(at + 10, dataOffset) || !be32(quint64(data) + dataOffset, length)
                || size - (quint64(data) + dataOffset) - 4 < length)
                return QStringLiteral("the data of a resource lies outside the file");
            if (flags & Compressed) {
                quint32 inflated = 0;
                if (length < 4 || !be32(quint64(data) + dataOffset + 4, inflated)
                    || inflated > quint64(length) * kMaxInflateRatio || inflated > kMaxModuleSize)
                    return QStringLiteral("a compressed resource claims an impossible size");
            }
        }
    }
    return QString();
}

bool CResourceModule::Load(const QString& path, const QString& language)
{
    Unload();
    m_path = path.isEmpty() ? LocateModule({}) : path;

    QFile file(m_path);
    if (!file.exists()) {
        UseFallback(QStringLiteral("the file does not exist"));
        return false;
    }
    if (file.size() > kMaxModuleSize) {
        UseFallback(QStringLiteral("the file is too large to be a resource module"));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        UseFallback(QStringLiteral("the file cannot be read: ") + file.errorString());
        return false;
    }
    // Reading stops at the limit even when the file grows while it is read.
    m_file = file.read(kMaxModuleSize + 1);
    if (m_file.size() > kMaxModuleSize) {
        UseFallback(QStringLiteral("the file is too large to be a resource module"));
        return false;
    }
    const QString damage = CheckResourceFile(m_file);
    if (!damage.isEmpty()) {
        UseFallback(damage);
        return false;
    }
    if (!QResource::registerResource(reinterpret_cast<const uchar*>(m_file.constData()), m_mapRoot)) {
        UseFallback(QStringLiteral("Qt refused the resource file"));
        return false;
    }
    m_registered = true;

    QString wanted = language.trimmed().toUpper();
    if (wanted.isEmpty())
        wanted = LanguageForLocale(QLocale::system());
    if (!LoadStringTable(wanted)) {
        if (wanted != QLatin1String("ENU"))
            qWarning("Resource module %s has no usable %s string table; using ENU",
                     qUtf8Printable(QDir::toNativeSeparators(m_path)), qUtf8Printable(wanted));
        if (!LoadStringTable(QStringLiteral("ENU"))) {
            UseFallback(QStringLiteral("the string table lacks the language tag (string 89)"));
            return false;
        }
    }
    m_loaded = true;
    return true;
}

bool CResourceModule::LoadStringTable(const QString& language)
{
    const auto text = ReadEntry(QStringLiteral("strings/%1.txt").arg(language));
    if (!text)
        return false;
    auto table = ParseStringTable(*text);
    auto tag = table.find(kLanguageTagId);
    if (tag == table.end() || tag->second.trimmed().isEmpty())
        return false;
    m_strings = std::move(table);
    m_language = language;
    m_dialogTexts.clear();
    if (const auto texts = ReadEntry(QStringLiteral("dialogs/%1.txt").arg(language)))
        m_dialogTexts = ParseDialogTexts(*texts);
    return true;
}

void CResourceModule::UseFallback(const QString& reason)
{
    qWarning("Resource module %s cannot be used: %s. Running with the built-in texts only.",
             qUtf8Printable(QDir::toNativeSeparators(m_path)), qUtf8Printable(reason));
    Unload();
    for (const auto& [id, text] : kFallbackStrings)
        m_strings.emplace(id, QString::fromLatin1(text));
    m_language = QStringLiteral("ENU");
    m_fallback = true;
    m_loaded = true;
}

void CResourceModule::Unload()
{
    if (m_registered)
        QResource::unregisterResource(reinterpret_cast<const uchar*>(m_file.constData()), m_mapRoot);
    m_registered = false;
    m_file.clear();
    m_strings.clear();
    m_dialogTexts.clear();
    m_language.clear();
    m_loaded = false;
    m_fallback = false;
}

QString CResourceModule::Language() const
{
    return LoadString(kLanguageTagId).trimmed();
}

UINT CResourceModule::CodePage() const
{
    const QString language = Language();
    if (language == QLatin1String("CHS"))
        return 936;
    if (language == QLatin1String("CHT"))
        return 950;
    return 1252;
}

QStringList CResourceModule::Languages() const
{
    if (!m_registered)
        return m_fallback ? QStringList{QStringLiteral("ENU")} : QStringList{};
    QStringList languages;
    const QDir dir(QLatin1Char(':') + m_mapRoot + QLatin1String(kPrefix) + QLatin1String("strings"));
    for (const QString& entry : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        languages << entry.chopped(4);
    return languages;
}

std::optional<QByteArray> CResourceModule::ReadEntry(const QString& relativePath) const
{
    if (!m_registered)
        return std::nullopt;
    QFile entry(QLatin1Char(':') + m_mapRoot + QLatin1String(kPrefix) + relativePath);
    if (!entry.open(QIODevice::ReadOnly))
        return std::nullopt;
    return entry.readAll();
}

CString CResourceModule::LoadString(UINT id) const
{
    auto found = m_strings.find(id);
    return found == m_strings.end() ? CString() : found->second;
}

bool CResourceModule::HasString(UINT id) const
{
    return m_strings.count(id) != 0;
}

std::optional<QByteArray> CResourceModule::FindResource(const QString& type, const QString& name) const
{
    // Names come from callers and from tables; keep them inside the binary folder.
    auto valid = [](const QString& part) {
        return !part.isEmpty() && !part.contains(QLatin1Char('/')) && !part.contains(QLatin1Char('\\'))
            && part != QLatin1String(".") && part != QLatin1String("..");
    };
    if (!valid(type) || !valid(name))
        return std::nullopt;
    return ReadEntry(QStringLiteral("binary/%1/%2").arg(type, name));
}

QImage CResourceModule::ReadImage(const QString& relativePath) const
{
    const auto bytes = ReadEntry(relativePath);
    return bytes ? QImage::fromData(*bytes, "PNG") : QImage();
}

QImage CResourceModule::LoadBitmap(UINT id) const
{
    return ReadImage(QStringLiteral("bitmaps/%1.png").arg(id));
}

QImage CResourceModule::LoadIcon(UINT id) const
{
    return ReadImage(QStringLiteral("icons/%1.png").arg(id));
}

CCursorResource CResourceModule::LoadCursor(UINT id) const
{
    CCursorResource cursor;
    cursor.image = ReadImage(QStringLiteral("cursors/%1.png").arg(id));
    if (cursor.image.isNull())
        return cursor;
    if (const auto spots = ReadEntry(QStringLiteral("cursors/hotspots.txt"))) {
        ForEachLine(*spots, [&](QByteArrayView line) {
            if (line.isEmpty() || line.front() == '#')
                return;
            const QList<QByteArray> fields = line.toByteArray().split('\t');
            if (fields.size() != 3 || ParseUInt(QByteArrayView(fields[0])) != id)
                return;
            const auto x = ParseUInt(QByteArrayView(fields[1]));
            const auto y = ParseUInt(QByteArrayView(fields[2]));
            if (x && y)
                cursor.hotSpot = QPoint(int(std::min<UINT>(*x, UINT(cursor.image.width() - 1))),
                                        int(std::min<UINT>(*y, UINT(cursor.image.height() - 1))));
        });
    }
    return cursor;
}

std::optional<CMenuTemplate> CResourceModule::LoadMenu(UINT id) const
{
    if (m_fallback)
        return id == 2 ? std::optional<CMenuTemplate>(FallbackMainMenu()) : std::nullopt;
    const auto bytes = ReadEntry(QStringLiteral("menus/%1.xml").arg(id));
    if (!bytes)
        return std::nullopt;
    QXmlStreamReader xml(*bytes);
    CMenuTemplate menu;
    menu.id = id;
    if (xml.readNextStartElement() && xml.name() == QLatin1String("menu"))
        ReadMenuItems(xml, m_language, 0, menu.items);
    else if (!xml.hasError())
        xml.raiseError(QStringLiteral("the root element is not a menu"));
    if (xml.hasError()) {
        qWarning("Menu %u of the resource module is damaged: %s", id, qUtf8Printable(xml.errorString()));
        return std::nullopt;
    }
    return menu;
}

std::optional<CToolbarTemplate> CResourceModule::LoadToolbar(UINT id) const
{
    const auto bytes = ReadEntry(QStringLiteral("toolbars/%1.xml").arg(id));
    if (!bytes)
        return std::nullopt;
    QXmlStreamReader xml(*bytes);
    CToolbarTemplate toolbar;
    toolbar.id = id;
    if (xml.readNextStartElement() && xml.name() == QLatin1String("toolbar")) {
        const QXmlStreamAttributes attributes = xml.attributes();
        const auto bitmap = ParseUInt(attributes.value(QStringLiteral("bitmap")));
        const auto width = ParseInt(attributes.value(QStringLiteral("width")));
        const auto height = ParseInt(attributes.value(QStringLiteral("height")));
        if (!bitmap || (width && (*width < 1 || *width > 256)) || (height && (*height < 1 || *height > 256)))
            xml.raiseError(QStringLiteral("bad toolbar attributes"));
        else {
            toolbar.bitmap = *bitmap;
            toolbar.imageWidth = width.value_or(16);
            toolbar.imageHeight = height.value_or(16);
        }
        while (!xml.hasError() && xml.readNextStartElement()) {
            CToolbarButton button;
            if (xml.name() == QLatin1String("button")) {
                const auto command = ParseUInt(xml.attributes().value(QStringLiteral("id")));
                const auto image = ParseInt(xml.attributes().value(QStringLiteral("image")));
                if (!command || *command == 0 || !image || *image < 0) {
                    xml.raiseError(QStringLiteral("a button needs a command id and an image index"));
                    break;
                }
                button.id = *command;
                button.image = *image;
            } else if (xml.name() != QLatin1String("separator")) {
                xml.raiseError(QStringLiteral("unknown toolbar element ") + xml.name().toString());
                break;
            }
            toolbar.buttons.push_back(button);
            xml.skipCurrentElement();
        }
    } else if (!xml.hasError()) {
        xml.raiseError(QStringLiteral("the root element is not a toolbar"));
    }
    if (xml.hasError()) {
        qWarning("Toolbar %u of the resource module is damaged: %s", id, qUtf8Printable(xml.errorString()));
        return std::nullopt;
    }
    return toolbar;
}

QByteArray CResourceModule::LoadDialogLayout(UINT id) const
{
    QByteArray layout = ReadEntry(QStringLiteral("dialogs/%1.ui").arg(id)).value_or(QByteArray());
    if (m_dialogTexts.isEmpty())
        return layout;
    // Every plain <string> element (a caption, title, item or tip) in the module's language;
    // strings marked with attributes (notr) are left alone.
    const QByteArray open = "<string>", close = "</string>";
    QByteArray out;
    out.reserve(layout.size() + layout.size() / 4);
    qsizetype from = 0;
    for (qsizetype at; (at = layout.indexOf(open, from)) >= 0;) {
        const qsizetype start = at + open.size();
        const qsizetype end = layout.indexOf(close, start);
        if (end < 0)
            break;
        out += QByteArrayView(layout).sliced(from, start - from);
        const QString english = XmlUnescape(QString::fromUtf8(QByteArrayView(layout).sliced(start, end - start)));
        const auto found = m_dialogTexts.constFind(english);
        if (found == m_dialogTexts.cend())
            out += QByteArrayView(layout).sliced(start, end - start);
        else
            out += found->toHtmlEscaped().toUtf8();
        from = end;
    }
    out += QByteArrayView(layout).sliced(from);
    return out;
}

CString CResourceModule::DialogText(const CString& english) const
{
    return m_dialogTexts.value(english, english);
}

QLocale CResourceModule::UiLocale() const
{
    const QString language = Language();
    if (language == QLatin1String("CHS"))
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    if (language == QLatin1String("CHT"))
        return QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan);
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

CString LoadMessage(UINT id, const char* english)
{
    const CResourceModule& module = CResourceModule::Get();
    return module.HasString(id) ? module.LoadString(id) : QString::fromUtf8(english);
}
