// quillbar-datareader xls|mdb FILE
// Reads one .xls workbook (freexl) or .mdb database (libmdb, user tables only) and writes its
// tables and rows to standard output in the reader stream (data/readerstream.h). The program
// runs apart from quillbar because these libraries can crash or loop on damaged files. Boolean
// and error cells of a workbook, which freexl gives as integers, are found in its records
// (data/reader/boolcells.h).
#include "data/reader/boolcells.h"
#include "data/readerstream.h"

#include <freexl.h>
#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace rs = readerstream;

std::string g_out;

void Flush()
{
    if (!g_out.empty()) {
        std::fwrite(g_out.data(), 1, g_out.size(), stdout);
        std::fflush(stdout);
        g_out.clear();
    }
}

void Put(rs::Kind kind, std::string_view payload = {})
{
    rs::Append(g_out, kind, payload);
    if (g_out.size() > (256u << 10))
        Flush();
}

int Error(rs::Message message, const std::string& argument = {})
{
    Put(rs::Error, std::to_string(int(message)) + '\t' + argument);
    Flush();
    return 1;
}


std::string Number(double v)
{
    char buffer[32];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// "YYYY-MM-DD 00:00:00" loses its midnight.
std::string DateText(std::string text)
{
    if (text.size() == 19 && text.compare(10, 9, " 00:00:00") == 0)
        text.resize(10);
    return text;
}

const boolcells::Cell* MarkOf(const boolcells::Sheet* sheet, unsigned int row, unsigned short column)
{
    if (!sheet || !sheet->cells)
        return nullptr;
    const auto found = sheet->cells->find({row, column});
    return found == sheet->cells->end() ? nullptr : &found->second;
}

int ReadXls(const char* path)
{
    const void* handle = nullptr;
    int rc = freexl_open(path, &handle);
    if (rc != FREEXL_OK)
        return Error(rs::WorkbookNotOpened, std::to_string(rc));
    unsigned int sheets = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
    const std::string stream = boolcells::ReadWorkbookStream(path);
    const std::vector<boolcells::Sheet> flagged = boolcells::Scan(stream);
    // freexl reads a text over more than two records without saying that it could not: one of
    // single-byte characters leaves the workbook without sheets, one of two-byte characters is
    // cut short. And a workbook whose records name worksheets is not empty when freexl lists none.
    if (const std::size_t length = boolcells::StringOverTwoContinues(stream)) {
        freexl_close(handle);
        return Error(rs::TextTooLong, std::to_string(length));
    }
    if (sheets == 0 && std::any_of(flagged.begin(), flagged.end(), [](const auto& s) { return s.worksheet; })) {
        freexl_close(handle);
        return Error(rs::NoSheetFound);
    }
    for (unsigned int s = 0; s < sheets && s < 65535; ++s) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, (unsigned short)s, &name) != FREEXL_OK
            || freexl_select_active_worksheet(handle, (unsigned short)s) != FREEXL_OK)
            continue;
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            continue;
        const boolcells::Sheet* marks = boolcells::Find(flagged, s, name ? name : "");
        Put(rs::Table, std::string(name ? name : "") + "$");
        std::size_t emptyRows = 0;
        for (unsigned int r = 0; r < rows; ++r) {
            std::vector<std::pair<rs::Kind, std::string>> cells;
            bool any = false;
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK) {
                    cells.emplace_back(rs::Null, "");
                    continue;
                }
                if (const boolcells::Cell* mark = MarkOf(marks, r, c); mark && v.type == FREEXL_CELL_INT) {
                    // TRUE and FALSE as every other source gives them; an error value is no value.
                    if (*mark == boolcells::Cell::Error)
                        cells.emplace_back(rs::Null, "");
                    else
                        cells.emplace_back(rs::Boolean, *mark == boolcells::Cell::True ? "1" : "0");
                    any = any || cells.back().first != rs::Null;
                    continue;
                }
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cells.emplace_back(rs::Number, std::to_string(v.value.int_value));
                    break;
                case FREEXL_CELL_DOUBLE:
                    cells.emplace_back(rs::Number, Number(v.value.double_value));
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    cells.emplace_back(rs::Text, DateText(v.value.text_value ? v.value.text_value : ""));
                    break;
                default:
                    cells.emplace_back(rs::Null, "");
                }
                any = any || cells.back().first != rs::Null;
            }
            if (r == 0) {
                for (auto& cell : cells)
                    Put(rs::Column, cell.first == rs::Boolean ? (cell.second == "1" ? "True" : "False") : cell.second);
                continue;
            }
            if (!any) {
                ++emptyRows;  // kept only when a filled row follows
                continue;
            }
            for (; emptyRows; --emptyRows)
                Put(rs::Row);
            Put(rs::Row);
            for (auto& cell : cells)
                Put(cell.first, cell.second);
        }
    }
    freexl_close(handle);
    Put(rs::End);
    Flush();
    return 0;
}

int ReadMdb(const char* path)
{
    MdbHandle* mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb)
        return Error(rs::DatabaseNotOpened);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    mdb_set_boolean_fmt_numbers(mdb);
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        return Error(rs::TablesNotRead);
    }
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        MdbTableDef* table = mdb_read_table(entry);
        if (!table)
            continue;
        mdb_read_columns(table);
        mdb_rewind_table(table);
        Put(rs::Table, entry->object_name);
        const unsigned int n = table->num_cols;
        std::vector<char*> values(n);
        std::vector<int> lengths(n);
        for (unsigned int c = 0; c < n; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            Put(rs::Column, column->name);
            values[c] = static_cast<char*>(g_malloc0(MDB_BIND_SIZE));
            mdb_bind_column(table, int(c + 1), values[c], &lengths[c]);
        }
        while (mdb_fetch_row(table)) {
            Put(rs::Row);
            for (unsigned int c = 0; c < n; ++c) {
                auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
                const std::string text(values[c], std::size_t(std::max(lengths[c], 0)));
                switch (column->col_type) {
                case MDB_BOOL:
                    Put(rs::Boolean, text == "0" || text.empty() ? "0" : "1");
                    break;
                case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_MONEY: case MDB_FLOAT: case MDB_DOUBLE:
                case MDB_NUMERIC: {
                    if (!lengths[c]) {
                        Put(rs::Null);
                        break;
                    }
                    char* end = nullptr;
                    const double v = std::strtod(text.c_str(), &end);
                    if (end && *end == '\0' && std::isfinite(v))
                        Put(rs::Number, Number(v));
                    else
                        Put(rs::Text, text);
                    break;
                }
                case MDB_DATETIME:
                    lengths[c] ? Put(rs::Text, DateText(text)) : Put(rs::Null);
                    break;
                case MDB_TEXT: case MDB_MEMO: case MDB_REPID:
                    lengths[c] ? Put(rs::Text, text) : Put(rs::Null);
                    break;
                default:  // pictures and other binary values are not shown
                    Put(rs::Null);
                }
            }
        }
        for (char* v : values)
            g_free(v);
        mdb_free_tabledef(table);
    }
    mdb_close(mdb);
    Put(rs::End);
    Flush();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return Error(rs::BadUsage);
    if (std::strcmp(argv[1], "xls") == 0)
        return ReadXls(argv[2]);
    if (std::strcmp(argv[1], "mdb") == 0)
        return ReadMdb(argv[2]);
    return Error(rs::UnknownFileKind);
}
