#pragma once
// One open data source behind CBarcodeDB: an in-memory SQLite database filled from files, or an
// ODBC connection.

#include "data/recordset.h"
#include "framework/types.h"

#include <memory>
#include <vector>

class CDataConnection {
public:
    virtual ~CDataConnection() = default;
    virtual std::vector<CString> Tables() = 0;
    // The identifier quote; empty when the source has none.
    virtual CString Quote() = 0;
    // Runs one SELECT; throws CBarcodeDBException with the source's message.
    virtual std::unique_ptr<CRecordSet> Select(const CString& query) = 0;
    // The field names of a table, in column order; throws like Select.
    virtual std::vector<CString> Fields(const CString& table) = 0;
    // How long each later query may run; a query stopped at the limit throws with a message.
    virtual void SetTimeLimit(int seconds) = 0;
};

// Messages that every kind of source gives alike.
CString QueryTimeLimitMessage(int seconds);
CString ValueTooLongMessage(long long bytes);
