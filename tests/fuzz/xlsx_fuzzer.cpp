// Feeds arbitrary bytes to the reader of .xlsx workbooks as a file, and imports what reads.

#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/sqlitesource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        std::vector<CImportTable> tables;
        ReadXlsxBytes(std::string(reinterpret_cast<const char*>(data), size), tables, QStringLiteral("fuzz.xlsx"));
        CSqliteSource source;
        for (CImportTable& table : tables)
            source.Import(table, QStringLiteral("t.xlsx"));
    } catch (const CBarcodeDBException&) {
    }
    return 0;
}
