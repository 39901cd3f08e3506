// The checks of what a label file may hold as its data source, on arbitrary text: the first line
// as a connection string, the rest as a query under the quote the first byte chooses. What
// passes must be what the program writes: an accepted query is written again exactly from its
// table and sort fields; an accepted connection string holds each key once, only the keys the
// program writes, and is accepted again when written back.

#include "data/barcodedb.h"
#include "data/connstring.h"
#include "data/storedsource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const CString quote = data[0] % 3 == 0 ? QStringLiteral("`") : data[0] % 3 == 1 ? QStringLiteral("\"") : QString();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype newline = text.indexOf(u'\n');
    const QString connection = newline < 0 ? text : text.left(newline);
    const QString query = newline < 0 ? QString() : text.mid(newline + 1);

    if (CheckStoredConnection(connection).isEmpty()) {
        const auto parsed = CConnectionString::Parse(connection);
        if (!parsed)
            std::abort();
        const auto& pairs = parsed->Pairs();
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const CString key = pairs[i].first.toUpper();
            if (key != "PROVIDER" && key != "DATA SOURCE" && key != "EXTENDED PROPERTIES" && key != "DSN")
                std::abort();
            for (std::size_t j = 0; j < i; ++j)
                if (pairs[j].first.compare(pairs[i].first, Qt::CaseInsensitive) == 0)
                    std::abort();
        }
        if (!CheckStoredConnection(parsed->ToString(true)).isEmpty() || !CheckStoredConnection(parsed->ToString()).isEmpty())
            std::abort();
    }

    if (const auto parsed = ParseStoredQuery(query, quote)) {
        CString again = QStringLiteral("SELECT * FROM ") + QuoteIdentifier(parsed->table, quote);
        CString order;
        for (const auto& [field, descending] : parsed->order)
            order += (order.isEmpty() ? QString() : QStringLiteral(", ")) + QuoteIdentifier(field, quote)
                     + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
        if (!order.isEmpty())
            again += QStringLiteral("  ORDER BY ") + order;
        else if (query.endsWith(u' '))
            again += u' ';
        if (again != query)
            std::abort();
    }
    return 0;
}
