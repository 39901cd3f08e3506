// The document's print data: the grid of records chosen for printing, and the records a print
// job draws its bound objects with.

#include "document/drawdoc.h"

CPrintDataGrid* CDrawDoc::GetPrintDataGrid()
{
    if (!m_pPrintData)
        m_pPrintData = MakePrintDataGrid();
    return m_pPrintData.get();
}

int CDrawDoc::FillPrintDataGrid()
{
    CPrintDataGrid* grid = GetPrintDataGrid();
    using Row = CPrintDataGrid::Row;
    int count = 0;
    if (grid->GetAllCheckedFlag() == 1) {
        // Every row started checked: only rows the user changed can be off.
        count = grid->GetRowCount();
        std::vector<Row*> off;
        for (const auto& [id, row] : grid->GetChangedRows())
            if (!row->checked)
                off.push_back(row);
        grid->RemoveRows(off);
        count -= int(off.size());
    } else {
        // Every row started unchecked: only rows the user changed can be on.
        std::vector<std::unique_ptr<Row>> kept;
        for (const auto& [id, row] : grid->GetChangedRows())
            if (row->checked) {
                auto copy = std::make_unique<Row>(*row);
                copy->checkItem = false;
                kept.push_back(std::move(copy));
            }
        count = int(kept.size());
        grid->ReplaceRows(std::move(kept));
    }
    return count;
}

void CDrawDoc::BeginPrintRecords()
{
    // A grid left from another source or query, or one whose query did not run, holds no
    // records of this document.
    const CPrintDataGrid* grid = m_pPrintData.get();
    m_pJobRecords = grid && grid->HoldsRecordsOf(m_strConnection, m_strQuery) ? grid : nullptr;
}
