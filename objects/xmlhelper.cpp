#include "objects/xmlhelper.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
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

CString FromX(const XMLCh* s)
{
    return s ? QString::fromUtf16(s) : CString();
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

// The same clean-up Parse applies, for text going into a document: a character XML does not
// allow would make the whole document unwritable.
CString WithoutDisallowedXmlChars(const CString& text)
{
    CString out = text;
    for (QChar& c : out) {
        if (IsDisallowedXmlChar(c.unicode()))
            c = QLatin1Char(' ');
    }
    return out;
}

// Binding XML never needs entities of its own; this bounds what a hostile file can expand.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

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

CXmlHelper::CXmlHelper()
{
    EnsureXmlPlatform();
    m_errors = std::make_unique<ErrorRecorder>();
    m_security = std::make_unique<SecurityManager>();
    m_security->setEntityExpansionLimit(kEntityExpansionLimit);
    m_parser = std::make_unique<XercesDOMParser>(nullptr, XMLPlatformUtils::fgMemoryManager);
    m_parser->setErrorHandler(m_errors.get());
    // Stored labels must not make the parser read files or the network.
    m_parser->setLoadExternalDTD(false);
    m_parser->setDisableDefaultEntityResolution(true);
    m_parser->setSecurityManager(m_security.get());
}

CXmlHelper::~CXmlHelper()
{
    Reset();
}

void CXmlHelper::Reset()
{
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
    }
    if (!m_errors->messages.isEmpty() || m_parser->getErrorCount() != 0)
        return nullptr;
    return m_parser->getDocument();
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
            const Session session;
            if (DOMDocument* doc = session.Parse(xml)) {
                read = Read(doc, xml);
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
    // changed document back. FALSE, changing nothing, when it has no database element.
    template <typename Edit>
    static bool Change(CBinding& binding, Edit edit)
    {
        if (!binding.m_hasDatabase)
            return false;
        const Session session;
        const CString source = binding.m_xml.isEmpty() ? binding.m_unwritten : binding.m_xml;
        DOMDocument* doc = session.Parse(source);
        DOMElement* database = doc ? Database(doc) : nullptr;
        if (!database)
            return false;
        edit(doc, database);
        binding = Read(doc, source);
        return true;
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

    // The shared parser for the time of one parse, its documents freed afterwards.
    class Session
    {
    public:
        Session() : m_parser(Parser()) {}
        ~Session() { m_parser.Reset(); }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        DOMDocument* Parse(const CString& xml) const { return m_parser.Parse(xml); }

    private:
        static CXmlHelper& Parser()
        {
            static CXmlHelper parser;
            return parser;
        }
        CXmlHelper& m_parser;
    };

    static DOMElement* Database(DOMDocument* doc)
    {
        DOMNodeList* databases = doc->getElementsByTagName(u"Database");
        return databases ? static_cast<DOMElement*>(databases->item(0)) : nullptr;
    }

    // The parsed document, read from `source`.
    static CBinding Read(DOMDocument* doc, const CString& source)
    {
        CBinding b;
        b.m_xml = CXmlHelper::ToString(doc);
        // A document the library cannot write (an XML 1.1 control character, say) is written
        // back empty, as it always was; a change starts again from the text it was read from.
        if (b.m_xml.isEmpty())
            b.m_unwritten = source;
        const DOMElement* database = Database(doc);
        if (!database)
            return b;
        b.m_hasDatabase = true;
        if (const DOMElement* first = database->getFirstElementChild()) {
            b.m_hasElement = true;
            b.m_firstTable = FromX(first->getAttribute(u"TableName"));
        }
        DOMNodeList* list = database->getElementsByTagName(u"DataItem");
        for (XMLSize_t i = 0; i < list->getLength(); ++i) {
            const auto* e = static_cast<const DOMElement*>(list->item(i));
            b.m_items.push_back({FromX(e->getAttribute(u"TableName")), FromX(e->getAttribute(u"FieldName")),
                                 FromX(e->getAttribute(u"Prefix")), FromX(e->getAttribute(u"Suffix"))});
        }
        return b;
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
        DOMElement* item = doc->createElement(u"DataItem");
        database->appendChild(item);
        item->setAttribute(u"TableName", X(WithoutDisallowedXmlChars(table)));
        item->setAttribute(u"FieldName", X(WithoutDisallowedXmlChars(field)));
        item->setAttribute(u"Prefix", X(WithoutDisallowedXmlChars(prefix)));
        item->setAttribute(u"Suffix", X(WithoutDisallowedXmlChars(suffix)));
    }) ? TRUE : FALSE;
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
    CBindingReader::Change(block.binding, [](DOMDocument*, DOMElement* database) {
        DOMNodeList* items = database->getElementsByTagName(u"*");
        // The list is live and in document order, so the last entry is never an ancestor of
        // another entry. It may sit deeper than a direct child (hand-edited XML), hence its own
        // parent does the removal.
        while (items->getLength() > 0) {
            DOMNode* last = items->item(items->getLength() - 1);
            last->getParentNode()->removeChild(last);
            last->release();
        }
    });
}
