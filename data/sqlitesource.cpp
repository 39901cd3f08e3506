#include "data/sqlitesource.h"

#include "data/barcodedb.h"
#include "data/values.h"
#include "framework/resourcemodule.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QSet>
#include <cmath>

namespace {

CString Message(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Queries may read; they never attach files, change settings, load code or tell addresses.
int AuthorizeReading(void*, int action, const char* table, const char* function, const char*, const char*)
{
    switch (action) {
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
    case SQLITE_PRAGMA:
        return SQLITE_DENY;
    case SQLITE_READ:  // the pragmas' table-valued functions
        return table && sqlite3_strnicmp(table, "pragma_", 7) == 0 ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_FUNCTION:  // the function's name comes as the fourth argument
        return function && (sqlite3_stricmp(function, "load_extension") == 0 || sqlite3_stricmp(function, "fts3_tokenizer") == 0)
            ? SQLITE_DENY
            : SQLITE_OK;
    default:
        return SQLITE_OK;
    }
}

struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

std::string QuoteUtf8(const std::string& name)
{
    std::string quoted = "`";
    for (char c : name) {
        quoted += c;
        if (c == '`')
            quoted += '`';
    }
    return quoted + '`';
}

}  // namespace

CString CheckSingleSelect(const CString& query)
{
    const qsizetype n = query.size();
    qsizetype i = 0;
    auto skipBlanksAndComments = [&] {
        for (;;) {
            while (i < n && query[i].isSpace())
                ++i;
            if (i + 1 < n && query[i] == u'-' && query[i + 1] == u'-') {
                while (i < n && query[i] != u'\n')
                    ++i;
            } else if (i + 1 < n && query[i] == u'/' && query[i + 1] == u'*') {
                const qsizetype end = query.indexOf(QStringLiteral("*/"), i + 2);
                i = end < 0 ? n : end + 2;
            } else {
                return;
            }
        }
    };
    skipBlanksAndComments();
    const bool select = query.mid(i, 6).compare(QStringLiteral("select"), Qt::CaseInsensitive) == 0
        && (i + 6 >= n || !(query[i + 6].isLetterOrNumber() || query[i + 6] == u'_'));
    if (!select)
        return LoadMessage(422, "Only a SELECT query can be run.");
    while (i < n) {
        const QChar c = query[i];
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            ++i;
            while (i < n && query[i] != close)
                ++i;
            ++i;
        } else if ((c == u'-' && i + 1 < n && query[i + 1] == u'-') || (c == u'/' && i + 1 < n && query[i + 1] == u'*')) {
            skipBlanksAndComments();
        } else if (c == u';') {
            ++i;
            skipBlanksAndComments();
            if (i < n)
                return LoadMessage(423, "Only one SELECT query can be run; text follows the \";\".");
        } else {
            ++i;
        }
    }
    return {};
}

CSqliteSource::CSqliteSource()
{
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        throw CBarcodeDBException(LoadMessage(424, "SQLite could not open a database in memory."));
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, kValueLimit);
    sqlite3_limit(m_db, SQLITE_LIMIT_COLUMN, kColumnLimit);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    if (sqlite3_hard_heap_limit64(-1) == 0 || sqlite3_hard_heap_limit64(-1) > kHeapLimit)
        sqlite3_hard_heap_limit64(kHeapLimit);
    // Every query stops at its deadline.
    sqlite3_progress_handler(
        m_db, 10000,
        [](void* self) { return std::chrono::steady_clock::now() > static_cast<CSqliteSource*>(self)->m_deadline ? 1 : 0; },
        this);
}

CSqliteSource::~CSqliteSource()
{
    sqlite3_close_v2(m_db);
}

void CSqliteSource::SetTableLoader(TableLoader loader, std::function<std::vector<CString>()> lister)
{
    m_loader = std::move(loader);
    m_lister = std::move(lister);
}

