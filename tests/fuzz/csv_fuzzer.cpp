// Feeds arbitrary bytes to the reader of delimited text as a file would: the first byte picks the
// code page of files without a byte-order mark and the delimiter rule, the rest is the file. What
// reads is imported into SQLite and queried.

#include "data/barcodedb.h"
#include "data/delimitedtext.h"
#include "data/sqlitesource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const UINT codePages[] = {1252, 936, 950};
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        CImportTable table;
        table.name = "t.csv";
        const std::string text = DecodeText(bytes, codePages[data[0] % 3], QStringLiteral("t.csv"));
        ParseDelimited(text, data[0] & 4 ? '\t' : GuessDelimiter(text), table);
        CSqliteSource source;
        source.Import(table);
        source.Select(QStringLiteral("SELECT * FROM `t.csv` ORDER BY 1"));
    } catch (const CBarcodeDBException&) {
    }
    return 0;
}
