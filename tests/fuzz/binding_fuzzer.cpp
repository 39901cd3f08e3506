// The binding road of text objects: binding texts loaded as a label loads them, and items removed,
// added and replaced as the data-source page does. The input is a list of steps separated by NUL
// bytes: "R" removes every item, "A" adds one (table, field, prefix and suffix separated by the
// byte 0xFD), "S" replaces every item by those that follow, each as with "A" and separated by the
// byte 0xFC, anything else loads the text after its first byte. In every text the bytes 0xFE and
// 0xFF stand for a lone high and a lone low surrogate; the rest is UTF-8.
//
// Checked after every step:
// - the binding has the items of a document that the harness parses with a parser of its own and
//   edits in step; only a character that the document's XML version cannot hold may have become
//   a space;
// - the text the binding writes back loads again with the same items;
// - a text loads the same whatever was loaded before it (each text of a step is checked against
//   a parser of the harness's own that has read nothing that could change how it reads, and every
//   text loaded is loaded again at the end, the first one also as a text that is not remembered).
//
// The sanitizer follows every allocation, and making a parser takes hundreds: the harness's
// parser is made again only after a text that could have left something behind in it, it reads
// each text once (what a text reads as is kept), and it parses the text again for the document it
// edits only when a step edits one. Inputs of more than 16 steps, or longer than a text the
// binding still remembers, reach nothing new and are cut there.

#include "objects/xmlhelper.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

using namespace xercesc;

namespace {

CString FromX(const XMLCh* s)
{
    return s ? QStringView(s).toString() : CString();
}

const XMLCh* X(const CString& s)
{
    return reinterpret_cast<const XMLCh*>(s.utf16());
}

QString Decode(const std::uint8_t* data, std::size_t size)
{
    QString out;
    std::size_t run = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != 0xFE && data[i] != 0xFF)
            continue;
        out += QString::fromUtf8(reinterpret_cast<const char*>(data + run), qsizetype(i - run));
        if (i < size)
            out += QChar(data[i] == 0xFE ? 0xD800 : 0xDC00);
        run = i + 1;
    }
    return out;
}

// The items, each as its four attributes, and the table of the first element (null: none).
struct Seen {
    bool parsed = false;
    std::vector<CDataItem> items;
    bool hasElement = false;
    CString firstTable;
};

Seen SeenIn(const CContentBlock& block, bool parsed)
{
    Seen s;
    s.parsed = parsed;
    s.items = GetDataItems(block);
    if (const CString* table = block.binding.FirstElementTable()) {
        s.hasElement = true;
        s.firstTable = *table;
    }
    return s;
}

bool operator==(const Seen& a, const Seen& b)
{
    return a.parsed == b.parsed && a.items == b.items && a.hasElement == b.hasElement && a.firstTable == b.firstTable;
}

DOMElement* DatabaseOf(DOMDocument* doc)
{
    return doc ? static_cast<DOMElement*>(doc->getElementsByTagName(u"Database")->item(0)) : nullptr;
}

// The four values of an item: table, field, prefix and suffix separated by 0xFD.
CDataItem ItemOf(const std::uint8_t* data, std::size_t length)
{
    CString values[4];
    std::size_t from = 0, n = 0;
    for (std::size_t i = 0; i <= length && n < 4; ++i) {
        if (i == length || data[i] == 0xFD) {
            values[n++] = Decode(data + from, i - from);
            from = i + 1;
        }
    }
    return {values[0], values[1], values[2], values[3]};
}

void RemoveAllBelow(DOMElement* database)
{
    DOMNodeList* below = database->getElementsByTagName(u"*");
    while (below->getLength() > 0) {
        DOMNode* last = below->item(below->getLength() - 1);
        last->getParentNode()->removeChild(last);
    }
}

void Append(DOMDocument* doc, DOMElement* database, const CDataItem& values)
{
    DOMElement* item = doc->createElement(u"DataItem");
    database->appendChild(item);
    item->setAttribute(u"TableName", X(values.table));
    item->setAttribute(u"FieldName", X(values.field));
    item->setAttribute(u"Prefix", X(values.prefix));
    item->setAttribute(u"Suffix", X(values.suffix));
}