void CSqliteSource::Import(CImportTable& table, const QString& file)
{
    std::size_t columns = table.header.size();
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        const std::size_t end = r + 1 < table.RowCount() ? table.rowStart[r + 1] : table.cells.size();
        columns = std::max<std::size_t>(columns, end - table.rowStart[r]);
    }
    columns = std::max<std::size_t>(columns, 1);

    // A column is numeric when each of its values is a number.
    std::vector<char> numeric(columns, 1);
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        const std::size_t begin = table.rowStart[r];
        const std::size_t end = r + 1 < table.RowCount() ? table.rowStart[r + 1] : table.cells.size();
        for (std::size_t i = begin; i < end; ++i) {
            const CImportCell& cell = table.cells[i];
            const std::size_t c = i - begin;
            if (!numeric[c] || cell.kind == CImportCell::Null)
                continue;
            if (table.typed ? cell.kind != CImportCell::Number : !CanonicalNumber(table.TextOf(cell)))
                numeric[c] = 0;
        }
    }

    CTableWriter writer(*this, file, table.name, table.header, numeric);
    for (std::size_t r = 0; r < table.RowCount(); ++r)
        writer.RowOf(table, r);
    writer.Commit();
}

CString CSqliteSource::TooManyColumns(const QString& file, const std::string& table, std::size_t columns)
{
    // Worksheets are tables named with a "$" at the end.
    const QString name = QString::fromStdString(table);
    const CString what = name.endsWith(u'$') ? CResourceModule::Get().LoadString(347).arg(name.chopped(1))
                                             : CResourceModule::Get().LoadString(348).arg(name);
    return CResourceModule::Get().LoadString(343).arg(file, what).arg(columns).arg(kColumnLimit);
}

long long CSqliteSource::HeapLimit()
{
    const long long limit = sqlite3_hard_heap_limit64(-1);
    return limit > 0 ? limit : kHeapLimit;
}

long long CSqliteSource::HeapFree()
{
    return std::max<long long>(0, HeapLimit() - sqlite3_memory_used());
}

namespace {

// Column names: the names of the header, trimmed. An empty name, or one met before (case-blind),
// becomes F and the column's number, with "_" and a count added should another column already
// bear that name.
std::vector<std::string> ColumnNames(const std::vector<std::string>& header, std::size_t columns)
{
    std::vector<QString> names(columns);
    QSet<QString> taken;  // case-folded
    for (std::size_t c = 0; c < columns && c < header.size(); ++c) {
        // A NUL would end the statement that names the column.
        const QString name = QString::fromStdString(header[c]).remove(QChar(0)).trimmed();
        if (!name.isEmpty() && !taken.contains(name.toCaseFolded())) {
            taken.insert(name.toCaseFolded());
            names[c] = name;
        }
    }
    for (std::size_t c = 0; c < columns; ++c) {
        if (!names[c].isEmpty())
            continue;
        const QString base = QStringLiteral("F%1").arg(c + 1);
        QString name = base;
        for (int k = 1; taken.contains(name.toCaseFolded()); ++k)
            name = base + QStringLiteral("_%1").arg(k);
        taken.insert(name.toCaseFolded());
        names[c] = name;
    }
    std::vector<std::string> utf8;
    utf8.reserve(columns);
    for (const QString& name : names)
        utf8.push_back(name.toStdString());
    return utf8;
}

}  // namespace

