#include "objects/xmlhelper.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>

#include <array>

using namespace xercesc;

namespace {

const XMLCh* X(const CString& s)
{
    return reinterpret_cast<const XMLCh*>(s.utf16());
}

// The characters exactly as the library has them: a leading U+FEFF is a character of the value
// here, not a byte-order mark.
CString FromX(const XMLCh* s)
{
    return s ? QStringView(s).toString() : CString();
}

struct XmlPlatform
{
    XmlPlatform() { XMLPlatformUtils::Initialize(); }
    ~XmlPlatform() { XMLPlatformUtils::Terminate(); }
};

// Characters XML 1.0 does not allow. Surrogate code units are let through: pairs are fine and
// the parser judges lone ones.
bool IsDisallowedXmlChar(char16_t c)
{
    return (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF;
}

// The same clean-up Parse applies, before a text is parsed again.
CString WithoutDisallowedXmlChars(const CString& text)
{
    CString out = text;
    for (QChar& c : out) {
        if (IsDisallowedXmlChar(c.unicode()))
            c = QLatin1Char(' ');
    }
    return out;
}

bool IsXml11(const DOMDocument* doc)
{
    return XMLString::equals(doc->getXmlVersion(), u"1.1");
}

// The text with every character that a document of the version cannot hold as it is turned into
// a space: those XML does not allow, lone surrogates (the library writes nothing at all then),
// and in XML 1.1 the controls U+007F to U+009F, which it does not write either, and the line
// separator, which it writes as it is and a reader turns into a line end.
CString WritableIn(const CString& text, bool xml11)
{
    CString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < out.size() && QChar::isLowSurrogate(out[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c) || IsDisallowedXmlChar(c) || (xml11 && ((c >= 0x7F && c <= 0x9F) || c == 0x2028)))
            out[i] = QLatin1Char(' ');
    }
    return out;
}

// Binding XML never needs entities of its own; this bounds what a hostile file can expand.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

// Calls f for every element below root in document order, the contents of entity references
// included. A loop, not a recursion; f must leave the tree as it is.
template <typename F>
void ForEachElementBelow(DOMNode* root, F f)
{
    DOMNode* node = root->getFirstChild();
    while (node) {
        if (node->getNodeType() == DOMNode::ELEMENT_NODE)
            f(static_cast<DOMElement*>(node));
        DOMNode* next = node->getFirstChild();
        while (!next && node != root) {
            next = node->getNextSibling();
            node = node->getParentNode();
        }
        node = next;
    }
}

}  // namespace

void EnsureXmlPlatform()
{
    static XmlPlatform platform;
}

// Keeps parse errors for the caller instead of printing them or throwing out of the parser.
class CXmlHelper::ErrorRecorder : public ErrorHandler
{
public:
    void warning(const SAXParseException&) override {}
    void error(const SAXParseException& e) override { Record(e); }
    void fatalError(const SAXParseException& e) override { Record(e); }
    void resetErrors() override { messages.clear(); }

    QStringList messages;

private:
    void Record(const SAXParseException& e)
    {
        messages.append(QStringLiteral("%1:%2: %3")
                            .arg(e.getLineNumber())
                            .arg(e.getColumnNumber())
                            .arg(FromX(e.getMessage())));
    }
};

// The library's parser, which says whether its last text left it reading a newer XML than 1.0
// (its scanner keeps the version a declaration gave for every later text without one), and which
// stops a text that nests elements and entity references deeper than kMaxDepth.
class CXmlHelper::DomParser : public XercesDOMParser
{
public:
    // Thrown out of the parse when the text nests too deeply.
    struct TooDeep {};

    DomParser() : XercesDOMParser(nullptr, XMLPlatformUtils::fgMemoryManager) {}
    bool LeftInNewerXml() const { return getScanner()->getXMLVersion() != XMLReader::XMLV1_0; }

