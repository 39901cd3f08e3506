#pragma once
// The print-data grid of a document: the records of the document's query read through the data
// engine, held as text, each with a check box, offered as a table model to the print-data
// dialog's table. Column 0 is the check column (captioned with string 93), the query's fields
// follow. A click on a row's box and the space bar on a row both go through Toggle, which
// records the row among the changed rows; the grid never writes back to the source.

#include "document/printdatagrid.h"

#include <QAbstractTableModel>

#include <memory>

class CBarcodeDB;

class CPrnDataSelDBGrid : public QAbstractTableModel, public CPrintDataGrid
{
    Q_OBJECT
public:
    explicit CPrnDataSelDBGrid(QObject* parent = nullptr);
    ~CPrnDataSelDBGrid() override;

    // Connects to the source of a connection string (user id, password and options are not
    // used by the engine's sources); FALSE with the engine's reason when it cannot.
    BOOL Open(const CString& connection, const CString& user, const CString& password, int options,
              CString* error) override;
    void Close() override;
    BOOL IsOpen() const override { return m_bFilled ? TRUE : FALSE; }
    // Runs the query only in the form the database set-up writes (it comes from a label file).
    BOOL Fill(const CString& sql, CString* error = nullptr) override;
    void SetLabelFile(const CString& path) override { m_strLabelFile = path; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A row's check state may be set (column 0); values are read-only.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

protected:
    void BeginReset() override { beginResetModel(); }
    void EndReset() override { endResetModel(); }
    void RowChanged(int row) override;

private:
    std::unique_ptr<CBarcodeDB> m_db;
    bool m_bFilled = false;
    CString m_strLabelFile;
};

// Makes CPrnDataSelDBGrid the grid of every document.
void InstallPrintDataGrid();
