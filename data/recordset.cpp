#include "data/recordset.h"

#include "data/values.h"

#include <cstring>

CRecordSet::CRecordSet(std::vector<CString> fieldNames)
    : m_fields(std::move(fieldNames)), m_kinds(m_fields.size(), CFieldKind::Null)
{
}

void CRecordSet::BeginRow()
{
    m_rowStart.push_back(std::uint64_t(m_arena.size()));
    m_column = 0;
}

void CRecordSet::NoteKind(CFieldKind kind)
{
    if (m_column < int(m_kinds.size()) && m_kinds[m_column] == CFieldKind::Null)
        m_kinds[m_column] = kind;
    ++m_column;
    m_arena.append(char(kind));
}

void CRecordSet::AddNull()
{
    ++m_column;
    m_arena.append(char(CFieldKind::Null));
}

void CRecordSet::AddInteger(std::int64_t value)
{
    NoteKind(CFieldKind::Integer);
    m_arena.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void CRecordSet::AddReal(double value)
{
    NoteKind(CFieldKind::Real);
    m_arena.append(reinterpret_cast<const char*>(&value), sizeof value);
}

static void AppendLength(QByteArray& arena, std::size_t length)
{
    do {
        unsigned char b = length & 0x7f;
        length >>= 7;
        if (length)
            b |= 0x80;
        arena.append(char(b));
    } while (length);
}

void CRecordSet::AddText(const char* utf8, std::size_t length)
{
    NoteKind(CFieldKind::Text);
    AppendLength(m_arena, length);
    m_arena.append(utf8, qsizetype(length));
}

void CRecordSet::AddBlob(const void* bytes, std::size_t length)
{
    NoteKind(CFieldKind::Blob);
    AppendLength(m_arena, length);
    m_arena.append(static_cast<const char*>(bytes), qsizetype(length));
}

// Steps over one cell at p; returns its payload and sets kind and length.
static const char* ReadCell(const char*& p, CFieldKind& kind, std::size_t& length)
{
    kind = CFieldKind(*p++);
    const char* payload = p;
    switch (kind) {
    case CFieldKind::Null:
        length = 0;
        break;
    case CFieldKind::Integer:
    case CFieldKind::Real:
        length = 8;
        break;
    case CFieldKind::Text:
    case CFieldKind::Blob: {
        length = 0;
        int shift = 0;
        unsigned char b;
        do {
            b = static_cast<unsigned char>(*p++);
            length |= std::size_t(b & 0x7f) << shift;
            shift += 7;
        } while (b & 0x80);
        payload = p;
        break;
    }
    }
    p = payload + length;
    return payload;
}

const char* CRecordSet::Cell(std::int64_t row, int column, CFieldKind& kind, std::size_t& length) const
{
    const char* p = m_arena.constData() + m_rowStart[std::size_t(row)];
    const char* payload = ReadCell(p, kind, length);
    for (int c = 0; c < column; ++c)
        payload = ReadCell(p, kind, length);
    return payload;
}

static CString CellText(CFieldKind kind, const char* payload, std::size_t length)
{
    switch (kind) {
    case CFieldKind::Null:
        return {};
    case CFieldKind::Integer: {
        std::int64_t v;
        std::memcpy(&v, payload, sizeof v);
        return QString::number(v);
    }
    case CFieldKind::Real: {
        double v;
        std::memcpy(&v, payload, sizeof v);
        return FormatNumber(v);
    }
    case CFieldKind::Text:
        return QString::fromUtf8(payload, qsizetype(length));
    case CFieldKind::Blob:
        return QString::fromLatin1(QByteArray(payload, qsizetype(length)).toHex());
    }
    return {};
}

CString CRecordSet::GetText(std::int64_t row, int column) const
{
    if (row < 0 || row >= GetRecordCount() || column < 0 || column >= GetFieldCount())
        return {};
    CFieldKind kind;
    std::size_t length;
    const char* payload = Cell(row, column, kind, length);
    return CellText(kind, payload, length);
}

void CRecordSet::FetchRows(std::int64_t first, int count, CRowWindow& window) const
{
    window.first = first;
    window.columns = GetFieldCount();
    window.cells.clear();
    if (first < 0 || count <= 0 || first >= GetRecordCount()) {
        window.rows = 0;
        return;
    }
    window.rows = int(std::min<std::int64_t>(count, GetRecordCount() - first));
    window.cells.reserve(std::size_t(window.rows) * window.columns);
    for (int r = 0; r < window.rows; ++r) {
        const char* p = m_arena.constData() + m_rowStart[std::size_t(first + r)];
        for (int c = 0; c < window.columns; ++c) {
            CFieldKind kind;
            std::size_t length;
            const char* payload = ReadCell(p, kind, length);
            window.cells.push_back(CellText(kind, payload, length));
        }
    }
}
