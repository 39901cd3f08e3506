// Workbooks of XML parts (.xlsx): the zip read with libzip, each part streamed through a Xerces
// SAX2 parser, every part capped as it is read. Only the first row of a sheet names the columns.

#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/sqlitesource.h"
#include "data/importtable.h"
#include "data/values.h"
#include "framework/resourcemodule.h"

#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <zip.h>

#include <QDateTime>
#include <QFile>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <set>

using namespace xercesc;

namespace {

constexpr std::uint64_t kPartCap = 256ull << 20;  // bytes of one part, as inflated
constexpr std::uint64_t kBookCap = 512ull << 20;  // bytes of all parts of a workbook together
constexpr int kMaxColumns = 16384;
// Elements of a part inside one another: real parts nest a dozen deep at most. The parser's cost
// per start tag grows with the depth, so a part nested hundreds of thousands deep would take
// minutes; it is refused at this depth instead.
constexpr int kMaxDepth = 256;

struct XlsxError
{
    QString message;
};

// A sheet with values in more columns than a table of the engine can have.
struct TooWide
{
    std::string table;
    int columns;
};

[[noreturn]] void Fail(const QString& message)
{
    throw XlsxError{message};
}

void AppendUtf8(std::string& out, const XMLCh* s, XMLSize_t n)
{
    for (XMLSize_t i = 0; i < n; ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < n && s[i + 1] >= 0xdc00 && s[i + 1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (s[i + 1] - 0xdc00);
            ++i;
        } else if (c >= 0xd800 && c < 0xe000) {
            c = 0xfffd;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xc0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3f)));
        } else if (c < 0x10000) {
            out.push_back(char(0xe0 | c >> 12));
            out.push_back(char(0x80 | (c >> 6 & 0x3f)));
            out.push_back(char(0x80 | (c & 0x3f)));
        } else {
            out.push_back(char(0xf0 | c >> 18));
            out.push_back(char(0x80 | (c >> 12 & 0x3f)));
            out.push_back(char(0x80 | (c >> 6 & 0x3f)));
            out.push_back(char(0x80 | (c & 0x3f)));
        }
    }
}

std::string Utf8(const XMLCh* s)
{
    std::string out;
    if (s)
        AppendUtf8(out, s, XMLString::stringLen(s));
    return out;
}

bool Is(const XMLCh* name, const char* ascii)
{
    for (; *ascii; ++name, ++ascii)
        if (*name != XMLCh(*ascii))
            return false;
    return *name == 0;
}

// The value of the attribute with this local name, whatever its namespace.
const XMLCh* Attribute(const Attributes& attributes, const char* localName)
{
    for (XMLSize_t i = 0; i < attributes.getLength(); ++i)
        if (Is(attributes.getLocalName(i), localName))
            return attributes.getValue(i);
    return nullptr;
}

class ZipPartStream : public BinInputStream {
public:
    ZipPartStream(zip_file_t* file, std::string name, std::uint64_t& bookRead)
        : m_file(file), m_name(std::move(name)), m_bookRead(bookRead)
    {
    }
    ~ZipPartStream() override { zip_fclose(m_file); }
    XMLFilePos curPos() const override { return m_read; }
    XMLSize_t readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) override
    {
        const zip_int64_t n = zip_fread(m_file, toFill, maxToRead);
        if (n < 0)
            Fail(LoadMessage(445, "the part %1 is damaged (%2)")
                     .arg(QString::fromStdString(m_name), QString::fromUtf8(zip_file_strerror(m_file))));
        m_read += std::uint64_t(n);
        m_bookRead += std::uint64_t(n);
        if (m_read > kPartCap)
            Fail(LoadMessage(446, "the part %1 is larger than 256 MiB").arg(QString::fromStdString(m_name)));
        if (m_bookRead > kBookCap)
            Fail(LoadMessage(447, "its parts together are larger than 512 MiB"));
        return XMLSize_t(n);
    }
    const XMLCh* getContentType() const override { return nullptr; }

private:
    zip_file_t* m_file;
    std::string m_name;
    std::uint64_t m_read = 0;
    std::uint64_t& m_bookRead;
};

