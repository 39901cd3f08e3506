#include "printing/printdataexport.h"

#include "document/printdatagrid.h"
#include "printing/biffworkbook.h"

#include <limits>
#include <vector>

BOOL ExportPrintDataToExcel(const CPrintDataGrid& grid, const CString& table, const CString& path,
                            CString* error)
{
    std::vector<int> ticked;
    for (int i = 0; i < grid.GetRowCount(); ++i)
        if (grid.GetRow(i).checked)
            ticked.push_back(i);
    const std::vector<CString>& fields = grid.GetFieldNames();
    // The sheet counts every row it is given (the refusal names them all); its cells are read
    // only when it fits.
    const auto rows = qsizetype(ticked.size()) + 1;
    const CTextSheet sheet(table, int(std::min<qsizetype>(rows, std::numeric_limits<int>::max())), int(fields.size()),
                           [&](int row, int column) {
                               return row == 0 ? fields[std::size_t(column)]
                                               : grid.GetValue(ticked[std::size_t(row) - 1], column + 1);
                           });
    return sheet.Save(path, error);
}
