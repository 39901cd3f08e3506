#include "data/prndatagrid.h"

#include "data/barcodedb.h"
#include "data/recordset.h"
#include "framework/resourcemodule.h"

namespace {
constexpr UINT IDS_PRINT_COLUMN = 93;
}

CPrnDataSelDBGrid::CPrnDataSelDBGrid(QObject* parent) : QAbstractTableModel(parent) {}

CPrnDataSelDBGrid::~CPrnDataSelDBGrid() = default;

BOOL CPrnDataSelDBGrid::Open(const CString& connection, const CString&, const CString&, int, CString* error)
{
    m_db = std::make_unique<CBarcodeDB>();
    m_bFilled = false;
    m_db->SetLabelFile(m_strLabelFile);
    m_db->SetTimeLimit(CBarcodeDB::kPrintSeconds);
    if (!m_db->OpenConnection(connection)) {
        if (error)
            *error = m_db->GetLastError();
        m_db.reset();
        return FALSE;
    }
    m_strConnection = connection;
    return TRUE;
}

void CPrnDataSelDBGrid::Close()
{
    m_bFilled = false;
    if (m_db)
        m_db->Close();
    m_db.reset();
    CPrintDataGrid::Close();
}

BOOL CPrnDataSelDBGrid::Fill(const CString& sql, CString* error)
{
    ForgetChanges();
    if (!m_db) {
        if (error)
            *error = LoadMessage(415, "The data source is not open.");
        return FALSE;
    }
    std::unique_ptr<CRecordSet> records;
    std::vector<std::unique_ptr<Row>> rows;
    try {
        // The query comes from the label file.
        records = m_db->OpenStoredQuery(sql);
        const int n = records->GetFieldCount();
        const std::int64_t count = records->GetRecordCount();
        rows.reserve(std::size_t(count));
        for (std::int64_t r = 0; r < count; ++r) {
            auto row = std::make_unique<Row>();
            row->id = int(r);
            row->values.reserve(std::size_t(n));
            // NULL reads as the empty text.
            for (int c = 0; c < n; ++c)
                row->values.push_back(records->GetText(r, c));
            rows.push_back(std::move(row));
        }
    } catch (const CBarcodeDBException& e) {
        m_bFilled = false;
        if (error)
            *error = e.GetErrorMessage();
        return FALSE;
    } catch (const std::bad_alloc&) {
        m_bFilled = false;
        if (error)
            *error = LoadMessage(460, "There is not enough memory for the records of the data source.");
        return FALSE;
    }
    Reset(records->GetFieldNames(), std::move(rows));
    m_strQuery = sql;
    m_bFilled = true;
    return TRUE;
}

int CPrnDataSelDBGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetRowCount();
}

int CPrnDataSelDBGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || GetFieldNames().empty() ? 0 : GetColumnCount();
}

QVariant CPrnDataSelDBGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= GetRowCount())
        return {};
    const Row& row = GetRow(index.row());
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole && row.checkItem)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return GetValue(index.row(), index.column());
    return {};
}

QVariant CPrnDataSelDBGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return CResourceModule::Get().LoadString(IDS_PRINT_COLUMN);
    return section <= int(GetFieldNames().size()) ? GetFieldNames()[std::size_t(section) - 1] : QVariant();
}

Qt::ItemFlags CPrnDataSelDBGrid::flags(const QModelIndex& index) const
{
    // Boxes are toggled by the table's own click and key handling, through Toggle.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool CPrnDataSelDBGrid::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= GetRowCount())
        return false;
    const Row& row = GetRow(index.row());
    if (!row.checkItem)
        return false;
    if ((value.toInt() == Qt::Checked) != row.checked)
        Toggle(index.row());
    return true;
}

void CPrnDataSelDBGrid::RowChanged(int row)
{
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void InstallPrintDataGrid()
{
    SetPrintDataGridMaker([] { return std::make_unique<CPrnDataSelDBGrid>(); });
}
