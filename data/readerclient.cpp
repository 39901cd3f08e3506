#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/importtable.h"

void ReadWithReaderProgram(const CString& path, bool access, UINT codePage, std::vector<CImportTable>& tables)
{
    throw CBarcodeDBException(path);
}
