#pragma once
// File sources: tables imported into an in-memory SQLite database, queried with SQLite.

#include "data/dataconnection.h"
#include "data/importtable.h"

#include <QString>
#include <chrono>
#include <functional>

struct sqlite3;

class CSqliteSource : public CDataConnection {
public:
    // Imports the table when a query or a field listing names one the database lacks; gives
    // false when no file of that name exists, and throws CBarcodeDBException when reading fails.
    using TableLoader = std::function<bool(const CString& name)>;

    CSqliteSource();
    ~CSqliteSource() override;

    void SetTableLoader(TableLoader loader, std::function<std::vector<CString>()> lister);
    // Creates the table and inserts its rows; throws CBarcodeDBException.
    void Import(CImportTable& table);

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
