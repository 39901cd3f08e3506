#include "data/reader/boolcells.h"

#include <gsf/gsf.h>

namespace boolcells {

namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;

struct Record
{
    std::uint16_t type = 0;
    std::string_view data;
};

unsigned U8(std::string_view d, std::size_t at)
{
    return static_cast<unsigned char>(d[at]);
}

unsigned U16(std::string_view d, std::size_t at)
{
    return U8(d, at) | (U8(d, at + 1) << 8);
}

std::uint32_t U32(std::string_view d, std::size_t at)
{
    return std::uint32_t(U16(d, at)) | (std::uint32_t(U16(d, at + 2)) << 16);
}

// Reads the record at pos and moves past it; false at the end or on a record that overruns it.
bool Next(std::string_view stream, std::size_t& pos, Record& record)
{
    if (pos > stream.size() || stream.size() - pos < 4)
        return false;
    const std::size_t length = U16(stream, pos + 2);
    if (stream.size() - pos - 4 < length)
        return false;
    record.type = std::uint16_t(U16(stream, pos));
    record.data = stream.substr(pos + 4, length);
    pos += 4 + length;
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// The name of a sheet record, from its seventh byte: BIFF8 a count of characters, a flags byte
// and the characters (one byte each, or UTF-16 when the flag's low bit is set); BIFF5 a count of
// bytes in the workbook's code page, kept only when they are ASCII.
std::string SheetName(std::string_view d, bool biff8)
{
    if (d.size() < 7)
        return {};
    const std::size_t count = U8(d, 6);
    std::string name;
    if (!biff8) {
        if (d.size() < 7 + count)
            return {};
        for (std::size_t i = 0; i < count; ++i) {
            if (U8(d, 7 + i) >= 0x80)
                return {};
            name.push_back(d[7 + i]);
        }
        return name;
    }
    if (d.size() < 8)
        return {};
    const bool wide = U8(d, 7) & 1;
    if (d.size() < 8 + count * (wide ? 2 : 1))
        return {};
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t c = wide ? U16(d, 8 + 2 * i) : U8(d, 8 + i);
        if (wide && c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            const std::uint32_t low = U16(d, 8 + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;  // an unpaired surrogate
        AppendUtf8(name, c);
    }
    return name;
}

// The Boolean and error cells of the sheet whose BOF record is at pos; the records of charts
// and other substreams nested in it are passed over.
void ScanSheet(std::string_view stream, std::size_t pos, Cells& cells)
{
    Record r;
    if (!Next(stream, pos, r) || r.type != kBof)
        return;
    int depth = 1;
    while (depth > 0 && Next(stream, pos, r)) {
        if (r.type == kBof) {
            ++depth;
        } else if (r.type == kEof) {
            --depth;
        } else if (r.type == kBoolErr && depth == 1 && r.data.size() >= 8) {
            const bool error = U8(r.data, 7) != 0;
            const Cell cell = error ? Cell::Error : U8(r.data, 6) ? Cell::True : Cell::False;
            cells[{U16(r.data, 0), U16(r.data, 2)}] = cell;
        }
    }
}

// Reads the shared strings from the SST record and the CONTINUE records after it, across their
// boundaries: inside a string's characters each further record starts with a byte of flags.
class SharedStrings {
public:
    explicit SharedStrings(std::vector<std::string_view> records) : m_records(std::move(records)) {}

    // The length of the first string that runs over more than one further record; 0 when none
    // does or the records end.
    std::size_t FirstOverTwoRecords()
    {
        if (!Skip(8))  // the total and unique counts
            return 0;
        for (;;) {
            std::uint32_t count = 0, flags = 0, runs = 0, extra = 0;
            if (!Read(2, count) || !Read(1, flags))
                return 0;
            if ((flags & 0x08) && !Read(2, runs))
                return 0;
            if ((flags & 0x04) && !Read(4, extra))
                return 0;
            const std::size_t first = m_record;
            if (!Characters(count, flags & 1) || !Skip(std::size_t(runs) * 4 + extra))
                return 0;
            if (m_record > first + 1)
                return count;
        }
    }

private:
    bool Next()
    {
        if (m_record + 1 >= m_records.size())
            return false;
        ++m_record;
        m_at = 0;
        return true;
    }
    bool Skip(std::size_t bytes)
    {
        while (bytes > 0) {
            if (m_at == m_records[m_record].size() && !Next())
                return false;
            const std::size_t step = std::min(bytes, m_records[m_record].size() - m_at);
            m_at += step;
            bytes -= step;
        }
        return true;
    }
    bool Read(int bytes, std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < bytes; ++i) {
            if (m_at == m_records[m_record].size() && !Next())
                return false;
            value |= std::uint32_t(U8(m_records[m_record], m_at++)) << (8 * i);
        }
        return true;
    }
    bool Characters(std::size_t count, bool wide)
    {
        while (count > 0) {
            if (m_at == m_records[m_record].size()) {
                if (!Next() || m_records[m_record].empty())
                    return false;
                wide = U8(m_records[m_record], m_at++) & 1;
            }
            const std::size_t fit = (m_records[m_record].size() - m_at) / (wide ? 2 : 1);
            if (fit == 0)
                return false;
            const std::size_t step = std::min(count, fit);
            m_at += step * (wide ? 2 : 1);
            count -= step;
        }
        return true;
    }

    std::vector<std::string_view> m_records;
    std::size_t m_record = 0;
    std::size_t m_at = 0;
};

}  // namespace

std::size_t StringOverTwoContinues(std::string_view stream)
{
    std::size_t pos = 0;
    Record r;
    if (!Next(stream, pos, r) || r.type != kBof || r.data.size() < 2 || U16(r.data, 0) != kBiff8)
        return 0;
    while (Next(stream, pos, r) && r.type != kEof) {
        if (r.type == kFilePass)
            return 0;
        if (r.type != kSst)
            continue;
        std::vector<std::string_view> records{r.data};
        while (Next(stream, pos, r) && r.type == kContinue)
            records.push_back(r.data);
        return SharedStrings(std::move(records)).FirstOverTwoRecords();
    }
    return 0;
}

std::vector<Sheet> Scan(std::string_view stream)
{
    std::vector<Sheet> sheets;
    std::vector<std::uint32_t> positions;
    std::size_t pos = 0;
    Record r;
    if (!Next(stream, pos, r) || r.type != kBof || r.data.size() < 2)
        return sheets;
    const bool biff8 = U16(r.data, 0) == kBiff8;
    while (Next(stream, pos, r) && r.type != kEof) {
        if (r.type == kFilePass)
            return {};
        if (r.type == kBoundSheet && r.data.size() >= 6) {
            positions.push_back(U32(r.data, 0));
            sheets.push_back({SheetName(r.data, biff8), U8(r.data, 5) == 0, {}});
        }
    }
    std::map<std::uint32_t, std::shared_ptr<const Cells>> read;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        std::shared_ptr<const Cells>& cells = read[positions[i]];
        if (!cells) {
            auto scanned = std::make_shared<Cells>();
            ScanSheet(stream, positions[i], *scanned);
            cells = std::move(scanned);
        }
        sheets[i].cells = cells;
    }
    return sheets;
}

