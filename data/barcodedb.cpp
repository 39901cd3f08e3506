#include "data/barcodedb.h"

#include "data/connstring.h"
#include "data/dataconnection.h"
#include "data/filesource.h"
#include "data/odbcsource.h"
#include "data/recordset.h"
#include "data/storedsource.h"
#include "framework/resourcemodule.h"
#include "framework/waitcursor.h"

#include <QFileInfo>
#include <algorithm>
#include <new>

namespace {

// Runs a data operation; running out of memory becomes a message like any other failure.
template <typename F>
auto Guarded(F&& f)
{
    try {
        return f();
    } catch (const std::bad_alloc&) {
        throw CBarcodeDBException(LoadMessage(410, "There is not enough memory for the data source."));
    }
}

}  // namespace

CString QueryTimeLimitMessage(int seconds)
{
    return CResourceModule::Get().LoadString(344).arg(seconds);
}

CString ValueTooLongMessage(long long bytes)
{
    return CResourceModule::Get().LoadString(345).arg(bytes >> 20);
}

CBarcodeDBException::CBarcodeDBException(const CString& message)
    : m_message(message), m_utf8(message.toStdString())
{
}

CBarcodeDB::CBarcodeDB() = default;

CBarcodeDB::~CBarcodeDB()
{
    Close();
}

BOOL CBarcodeDB::OpenFile(const CString& path, CString& connectionString)
{
    CWaitCursor wait;
    m_pConnection.reset();
    m_strPath = path;
    const qsizetype dot = path.lastIndexOf(u'.');
    m_strExtension = dot < 0 ? path : path.mid(dot);

    const CString ext = m_strExtension.toLower();
    CString text;
    bool textFile = false;
    if (ext == QLatin1String(".xls") || ext == QLatin1String(".xlsx")) {
        const bool xml = path.right(5).compare(QStringLiteral(".xlsx"), Qt::CaseInsensitive) == 0;
        text = QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=%1;Extended Properties=\"%2\"")
                   .arg(CConnectionString::QuoteValue(path),
                        xml ? QStringLiteral("Excel 12.0 Xml; HDR=YES; IMEX=1") : QStringLiteral("Excel 8.0; HDR=YES;IMEX=1"));
    } else if (ext == QLatin1String(".mdb")) {
        text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(CConnectionString::QuoteValue(path));
    } else if (IsTextFilePath(path)) {
        const qsizetype slash = path.lastIndexOf(u'/');
        CString folder = slash < 0 ? CString() : path.left(slash);
        if (slash == 0)
            folder = QStringLiteral("/");
        folder.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";"
                              "Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\"")
                   .arg(folder);
        textFile = true;
    } else {
        m_strLastError = LoadMessage(411, "\"%1\" is not a kind of data file that can be opened.").arg(path);
        return FALSE;
    }
    if (!Open(text, textFile ? GetTextFileTable() : CString()))
        return FALSE;
    connectionString = text;
    return TRUE;
}

BOOL CBarcodeDB::OpenDSN(const CString& name)
{
    return OpenConnection(QStringLiteral("DSN=") + CConnectionString::QuoteValue(name, true));
}

BOOL CBarcodeDB::OpenConnection(const CString& connectionString)
{
    CWaitCursor wait;
    return Open(connectionString) ? TRUE : FALSE;
}

bool CBarcodeDB::Open(const CString& connectionString, const CString& textFile)
{
    m_pConnection.reset();
    m_strLastError.clear();
    try {
        // Checked before anything is loaded: a label file must not make the driver manager load
        // a library of its choosing, nor a driver write files.
        const CString refused = CheckStoredConnection(connectionString);
        if (!refused.isEmpty()) {
            const CString source = m_strLabelFile.isEmpty() ? LoadMessage(412, "The data source")
                                                            : LoadMessage(413, "The data source of \"%1\"").arg(m_strLabelFile);
            throw CBarcodeDBException(LoadMessage(414, "%1 is not opened: %2.").arg(source, refused));
        }
        const auto parsed = CConnectionString::Parse(connectionString);
        Guarded([&] {
            if (parsed->Has(QStringLiteral("Provider")))
                m_pConnection = OpenFileSource(*parsed, m_strDocumentFolder, textFile);
            else
                m_pConnection = OpenOdbcSource(*parsed);
            m_pConnection->SetTimeLimit(m_nTimeLimit);
        });
        return true;
    } catch (const CBarcodeDBException& e) {
        m_pConnection.reset();
        m_strLastError = e.GetErrorMessage();
        return false;
    }
}

void CBarcodeDB::SetLabelFile(const CString& path)
{
    m_strLabelFile = path;
    if (!path.isEmpty())
        m_strDocumentFolder = QFileInfo(path).absolutePath();
}

