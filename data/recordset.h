#pragma once
// The whole result of one query, kept compactly (one byte arena, one offset per row), so that
// grids fetch rows by range without an object per cell.

#include "framework/types.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

enum class CFieldKind { Null, Integer, Real, Text, Blob };

struct CRowWindow
{
    std::int64_t first = 0;
    int rows = 0;
    int columns = 0;
    std::vector<CString> cells;  // row-major, rows x columns; a NULL cell is a null QString
    const CString& At(int row, int column) const { return cells[std::size_t(row) * columns + column]; }
};

class CRecordSet {
public:
    CRecordSet() = default;
    explicit CRecordSet(std::vector<CString> fieldNames);

    int GetFieldCount() const { return int(m_fields.size()); }
    const CString& GetFieldName(int column) const { return m_fields[column]; }
    const std::vector<CString>& GetFieldNames() const { return m_fields; }
    // The kind of the column's first non-NULL value (Null when all are NULL).
    CFieldKind GetFieldKind(int column) const { return m_kinds[column]; }
    std::int64_t GetRecordCount() const { return std::int64_t(m_rowStart.size()); }

    // Rows first .. first + count - 1, clipped to the records there are, as display texts.
    void FetchRows(std::int64_t first, int count, CRowWindow& window) const;
    CString GetText(std::int64_t row, int column) const;  // null QString for NULL

    // Filling: one row at a time, then each of its cells in column order.
    void BeginRow();
    void AddNull();
    void AddInteger(std::int64_t value);
    void AddReal(double value);
    void AddText(const char* utf8, std::size_t length);
    void AddBlob(const void* bytes, std::size_t length);

private:
    const char* Cell(std::int64_t row, int column, CFieldKind& kind, std::size_t& length) const;
    void NoteKind(CFieldKind kind);

    std::vector<CString> m_fields;
    std::vector<CFieldKind> m_kinds;
    std::vector<std::uint64_t> m_rowStart;  // offset of each row in m_arena
    QByteArray m_arena;
    int m_column = 0;  // column of the next cell while filling
};