std::string ReadWorkbookStream(const char* path)
{
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    (void)initialised;
    std::string bytes;
    GError* error = nullptr;
    GsfInput* file = gsf_input_stdio_new(path, &error);
    if (!file) {
        g_clear_error(&error);
        return bytes;
    }
    GsfInfile* ole = gsf_infile_msole_new(file, &error);
    g_clear_error(&error);
    if (ole) {
        GsfInput* stream = gsf_infile_child_by_name(ole, "Workbook");
        if (!stream)
            stream = gsf_infile_child_by_name(ole, "Book");
        if (stream) {
            const gsf_off_t size = gsf_input_size(stream);
            // A workbook stream larger than the file is a damaged directory entry.
            if (size > 0 && size <= gsf_input_size(file)) {
                bytes.resize(std::size_t(size));
                if (!gsf_input_read(stream, std::size_t(size), reinterpret_cast<guint8*>(bytes.data())))
                    bytes.clear();
            }
            g_object_unref(stream);
        }
        g_object_unref(ole);
    }
    g_object_unref(file);
    return bytes;
}

const Sheet* Find(const std::vector<Sheet>& sheets, std::size_t index, std::string_view name)
{
    if (name.empty())
        return nullptr;
    if (index < sheets.size() && sheets[index].name == name)
        return &sheets[index];
    for (const Sheet& sheet : sheets)
        if (sheet.name == name)
            return &sheet;
    return nullptr;
}

}  // namespace boolcells
