#include "data/odbcsource.h"

#include "data/barcodedb.h"
#include "data/sqlitesource.h"
#include "data/values.h"
#include "framework/resourcemodule.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QDate>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are UTF-16");

namespace {

const SQLWCHAR* W(const QString& s)
{
    return reinterpret_cast<const SQLWCHAR*>(s.utf16());
}

// The diagnostic records of a handle, one message a line.
CString Diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    CString text;
    for (SQLSMALLINT i = 1; i < 32; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[2048];
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message, SQLSMALLINT(std::size(message)),
                                            &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        if (!text.isEmpty())
            text += u'\n';
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(message),
                                   std::min<qsizetype>(length, qsizetype(std::size(message)) - 1));
    }
    return text;
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(rc))
        return;
    CString message = Diagnostics(type, handle);
    if (message.isEmpty())
        message = LoadMessage(459, "The ODBC call %1 failed (%2).").arg(QLatin1String(what)).arg(rc);
    throw CBarcodeDBException(message);
}

class Statement {
public:
    explicit Statement(SQLHDBC dbc)
    {
        ::Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt), SQL_HANDLE_DBC, dbc, "SQLAllocHandle");
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, m_stmt); }
    SQLHSTMT get() const { return m_stmt; }
    void Check(SQLRETURN rc, const char* what) const { ::Check(rc, SQL_HANDLE_STMT, m_stmt, what); }

private:
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

// The time a query may take, checked between rows and between the pieces of a long value: a
// driver's own query timeout covers only the statement's execution, if the driver has one.
class Deadline {
public:
    explicit Deadline(int seconds)
        : m_seconds(seconds), m_at(std::chrono::steady_clock::now() + std::chrono::seconds(seconds))
    {
    }
    void Check() const
    {
        if (std::chrono::steady_clock::now() >= m_at)
            Expired();
    }
    [[noreturn]] void Expired() const { throw CBarcodeDBException(QueryTimeLimitMessage(m_seconds)); }
    std::chrono::steady_clock::time_point At() const { return m_at; }

private:
    int m_seconds;
    std::chrono::steady_clock::time_point m_at;
};

