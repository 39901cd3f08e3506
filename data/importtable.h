#pragma once
// A table read from a file, before it goes into the SQLite database: a header and rows of
// cells whose texts live in one arena.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CImportCell
{
    enum Kind : std::uint8_t { Null, Text, Number };
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    Kind kind = Null;
};

struct CImportTable
{
    std::string name;                  // the table's name in the database
    std::vector<std::string> header;   // as read; empty or repeated names are renamed on import
    // Typed sources (workbooks, Access) mark numbers themselves; in untyped ones (text) a column
    // is numeric when every value in it is a canonical number.
    bool typed = false;
    std::vector<CImportCell> cells;    // row-major, rowStart marks each row's first cell
    std::vector<std::uint64_t> rowStart;
    std::string arena;

    void BeginRow() { rowStart.push_back(cells.size()); }
    void AddNull() { cells.push_back({}); }
    void Add(CImportCell::Kind kind, std::string_view text)
    {
        if (kind == CImportCell::Null || (kind == CImportCell::Text && text.empty())) {
            AddNull();
            return;
        }
        cells.push_back({arena.size(), std::uint32_t(text.size()), kind});
        arena.append(text);
    }
    std::size_t RowCount() const { return rowStart.size(); }
    std::string_view TextOf(const CImportCell& c) const { return {arena.data() + c.offset, c.length}; }
};
