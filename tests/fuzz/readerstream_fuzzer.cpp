// Feeds arbitrary bytes, in pieces, as the output of the .xls and .mdb reader program, and
// imports the tables that result.

#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/readerstream.h"
#include "data/sqlitesource.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] % 16 + 1;
    readerstream::Decoder decoder;
    std::vector<CImportTable> tables;
    try {
        for (std::size_t at = 1; at < size; at += piece) {
            decoder.Feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
            if (TakeReaderRecords(decoder, tables, QStringLiteral("fuzz.mdb")))
                break;
        }
        CSqliteSource source;
        for (CImportTable& table : tables)
            source.Import(table, QStringLiteral("t.mdb"));
    } catch (const std::runtime_error&) {
    } catch (const CBarcodeDBException&) {
    }
    return 0;
}