CSqliteSource::CTableWriter::CTableWriter(CSqliteSource& source, const QString& file, const std::string& table,
                                          const std::vector<std::string>& header, const std::vector<char>& numeric)
    : m_db(source.m_db), m_file(file), m_numeric(numeric)
{
    const std::size_t columns = numeric.size();
    if (columns > std::size_t(kColumnLimit))
        throw CBarcodeDBException(TooManyColumns(file, table, columns));
    const std::vector<std::string> names = ColumnNames(header, columns);
    std::string create = "CREATE TABLE " + QuoteUtf8(table) + " (";
    std::string insert = "INSERT INTO " + QuoteUtf8(table) + " VALUES (";
    for (std::size_t c = 0; c < columns; ++c) {
        create += (c ? ", " : "") + QuoteUtf8(names[c]) + (numeric[c] ? " NUMERIC" : " TEXT COLLATE NOCASE");
        insert += c ? ",?" : "?";
    }
    create += ")";
    insert += ")";
    // The table is made inside the transaction, so that a failure anywhere leaves neither.
    Check(sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr));
    m_open = true;
    try {
        Check(sqlite3_exec(m_db, create.c_str(), nullptr, nullptr, nullptr));
        Check(sqlite3_prepare_v2(m_db, insert.c_str(), int(insert.size()), &m_insert, nullptr));
    } catch (...) {
        // No destructor runs for an object whose constructor failed.
        Abandon();
        throw;
    }
}

void CSqliteSource::CTableWriter::Check(int rc) const
{
    if (rc == SQLITE_NOMEM || rc == SQLITE_FULL)
        throw CBarcodeDBException(CResourceModule::Get().LoadString(349).arg(m_file).arg(HeapLimit() >> 20));
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        Fail(Message(m_db));
}

void CSqliteSource::CTableWriter::Fail(const CString& message) const
{
    throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(m_file, message));
}

void CSqliteSource::CTableWriter::Abandon()
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (m_open)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_open = false;
}

CSqliteSource::CTableWriter::~CTableWriter()
{
    Abandon();
}

void CSqliteSource::CTableWriter::Bind(std::size_t c, std::string_view text)
{
    const int p = int(c + 1);
    if (text.empty()) {
        sqlite3_bind_null(m_insert, p);
        return;
    }
    if (m_numeric[c]) {
        if (const auto number = CanonicalNumber(text)) {
            const double v = *number;
            if (v == std::trunc(v) && std::fabs(v) < 9.007199254740992e15)
                sqlite3_bind_int64(m_insert, p, static_cast<sqlite3_int64>(v));
            else
                sqlite3_bind_double(m_insert, p, v);
            return;
        }
    }
    sqlite3_bind_text(m_insert, p, text.data(), int(text.size()), SQLITE_STATIC);
}

void CSqliteSource::CTableWriter::Step()
{
    const int rc = sqlite3_step(m_insert);
    if (rc != SQLITE_DONE)
        Check(rc);
    sqlite3_reset(m_insert);
}

void CSqliteSource::CTableWriter::Row(const std::vector<std::string_view>& cells)
{
    const std::size_t columns = m_numeric.size();
    for (std::size_t c = 0; c < columns; ++c)
        Bind(c, c < cells.size() ? cells[c] : std::string_view());
    Step();
}

void CSqliteSource::CTableWriter::RowOf(const CImportTable& table, std::size_t r)
{
    const std::size_t begin = table.rowStart[r];
    const std::size_t end = r + 1 < table.RowCount() ? table.rowStart[r + 1] : table.cells.size();
    for (std::size_t c = 0; c < m_numeric.size(); ++c) {
        if (begin + c >= end || table.cells[begin + c].kind == CImportCell::Null)
            Bind(c, {});
        else
            Bind(c, table.TextOf(table.cells[begin + c]));
    }
    Step();
}

void CSqliteSource::CTableWriter::Commit()
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    Check(sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr));
    m_open = false;
}

std::vector<CString> CSqliteSource::Tables()
{
    if (m_lister)
        return m_lister();
    std::vector<CString> names;
    Statement st;
    sqlite3_prepare_v2(m_db, "SELECT name FROM sqlite_schema WHERE type='table' ORDER BY rowid", -1, &st.stmt, nullptr);
    while (st.stmt && sqlite3_step(st.stmt) == SQLITE_ROW)
        names.push_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, 0))));
    return names;
}

