#include "data/storedsource.h"

#include "data/barcodedb.h"
#include "data/connstring.h"
#include "data/filesource.h"
#include "framework/resourcemodule.h"

CString CheckStoredConnection(const CString& connection)
{
    CString why;
    const auto parsed = CConnectionString::Parse(connection, &why);
    if (!parsed)
        return LoadMessage(430, "the connection string cannot be read: %1").arg(why);
    const auto& pairs = parsed->Pairs();
    if (pairs.empty())
        return LoadMessage(431, "the connection string is empty");
    auto refuse = [](const CString& key) {
        return LoadMessage(432, "the connection string holds the key %1, which this program does not write")
            .arg(key.toUpper());
    };
    // Each key once: of a repeated key one reader takes the first value, another the last.
    for (std::size_t i = 0; i < pairs.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (pairs[i].first.compare(pairs[j].first, Qt::CaseInsensitive) == 0)
                return LoadMessage(433, "the connection string holds the key %1 twice").arg(pairs[i].first.toUpper());

    if (parsed->Has(QStringLiteral("Provider"))) {
        for (const auto& [key, value] : pairs) {
            const bool known = key.compare(QStringLiteral("Provider"), Qt::CaseInsensitive) == 0
                || key.compare(QStringLiteral("Data Source"), Qt::CaseInsensitive) == 0
                || key.compare(QStringLiteral("Extended Properties"), Qt::CaseInsensitive) == 0;
            if (!known)
                return refuse(key);
        }
        const CString provider = parsed->Value(QStringLiteral("Provider"));
        if (!IsFileProvider(provider))
            return LoadMessage(434, "the provider \"%1\" is not supported").arg(provider);
        if (!parsed->Has(QStringLiteral("Data Source")))
            return LoadMessage(435, "the connection names no data source");
        return {};
    }
    if (pairs.size() == 1 && pairs.front().first.compare(QStringLiteral("DSN"), Qt::CaseInsensitive) == 0) {
        if (pairs.front().second.isEmpty())
            return LoadMessage(435, "the connection names no data source");
        return {};
    }
    for (const auto& [key, value] : pairs)
        if (key.compare(QStringLiteral("DSN"), Qt::CaseInsensitive) != 0)
            return refuse(key);
    return LoadMessage(436, "the connection names no provider or data source");
}

namespace {

// Reads the text at i when it is exactly word; moves i past it.
bool Take(const CString& text, qsizetype& i, QLatin1StringView word)
{
    if (QStringView(text).mid(i, word.size()) != word)
        return false;
    i += word.size();
    return true;
}

// One name at i, quoted with quote (a doubled quote inside), or a plain name without a quote.
std::optional<CString> TakeName(const CString& text, qsizetype& i, const CString& quote)
{
    if (quote.isEmpty()) {
        const qsizetype start = i;
        while (i < text.size() && (text[i].isLetterOrNumber() || text[i] == u'_'))
            ++i;
        const CString name = text.mid(start, i - start);
        if (!IsPlainIdentifier(name))
            return std::nullopt;
        return name;
    }
    if (QStringView(text).mid(i, quote.size()) != quote)
        return std::nullopt;
    i += quote.size();
    CString name;
    while (i < text.size()) {
        if (QStringView(text).mid(i, quote.size()) == quote) {
            i += quote.size();
            if (QStringView(text).mid(i, quote.size()) != quote)
                return name;
            name += quote;
            i += quote.size();
            continue;
        }
        name += text[i++];
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

std::optional<CStoredQuery> ParseStoredQuery(const CString& query, const CString& quote, CString* why)
{
    auto fail = [why](const QString& reason) -> std::optional<CStoredQuery> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QString shape = LoadMessage(437, "the query is not of the form the database set-up writes "
                                           "(SELECT * FROM a table, optionally sorted by its fields)");
    CStoredQuery result;
    qsizetype i = 0;
    if (!Take(query, i, QLatin1StringView("SELECT * FROM ")))
        return fail(shape);
    const auto table = TakeName(query, i, quote);
    if (!table)
        return fail(shape);
    result.table = *table;
    const qsizetype n = query.size();
    if (i == n || (i + 1 == n && query[i] == u' '))
        return result;
    if (!Take(query, i, QLatin1StringView("  ORDER BY ")))
        return fail(shape);
    for (;;) {
        const auto field = TakeName(query, i, quote);
        if (!field)
            return fail(shape);
        bool descending;
        if (Take(query, i, QLatin1StringView(" ASC")))
            descending = false;
        else if (Take(query, i, QLatin1StringView(" DESC")))
            descending = true;
        else
            return fail(shape);
        result.order.emplace_back(*field, descending);
        if (i == n)
            return result;
        if (!Take(query, i, QLatin1StringView(", ")))
            return fail(shape);
    }
}
