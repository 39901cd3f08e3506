// Feeds arbitrary bytes to the importer of delimited text as a file would: the first byte picks the
// code page of files without a byte-order mark, the delimiter rule and the size of the chunks the
// bytes come in, the rest is the file. What reads is queried.

#include "data/barcodedb.h"
#include "data/sqlitesource.h"
#include "data/textimport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const UINT codePages[] = {1252, 936, 950};
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const QString name = data[0] & 4 ? QStringLiteral("t.tab") : QStringLiteral("t.csv");
    try {
        CSqliteSource source;
        const auto chunks = MemoryBytes(bytes, data[0] & 8 ? 1 + (data[0] >> 4) : bytes.size());
        ImportDelimitedText(source, *chunks, name, name.toStdString(), codePages[data[0] % 3]);
        source.Select(QStringLiteral("SELECT * FROM `%1` ORDER BY 1").arg(name));
    } catch (const CBarcodeDBException&) {
    }
    return 0;
}