// After "no such table: NAME", imports NAME when the loader knows it; true when it did. A file
// the loader finds but cannot take in throws CDataFileRefused.
bool CSqliteSource::LoadMissing(const CString& message)
{
    static const QRegularExpression noTable(QStringLiteral("^no such table: (?:main\\.)?(.+)$"));
    const auto match = noTable.match(message);
    if (!m_loader || !match.hasMatch())
        return false;
    // Reading a file is bounded by its readers; the query's time starts once it is in.
    m_deadline = std::chrono::steady_clock::time_point::max();
    bool loaded = false;
    try {
        loaded = m_loader(match.captured(1));
    } catch (const CBarcodeDBException& e) {
        throw CDataFileRefused(e.GetErrorMessage());
    }
    m_deadline = std::chrono::steady_clock::now() + m_timeLimit;
    return loaded;
}

std::unique_ptr<CRecordSet> CSqliteSource::Run(const CString& query, bool fieldsOnly)
{
    const CString refused = CheckSingleSelect(query);
    if (!refused.isEmpty())
        throw CBarcodeDBException(refused);
    const QByteArray sql = query.toUtf8();
    m_deadline = std::chrono::steady_clock::now() + m_timeLimit;
    struct NoDeadline {
        CSqliteSource* source;
        ~NoDeadline() { source->m_deadline = std::chrono::steady_clock::time_point::max(); }
    } noDeadline{this};
    Statement st;
    for (int attempt = 0;; ++attempt) {
        sqlite3_set_authorizer(m_db, AuthorizeReading, nullptr);
        const int rc = sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), 0, &st.stmt, nullptr);
        sqlite3_set_authorizer(m_db, nullptr, nullptr);
        if (rc == SQLITE_OK)
            break;
        const CString message = Message(m_db);
        if (attempt > 64 || !LoadMissing(message))
            throw CBarcodeDBException(message);
    }
    if (!st.stmt)
        throw CBarcodeDBException(LoadMessage(426, "The query is empty."));
    if (!sqlite3_stmt_readonly(st.stmt))
        throw CBarcodeDBException(LoadMessage(427, "Only a query that reads can be run."));
    const int columns = sqlite3_column_count(st.stmt);
    std::vector<CString> names;
    for (int c = 0; c < columns; ++c)
        names.push_back(QString::fromUtf8(sqlite3_column_name(st.stmt, c)));
    auto set = std::make_unique<CRecordSet>(std::move(names));
    if (fieldsOnly)
        return set;
    int rc;
    while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
        set->BeginRow();
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st.stmt, c)) {
            case SQLITE_INTEGER:
                set->AddInteger(sqlite3_column_int64(st.stmt, c));
                break;
            case SQLITE_FLOAT:
                set->AddReal(sqlite3_column_double(st.stmt, c));
                break;
            case SQLITE_TEXT:
                set->AddText(reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, c)),
                             std::size_t(sqlite3_column_bytes(st.stmt, c)));
                break;
            case SQLITE_BLOB:
                set->AddBlob(sqlite3_column_blob(st.stmt, c), std::size_t(sqlite3_column_bytes(st.stmt, c)));
                break;
            default:
                set->AddNull();
            }
        }
    }
    if (rc == SQLITE_INTERRUPT)
        throw CBarcodeDBException(
            QueryTimeLimitMessage(int(std::chrono::duration_cast<std::chrono::seconds>(m_timeLimit).count())));
    if (rc == SQLITE_NOMEM || rc == SQLITE_TOOBIG)
        throw CBarcodeDBException(LoadMessage(428, "The query needs more memory than the data engine may use (%1 MiB): %2")
                                      .arg(HeapLimit() >> 20)
                                      .arg(Message(m_db)));
    if (rc != SQLITE_DONE)
        throw CBarcodeDBException(Message(m_db));
    return set;
}

std::unique_ptr<CRecordSet> CSqliteSource::Select(const CString& query)
{
    return Run(query, false);
}

std::vector<CString> CSqliteSource::Fields(const CString& table)
{
    return Run(QStringLiteral("SELECT * FROM ") + QuoteIdentifier(table, Quote()), true)->GetFieldNames();
}