void CBarcodeDB::SetTimeLimit(int seconds)
{
    m_nTimeLimit = seconds;
    if (m_pConnection)
        m_pConnection->SetTimeLimit(seconds);
}

bool CBarcodeDB::IsOpen() const
{
    return m_pConnection != nullptr;
}

void CBarcodeDB::GetTables(std::vector<CString>& names)
{
    if (!m_pConnection)
        throw CBarcodeDBException(LoadMessage(415, "The data source is not open."));
    for (CString& name : Guarded([&] { return m_pConnection->Tables(); }))
        names.push_back(std::move(name));
}

void CBarcodeDB::GetFields(const CString& table, std::vector<CString>& names)
{
    try {
        if (!m_pConnection)
            throw CBarcodeDBException({});
        names = Guarded([&] { return m_pConnection->Fields(table); });
    } catch (const CDataFileRefused&) {
        throw;
    } catch (const CBarcodeDBException&) {
        throw CBarcodeDBException(QStringLiteral("%1 %2").arg(table, CResourceModule::Get().LoadString(95)));
    }
}

BOOL CBarcodeDB::GetQuoteSuffix(CString& quote)
{
    if (!m_pConnection)
        return FALSE;
    const CString q = m_pConnection->Quote();
    if (!q.isEmpty())
        quote = q;
    return TRUE;
}

CString CBarcodeDB::GetTextFileTable() const
{
    return m_strPath.mid(m_strPath.lastIndexOf(u'/') + 1);
}

void CBarcodeDB::Close()
{
    m_pConnection.reset();
}

void CBarcodeDB::ThrowDBException(int returnCode)
{
    throw CBarcodeDBException(LoadMessage(416, "The data source reported the error %1.").arg(returnCode));
}

std::unique_ptr<CRecordSet> CBarcodeDB::OpenQuery(const CString& select)
{
    if (!m_pConnection)
        throw CBarcodeDBException(m_strLastError.isEmpty() ? LoadMessage(415, "The data source is not open.") : m_strLastError);
    return Guarded([&] { return m_pConnection->Select(select); });
}

std::unique_ptr<CRecordSet> CBarcodeDB::OpenStoredQuery(const CString& select)
{
    if (!m_pConnection)
        throw CBarcodeDBException(m_strLastError.isEmpty() ? LoadMessage(415, "The data source is not open.") : m_strLastError);
    const CString file = m_strLabelFile.isEmpty() ? QString() : LoadMessage(418, " of \"%1\"").arg(m_strLabelFile);
    CString why;
    const auto parsed = ParseStoredQuery(select, m_pConnection->Quote(), &why);
    if (!parsed)
        throw CBarcodeDBException(LoadMessage(417, "The stored query%1 is not run: %2.").arg(file, why));
    auto has = [](const std::vector<CString>& names, const CString& name) {
        return std::any_of(names.begin(), names.end(),
                           [&](const CString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
    };
    return Guarded([&] {
        if (!has(m_pConnection->Tables(), parsed->table))
            throw CBarcodeDBException(
                LoadMessage(419, "The stored query%1 is not run: the source has no table \"%2\".").arg(file, parsed->table));
        const std::vector<CString> fields = m_pConnection->Fields(parsed->table);
        for (const auto& [field, descending] : parsed->order)
            if (!has(fields, field))
                throw CBarcodeDBException(LoadMessage(420, "The stored query%1 is not run: the table \"%2\" has no field \"%3\".")
                                              .arg(file, parsed->table, field));
        return m_pConnection->Select(select);
    });
}

CString CBarcodeDB::QuoteName(const CString& name)
{
    const CString quote = m_pConnection ? m_pConnection->Quote() : QStringLiteral("`");
    if (quote.isEmpty() && !IsPlainIdentifier(name))
        throw CBarcodeDBException(
            LoadMessage(421, "\"%1\" is not a plain name, and the data source has no quote for names.").arg(name));
    return QuoteIdentifier(name, quote);
}

CString QuoteIdentifier(const CString& name, const CString& quote)
{
    if (quote.isEmpty())
        return name;
    CString inner = name;
    inner.replace(quote, quote + quote);
    return quote + inner + quote;
}

bool IsPlainIdentifier(const CString& name)
{
    if (name.isEmpty() || name[0].isDigit())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

bool IsTextFilePath(const CString& path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    const CString ext = dot < 0 ? CString() : path.mid(dot).toLower();
    return ext == QLatin1String(".txt") || ext == QLatin1String(".csv") || ext == QLatin1String(".tab")
           || ext == QLatin1String(".asc");
}
