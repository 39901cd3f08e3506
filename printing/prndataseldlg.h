#pragma once
// The print-data dialog (layout 176): the document's print-data grid shown in a table where the
// placeholder 191 stands, to tick the records to print. Button 3 ticks every record, 4 none,
// 5 exports the ticked ones to a workbook, 1 ends the dialog with OK. A click on a record's box
// and the space bar on the selected record both toggle it. The grid outlives the dialog.

#include "framework/types.h"

#include <QDialog>

class CPrintDataGrid;
class QTableView;

class CPrnDataSelDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr UINT kTemplate = 176;

    explicit CPrnDataSelDlg(CPrintDataGrid* grid, QWidget* parent = nullptr);
    ~CPrnDataSelDlg() override;

    QTableView* Table() const { return m_table; }

    void OnCheckAll();
    void OnCheckNone();
    // Asks for a file (string 124 is the default suffix and the worksheet's name) and writes
    // the ticked records there; says when it is done (string 43) or why it failed (string 31).
    void OnExport();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CPrintDataGrid* m_grid;
    QTableView* m_table = nullptr;
};