constexpr int kMostSteps = 16;
constexpr qsizetype kRemembered = 4096;  // the longest text whose binding is remembered
constexpr std::size_t kLongest = kRemembered + 256;

// The harness's parser. Only a declaration (the XML version, the encoding) or a document type
// (entities, default attributes) could change how it reads the next text: after a text that may
// hold one it is made again, so that it reads every text as a parser that has read nothing.
CXmlHelper& ReferenceParser(const CString& next)
{
    // The library is set up first, so that it is shut down only after the parser is gone.
    static std::unique_ptr<CXmlHelper> parser = [] {
        EnsureXmlPlatform();
        return std::unique_ptr<CXmlHelper>();
    }();
    static bool used = false;
    if (!parser || used) {
        parser.reset();
        parser = std::make_unique<CXmlHelper>(CXmlHelper::EntitiesExpanded);
    }
    used = next.contains(QLatin1String("<?xml")) || next.contains(QLatin1String("<!DOCTYPE"));
    return *parser;
}

// The reference: a document parsed by the harness's parser, edited directly. Its entity
// references are expanded, so that every node of it can be changed.
struct Reference {
    CXmlHelper& parser;
    DOMDocument* doc = nullptr;
    bool xml11 = false;

    explicit Reference(const CString& xml) : parser(ReferenceParser(xml))
    {
        doc = parser.Parse(xml);
        xml11 = doc && XMLString::equals(doc->getXmlVersion(), u"1.1");
    }
    ~Reference() { parser.Reset(); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    Seen Read() const
    {
        Seen s;
        s.parsed = doc != nullptr;
        DOMElement* database = DatabaseOf(doc);
        if (!database)
            return s;
        if (const DOMElement* first = database->getFirstElementChild()) {
            s.hasElement = true;
            s.firstTable = FromX(first->getAttribute(u"TableName"));
        }
        DOMNodeList* list = database->getElementsByTagName(u"DataItem");
        for (XMLSize_t i = 0; i < list->getLength(); ++i) {
            const auto* e = static_cast<const DOMElement*>(list->item(i));
            s.items.push_back({FromX(e->getAttribute(u"TableName")), FromX(e->getAttribute(u"FieldName")),
                               FromX(e->getAttribute(u"Prefix")), FromX(e->getAttribute(u"Suffix"))});
        }
        return s;
    }

    // Whether the library could fail to write the character in this document, or write it so
    // that it reads back as another.
    bool MayBecomeSpace(char16_t c) const
    {
        return QChar::isSurrogate(c) || (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE ||
               c == 0xFFFF || (xml11 && ((c >= 0x7F && c <= 0x9F) || c == 0x2028));
    }

    bool SameValue(const CString& expected, const CString& got) const
    {
        if (expected.size() != got.size())
            return false;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const char16_t e = expected[i].unicode(), g = got[i].unicode();
            if (e != g && !(g == u' ' && MayBecomeSpace(e)))
                return false;
        }
        return true;
    }

    bool Matches(const Seen& got) const
    {
        const Seen expected = Read();
        if (expected.items.size() != got.items.size() || expected.hasElement != got.hasElement ||
            !SameValue(expected.firstTable, got.firstTable))
            return false;
        for (std::size_t i = 0; i < got.items.size(); ++i) {
            const CDataItem &e = expected.items[i], &g = got.items[i];
            if (!SameValue(e.table, g.table) || !SameValue(e.field, g.field) || !SameValue(e.prefix, g.prefix) ||
                !SameValue(e.suffix, g.suffix))
                return false;
        }
        return true;
    }
};

// What the harness's parser reads the text as. It reads a text alike every time, so each text is
// read once and what it read is kept, all of it forgotten when this much has been kept. A text
// read now leaves its reference, whose document can be edited, in `reference`.
const Seen& Expected(const CString& xml, std::unique_ptr<Reference>& reference)
{
    constexpr qsizetype kMostKept = 4096;
    static QHash<CString, Seen> kept;
    if (const auto it = kept.constFind(xml); it != kept.cend())
        return *it;
    if (kept.size() >= kMostKept)
        kept.clear();
    reference.reset();  // its documents go before the parser may be made again
    reference = std::make_unique<Reference>(xml);
    return *kept.insert(xml, reference->Read());
}

// The text last loaded, and its reference once a step needs its document.
struct Current {
    bool loaded = false;
    CString xml;
    std::unique_ptr<Reference> reference;

