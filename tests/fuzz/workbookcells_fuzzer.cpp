// Feeds arbitrary bytes as the workbook stream of an .xls file to the reader program's search for
// Boolean and error cells, and to its walk of the shared strings.

#include "data/reader/boolcells.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    const auto sheets = boolcells::Scan(stream);
    boolcells::StringOverTwoContinues(stream);
    for (std::size_t i = 0; i < sheets.size(); ++i)
        boolcells::Find(sheets, i, sheets[i].name);
    return 0;
}
