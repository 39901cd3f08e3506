#pragma once
// File sources: tables imported into an in-memory SQLite database, queried with SQLite.

#include "data/dataconnection.h"
#include "data/importtable.h"

#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CSqliteSource : public CDataConnection {
public:
    // Imports the table when a query or a field listing names one the database lacks; gives
    // false when no file of that name exists, and throws CBarcodeDBException when reading fails.
    using TableLoader = std::function<bool(const CString& name)>;

    CSqliteSource();
    ~CSqliteSource() override;

    void SetTableLoader(TableLoader loader, std::function<std::vector<CString>()> lister);
    // Creates the table and inserts its rows; throws CBarcodeDBException with a message that
    // names file, the file the table was read from.
    void Import(CImportTable& table, const QString& file);

    // Writes one table row by row in a transaction of its own; unless Commit is reached the
    // table is gone again, and so is the memory it took. Throws CBarcodeDBException.
    class CTableWriter {
    public:
        // The header as read (empty or repeated names are renamed to names no other column has),
        // and which columns hold only numbers; there are as many columns as numeric has entries.
        // Messages name file, the file the table comes from.
        CTableWriter(CSqliteSource& source, const QString& file, const std::string& table,
                     const std::vector<std::string>& header, const std::vector<char>& numeric);
        ~CTableWriter();
        CTableWriter(const CTableWriter&) = delete;
        CTableWriter& operator=(const CTableWriter&) = delete;

        // One row: its cells from the first column on; the texts must live until the call ends.
        // Missing cells are NULL, and so is an empty text. A text in a numeric column that is
        // not a number is kept as text.
        void Row(const std::vector<std::string_view>& cells);
        void RowOf(const CImportTable& table, std::size_t row);
        void Commit();

    private:
        void Bind(std::size_t column, std::string_view text);
        void Step();
        // Throws for a result code of the engine other than SQLITE_OK and SQLITE_DONE.
        void Check(int rc) const;
        [[noreturn]] void Fail(const CString& message) const;
        // Drops the statement and the transaction, and with it the table.
        void Abandon();

        sqlite3* m_db;
        QString m_file;
        std::vector<char> m_numeric;
        sqlite3_stmt* m_insert = nullptr;
        bool m_open = false;
    };

    // The most columns a table may have.
    static constexpr int kColumnLimit = 2000;
    // A message for the table of name, read from file, that has more than kColumnLimit columns.
    static CString TooManyColumns(const QString& file, const std::string& table, std::size_t columns);
    // The engine's bound and what of it is free now, in bytes.
    static long long HeapLimit();
    static long long HeapFree();

    std::vector<CString> Tables() override;
    CString Quote() override { return QStringLiteral("`"); }
    std::unique_ptr<CRecordSet> Select(const CString& query) override;
    std::vector<CString> Fields(const CString& table) override;
    void SetTimeLimit(int seconds) override { m_timeLimit = std::chrono::seconds(seconds); }

    // What the engine may hold in memory, all its databases together; a query that needs more
    // stops with a message.
    static constexpr long long kHeapLimit = 1LL << 30;
    // The longest text or blob one value may have.
    static constexpr int kValueLimit = 256 << 20;

private:
    bool LoadMissing(const CString& message);
    std::unique_ptr<CRecordSet> Run(const CString& query, bool fieldsOnly);

    sqlite3* m_db = nullptr;
    TableLoader m_loader;
    std::function<std::vector<CString>()> m_lister;
    std::chrono::steady_clock::duration m_timeLimit = std::chrono::seconds(5);
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
};

// Checks that a query is one SELECT: the first word is SELECT, and nothing but blanks
// follows a ";" outside quotes and comments. Gives the reason when not, else an empty text.
CString CheckSingleSelect(const CString& query);