    DOMDocument* Document()
    {
        if (!loaded)
            return nullptr;
        if (!reference)
            reference = std::make_unique<Reference>(xml);
        return reference->doc;
    }
};

Seen Load(CContentBlock& block, const CString& xml)
{
    const bool parsed = LoadBindingDocument(block, xml);
    if (!parsed && block.binding.HasDatabase())
        std::abort();
    return SeenIn(block, parsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CContentBlock block;
    Current current;
    std::map<CString, Seen> loaded;  // every text of the input, with what it loaded as first
    CString firstText;

    size = std::min(size, kLongest);
    std::size_t start = 0;
    int steps = 0;
    for (std::size_t end = 0; end <= size && steps < kMostSteps; ++end) {
        if (end < size && data[end] != 0)
            continue;
        const std::uint8_t* step = data + start;
        const std::size_t length = end - start;
        start = end + 1;
        if (length == 0)
            continue;
        ++steps;

        if (step[0] == 'R') {
            RemoveAllDataItems(block);
            if (DOMElement* database = DatabaseOf(current.Document()))
                RemoveAllBelow(database);
        } else if (step[0] == 'A') {
            const CDataItem values = ItemOf(step + 1, length - 1);
            const bool added = AddDataItem(block, values.table, values.field, values.prefix, values.suffix);
            if (added != block.binding.HasDatabase())
                std::abort();
            DOMDocument* doc = current.Document();
            if (DOMElement* database = DatabaseOf(doc))
                Append(doc, database, values);
        } else if (step[0] == 'S') {
            std::vector<CDataItem> items;
            for (std::size_t from = 1, i = 1; i <= length; ++i) {
                if (i == length || step[i] == 0xFC) {
                    items.push_back(ItemOf(step + from, i - from));
                    from = i + 1;
                }
            }
            // Every binding with a document takes them, a database element made when it has none.
            DOMDocument* doc = current.Document();
            const bool replaced = ReplaceDataItems(block, items);
            if (replaced != (doc != nullptr) || replaced != block.binding.HasDatabase())
                std::abort();
            if (doc) {
                DOMElement* database = DatabaseOf(doc);
                if (database)
                    RemoveAllBelow(database);
                else
                    database = static_cast<DOMElement*>(
                        doc->getDocumentElement()->appendChild(doc->createElement(u"Database")));
                for (const CDataItem& item : items)
                    Append(doc, database, item);
            }
        } else {
            // A text loaded gives what a parser that has read nothing before gives.
            const CString xml = Decode(step + 1, length - 1);
            current.reference.reset();
            current.loaded = true;
            current.xml = xml;
            const Seen expected = Expected(xml, current.reference);
            const Seen seen = Load(block, xml);
            if (!(expected == seen))
                std::abort();
            if (loaded.empty())
                firstText = xml;
            loaded.emplace(xml, seen);
        }

        if (!current.loaded || !block.binding.HasDatabase())
            continue;
        // The edited document and the binding agree (right after a load they are the same), and
        // what the binding writes loads the same.
        const Seen now = SeenIn(block, true);
        if (current.reference && !current.reference->Matches(now))
            std::abort();
        CContentBlock again;
        if (!(Load(again, block.binding.Xml()) == now))
            std::abort();
    }

    // Each text again, as remembered; the first one also with blanks after it that make it a text
    // too long to be remembered, so that it is read afresh after every other step of the input.
    for (const auto& [xml, first] : loaded) {
        CContentBlock again;
        if (!(Load(again, xml) == first))
            std::abort();
    }
    if (const auto first = loaded.find(firstText); first != loaded.end()) {
        CContentBlock padded;
        if (!(Load(padded, firstText + QString(kRemembered + 1, u' ')) == first->second))
            std::abort();
    }
    return 0;
}
