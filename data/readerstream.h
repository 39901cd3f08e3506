#pragma once
// The stream the .xls and .mdb reader program writes on its standard output: records of a
// one-byte kind and a four-byte little-endian length, then that many bytes. Plain C++, shared by
// the reader program and the program that reads its output.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace readerstream {

enum Kind : std::uint8_t {
    Table = 'T',     // payload: the table's name (UTF-8)
    Column = 'C',    // payload: a column name (UTF-8)
    Row = 'R',       // empty: the cells of a new row follow
    Null = 'N',      // empty
    Text = 'S',      // UTF-8
    Number = 'F',    // the shortest decimal text of a double
    Boolean = 'B',   // "1" or "0"
    Date = 'D',      // days since 1899-12-30, as Number
    Error = 'E',     // the reader's message: its number, a tab and its argument (UTF-8); ends the stream
    End = 'Z',       // empty: everything was read
};

// The messages of the reader, by number; the program shows them in the user's language.
enum Message : int {
    WorkbookNotOpened = 1,  // argument: the library's error code
    DatabaseNotOpened = 2,
    TablesNotRead = 3,
    BadUsage = 4,
    UnknownFileKind = 5,
    TextTooLong = 6,        // argument: the text's length in characters
    NoSheetFound = 7,
};

inline constexpr std::uint32_t kMaxPayload = 64u << 20;

void Append(std::string& out, Kind kind, std::string_view payload = {});

struct Record
{
    Kind kind;
    std::string payload;
};

// Takes whole records from the front of a buffer as bytes arrive. Throws std::runtime_error
// on an unknown kind or a length beyond kMaxPayload.
class Decoder {
public:
    void Feed(const char* bytes, std::size_t length);
    bool Next(Record& record);  // false until a whole record is there
    std::size_t Pending() const { return m_buffer.size() - m_offset; }

private:
    std::string m_buffer;
    std::size_t m_offset = 0;
};

}  // namespace readerstream