    void startDocument() override
    {
        m_depth = 0;
        XercesDOMParser::startDocument();
    }
    // The library ends an empty element itself, from its start.
    void startElement(const XMLElementDecl& decl, unsigned int urlId, const XMLCh* prefix,
                      const RefVectorOf<XMLAttr>& attributes, XMLSize_t count, bool isEmpty, bool isRoot) override
    {
        Enter();
        XercesDOMParser::startElement(decl, urlId, prefix, attributes, count, isEmpty, isRoot);
    }
    void endElement(const XMLElementDecl& decl, unsigned int urlId, bool isRoot, const XMLCh* prefix) override
    {
        XercesDOMParser::endElement(decl, urlId, isRoot, prefix);
        --m_depth;
    }
    void startEntityReference(const XMLEntityDecl& entity) override
    {
        Enter();
        XercesDOMParser::startEntityReference(entity);
    }
    void endEntityReference(const XMLEntityDecl& entity) override
    {
        XercesDOMParser::endEntityReference(entity);
        --m_depth;
    }

private:
    void Enter()
    {
        if (++m_depth > CXmlHelper::kMaxDepth)
            throw TooDeep {};
    }

    int m_depth = 0;
};

CXmlHelper::CXmlHelper(Entities entities) : m_entities(entities)
{
    EnsureXmlPlatform();
    m_errors = std::make_unique<ErrorRecorder>();
    m_security = std::make_unique<SecurityManager>();
    m_security->setEntityExpansionLimit(kEntityExpansionLimit);
    MakeParser();
}

CXmlHelper::~CXmlHelper()
{
    Reset();
}

void CXmlHelper::MakeParser()
{
    m_parser.reset();
    m_parser = std::make_unique<DomParser>();
    m_parser->setErrorHandler(m_errors.get());
    // Stored labels must not make the parser read files or the network.
    m_parser->setLoadExternalDTD(false);
    m_parser->setDisableDefaultEntityResolution(true);
    m_parser->setSecurityManager(m_security.get());
    m_parser->setCreateEntityReferenceNodes(m_entities == EntityReferences);
}

void CXmlHelper::Reset()
{
    for (DOMDocument* doc : m_documents)
        doc->release();
    m_documents.clear();
    m_parser->resetDocumentPool();
}

const QStringList& CXmlHelper::LastErrors() const
{
    return m_errors->messages;
}

DOMDocument* CXmlHelper::ParseOnce(const CString& xml)
{
    m_errors->messages.clear();
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.utf16()),
                             static_cast<XMLSize_t>(xml.size()) * sizeof(char16_t), "szXml",
                             false);
    source.setEncoding(u"UTF-16");
    try {
        m_parser->parse(source);
    } catch (const XMLException& e) {
        m_errors->messages.append(FromX(e.getMessage()));
    } catch (const DOMException& e) {
        m_errors->messages.append(FromX(e.getMessage()));
    } catch (const OutOfMemoryException&) {
        m_errors->messages.append(QStringLiteral("out of memory"));
    } catch (const SAXException& e) {
        m_errors->messages.append(FromX(e.getMessage()));
    } catch (const DomParser::TooDeep&) {
        m_errors->messages.append(QStringLiteral("elements nested deeper than %1 levels").arg(kMaxDepth));
    }
    const bool failed = !m_errors->messages.isEmpty() || m_parser->getErrorCount() != 0;
    DOMDocument* doc = failed ? nullptr : m_parser->adoptDocument();
    if (doc)
        m_documents.push_back(doc);
    if (m_parser->LeftInNewerXml())
        BackToXml10();
    return doc;
}

// A parser that read a newer version would read every later text without a declaration in it
// too. A short text that declares 1.0 sets it back at a fraction of the cost of a new parser; the
// parser is made anew only when that does not help. The last parse's errors stay.
void CXmlHelper::BackToXml10()
{
    static constexpr char16_t kText[] = u"<?xml version=\"1.0\"?><a/>";
    const QStringList errors = m_errors->messages;
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(kText), sizeof kText - sizeof(char16_t), "szXml",
                             false);
    source.setEncoding(u"UTF-16");
    bool back = false;
    try {
        m_parser->parse(source);
        back = m_parser->getErrorCount() == 0 && !m_parser->LeftInNewerXml();
    } catch (...) {
    }
    m_errors->messages = errors;
    if (!back)
        MakeParser();
}

