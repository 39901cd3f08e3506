// Feeds arbitrary bytes to the importer of delimited text as a file would: the first byte picks the
// code page of files without a byte-order mark, the delimiter rule and the size of the chunks the
// bytes come in, the rest is the file. What reads is queried.
//
// Each run costs about as many allocations as it makes, and the sanitizer follows every one of
// them: the engine is opened once, and each run drops the table it made, leaving the engine as
// it found it.

#include "data/barcodedb.h"
#include "data/sqlitesource.h"
#include "data/textimport.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>

namespace {

// The engine's connection, taken as it opens.
sqlite3* g_connection = nullptr;

int Remember(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    g_connection = db;
    return SQLITE_OK;
}

CSqliteSource& Source()
{
    static CSqliteSource* const source = [] {
        using Entry = void (*)();
        sqlite3_auto_extension(reinterpret_cast<Entry>(Remember));
        auto* made = new CSqliteSource;
        sqlite3_cancel_auto_extension(reinterpret_cast<Entry>(Remember));
        return made;
    }();
    return *source;
}

// Files longer than this reach nothing new (a header of more than the 2000 columns a table may
// have takes 2001 bytes); one fed in chunks of a few bytes is cut shorter still, for each chunk
// costs a call of every stage.
constexpr std::size_t kLongest = 4100;
constexpr std::size_t kLongestInSmallChunks = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const UINT codePages[] = {1252, 936, 950};
    const bool smallChunks = data[0] & 8;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1),
                                 std::min(size - 1, smallChunks ? kLongestInSmallChunks : kLongest));
    const QString name = data[0] & 4 ? QStringLiteral("t.tab") : QStringLiteral("t.csv");
    CSqliteSource& source = Source();
    try {
        const auto chunks = MemoryBytes(bytes, smallChunks ? 1 + (data[0] >> 4) : bytes.size());
        ImportDelimitedText(source, *chunks, name, name.toStdString(), codePages[data[0] % 3]);
        source.Select(QStringLiteral("SELECT * FROM `%1` ORDER BY 1").arg(name));
    } catch (const CBarcodeDBException&) {
    }
    // Whatever happened, no transaction is left open; and the table goes, or the next run's import
    // of the same name would fail.
    if (!sqlite3_get_autocommit(g_connection))
        __builtin_trap();
    if (sqlite3_exec(g_connection, data[0] & 4 ? "DROP TABLE IF EXISTS `t.tab`" : "DROP TABLE IF EXISTS `t.csv`",
                     nullptr, nullptr, nullptr)
        != SQLITE_OK)
        __builtin_trap();
    return 0;
}
