#pragma once
// The document's print-data grid: every record of the document's query, held as text, each with
// a check box that says whether the record is printed. The data layer makes the real grid (it
// reads the records through its engine and shows them in a table); the document owns the grid
// it gets from the installed maker, so the document does not depend on the data layer. Until a
// maker is installed the document has a grid that cannot be opened.
//
// Column 0 is the check column; the query's fields are the columns 1 to n. Rows are numbered by
// their id, the position they were read in.
//
// Everything here is inline, so that the data layer's grid needs no link to the document.

#include "framework/types.h"
#include "framework/resourcemodule.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

class CPrintDataGrid
{
public:
    struct Row {
        int id = 0;
        // A row of the filled grid has a check box; a row copied by the document when the user
        // chose from an unchecked start holds the check value as a plain value.
        bool checkItem = true;
        bool checked = true;
        std::vector<CString> values;  // columns 1 to n
    };
    // Every column is this wide, in pixels.
    static constexpr int kColumnWidth = 50;

    CPrintDataGrid() = default;
    virtual ~CPrintDataGrid();
    CPrintDataGrid(const CPrintDataGrid&) = delete;
    CPrintDataGrid& operator=(const CPrintDataGrid&) = delete;

    // The connection. Open connects to a source by connection string (user id, password and
    // options as the source takes them); FALSE with the cause in *error when it cannot. Close
    // drops the connection and the rows stay; the stored connection string becomes empty.
    // IsOpen: the last query ran on an open connection.
    virtual BOOL Open(const CString& connection, const CString& user, const CString& password, int options,
                      CString* error);
    virtual void Close();
    virtual BOOL IsOpen() const { return FALSE; }
    const CString& GetConnectionString() const { return m_strConnection; }
    // The query of the last fill that ran; empty once closed. One connection (a folder of text
    // files) serves several tables, so the records are those of the document only when both
    // match.
    const CString& GetQuery() const { return m_strQuery; }
    bool HoldsRecordsOf(const CString& connection, const CString& query) const
    {
        return IsOpen() && !connection.isEmpty() && m_strConnection == connection && m_strQuery == query;
    }
    // Rebuilds the grid from the query: all rows checked, no changes recorded. FALSE (with the
    // cause in *error) when the query does not run; the old rows then stay, but the changes are
    // forgotten all the same.
    virtual BOOL Fill(const CString& sql, CString* error = nullptr);
    // The label file the connection string and query come from: stored paths are also looked
    // for beside it, and a refused source names it.
    virtual void SetLabelFile(const CString&) {}

    // Columns 1 to n: field names, and the column of a field (0 when there is none; the last
    // field of a name counts).
    const std::vector<CString>& GetFieldNames() const { return m_fields; }
    int FindColumn(const CString& field) const;
    int GetColumnCount() const { return int(m_fields.size()) + 1; }

    int GetRowCount() const { return int(m_rows.size()); }
    const Row& GetRow(int index) const { return *m_rows[std::size_t(index)]; }
    // The text of column (1 to n) of a row; empty outside the grid.
    CString GetValue(int row, int column) const;

    // The user's ticks: toggling a row records it among the changed rows, by its id.
    void Toggle(int row);
    // Check all / check none: every row's box; the changes stay recorded.
    void SetAllChecked(bool checked);
    int GetAllCheckedFlag() const { return m_nAllChecked; }
    const std::map<int, Row*>& GetChangedRows() const { return m_changed; }

    // Reduces the grid to the chosen rows (the document's choice, see CDrawDoc): those of the
    // changed rows whose box is off are removed, or the rows are replaced by copies of those
    // whose box is on. Changes of removed rows are forgotten.
    void RemoveRows(const std::vector<Row*>& rows);
    void ReplaceRows(std::vector<std::unique_ptr<Row>> rows);

    // The rows as they stand, with their boxes and the changes recorded: a choice the user
    // calls off puts them back.
    struct Choice {
        std::vector<CString> fields;
        std::vector<Row> rows;
        std::vector<int> changed;  // ids of the changed rows
        int allChecked = 1;
    };
    Choice GetChoice() const;
    void RestoreChoice(const Choice& choice);

protected:
    // Replaces the columns and rows at once (a fill).
    void Reset(std::vector<CString> fields, std::vector<std::unique_ptr<Row>> rows);
    void ForgetChanges();
    // Told before and after the rows or columns change as a whole, and when one row's box
    // changes; a table model passes it on to its views.
    virtual void BeginReset() {}
    virtual void EndReset() {}
    virtual void RowChanged(int /*row*/) {}

    CString m_strConnection;
    CString m_strQuery;

private:
    std::vector<CString> m_fields;
    std::map<CString, int> m_columns;
    std::vector<std::unique_ptr<Row>> m_rows;
    std::map<int, Row*> m_changed;
    int m_nAllChecked = 1;
};