DOMDocument* CXmlHelper::Parse(const CString& xml)
{
    CString text = xml;
    for (;;) {
        if (DOMDocument* doc = ParseOnce(text))
            return doc;
        CString cleaned = WithoutDisallowedXmlChars(text);
        if (cleaned == text)
            return nullptr;
        text = cleaned;
    }
}

CString CXmlHelper::ToString(const DOMNode* node)
{
    if (!node)
        return {};
    EnsureXmlPlatform();
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"Range");
    if (!impl)
        return {};
    DOMLSSerializer* serializer = impl->createLSSerializer();
    XMLCh* written = nullptr;
    try {
        written = serializer->writeToString(node);
    } catch (const DOMException&) {
    } catch (const XMLException&) {
    } catch (const OutOfMemoryException&) {
    }
    CString out = FromX(written);
    XMLString::release(&written, XMLPlatformUtils::fgMemoryManager);
    serializer->release();
    return out;
}

CString BindingTemplate()
{
    return QStringLiteral("<DataSource > \t\t\t\t\t\t\t<Database>\t\t\t\t\t\t\t</Database>"
                          "\t\t\t\t\t\t</DataSource>");
}

// Reads a parsed binding document into a CBinding, and makes changes to bindings through one
// parser that every object shares. The parser's documents live only while one of these runs.
class CBindingReader
{
public:
    // The block's binding made from the text; an empty binding when it does not parse. Texts
    // seen lately are remembered with their result: labels repeat the same bindings, the
    // template above all.
    static bool Load(CBinding& binding, const CString& xml)
    {
        Cache& cache = TheCache();
        for (const Cache::Entry& e : cache.entries) {
            if (e.used && e.xml == xml) {
                binding = e.binding;
                return e.parsed;
            }
        }
        CBinding read;
        bool parsed = false;
        {
            const Session session(Session::AsWritten);
            if (DOMDocument* doc = session.Parse(xml)) {
                read = Written(doc);
                // Written as the library writes it only when that gives the same items again;
                // otherwise as it was read, which does. A text the library writes back as it is
                // (one it wrote itself, as stored labels hold) needs no second reading.
                if (read.m_xml != xml && !ReadsBack(session, read))
                    read.m_xml = xml;
                parsed = true;
            }
        }
        if (xml.size() <= kCachedLength) {
            Cache::Entry& slot = cache.entries[cache.next];
            cache.next = (cache.next + 1) % cache.entries.size();
            slot = {xml, read, parsed, true};
        }
        binding = std::move(read);
        return parsed;
    }

    // Parses the binding's own text, lets `edit` change its database element and takes the
    // changed document back, written as the library writes it. When the edit reaches into an
    // entity reference, whose nodes cannot be changed, or the changed document cannot be written
    // so that it reads back the same, the edit is made again on the document with its references
    // expanded, and what the library cannot write of that one becomes spaces. FALSE, changing
    // nothing, when it has no database element, unless `makeDatabase` lets a document without one
    // get one as the last child of its document element.
    template <typename Edit>
    static bool Change(CBinding& binding, Edit edit, bool makeDatabase = false)
    {
        // A binding that parsed has a text; one that did not has none.
        if (!binding.m_hasDatabase && (!makeDatabase || binding.m_xml.isEmpty()))
            return false;
        for (const Session::Use use : {Session::AsWritten, Session::Expanded}) {
            const Session session(use);
            DOMDocument* doc = session.Parse(binding.m_xml);
            DOMElement* database = doc ? Database(doc) : nullptr;
            DOMElement* root = doc ? doc->getDocumentElement() : nullptr;
            if (!database && (binding.m_hasDatabase || !root))
                return false;
            try {
                if (!database)
                    database = static_cast<DOMElement*>(root->appendChild(doc->createElement(u"Database")));
                edit(doc, database);
            } catch (const DOMException&) {
                continue;
            }
            CBinding changed = Written(doc);
            bool readsBack = ReadsBack(session, changed);
            // Mended step by step until it reads back: first the characters, then the document
            // type, which the library writes from what it understood of it, not as it was read.
            for (int step = 0; use == Session::Expanded && step < 2 && !readsBack; ++step) {
                if (step == 0)
                    MakeWritable(doc);
                else
                    WithoutDocumentType(doc);
                changed = Written(doc);
                readsBack = ReadsBack(session, changed);
            }
            if (readsBack) {
                binding = std::move(changed);
                return true;
            }
        }
        return false;
    }

