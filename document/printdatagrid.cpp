#include "document/printdatagrid.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

CPrintDataGrid::~CPrintDataGrid() = default;

BOOL CPrintDataGrid::Open(const CString&, const CString&, const CString&, int, CString* error)
{
    if (error)
        *error = QStringLiteral("No data engine is available.");
    return FALSE;
}

void CPrintDataGrid::Close()
{
    m_strConnection.clear();
    m_strQuery.clear();
}

BOOL CPrintDataGrid::Fill(const CString&, CString* error)
{
    ForgetChanges();
    if (error)
        *error = QStringLiteral("No data engine is available.");
    return FALSE;
}

void CPrintDataGrid::ForgetChanges()
{
    m_changed.clear();
    m_nAllChecked = 1;
}

void CPrintDataGrid::Reset(std::vector<CString> fields, std::vector<std::unique_ptr<Row>> rows)
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

int CPrintDataGrid::FindColumn(const CString& field) const
{
    const auto it = m_columns.find(field);
    return it == m_columns.end() ? 0 : it->second;
}

CString CPrintDataGrid::GetValue(int row, int column) const
{
    if (row < 0 || row >= GetRowCount() || column < 1)
        return {};
    const std::vector<CString>& values = m_rows[std::size_t(row)]->values;
    return std::size_t(column) <= values.size() ? values[std::size_t(column) - 1] : CString();
}

void CPrintDataGrid::Toggle(int row)
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

void CPrintDataGrid::SetAllChecked(bool checked)
{
    BeginReset();
    for (auto& r : m_rows)
        if (r->checkItem)
            r->checked = checked;
    m_nAllChecked = checked ? 1 : 0;
    EndReset();
}

void CPrintDataGrid::RemoveRows(const std::vector<Row*>& rows)
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

void CPrintDataGrid::ReplaceRows(std::vector<std::unique_ptr<Row>> rows)
{
    BeginReset();
    m_changed.clear();
    m_rows = std::move(rows);
    EndReset();
}

// ---------------------------------------------------------------------------------------------

namespace {
PrintDataGridMaker& Maker()
{
    static PrintDataGridMaker maker;
    return maker;
}
}  // namespace

PrintDataGridMaker SetPrintDataGridMaker(PrintDataGridMaker maker)
{
    return std::exchange(Maker(), std::move(maker));
}

std::unique_ptr<CPrintDataGrid> MakePrintDataGrid()
{
    std::unique_ptr<CPrintDataGrid> grid = Maker() ? Maker()() : nullptr;
    return grid ? std::move(grid) : std::make_unique<CPrintDataGrid>();
}
