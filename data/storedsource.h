#pragma once
// The data source a label file names. A label file may come from anyone, and its connection
// string and query run as soon as it is opened or printed, so both are taken only in the shapes
// this program writes:
// - a connection string of a file provider, as CBarcodeDB::OpenFile writes it: the keys
//   Provider (one of the file providers), Data Source and Extended Properties, each once;
// - "DSN=" and one data source name, as the set-up wizard writes it;
// - the wizard's query: "SELECT * FROM " and a quoted table name, then nothing, one blank, or
//   two blanks and "ORDER BY " with quoted field names, each followed by " ASC" or " DESC",
//   separated by ", ".

#include "framework/types.h"

#include <optional>
#include <utility>
#include <vector>

// Empty when a label file may hold the connection string; else the reason, naming the key.
CString CheckStoredConnection(const CString& connection);

struct CStoredQuery {
    CString table;
    std::vector<std::pair<CString, bool>> order;  // field, descending
};

// The table and sort fields of a query of the wizard's shape, names quoted with quote (a quote
// inside a name doubled; an empty quote: plain names only). Nothing, with the reason in *why,
// for any other text.
std::optional<CStoredQuery> ParseStoredQuery(const CString& query, const CString& quote, CString* why = nullptr);