    // Removes every element below the database element, the last in document order first, so
    // that each one goes without elements of its own. One may sit deeper than a direct child
    // (hand-edited XML), hence its own parent does the removal; one inside an entity reference
    // cannot be removed, and the library says so with a DOMException.
    static void RemoveElementsBelow(DOMElement* database)
    {
        std::vector<DOMElement*> below;
        ForEachElementBelow(database, [&below](DOMElement* e) { below.push_back(e); });
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            (*it)->getParentNode()->removeChild(*it);
            (*it)->release();
        }
    }

    // Appends a "DataItem" with the four values, each made writable in the document's version.
    static void AppendItem(DOMDocument* doc, DOMElement* database, const CDataItem& values)
    {
        const bool xml11 = IsXml11(doc);
        DOMElement* item = doc->createElement(u"DataItem");
        database->appendChild(item);
        item->setAttribute(u"TableName", X(WritableIn(values.table, xml11)));
        item->setAttribute(u"FieldName", X(WritableIn(values.field, xml11)));
        item->setAttribute(u"Prefix", X(WritableIn(values.prefix, xml11)));
        item->setAttribute(u"Suffix", X(WritableIn(values.suffix, xml11)));
    }

private:
    // Longer texts are not remembered: bindings are short, and the memory stays bounded.
    static constexpr qsizetype kCachedLength = 4096;
    struct Cache {
        struct Entry {
            CString xml;
            CBinding binding;
            bool parsed = false;
            bool used = false;
        };
        // Round and round: a label whose objects take turns with more bindings than this
        // parses every one of them.
        std::array<Entry, 32> entries;
        size_t next = 0;
    };
    static Cache& TheCache()
    {
        static Cache cache;
        return cache;
    }

    // A shared parser for the time of one load or change, its documents freed afterwards; one
    // keeps entity references as the text has them, the other puts their text in their place.
    class Session
    {
    public:
        enum Use { AsWritten, Expanded };
        explicit Session(Use use) : m_parser(Parser(use)) {}
        ~Session() { m_parser.Reset(); }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        DOMDocument* Parse(const CString& xml) const { return m_parser.Parse(xml); }

    private:
        static CXmlHelper& Parser(Use use)
        {
            static CXmlHelper asWritten;
            static CXmlHelper expanded(CXmlHelper::EntitiesExpanded);
            return use == AsWritten ? asWritten : expanded;
        }
        CXmlHelper& m_parser;
    };

    static DOMElement* Database(DOMDocument* doc)
    {
        DOMNodeList* databases = doc->getElementsByTagName(u"Database");
        return databases ? static_cast<DOMElement*>(databases->item(0)) : nullptr;
    }

    // The items and marker table of a parsed document; its text is the caller's.
    static CBinding Read(DOMDocument* doc)
    {
        CBinding b;
        const DOMElement* database = Database(doc);
        if (!database)
            return b;
        b.m_hasDatabase = true;
        if (const DOMElement* first = database->getFirstElementChild()) {
            b.m_hasElement = true;
            b.m_firstTable = FromX(first->getAttribute(u"TableName"));
        }
        ForEachElementBelow(const_cast<DOMElement*>(database), [&b](const DOMElement* e) {
            if (XMLString::equals(e->getTagName(), u"DataItem"))
                b.m_items.push_back({FromX(e->getAttribute(u"TableName")), FromX(e->getAttribute(u"FieldName")),
                                     FromX(e->getAttribute(u"Prefix")), FromX(e->getAttribute(u"Suffix"))});
        });
        return b;
    }

    // The document read, with the library's writing of it as its text.
    static CBinding Written(DOMDocument* doc)
    {
        CBinding b = Read(doc);
        b.m_xml = CXmlHelper::ToString(doc);
        return b;
    }

    // Whether the binding's text parses to the binding again.
    static bool ReadsBack(const Session& session, const CBinding& b)
    {
        if (b.m_xml.isEmpty())
            return false;
        DOMDocument* doc = session.Parse(b.m_xml);
        if (!doc)
            return false;
        const CBinding again = Read(doc);
        return again.m_hasDatabase == b.m_hasDatabase && again.m_hasElement == b.m_hasElement &&
               again.m_firstTable == b.m_firstTable && again.m_items == b.m_items;
    }

    // Removes the document type, its default attributes written out: without entity references
    // nothing else of it has a bearing on the items.
    static void WithoutDocumentType(DOMDocument* doc)
    {
        DOMDocumentType* type = doc->getDoctype();
        if (!type)
            return;
        ForEachElementBelow(doc, [](DOMElement* e) {
            DOMNamedNodeMap* attributes = e->getAttributes();
            for (XMLSize_t k = 0; attributes && k < attributes->getLength(); ++k) {
                auto* a = static_cast<DOMAttr*>(attributes->item(k));
                if (!a->getSpecified())
                    a->setValue(X(FromX(a->getValue())));
            }
        });
        doc->removeChild(type);
    }

    // Turns what the document's version cannot hold into spaces, in every attribute and every
    // character data of a document without entity references. The walk is a loop, not a
    // recursion: a hostile document may nest deeply.
    static void MakeWritable(DOMDocument* doc)
    {
        const bool xml11 = IsXml11(doc);
        const auto mended = [xml11](const XMLCh* value, CString* out) {
            const CString text = FromX(value);
            *out = WritableIn(text, xml11);
            return *out != text;
        };
        CString text;
        DOMNode* node = doc->getFirstChild();
        while (node) {
            DOMNode* next = nullptr;
            switch (node->getNodeType()) {
            case DOMNode::ELEMENT_NODE:
                if (DOMNamedNodeMap* attributes = node->getAttributes()) {
                    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
                        auto* a = static_cast<DOMAttr*>(attributes->item(i));
                        if (mended(a->getValue(), &text))
                            a->setValue(X(text));
                    }
                }
                next = node->getFirstChild();
                break;
            case DOMNode::TEXT_NODE:
            case DOMNode::CDATA_SECTION_NODE:
            case DOMNode::COMMENT_NODE: {
                auto* data = static_cast<DOMCharacterData*>(node);
                if (mended(data->getData(), &text))
                    data->setData(X(text));
                break;
            }
            case DOMNode::PROCESSING_INSTRUCTION_NODE: {
                auto* pi = static_cast<DOMProcessingInstruction*>(node);
                if (mended(pi->getData(), &text))
                    pi->setData(X(text));
                break;
            }
            default:
                break;
            }
            if (!next) {
                while (node != doc && !node->getNextSibling())
                    node = node->getParentNode();
                next = node == doc ? nullptr : node->getNextSibling();
            }
            node = next;
        }
    }
};

