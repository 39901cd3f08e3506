#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/importtable.h"

void ReadXlsx(const CString& path, std::vector<CImportTable>& tables)
{
    throw CBarcodeDBException(path);
}