class ZipPartSource : public InputSource {
public:
    ZipPartSource(zip_file_t* file, std::string name, std::uint64_t& bookRead)
        : m_file(file), m_name(std::move(name)), m_bookRead(bookRead)
    {
    }
    ~ZipPartSource() override
    {
        if (m_file)
            zip_fclose(m_file);
    }
    BinInputStream* makeStream() const override
    {
        auto* stream = new ZipPartStream(m_file, m_name, m_bookRead);
        m_file = nullptr;
        return stream;
    }

private:
    mutable zip_file_t* m_file;
    std::string m_name;
    std::uint64_t& m_bookRead;
};

// Parses with everything a document type could bring turned off: a DOCTYPE ends the parse.
// Counts how deep the elements nest and hands them on to StartElement and EndElement.
class Handler : public DefaultHandler {
public:
    void SetPart(const std::string& part)
    {
        m_part = part;
        m_depth = 0;
    }
    void startElement(const XMLCh* const uri, const XMLCh* const localname, const XMLCh* const qname,
                      const Attributes& attributes) final
    {
        if (++m_depth > kMaxDepth)
            Fail(CResourceModule::Get().LoadString(742).arg(QString::fromStdString(m_part)).arg(kMaxDepth));
        StartElement(uri, localname, qname, attributes);
    }
    void endElement(const XMLCh* const uri, const XMLCh* const localname, const XMLCh* const qname) final
    {
        --m_depth;
        EndElement(uri, localname, qname);
    }
    virtual void StartElement(const XMLCh* const, const XMLCh* const, const XMLCh* const, const Attributes&) {}
    virtual void EndElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) {}
    void startDTD(const XMLCh* const, const XMLCh* const, const XMLCh* const) override
    {
        Fail(LoadMessage(448, "a part declares a document type"));
    }
    void fatalError(const SAXParseException& e) override
    {
        Fail(LoadMessage(449, "a part is not well-formed XML (line %1: %2)")
                 .arg(e.getLineNumber())
                 .arg(QString::fromStdString(Utf8(e.getMessage()))));
    }

private:
    std::string m_part;
    int m_depth = 0;
};

class Workbook {
public:
    explicit Workbook(zip_t* zip) : m_zip(zip) {}

    bool Has(const std::string& name) const { return zip_name_locate(m_zip, name.c_str(), 0) >= 0; }

    void Parse(const std::string& name, Handler& handler)
    {
        zip_file_t* file = zip_fopen(m_zip, name.c_str(), 0);
        if (!file)
            Fail(LoadMessage(450, "the part %1 cannot be read (%2)")
                     .arg(QString::fromStdString(name), QString::fromUtf8(zip_strerror(m_zip))));
        ZipPartSource source(file, name, m_read);
        std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
        reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
        reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
        reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
        reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
        handler.SetPart(name);
        reader->setContentHandler(&handler);
        reader->setLexicalHandler(&handler);
        reader->setErrorHandler(&handler);
        reader->parse(source);
    }

private:
    zip_t* m_zip;
    std::uint64_t m_read = 0;  // inflated bytes of every part parsed
};

struct SheetRef
{
    std::string name;
    std::string relationship;
    std::string part;
};

class WorkbookHandler : public Handler {
public:
    std::vector<SheetRef> sheets;
    bool date1904 = false;
    void StartElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const,
                      const Attributes& attributes) override
    {
        if (Is(localname, "sheet")) {
            sheets.push_back({Utf8(Attribute(attributes, "name")), Utf8(Attribute(attributes, "id")), {}});
        } else if (Is(localname, "workbookPr")) {
            const std::string v = Utf8(Attribute(attributes, "date1904"));
            date1904 = v == "1" || v == "true";
        }
    }
};

class RelationshipsHandler : public Handler {
public:
    std::map<std::string, std::string> targets;
    void StartElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const,
                      const Attributes& attributes) override
    {
        if (Is(localname, "Relationship"))
            targets[Utf8(Attribute(attributes, "Id"))] = Utf8(Attribute(attributes, "Target"));
    }
};

