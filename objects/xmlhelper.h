#pragma once
// The data-source binding document of text and barcode objects: its parser, its text form and
// the content block that holds its items together with the object's serial-number settings.

#include "framework/types.h"

#include <QStringList>
#include <memory>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMNode;
class SecurityManager;
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END

// Initialises the XML library once for the process (the application calls it at start-up;
// everything here calls it too, so forgetting it is harmless). The library is shut down at exit,
// after every object that called this first.
void EnsureXmlPlatform();

// Parses binding texts and owns every document it has made. Documents stay valid until Reset or
// destruction, also across later calls to Parse. Each parse starts afresh: what one text
// declared (its XML version above all) says nothing about the next.
class CXmlHelper
{
public:
    enum Entities {
        EntityReferences,  // references stay nodes of their own, as the text has them
        EntitiesExpanded,  // their text stands in their place, as changeable nodes
    };
    explicit CXmlHelper(Entities entities = EntityReferences);
    ~CXmlHelper();
    CXmlHelper(const CXmlHelper&) = delete;
    CXmlHelper& operator=(const CXmlHelper&) = delete;

    // Elements and entity references nested deeper than this make a text one that does not
    // parse. A binding needs three levels; the bound keeps every later walk of a document, the
    // library's writer above all, from recursing deeply.
    static constexpr int kMaxDepth = 256;

    // Parses UTF-16 XML text. When it does not parse, characters XML does not allow are turned
    // into spaces and the text is parsed again; NULL when that does not help either.
    xercesc::DOMDocument* Parse(const CString& xml);
    // Frees every document made so far.
    void Reset();
    // Messages of the errors of the last parse (empty when it succeeded).
    const QStringList& LastErrors() const;

    // The node written as XML with a declaration and no added indentation; empty for NULL.
    static CString ToString(const xercesc::DOMNode* node);

private:
    class ErrorRecorder;
    class DomParser;
    xercesc::DOMDocument* ParseOnce(const CString& xml);
    void MakeParser();
    void BackToXml10();

    Entities m_entities;
    std::unique_ptr<ErrorRecorder> m_errors;
    std::unique_ptr<xercesc::SecurityManager> m_security;
    std::unique_ptr<DomParser> m_parser;  // refers to the two above
    std::vector<xercesc::DOMDocument*> m_documents;  // taken over from the parser
};

// What a text object shows.
enum ContentMode {
    CONTENT_FIXED = 0,   // the stored text
    CONTENT_SERIAL = 1,  // a serial number counted from the stored text
    CONTENT_DATA = 2,    // a database field bound through the binding document
};

// Text alignment of each line within the object.
enum ContentAlignment {
    ALIGN_LEFT = 0,
    ALIGN_CENTRE = 1,
    ALIGN_RIGHT = 2,
};

// One "DataItem" of the database element, its attributes as stored.
struct CDataItem
{
    CString table;
    CString field;
    CString prefix;
    CString suffix;

    bool operator==(const CDataItem&) const = default;
};

// The data-source binding document of a text object, read into plain values when it is loaded:
// no object keeps a parser or a document of its own. Changes go through one parser that every
// object shares. The text written back is the XML library's own writing of the document, except
// for a document read from a text that the library cannot write so that it reads back the same:
// that one is written back as it was read until it is changed. A changed document is always one
// the library can write: what it could not write of the rest of the document becomes spaces, and
// then, as when an edit reaches into an entity reference, its references are written as the text
// they stand for.
class CBinding
{
public:
    // The document as it is written back (a declaration, then the document, or the text as it
    // was read); empty without one.
    const CString& Xml() const { return m_xml; }
    // Whether the document has a "Database" element to hold data items.
    bool HasDatabase() const { return m_hasDatabase; }
    // The "DataItem" elements below the first database element, in document order.
    const std::vector<CDataItem>& Items() const { return m_items; }
    // The "TableName" of the first element below the database element; null when it has none.
    const CString* FirstElementTable() const { return m_hasElement ? &m_firstTable : nullptr; }

private:
    friend class CBindingReader;
    CString m_xml;
    std::vector<CDataItem> m_items;
    CString m_firstTable;
    bool m_hasDatabase = false;
    bool m_hasElement = false;
};

// The content settings of a text object, shared with its data-source page.
struct CContentBlock
{
    CBinding binding;
    int mode = CONTENT_FIXED;
    CString prefix;      // before a serial number; also the single item's prefix in old files
    CString suffix;
    int step = 0;        // serial increment per group of labels
    int repeat = 1;      // labels that share one serial value
    int direction = 0;   // SerialDirection
    CString workingText; // scratch string of the data-source page, never stored
    int sizingMode = 0;  // 0: text shrinks to fit the box; 1: font follows the box
    int alignment = ALIGN_LEFT;
};

// The binding document of a new object: one empty "Database" inside "DataSource". The tab runs
// are kept as text and written back unchanged.
CString BindingTemplate();

// Makes the parsed text the block's binding. Returns FALSE, leaving the block without a
// document, when the text does not parse.
BOOL LoadBindingDocument(CContentBlock& block, const CString& xml);

// Appends a "DataItem" with the four attributes to the database element. Characters that the
// document's XML version cannot hold as they are become spaces (those XML does not allow, lone
// surrogates, and in XML 1.1 the C1 controls and the line separator, which a reader would change),
// so that the document can still be written and reads back with the same items. FALSE when the
// block has no database element.
BOOL AddDataItem(CContentBlock& block, const CString& table, const CString& field,
                 const CString& prefix, const CString& suffix);

// Replaces every element below the database element by one "DataItem" per item, in order, its
// values made writable as AddDataItem makes them. A document without a database element gets
// one, as the last child of its document element. FALSE, changing nothing, when the block has no
// document or the changed document cannot be written so that it reads back with these items.
BOOL ReplaceDataItems(CContentBlock& block, const std::vector<CDataItem>& items);

// The block's data items in document order; none without a database element.
const std::vector<CDataItem>& GetDataItems(const CContentBlock& block);

// Removes every element below the database element; the text between them stays.
void RemoveAllDataItems(CContentBlock& block);