// The maker of the document's grid, installed by the data layer (tests install their own);
// an empty function removes it. Returns the previous one.
using PrintDataGridMaker = std::function<std::unique_ptr<CPrintDataGrid>()>;
PrintDataGridMaker SetPrintDataGridMaker(PrintDataGridMaker maker);
std::unique_ptr<CPrintDataGrid> MakePrintDataGrid();

// ---------------------------------------------------------------------------------------------

inline CPrintDataGrid::~CPrintDataGrid() = default;

inline BOOL CPrintDataGrid::Open(const CString&, const CString&, const CString&, int, CString* error)
{
    if (error)
        *error = LoadMessage(484, "No data engine is available.");
    return FALSE;
}

inline void CPrintDataGrid::Close()
{
    m_strConnection.clear();
    m_strQuery.clear();
}

inline BOOL CPrintDataGrid::Fill(const CString&, CString* error)
{
    ForgetChanges();
    if (error)
        *error = LoadMessage(484, "No data engine is available.");
    return FALSE;
}

inline void CPrintDataGrid::ForgetChanges()
{
    m_changed.clear();
    m_nAllChecked = 1;
}

inline void CPrintDataGrid::Reset(std::vector<CString> fields, std::vector<std::unique_ptr<Row>> rows)
{
    BeginReset();
    m_changed.clear();
    m_fields = std::move(fields);
    m_columns.clear();
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_columns[m_fields[i]] = int(i) + 1;
    m_rows = std::move(rows);
    EndReset();
}

inline int CPrintDataGrid::FindColumn(const CString& field) const
{
    const auto it = m_columns.find(field);
    return it == m_columns.end() ? 0 : it->second;
}

inline CString CPrintDataGrid::GetValue(int row, int column) const
{
    if (row < 0 || row >= GetRowCount() || column < 1)
        return {};
    const std::vector<CString>& values = m_rows[std::size_t(row)]->values;
    return std::size_t(column) <= values.size() ? values[std::size_t(column) - 1] : CString();
}

inline void CPrintDataGrid::Toggle(int row)
{
    if (row < 0 || row >= GetRowCount())
        return;
    Row* r = m_rows[std::size_t(row)].get();
    if (!r->checkItem)
        return;
    r->checked = !r->checked;
    m_changed[r->id] = r;
    RowChanged(row);
}

inline void CPrintDataGrid::SetAllChecked(bool checked)
{
    BeginReset();
    for (auto& r : m_rows)
        if (r->checkItem)
            r->checked = checked;
    m_nAllChecked = checked ? 1 : 0;
    EndReset();
}

inline void CPrintDataGrid::RemoveRows(const std::vector<Row*>& rows)
{
    if (rows.empty())
        return;
    const std::unordered_set<const Row*> gone(rows.begin(), rows.end());
    BeginReset();
    for (const Row* r : rows)
        m_changed.erase(r->id);
    std::erase_if(m_rows, [&](const std::unique_ptr<Row>& r) { return gone.count(r.get()) != 0; });
    EndReset();
}

inline void CPrintDataGrid::ReplaceRows(std::vector<std::unique_ptr<Row>> rows)
{
    BeginReset();
    m_changed.clear();
    m_rows = std::move(rows);
    EndReset();
}

inline CPrintDataGrid::Choice CPrintDataGrid::GetChoice() const
{
    Choice choice;
    choice.fields = m_fields;
    choice.rows.reserve(m_rows.size());
    for (const auto& r : m_rows)
        choice.rows.push_back(*r);
    for (const auto& [id, row] : m_changed)
        choice.changed.push_back(id);
    choice.allChecked = m_nAllChecked;
    return choice;
}

inline void CPrintDataGrid::RestoreChoice(const Choice& choice)
{
    std::vector<std::unique_ptr<Row>> rows;
    rows.reserve(choice.rows.size());
    for (const Row& r : choice.rows)
        rows.push_back(std::make_unique<Row>(r));
    Reset(choice.fields, std::move(rows));
    const std::unordered_set<int> changed(choice.changed.begin(), choice.changed.end());
    for (const auto& r : m_rows)
        if (changed.count(r->id) != 0)
            m_changed[r->id] = r.get();
    m_nAllChecked = choice.allChecked;
}

// One maker for the whole program (an inline function's static is shared by every user).
inline PrintDataGridMaker& PrintDataGridMakerSlot()
{
    static PrintDataGridMaker maker;
    return maker;
}

inline PrintDataGridMaker SetPrintDataGridMaker(PrintDataGridMaker maker)
{
    return std::exchange(PrintDataGridMakerSlot(), std::move(maker));
}

inline std::unique_ptr<CPrintDataGrid> MakePrintDataGrid()
{
    std::unique_ptr<CPrintDataGrid> grid = PrintDataGridMakerSlot() ? PrintDataGridMakerSlot()() : nullptr;
    return grid ? std::move(grid) : std::make_unique<CPrintDataGrid>();
}