class SharedStringsHandler : public Handler {
public:
    std::vector<std::string> strings;
    std::uint64_t bytes = 0;
    void StartElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const, const Attributes&) override
    {
        if (Is(localname, "si"))
            strings.emplace_back();
        else if (Is(localname, "t"))
            m_inText = m_phonetic == 0 && !strings.empty();
        else if (Is(localname, "rPh"))
            ++m_phonetic;
    }
    void EndElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const) override
    {
        if (Is(localname, "t"))
            m_inText = false;
        else if (Is(localname, "rPh"))
            --m_phonetic;
    }
    void characters(const XMLCh* const chars, const XMLSize_t length) override
    {
        if (!m_inText)
            return;
        AppendUtf8(strings.back(), chars, length);
        bytes += length;
        if (bytes > kPartCap)
            Fail(LoadMessage(451, "the shared strings are larger than 256 MiB"));
    }

private:
    bool m_inText = false;
    int m_phonetic = 0;
};

// A number format shows a date when it is one of the built-in date formats, or when its code
// has a date or time letter outside quotes, brackets and escapes.
bool IsDateFormatCode(const std::string& code)
{
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
            continue;
        }
        switch (c) {
        case '"':
            quoted = true;
            break;
        case '\\':
        case '_':
        case '*':
            ++i;
            break;
        case '[': {
            const std::size_t end = code.find(']', i);
            if (end == std::string::npos)
                return false;
            // Elapsed time ([h], [mm], [ss]) is a time; colours and conditions are not.
            const std::string inside = code.substr(i + 1, end - i - 1);
            if (!inside.empty() && (inside[0] == 'h' || inside[0] == 'H' || inside[0] == 'm' || inside[0] == 'M'
                                    || inside[0] == 's' || inside[0] == 'S')
                && inside.find_first_not_of("hHmMsS") == std::string::npos)
                return true;
            i = end;
            break;
        }
        case 'd': case 'D': case 'm': case 'M': case 'y': case 'Y': case 'h': case 'H': case 's': case 'S':
            return true;
        default:
            break;
        }
    }
    return false;
}

bool IsBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

class StylesHandler : public Handler {
public:
    std::vector<bool> dateStyle;  // by cell style index
    void StartElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const,
                      const Attributes& attributes) override
    {
        if (Is(localname, "numFmt")) {
            const std::string id = Utf8(Attribute(attributes, "numFmtId"));
            m_formats[std::atoi(id.c_str())] = IsDateFormatCode(Utf8(Attribute(attributes, "formatCode")));
        } else if (Is(localname, "cellXfs")) {
            m_inCellXfs = true;
        } else if (Is(localname, "xf") && m_inCellXfs) {
            const int id = std::atoi(Utf8(Attribute(attributes, "numFmtId")).c_str());
            const auto found = m_formats.find(id);
            dateStyle.push_back(found != m_formats.end() ? found->second : IsBuiltInDateFormat(id));
            if (dateStyle.size() > 1u << 20)
                Fail(LoadMessage(452, "the styles are too many"));
        }
    }
    void EndElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const) override
    {
        if (Is(localname, "cellXfs"))
            m_inCellXfs = false;
    }

private:
    std::map<int, bool> m_formats;
    bool m_inCellXfs = false;
};

class SheetHandler : public Handler {
public:
    SheetHandler(CImportTable& table, const std::vector<std::string>& strings, const std::vector<bool>& dateStyle,
                 bool date1904)
        : m_table(table), m_strings(strings), m_dateStyle(dateStyle), m_date1904(date1904)
    {
    }

    void StartElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const,
                      const Attributes& attributes) override
    {
        if (Is(localname, "row")) {
            m_cells.clear();
            m_nextColumn = 0;
            // Rows missing between two rows are empty rows of the sheet's range.
            const std::string r = Utf8(Attribute(attributes, "r"));
            const long number = r.empty() ? m_lastRow + 1 : std::atol(r.c_str());
            if (number < 1 || number > 1048576)
                Fail(LoadMessage(453, "a row lies beyond the last row"));
            if (m_headerDone && number > m_lastRow + 1)
                m_emptyRows += std::size_t(number - m_lastRow - 1);
            m_lastRow = std::max(m_lastRow, number);
        } else if (Is(localname, "c")) {
            m_type = Utf8(Attribute(attributes, "t"));
            const std::string style = Utf8(Attribute(attributes, "s"));
            const std::size_t s = std::size_t(std::atol(style.c_str()));
            m_date = s < m_dateStyle.size() && m_dateStyle[s];
            m_column = ColumnOf(Attribute(attributes, "r"));
            m_value.clear();
            m_inCell = true;
        } else if (m_inCell && (Is(localname, "v") || (Is(localname, "t") && m_type == "inlineStr"))) {
            m_inValue = m_phonetic == 0;
        } else if (Is(localname, "rPh")) {
            ++m_phonetic;
        }
    }

    void EndElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const) override
    {
        if (Is(localname, "v") || Is(localname, "t")) {
            m_inValue = false;
        } else if (Is(localname, "rPh")) {
            --m_phonetic;
        } else if (Is(localname, "c")) {
            m_inCell = false;
            AddCell();
        } else if (Is(localname, "row")) {
            EndRow();
        }
    }

    void characters(const XMLCh* const chars, const XMLSize_t length) override
    {
        if (m_inValue) {
            AppendUtf8(m_value, chars, length);
            if (m_value.size() > kPartCap)
                Fail(LoadMessage(454, "a cell is larger than 256 MiB"));
        }
    }

    // The columns of the sheet when some lie beyond those the engine takes, else 0.
    int Width() const { return m_width; }

