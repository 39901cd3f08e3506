#pragma once
// The data-access object of the database wizard, the database tree and the data grids. It opens
// a data file by its extension, an ODBC data source or a connection string, lists tables and
// fields, tells the identifier quote, and runs one SELECT into a record set.
//
// Files (delimited text, .xlsx, .xls, .mdb) are imported into an in-memory SQLite database
// under the table names the old providers used ("list.csv", "Sheet1$", the Access table names),
// so that stored queries run as written. ODBC sources go through the driver manager.

#include "framework/types.h"

#include <QString>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class CDataConnection;
class CRecordSet;

// A failure of a data operation, with its whole message text.
class CBarcodeDBException : public std::exception {
public:
    explicit CBarcodeDBException(const CString& message);
    const CString& GetErrorMessage() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    CString m_message;
    std::string m_utf8;
};

// A data file that is there but was not taken in (too large, too wide, damaged): its message says
// why, where a failed query names the table only.
class CDataFileRefused : public CBarcodeDBException {
public:
    using CBarcodeDBException::CBarcodeDBException;
};

class CBarcodeDB {
public:
    CBarcodeDB();
    ~CBarcodeDB();
    CBarcodeDB(const CBarcodeDB&) = delete;
    CBarcodeDB& operator=(const CBarcodeDB&) = delete;

    // Opens the file by its extension; on success writes the connection string it used.
    BOOL OpenFile(const CString& path, CString& connectionString);
    BOOL OpenDSN(const CString& name);
    BOOL OpenConnection(const CString& connectionString);
    void GetTables(std::vector<CString>& names);                       // appended to
    void GetFields(const CString& table, std::vector<CString>& names);  // replaced; throws
    BOOL GetQuoteSuffix(CString& quote);
    CString GetTextFileTable() const;
    void Close();
    [[noreturn]] void ThrowDBException(int returnCode);

    // Why the last open failed, naming the file or source and the cause; empty after success.
    const CString& GetLastError() const { return m_strLastError; }
    // Stored paths that do not exist are also looked for, by file name, in this folder (the
    // label file's).
    void SetDocumentFolder(const CString& folder) { m_strDocumentFolder = folder; }
    // The label file whose connection string and query are opened: its folder becomes the
    // document folder, and a refusal names it.
    void SetLabelFile(const CString& path);
    // How long one query may run before it is stopped with a message; applies to the queries
    // that follow, on this source and the next ones opened.
    void SetTimeLimit(int seconds);
    static constexpr int kBrowseSeconds = 5;   // the database tree, the set-up wizard's pages
    static constexpr int kPrintSeconds = 30;   // the records of a print job
    bool IsOpen() const;

    // Runs one SELECT and keeps its whole result. Anything else, or a failure, throws
    // CBarcodeDBException with the engine's or driver's message.
    std::unique_ptr<CRecordSet> OpenQuery(const CString& select);
    // The same for a query read from a label file: only the set-up wizard's form (see
    // storedsource.h), naming a table of the source and fields of that table; anything else
    // throws before it reaches the engine or a driver.
    std::unique_ptr<CRecordSet> OpenStoredQuery(const CString& select);
    // The name in the source's identifier quotes, quotes inside it doubled. When the source has
    // no quote, a name that is not a plain identifier throws.
    CString QuoteName(const CString& name);

private:
    bool Open(const CString& connectionString, const CString& textFile = {});

    CString m_strExtension;
    CString m_strPath;
    CString m_strLastError;
    CString m_strDocumentFolder;
    CString m_strLabelFile;
    int m_nTimeLimit = kBrowseSeconds;
    std::unique_ptr<CDataConnection> m_pConnection;
};

// The name between two quotes, each quote inside it doubled; the name as it is when the quote is
// empty.
CString QuoteIdentifier(const CString& name, const CString& quote);
// Letters, digits and "_", not starting with a digit.
bool IsPlainIdentifier(const CString& name);
// A delimited text file by its extension (from the last "."): .txt, .csv, .tab or .asc, any case.
bool IsTextFilePath(const CString& path);

// The ODBC data source names: the user's, then the system's; a name in both comes twice.
std::vector<CString> GetOdbcDataSourceNames();
