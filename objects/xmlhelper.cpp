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

BOOL LoadBindingDocument(CXmlHelper& helper, CContentBlock& block, const CString& xml)
{
    block.document = nullptr;
    block.root = nullptr;
    block.database = nullptr;
    helper.Reset();
    DOMDocument* doc = helper.Parse(xml);
    if (!doc)
        return FALSE;
    block.document = doc;
    block.root = doc->getDocumentElement();
    DOMNodeList* databases = doc->getElementsByTagName(u"Database");
    block.database = databases ? static_cast<DOMElement*>(databases->item(0)) : nullptr;
    return TRUE;
}

BOOL AddDataItem(CContentBlock& block, const CString& table, const CString& field,
                 const CString& prefix, const CString& suffix)
{
    if (!block.document || !block.database)
        return FALSE;
    DOMElement* item = block.document->createElement(u"DataItem");
    block.database->appendChild(item);
    item->setAttribute(u"TableName", X(WithoutDisallowedXmlChars(table)));
    item->setAttribute(u"FieldName", X(WithoutDisallowedXmlChars(field)));
    item->setAttribute(u"Prefix", X(WithoutDisallowedXmlChars(prefix)));
    item->setAttribute(u"Suffix", X(WithoutDisallowedXmlChars(suffix)));
    return TRUE;
}

std::vector<CDataItem> GetDataItems(const CContentBlock& block)
{
    std::vector<CDataItem> items;
    if (!block.database)
        return items;
    DOMNodeList* list = block.database->getElementsByTagName(u"DataItem");
    for (XMLSize_t i = 0; i < list->getLength(); ++i) {
        const auto* e = static_cast<const DOMElement*>(list->item(i));
        items.push_back({FromX(e->getAttribute(u"TableName")), FromX(e->getAttribute(u"FieldName")),
                         FromX(e->getAttribute(u"Prefix")), FromX(e->getAttribute(u"Suffix"))});
    }
    return items;
}

void RemoveAllDataItems(CContentBlock& block)
{
    if (!block.database)
        return;
    DOMNodeList* items = block.database->getElementsByTagName(u"*");
    // The list is live and in document order, so the last entry is never an ancestor of
    // another entry. It may sit deeper than a direct child (hand-edited XML), hence its own
    // parent does the removal.
    while (items->getLength() > 0) {
        DOMNode* last = items->item(items->getLength() - 1);
        last->getParentNode()->removeChild(last);
        last->release();
    }
}
