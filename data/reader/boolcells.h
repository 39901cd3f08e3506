#pragma once
// The Boolean and error cells of an .xls workbook. freexl hands both on as plain integers, so
// the reader finds them in the workbook's own records to tell TRUE from 1. Plain C++; the
// stream is untrusted and every offset in it is checked.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace boolcells {

enum class Cell : std::uint8_t { False, True, Error };

using Cells = std::map<std::pair<std::uint32_t, std::uint32_t>, Cell>;  // by (row, column)

struct Sheet
{
    std::string name;  // UTF-8; a BIFF5 name only when it is plain ASCII, else empty
    bool worksheet = true;  // not a chart, dialog or macro sheet
    // Shared by sheet records that point at the same place, which is read once.
    std::shared_ptr<const Cells> cells;
};

// The sheets of a BIFF5 or BIFF8 workbook stream, in the order of its sheet records, each with
// its Boolean and error cells. A damaged record ends the walk with what was found before it; an
// encrypted workbook gives nothing.
std::vector<Sheet> Scan(std::string_view stream);

// The length in characters of the first shared string of a BIFF8 workbook stream that runs on
// over more than one CONTINUE record (freexl cuts such a text short, or reads no sheet of the
// workbook); 0 when none does.
std::size_t StringOverTwoContinues(std::string_view stream);

// The workbook stream ("Workbook", else "Book") of the compound file at path; empty when the
// file has none or cannot be read.
std::string ReadWorkbookStream(const char* path);

// The sheet of that name, the one at index first when its name matches; nullptr when none has it.
const Sheet* Find(const std::vector<Sheet>& sheets, std::size_t index, std::string_view name);

}  // namespace boolcells
