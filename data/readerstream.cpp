#include "data/readerstream.h"

#include <stdexcept>

namespace readerstream {

void Append(std::string& out, Kind kind, std::string_view payload)
{
    const auto n = std::uint32_t(payload.size());
    out.push_back(char(kind));
    for (int i = 0; i < 4; ++i)
        out.push_back(char((n >> (8 * i)) & 0xff));
    out.append(payload);
}

static bool KnownKind(unsigned char k)
{
    switch (k) {
    case Table: case Column: case Row: case Null: case Text: case Number: case Boolean:
    case Date: case Error: case End:
        return true;
    default:
        return false;
    }
}

void Decoder::Feed(const char* bytes, std::size_t length)
{
    if (m_offset > 0 && m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    } else if (m_offset > (1u << 20)) {
        m_buffer.erase(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(bytes, length);
}

bool Decoder::Next(Record& record)
{
    if (Pending() < 5)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(m_buffer.data() + m_offset);
    if (!KnownKind(p[0]))
        throw std::runtime_error("unknown record kind");
    const std::uint32_t n = std::uint32_t(p[1]) | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]) << 16
        | std::uint32_t(p[4]) << 24;
    if (n > kMaxPayload)
        throw std::runtime_error("record too long");
    if (Pending() < 5 + std::size_t(n))
        return false;
    record.kind = Kind(p[0]);
    record.payload.assign(m_buffer, m_offset + 5, n);
    m_offset += 5 + n;
    return true;
}

}  // namespace readerstream