private:
    int ColumnOf(const XMLCh* reference)
    {
        if (!reference)
            return m_nextColumn;
        int column = 0;
        bool letters = false;
        for (; *reference >= 'A' && *reference <= 'Z'; ++reference) {
            column = column * 26 + (*reference - 'A' + 1);
            letters = true;
            if (column > kMaxColumns)
                Fail(LoadMessage(455, "a cell lies beyond the last column"));
        }
        return letters ? column - 1 : m_nextColumn;
    }

    void AddCell()
    {
        m_nextColumn = m_column + 1;
        CImportCell::Kind kind = CImportCell::Text;
        std::string text;
        if (m_type == "s") {
            const std::size_t index = std::size_t(std::atoll(m_value.c_str()));
            if (m_value.empty() || index >= m_strings.size())
                return;
            text = m_strings[index];
        } else if (m_type == "str" || m_type == "inlineStr") {
            text = m_value;
        } else if (m_type == "b") {
            text = FormatBool(m_value == "1" || m_value == "true").toStdString();
        } else if (m_type == "e") {
            return;  // an error value reads as an empty cell
        } else if (m_type == "d") {
            const QDateTime when = QDateTime::fromString(QString::fromStdString(m_value), Qt::ISODate);
            if (!when.isValid())
                return;
            const double days = double(QDate(1899, 12, 30).daysTo(when.date())) + when.time().msecsSinceStartOfDay() / 86400000.0;
            text = FormatDateSerial(days).toStdString();
        } else {
            double v = 0;
            const char* b = m_value.data();
            const auto parsed = std::from_chars(b, b + m_value.size(), v);
            if (m_value.empty() || parsed.ec != std::errc() || !std::isfinite(v))
                return;
            if (m_date) {
                text = FormatDateSerial(m_date1904 ? v + 1462 : v).toStdString();
            } else {
                kind = CImportCell::Number;
                text = FormatNumber(v).toStdString();
            }
        }
        if (text.empty())
            return;
        // Beyond the columns the engine takes only the width is kept, for the message.
        if (m_column >= CSqliteSource::kColumnLimit)
            m_width = std::max(m_width, m_column + 1);
        else
            m_cells.push_back({m_column, kind, std::move(text)});
    }

    void EndRow()
    {
        if (m_cells.empty()) {
            if (m_headerDone)
                ++m_emptyRows;
            return;
        }
        std::sort(m_cells.begin(), m_cells.end(), [](const Cell& a, const Cell& b) { return a.column < b.column; });
        if (!m_headerDone) {
            m_headerDone = true;
            for (const Cell& cell : m_cells) {
                if (m_table.header.size() <= std::size_t(cell.column))
                    m_table.header.resize(std::size_t(cell.column) + 1);
                m_table.header[std::size_t(cell.column)] = cell.text;
            }
            return;
        }
        // Empty rows between filled ones stay as empty records; those at the end are dropped.
        for (; m_emptyRows > 0; --m_emptyRows) {
            m_table.BeginRow();
            m_table.AddNull();
        }
        m_table.BeginRow();
        int column = 0;
        for (const Cell& cell : m_cells) {
            for (; column < cell.column; ++column)
                m_table.AddNull();
            if (column > cell.column)
                continue;  // the same cell twice: the first counts
            m_table.Add(cell.kind, cell.text);
            ++column;
        }
    }

    struct Cell
    {
        int column;
        CImportCell::Kind kind;
        std::string text;
    };
    CImportTable& m_table;
    const std::vector<std::string>& m_strings;
    const std::vector<bool>& m_dateStyle;
    bool m_date1904;
    std::vector<Cell> m_cells;
    std::string m_type;
    std::string m_value;
    int m_column = 0;
    int m_nextColumn = 0;
    int m_width = 0;  // the last column with a value beyond the engine's columns
    int m_phonetic = 0;
    bool m_date = false;
    bool m_inCell = false;
    bool m_inValue = false;
    bool m_headerDone = false;
    std::size_t m_emptyRows = 0;
    long m_lastRow = 0;
};

