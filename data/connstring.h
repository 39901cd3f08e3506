#pragma once
// Connection strings: "key=value" pairs separated by ";". Keys are case-blind and blanks around
// ";" and "=" are ignored; a value may be quoted with double quotes (a quote inside doubled) or,
// as ODBC writes driver names, with braces.

#include "framework/types.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

class CConnectionString {
public:
    // Nothing, with the reason in error, when the text is not a list of pairs.
    static std::optional<CConnectionString> Parse(const CString& text, CString* error = nullptr);

    bool Has(const CString& key) const;
    CString Value(const CString& key) const;  // the first pair's; empty when missing
    const std::vector<std::pair<CString, CString>>& Pairs() const { return m_pairs; }
    void Set(const CString& key, const CString& value);

    // The pairs again; a value that holds ";", a quote, a brace, or blanks at either end is
    // written in double quotes, or for ODBC in braces.
    CString ToString(bool braces = false) const;
    static CString QuoteValue(const CString& value, bool braces = false);

private:
    std::vector<std::pair<CString, CString>> m_pairs;
};