// Cancels the statement's call in progress when the deadline passes: a driver may work on one
// call (the execution of a query, which some drivers run to its last row) far longer than the
// query may take. The driver manager lets another thread cancel a call.
class Watchdog {
public:
    Watchdog(const Statement& st, const Deadline& deadline)
        : m_thread([this, stmt = st.get(), at = deadline.At()] {
              std::unique_lock lock(m_mutex);
              if (!m_wake.wait_until(lock, at, [this] { return m_done; })) {
                  m_fired = true;
                  SQLCancel(stmt);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    bool Fired() const { return m_fired; }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_fired{false};
    std::thread m_thread;  // last: it starts once the rest is there
};

// Runs the statement's calls under the watchdog: when it has cancelled a call, the call's failure
// is the deadline's message.
template <typename F>
auto Watched(const Statement& st, const Deadline& deadline, F&& calls)
{
    Watchdog watchdog(st, deadline);
    try {
        return calls();
    } catch (const CBarcodeDBException&) {
        if (watchdog.Fired())
            deadline.Expired();
        throw;
    }
}

// Moves to the next row; false after the last.
bool FetchRow(const Statement& st, const Deadline& deadline)
{
    deadline.Check();
    const SQLRETURN rc = SQLFetch(st.get());
    if (rc == SQL_NO_DATA)
        return false;
    st.Check(rc, "SQLFetch");
    return true;
}

// Reads a whole text value; false for NULL. The first piece tells the value's length, and the
// rest comes in one more call: drivers convert the whole value again for every piece asked for,
// so pieces of a fixed size take time in the square of the length. A driver that cannot tell the
// length gets pieces that double each time.
bool GetWideText(const Statement& st, SQLUSMALLINT column, QString& out, const Deadline& deadline)
{
    constexpr qsizetype kLongest = CSqliteSource::kValueLimit / 2;  // UTF-16 units
    out.clear();
    qsizetype have = 0;
    qsizetype piece = 4096;
    for (;;) {
        deadline.Check();
        out.resize(have + piece + 1);  // and the driver's terminating zero
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(st.get(), column, SQL_C_WCHAR, out.data() + have,
                                        SQLLEN(piece + 1) * SQLLEN(sizeof(char16_t)), &indicator);
        if (rc == SQL_NO_DATA) {
            out.resize(have);
            return true;
        }
        st.Check(rc, "SQLGetData");
        if (indicator == SQL_NULL_DATA) {
            out.clear();
            return false;
        }
        const bool known = indicator != SQL_NO_TOTAL && indicator >= 0;
        const qsizetype remaining = known ? qsizetype(indicator / SQLLEN(sizeof(char16_t))) : -1;
        if (known && remaining <= piece) {
            out.resize(have + remaining);
            return true;
        }
        if (rc == SQL_SUCCESS) {  // all of it came, and the driver did not say how long it is
            const QStringView got(out.constData() + have, piece);
            const qsizetype end = got.indexOf(QChar(0));
            out.resize(have + (end < 0 ? piece : end));
            return true;
        }
        have += piece;
        piece = known ? remaining - piece : piece * 2;
        if (have + piece > kLongest)
            throw CBarcodeDBException(ValueTooLongMessage(CSqliteSource::kValueLimit));
    }
}

class OdbcSource : public CDataConnection {
public:
    explicit OdbcSource(const CConnectionString& connection)
    {
        SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        if (!SQL_SUCCEEDED(rc))
            throw CBarcodeDBException(LoadMessage(458, "The ODBC driver manager could not start."));
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        Check(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc), SQL_HANDLE_ENV, m_env, "SQLAllocHandle");
        // Queries come from label files: the connection only reads.
        SQLSetConnectAttrW(m_dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        SQLSetConnectAttrW(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(CBarcodeDB::kBrowseSeconds)), 0);
        const QString text = connection.ToString(true);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        rc = SQLDriverConnectW(m_dbc, nullptr, const_cast<SQLWCHAR*>(W(text)), SQL_NTS, out, SQLSMALLINT(std::size(out)),
                               &outLength, SQL_DRIVER_NOPROMPT);
        Check(rc, SQL_HANDLE_DBC, m_dbc, "SQLDriverConnect");
        m_connected = true;
    }

    ~OdbcSource() override
    {
        if (m_connected)
            SQLDisconnect(m_dbc);
        if (m_dbc)
            SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        if (m_env)
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }

    std::vector<CString> Tables() override
    {
        Statement st(m_dbc);
        const Deadline deadline(m_timeLimit);
        return Watched(st, deadline, [&] {
            const QString types = QStringLiteral("TABLE,VIEW");
            st.Check(SQLTablesW(st.get(), nullptr, 0, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(W(types)), SQL_NTS),
                     "SQLTables");
            std::vector<CString> names;
            QString name;
            while (FetchRow(st, deadline)) {
                names.push_back(GetWideText(st, 3, name, deadline) ? name : QString());
            }
            return names;
        });
    }

    CString Quote() override
    {
        SQLWCHAR quote[8] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetInfoW(m_dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)))
            return {};
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(quote),
                                                std::min<qsizetype>(length / 2, 7)).trimmed();
        return text;  // " " means none
    }

    std::unique_ptr<CRecordSet> Select(const CString& query) override { return Run(query, false); }
    void SetTimeLimit(int seconds) override { m_timeLimit = seconds; }

    // Asks the driver's catalog for the columns; a driver whose catalog does not list the table
    // describes the query without running it. No row is read either way.
    std::vector<CString> Fields(const CString& table) override
    {
        const CString quote = Quote();
        if (quote.isEmpty() && !IsPlainIdentifier(table))
            throw CBarcodeDBException(LoadMessage(421, "\"%1\" is not a plain name, and the data source has no quote for names.").arg(table));
        const Deadline deadline(m_timeLimit);
        std::vector<CString> names = CatalogColumns(table, deadline);
        if (!names.empty())
            return names;
        deadline.Check();
        return Run(QStringLiteral("SELECT * FROM ") + QuoteIdentifier(table, quote), true)->GetFieldNames();
    }