BOOL LoadBindingDocument(CContentBlock& block, const CString& xml)
{
    return CBindingReader::Load(block.binding, xml) ? TRUE : FALSE;
}

BOOL AddDataItem(CContentBlock& block, const CString& table, const CString& field,
                 const CString& prefix, const CString& suffix)
{
    return CBindingReader::Change(block.binding, [&](DOMDocument* doc, DOMElement* database) {
        CBindingReader::AppendItem(doc, database, {table, field, prefix, suffix});
    }) ? TRUE : FALSE;
}

BOOL ReplaceDataItems(CContentBlock& block, const std::vector<CDataItem>& items)
{
    return CBindingReader::Change(
               block.binding,
               [&](DOMDocument* doc, DOMElement* database) {
                   CBindingReader::RemoveElementsBelow(database);
                   for (const CDataItem& item : items)
                       CBindingReader::AppendItem(doc, database, item);
               },
               true)
               ? TRUE
               : FALSE;
}

const std::vector<CDataItem>& GetDataItems(const CContentBlock& block)
{
    return block.binding.Items();
}

void RemoveAllDataItems(CContentBlock& block)
{
    // Without an element below the database element there is nothing to remove: the document
    // stays exactly as it is.
    if (!block.binding.FirstElementTable())
        return;
    CBindingReader::Change(block.binding,
                           [](DOMDocument*, DOMElement* database) { CBindingReader::RemoveElementsBelow(database); });
}
