#include "data/ui/dbgrid.h"

#include "data/barcodedb.h"
#include "framework/resourcemodule.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/tablecolumns.h"

#include <QApplication>
#include <QHeaderView>

namespace {
constexpr int kColumnWidth = 50;
constexpr UINT kStrCannotOpen = 94;
}  // namespace

// --- model -----------------------------------------------------------------------------------

CDBGridModel::CDBGridModel(CBCGPADOGridCtrl* grid, QObject* parent) : QAbstractTableModel(parent), m_grid(grid) {}

CDBGridModel::~CDBGridModel() = default;

void CDBGridModel::SetRecords(std::unique_ptr<CRecordSet> records, bool virtualMode, std::vector<std::int64_t> rows)
{
    beginResetModel();
    m_records = std::move(records);
    m_columns = m_records ? m_records->GetFieldNames() : std::vector<CString>();
    m_virtual = virtualMode;
    m_rows = std::move(rows);
    m_rowCount = !m_records || m_columns.empty() ? 0
                 : m_virtual                     ? m_records->GetRecordCount()
                                                 : std::int64_t(m_rows.size());
    m_haveWindow = false;
    m_currentRow = -1;
    endResetModel();
}

void CDBGridModel::RemoveAllColumns()
{
    beginResetModel();
    m_rowCount = 0;
    m_rows.clear();
    m_columns.clear();
    m_records.reset();
    m_haveWindow = false;
    m_currentRow = -1;
    endResetModel();
}

std::int64_t CDBGridModel::RecordOf(int row) const
{
    return m_virtual ? row : m_rows[size_t(row)];
}

void CDBGridModel::SetCurrentRow(int row)
{
    const int old = m_currentRow;
    m_currentRow = row;
    if (old >= 0 && old < rowCount())
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

int CDBGridModel::rowCount(const QModelIndex& parent) const
{
    // A view counts its rows in an int; a result beyond that shows its first 2^31 - 1 records.
    return parent.isValid() ? 0 : int(std::min<std::int64_t>(m_rowCount, INT_MAX));
}

int CDBGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

const CRowWindow& CDBGridModel::WindowFor(std::int64_t record) const
{
    if (!m_haveWindow || record < m_window.first || record >= m_window.first + m_window.rows) {
        // The window starts a little before the record, so that scrolling up reads no new one
        // at once.
        const std::int64_t first = std::max<std::int64_t>(0, record - kWindowRows / 4);
        m_records->FetchRows(first, kWindowRows, m_window);
        m_haveWindow = true;
        ++m_fetches;
    }
    return m_window;
}

QVariant CDBGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_records || index.row() >= rowCount()
        || index.column() >= columnCount())
        return {};
    const std::int64_t record = RecordOf(index.row());
    const CRowWindow& window = WindowFor(record);
    return m_grid->FillCell(window, int(record - window.first), index.column());
}

QVariant CDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section < columnCount())
            return m_columns[size_t(section)];
        return {};
    }
    // The row headers carry no numbers, only the marker of the current row.
    if (role == Qt::DisplayRole)
        return QString();
    if (role == Qt::DecorationRole && section == m_currentRow && !m_marker.isNull())
        return m_marker;
    return {};
}

// --- grid ------------------------------------------------------------------------------------

CBCGPADOGridCtrl::CBCGPADOGridCtrl(QWidget* parent)
    : QTableView(parent), m_pDatabase(std::make_unique<CBarcodeDB>()), m_model(new CDBGridModel(this, this))
{
    setModel(m_model);
    horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    horizontalHeader()->setSectionsClickable(false);
    // Rows keep one height, so the view lays out a million rows without measuring them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(20);
    setWordWrap(false);
    KeepColumnsFitted(this);
}

CBCGPADOGridCtrl::~CBCGPADOGridCtrl() = default;

BOOL CBCGPADOGridCtrl::OpenConnectionString(const CString& connection, const CString&, const CString&, long)
{
    CloseSource();
    if (m_pDatabase->OpenConnection(connection))
        return TRUE;
    const CString cause = m_pDatabase->GetLastError();
    ShowComError(cause.isEmpty() ? CResourceModule::Get().LoadString(kStrCannotOpen) : cause);
    return FALSE;
}

