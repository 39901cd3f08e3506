#pragma once
// An Excel 97-2003 workbook (BIFF8 records in the compound-file stream "Workbook") holding one
// worksheet whose cells are all text. Every text is a shared string; texts longer than a record
// continue in CONTINUE records. Empty texts leave their cells empty.

#include "framework/types.h"

#include <QByteArray>

#include <functional>

class CTextSheet
{
public:
    // What one worksheet of the format can hold.
    static constexpr int kMaxRows = 65536;
    static constexpr int kMaxColumns = 256;
    static constexpr int kMaxCellChars = 32767;

    // The cell texts of rows x columns cells, read by (row, column) from 0.
    using CellText = std::function<CString(int row, int column)>;

    CTextSheet(const CString& name, int rows, int columns, CellText cell);

    // Whether the sheet fits the format: FALSE with the reason when it has too many rows or
    // columns or a cell has too long a text.
    BOOL Check(CString* error) const;
    // The bytes of the "Workbook" stream; the sheet must have passed Check.
    QByteArray BuildStream() const;
    // Checks the sheet, then writes the whole workbook to a new file beside path and puts it in
    // place of path only when it was written completely; FALSE with the reason otherwise, the
    // target then untouched.
    BOOL Save(const CString& path, CString* error) const;

    // The name a worksheet may carry: at most 31 characters, none of : \ / ? * [ ], not empty.
    static CString SheetName(const CString& name);

private:
    CString m_name;
    int m_rows;
    int m_columns;
    CellText m_cell;
};
