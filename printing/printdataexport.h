#pragma once
// The export of the records chosen for printing to an Excel 97-2003 workbook.

#include "framework/types.h"

class CPrintDataGrid;

// Writes one worksheet named `table`: the field names in row 1, then every row of the grid
// whose box is ticked, in grid order, every value as text. The file at path is replaced only
// when the whole workbook was written. A grid the format cannot hold (more than 65,535 rows, 256
// fields or 32,767 characters in a value) is refused before anything is written. FALSE with the
// reason in *error on failure.
BOOL ExportPrintDataToExcel(const CPrintDataGrid& grid, const CString& table, const CString& path,
                            CString* error);