BOOL CBCGPADOGridCtrl::OpenAccessFile(const CString& path, const CString& userId, const CString& password,
                                      long options)
{
    return OpenConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source = %1").arg(path),
                                userId, password, options);
}

BOOL CBCGPADOGridCtrl::CloseSource()
{
    m_model->RemoveAllColumns();
    m_pDatabase->Close();
    return TRUE;
}

BOOL CBCGPADOGridCtrl::GetTableNames(std::vector<CString>& names)
{
    names.clear();
    if (!m_pDatabase->IsOpen())
        return TRUE;
    try {
        m_pDatabase->GetTables(names);
        return TRUE;
    } catch (const CBarcodeDBException& e) {
        ShowComError(e.GetErrorMessage());
        return FALSE;
    }
}

BOOL CBCGPADOGridCtrl::GetRecordFieldNames(std::vector<CString>& names)
{
    if (!m_model->Records())
        return FALSE;
    const std::vector<CString>& fields = m_model->Records()->GetFieldNames();
    names.insert(names.end(), fields.begin(), fields.end());
    return TRUE;
}

BOOL CBCGPADOGridCtrl::GetTableFieldNames(const CString& table, std::vector<CString>& names)
{
    names.clear();
    if (!m_pDatabase->IsOpen())
        return FALSE;
    try {
        m_pDatabase->GetFields(table, names);
        return TRUE;
    } catch (const CBarcodeDBException& e) {
        ShowComError(e.GetErrorMessage());
        return FALSE;
    }
}

BOOL CBCGPADOGridCtrl::OpenTableRecords(const CString& table)
{
    try {
        return OpenQuery(QStringLiteral("SELECT * FROM ") + m_pDatabase->QuoteName(table));
    } catch (const CBarcodeDBException& e) {
        ShowComError(e.GetErrorMessage());
        return FALSE;
    }
}

BOOL CBCGPADOGridCtrl::OpenQuery(const CString& query)
{
    m_model->RemoveAllColumns();
    if (!m_pDatabase->IsOpen())
        return FALSE;
    std::unique_ptr<CRecordSet> records;
    try {
        records = m_pDatabase->OpenQuery(query);
    } catch (const CBarcodeDBException& e) {
        ShowComError(e.GetErrorMessage());
        return FALSE;
    }
    if (!records)
        return FALSE;
    std::vector<std::int64_t> rows;
    if (!m_bVirtual)
        for (std::int64_t r = 0; r < records->GetRecordCount(); ++r)
            if (OnBeforeAddRow(r))
                rows.push_back(r);
    m_model->SetRecords(std::move(records), m_bVirtual, std::move(rows));
    return TRUE;
}

QVariant CBCGPADOGridCtrl::FillCell(const CRowWindow& window, int row, int column) const
{
    const CString& text = window.At(row, column);
    if (!text.isNull())
        return text;
    // A NULL text field shows empty text; any other NULL leaves the cell empty.
    return m_model->Records()->GetFieldKind(column) == CFieldKind::Text ? QVariant(QString()) : QVariant();
}

BOOL CBCGPADOGridCtrl::CanSortColumn(int column) const
{
    const CRecordSet* records = m_model->Records();
    if (!records || column < 0 || column >= records->GetFieldCount())
        return FALSE;
    return records->GetFieldKind(column) != CFieldKind::Blob;
}

BOOL CBCGPADOGridCtrl::OnBeforeAddRow(std::int64_t)
{
    return TRUE;
}

void CBCGPADOGridCtrl::ShowComError(const CString& message)
{
    AfxMessageBox(message, MB_ICONERROR, this);
}

void CBCGPADOGridCtrl::SetReadOnly(BOOL on)
{
    setEditTriggers(on ? QAbstractItemView::NoEditTriggers : QAbstractItemView::AllEditTriggers);
}

void CBCGPADOGridCtrl::SetWholeRowSel(BOOL on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

// --- the preview's grid ----------------------------------------------------------------------

CExBCGPODBCGridCtrl::CExBCGPODBCGridCtrl(QWidget* parent) : CBCGPADOGridCtrl(parent)
{
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { Model()->SetCurrentRow(current.isValid() ? current.row() : -1); });
}

QVariant CExBCGPODBCGridCtrl::FillCell(const CRowWindow& window, int row, int column) const
{
    const CString& text = window.At(row, column);
    return text.isNull() ? QString() : text;
}