// "worksheets/sheet1.xml" relative to xl/, or an absolute "/xl/worksheets/sheet1.xml".
std::string PartName(const std::string& target)
{
    if (!target.empty() && target[0] == '/')
        return target.substr(1);
    return "xl/" + target;
}

// The parser is set up once for the process; Xerces counts its users, so this does not disturb
// the program's own use of it.
void InitXerces()
{
    static const bool done = [] {
        XMLPlatformUtils::Initialize();
        return true;
    }();
    (void)done;
}

void ReadZip(zip_t* zip, std::vector<CImportTable>& tables)
{
    InitXerces();
    Workbook book(zip);
    if (!book.Has("xl/workbook.xml"))
        Fail(LoadMessage(456, "it holds no workbook"));
    WorkbookHandler workbook;
    book.Parse("xl/workbook.xml", workbook);
    RelationshipsHandler relationships;
    if (book.Has("xl/_rels/workbook.xml.rels"))
        book.Parse("xl/_rels/workbook.xml.rels", relationships);
    SharedStringsHandler shared;
    if (book.Has("xl/sharedStrings.xml"))
        book.Parse("xl/sharedStrings.xml", shared);
    StylesHandler styles;
    if (book.Has("xl/styles.xml"))
        book.Parse("xl/styles.xml", styles);
    std::set<std::string> read;
    for (const SheetRef& sheet : workbook.sheets) {
        const auto target = relationships.targets.find(sheet.relationship);
        if (target == relationships.targets.end())
            continue;
        const std::string part = PartName(target->second);
        if (!book.Has(part))
            continue;  // a chart sheet or a missing part
        // Sheets of a workbook have parts of their own; a part named again is not read again.
        if (!read.insert(part).second)
            continue;
        CImportTable table;
        table.name = sheet.name + "$";
        table.typed = true;
        SheetHandler handler(table, shared.strings, styles.dateStyle, workbook.date1904);
        book.Parse(part, handler);
        if (handler.Width() > 0)
            throw TooWide{table.name, handler.Width()};
        tables.push_back(std::move(table));
    }
}

void Read(zip_source_t* source, std::vector<CImportTable>& tables, const CString& fileName)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!zip) {
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        zip_source_free(source);
        throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(fileName, why));
    }
    zip_error_fini(&error);
    try {
        ReadZip(zip, tables);
    } catch (const XlsxError& e) {
        zip_discard(zip);
        throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(fileName, e.message));
    } catch (const TooWide& e) {
        zip_discard(zip);
        throw CBarcodeDBException(
            CSqliteSource::TooManyColumns(fileName, e.table, std::size_t(e.columns)));
    } catch (const XMLException& e) {
        zip_discard(zip);
        throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2")
                                      .arg(fileName, QString::fromStdString(Utf8(e.getMessage()))));
    } catch (const SAXException& e) {
        zip_discard(zip);
        throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2")
                                      .arg(fileName, QString::fromStdString(Utf8(e.getMessage()))));
    }
    zip_discard(zip);
}

}  // namespace

void ReadXlsx(const CString& path, std::vector<CImportTable>& tables)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_file_create(QFile::encodeName(path).constData(), 0, -1, &error);
    if (!source) {
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(path, why));
    }
    zip_error_fini(&error);
    Read(source, tables, path);
}

void ReadXlsxBytes(const std::string& bytes, std::vector<CImportTable>& tables, const CString& fileName)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_error_fini(&error);
    if (!source)
        throw CBarcodeDBException(LoadMessage(457, "\"%1\" cannot be read").arg(fileName));
    Read(source, tables, fileName);
}
