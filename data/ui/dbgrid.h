#pragma once
// Grids of database records: a table model over the whole result of one query, and the table
// view that opens a data source, runs queries and shows their records. In virtual mode the
// rows are the records of the result, read from it in windows of rows as the view paints them;
// otherwise each record is offered to OnBeforeAddRow once and the grid keeps those it accepts.

#include "framework/types.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <vector>

#include "data/recordset.h"

class CBarcodeDB;
class CBCGPADOGridCtrl;

class CDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The rows read from the record set at a time.
    static constexpr int kWindowRows = 256;

    explicit CDBGridModel(CBCGPADOGridCtrl* grid, QObject* parent = nullptr);
    ~CDBGridModel() override;

    // Shows a result: every record in virtual mode, else the records listed (indexes into it).
    void SetRecords(std::unique_ptr<CRecordSet> records, bool virtualMode, std::vector<std::int64_t> rows = {});
    void RemoveAllColumns();
    const CRecordSet* Records() const { return m_records.get(); }
    // The record a row of the grid shows.
    std::int64_t RecordOf(int row) const;
    // The row marked as current in the row headers, -1 for none.
    void SetCurrentRow(int row);
    int CurrentRow() const { return m_currentRow; }
    void SetRowMarker(const QIcon& icon) { m_marker = icon; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // How many windows of rows were read, for tests and benchmarks.
    int WindowsFetched() const { return m_fetches; }

private:
    // The window that holds the record, read when it is not the current one.
    const CRowWindow& WindowFor(std::int64_t record) const;

    CBCGPADOGridCtrl* m_grid;
    std::unique_ptr<CRecordSet> m_records;
    std::vector<CString> m_columns;
    bool m_virtual = true;
    std::int64_t m_rowCount = 0;
    std::vector<std::int64_t> m_rows;  // records of the rows, outside virtual mode
    mutable CRowWindow m_window;
    mutable bool m_haveWindow = false;
    mutable int m_fetches = 0;
    int m_currentRow = -1;
    QIcon m_marker;
};

// The grid of an ADO-style data source. Every failure of a data operation is shown (ShowComError)
// and makes the operation return FALSE.
class CBCGPADOGridCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CBCGPADOGridCtrl(QWidget* parent = nullptr);
    ~CBCGPADOGridCtrl() override;

    BOOL OpenConnectionString(const CString& connection, const CString& userId = {}, const CString& password = {},
                              long options = 0);
    BOOL OpenAccessFile(const CString& path, const CString& userId = {}, const CString& password = {},
                        long options = 0);
    // Empties the grid and closes the source.
    BOOL CloseSource();
    BOOL GetTableNames(std::vector<CString>& names);
    BOOL GetRecordFieldNames(std::vector<CString>& names);
    BOOL GetTableFieldNames(const CString& table, std::vector<CString>& names);
    BOOL OpenTableRecords(const CString& table);
    // Runs the query and shows its records, a column per field.
    BOOL OpenQuery(const CString& query);
    // The text of a cell of the record; NULL shows nothing (empty text in text columns).
    virtual QVariant FillCell(const CRowWindow& window, int row, int column) const;
    // Whether the grid may sort by the column: not for binary fields, not without records.
    virtual BOOL CanSortColumn(int column) const;
    // Asked for each record outside virtual mode; FALSE leaves it out.
    virtual BOOL OnBeforeAddRow(std::int64_t record);
    virtual void ShowComError(const CString& message);

    void EnableVirtualMode(BOOL on = TRUE) { m_bVirtual = on; }
    BOOL IsVirtualMode() const { return m_bVirtual; }
    void SetDbSort(BOOL on) { m_bDbSort = on; }
    void SetReadOnly(BOOL on = TRUE);
    void SetWholeRowSel(BOOL on = TRUE);
    // The source, open or not, so that helpers can build queries on the same connection.
    CBarcodeDB& Database() { return *m_pDatabase; }
    CDBGridModel* Model() const { return m_model; }

private:
    std::unique_ptr<CBarcodeDB> m_pDatabase;
    CDBGridModel* m_model;
    BOOL m_bVirtual = FALSE;
    BOOL m_bDbSort = TRUE;
};

// The grid of the wizard's preview: every value shows as text, and the current row carries
// the row marker.
class CExBCGPODBCGridCtrl : public CBCGPADOGridCtrl {
    Q_OBJECT
public:
    explicit CExBCGPODBCGridCtrl(QWidget* parent = nullptr);
    QVariant FillCell(const CRowWindow& window, int row, int column) const override;
};