private:
    // The driver's own limit of the statement's execution. A driver that has none says so with a
    // warning, which is not a failure. Zero would mean no limit to the driver.
    void LimitTime(const Statement& st) const
    {
        SQLSetStmtAttrW(st.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(std::max(m_timeLimit, 1))), 0);
    }

    // The table name as a catalog pattern: "_" and "%" escaped with the driver's escape; empty
    // when the name has them and the driver has no escape.
    QString CatalogPattern(const CString& table) const
    {
        if (!table.contains(u'_') && !table.contains(u'%'))
            return table;
        SQLWCHAR escape[8] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetInfoW(m_dbc, SQL_SEARCH_PATTERN_ESCAPE, escape, sizeof escape, &length)) || length <= 0)
            return {};
        const QString e = QString::fromUtf16(reinterpret_cast<const char16_t*>(escape), std::min<qsizetype>(length / 2, 7));
        QString pattern;
        for (QChar c : table) {
            if (c == u'_' || c == u'%' || QStringView(e) == QStringView(&c, 1))
                pattern += e;
            pattern += c;
        }
        return pattern;
    }

    // The columns of the table as the catalog lists them, in column order: those of the first
    // catalog and schema that hold a table of exactly that name. Empty when none does.
    std::vector<CString> CatalogColumns(const CString& table, const Deadline& deadline)
    {
        const QString pattern = CatalogPattern(table);
        if (pattern.isEmpty())
            return {};
        Statement st(m_dbc);
        return Watched(st, deadline, [&] { return CatalogColumns(st, table, pattern, deadline); });
    }

    std::vector<CString> CatalogColumns(const Statement& st, const CString& table, const QString& pattern,
                                        const Deadline& deadline)
    {
        LimitTime(st);
        if (!SQL_SUCCEEDED(SQLColumnsW(st.get(), nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(W(pattern)), SQL_NTS,
                                       nullptr, 0))) {
            deadline.Check();
            return {};
        }
        std::vector<std::pair<int, CString>> columns;
        QString catalog, schema, name, column, firstCatalog, firstSchema;
        bool first = true;
        while (FetchRow(st, deadline)) {
            GetWideText(st, 1, catalog, deadline);
            GetWideText(st, 2, schema, deadline);
            GetWideText(st, 3, name, deadline);
            if (name != table)
                continue;
            if (first) {
                firstCatalog = catalog;
                firstSchema = schema;
                first = false;
            } else if (catalog != firstCatalog || schema != firstSchema) {
                continue;
            }
            GetWideText(st, 4, column, deadline);
            // The column's place; a driver of the older interface has no such column, and lists
            // the columns in their order.
            SQLINTEGER position = 0;
            SQLLEN indicator = 0;
            if (!SQL_SUCCEEDED(SQLGetData(st.get(), 17, SQL_C_SLONG, &position, sizeof position, &indicator))
                || indicator == SQL_NULL_DATA)
                position = SQLINTEGER(columns.size());
            columns.emplace_back(int(position), column);
        }
        std::stable_sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<CString> names;
        for (auto& [position, column] : columns)
            names.push_back(std::move(column));
        return names;
    }

    std::unique_ptr<CRecordSet> Run(const CString& query, bool fieldsOnly)
    {
        const CString refused = CheckSingleSelect(query);
        if (!refused.isEmpty())
            throw CBarcodeDBException(refused);
        Statement st(m_dbc);
        const Deadline deadline(m_timeLimit);
        return Watched(st, deadline, [&] { return Run(st, query, fieldsOnly, deadline); });
    }

    std::unique_ptr<CRecordSet> Run(const Statement& st, const CString& query, bool fieldsOnly, const Deadline& deadline)
    {
        LimitTime(st);
        // Only the names are wanted: the query is prepared and described, not run.
        if (fieldsOnly)
            st.Check(SQLPrepareW(st.get(), const_cast<SQLWCHAR*>(W(query)), SQL_NTS), "SQLPrepare");
        else
            st.Check(SQLExecDirectW(st.get(), const_cast<SQLWCHAR*>(W(query)), SQL_NTS), "SQLExecDirect");
        SQLSMALLINT columns = 0;
        st.Check(SQLNumResultCols(st.get(), &columns), "SQLNumResultCols");
        std::vector<CString> names;
        std::vector<SQLSMALLINT> types;
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
            SQLWCHAR name[512];
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            st.Check(SQLDescribeColW(st.get(), c, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size, &digits,
                                     &nullable),
                     "SQLDescribeCol");
            names.push_back(QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                               std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1)));
            types.push_back(type);
        }
        auto set = std::make_unique<CRecordSet>(std::move(names));
        if (fieldsOnly)
            return set;
        QString text;
        QByteArray utf8;
        while (FetchRow(st, deadline)) {
            set->BeginRow();
            for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c)
                AddCell(st, c, types[c - 1], *set, text, utf8, deadline);
        }
        return set;
    }

    static void AddCell(const Statement& st, SQLUSMALLINT c, SQLSMALLINT type, CRecordSet& set, QString& text,
                        QByteArray& utf8, const Deadline& deadline)
    {
        SQLLEN indicator = 0;
        switch (type) {
        case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: {
            SQLBIGINT v = 0;
            st.Check(SQLGetData(st.get(), c, SQL_C_SBIGINT, &v, sizeof v, &indicator), "SQLGetData");
            indicator == SQL_NULL_DATA ? set.AddNull() : set.AddInteger(v);
            return;
        }
        case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: {
            double v = 0;
            st.Check(SQLGetData(st.get(), c, SQL_C_DOUBLE, &v, sizeof v, &indicator), "SQLGetData");
            indicator == SQL_NULL_DATA ? set.AddNull() : set.AddReal(v);
            return;
        }
        case SQL_BIT: {
            unsigned char v = 0;
            st.Check(SQLGetData(st.get(), c, SQL_C_BIT, &v, sizeof v, &indicator), "SQLGetData");
            if (indicator == SQL_NULL_DATA) {
                set.AddNull();
            } else {
                utf8 = FormatBool(v).toUtf8();
                set.AddText(utf8.constData(), std::size_t(utf8.size()));
            }
            return;
        }
        case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: case SQL_DATE: case SQL_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT ts{};
            st.Check(SQLGetData(st.get(), c, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator), "SQLGetData");
            if (indicator == SQL_NULL_DATA) {
                set.AddNull();
                return;
            }
            const double days = double(QDate(1899, 12, 30).daysTo(QDate(ts.year, ts.month, ts.day)))
                + (ts.hour * 3600 + ts.minute * 60 + ts.second) / 86400.0;
            utf8 = FormatDateSerial(days).toUtf8();
            set.AddText(utf8.constData(), std::size_t(utf8.size()));
            return;
        }
        default:
            if (!GetWideText(st, c, text, deadline)) {
                set.AddNull();
                return;
            }
            utf8 = text.toUtf8();
            set.AddText(utf8.constData(), std::size_t(utf8.size()));
        }
    }

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    bool m_connected = false;
    int m_timeLimit = CBarcodeDB::kBrowseSeconds;
};

}  // namespace

std::unique_ptr<CDataConnection> OpenOdbcSource(const CConnectionString& connection)
{
    return std::make_unique<OdbcSource>(connection);
}

std::vector<CString> GetOdbcDataSourceNames()
{
    std::vector<CString> names;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    // The user's names, then the system's: each list on its own, so that the system's names
    // come even when the user has none.
    for (SQLUSMALLINT first : {SQLUSMALLINT(SQL_FETCH_FIRST_USER), SQLUSMALLINT(SQL_FETCH_FIRST_SYSTEM)}) {
        SQLUSMALLINT direction = first;
        for (;;) {
            SQLWCHAR name[1024];
            SQLWCHAR description[1024];
            SQLSMALLINT nameLength = 0, descriptionLength = 0;
            const SQLRETURN rc = SQLDataSourcesW(env, direction, name, SQLSMALLINT(std::size(name)), &nameLength,
                                                 description, SQLSMALLINT(std::size(description)), &descriptionLength);
            if (!SQL_SUCCEEDED(rc))
                break;
            names.push_back(QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                               std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1)));
            direction = SQL_FETCH_NEXT;
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}
