#pragma once
// File sources: tables imported into an in-memory SQLite database, queried with SQLite.

#include "data/dataconnection.h"
#include "data/importtable.h"

#include <QString>
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

private:
    bool LoadMissing(const CString& message);
    std::unique_ptr<CRecordSet> Run(const CString& query, bool fieldsOnly);

    sqlite3* m_db = nullptr;
    TableLoader m_loader;
    std::function<std::vector<CString>()> m_lister;
};

// Checks that a query is one SELECT: the first word is SELECT, and nothing but blanks
// follows a ";" outside quotes and comments. Gives the reason when not, else an empty text.
CString CheckSingleSelect(const CString& query);
