#include "data/barcodedb.h"

#include "data/dataconnection.h"

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
    return FALSE;
}

BOOL CBarcodeDB::OpenDSN(const CString& name)
{
    return OpenConnection(QStringLiteral("DSN=") + name);
}

BOOL CBarcodeDB::OpenConnection(const CString& connectionString)
{
    return Open(connectionString) ? TRUE : FALSE;
}

bool CBarcodeDB::Open(const CString& connectionString)
{
    m_pConnection.reset();
    return false;
}

bool CBarcodeDB::IsOpen() const
{
    return m_pConnection != nullptr;
}

void CBarcodeDB::GetTables(std::vector<CString>& names)
{
}

void CBarcodeDB::GetFields(const CString& table, std::vector<CString>& names)
{
    throw CBarcodeDBException(table);
}

BOOL CBarcodeDB::GetQuoteSuffix(CString& quote)
{
    return FALSE;
}

CString CBarcodeDB::GetTextFileTable() const
{
    return {};
}

void CBarcodeDB::Close()
{
}

void CBarcodeDB::ThrowDBException(int returnCode)
{
    throw CBarcodeDBException(QStringLiteral("ODBC error %1").arg(returnCode));
}

std::unique_ptr<CRecordSet> CBarcodeDB::OpenQuery(const CString& select)
{
    throw CBarcodeDBException(select);
}

CString CBarcodeDB::QuoteName(const CString& name)
{
    return QuoteIdentifier(name, QStringLiteral("`"));
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

std::vector<CString> GetOdbcDataSourceNames()
{
    return {};
}
