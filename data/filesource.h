#pragma once
// Opens the file sources that connection strings of the old file providers name: a folder of
// delimited text files, an Excel workbook or an Access database, imported into SQLite.

#include "data/connstring.h"
#include "data/dataconnection.h"
#include "framework/types.h"

#include <memory>

struct CImportTable;

bool IsFileProvider(const CString& provider);
// Throws CBarcodeDBException naming the file and the cause. textFile, when not empty, is
// imported at once from a text folder.
std::unique_ptr<CDataConnection> OpenFileSource(const CConnectionString& connection, const CString& documentFolder,
                                                const CString& textFile = {});
// A stored path that does not exist: the file of the same name (case-blind) in the folder, else
// the path unchanged. Stored paths may be Windows paths.
CString ResolveStoredPath(const CString& path, const CString& documentFolder);

// The readers of workbooks (also used by the fuzzer); each throws CBarcodeDBException.
void ReadXlsx(const CString& path, std::vector<CImportTable>& tables);
void ReadXlsxBytes(const std::string& bytes, std::vector<CImportTable>& tables, const CString& fileName);
// .xls and .mdb files through the reader program.
namespace readerstream { class Decoder; }
// Adds the whole records that arrived to tables; true once the end record came. Throws
// std::runtime_error for a record out of place, CBarcodeDBException for the reader's message.
bool TakeReaderRecords(readerstream::Decoder& decoder, std::vector<CImportTable>& tables, const CString& path);
void ReadWithReaderProgram(const CString& path, bool access, UINT codePage, std::vector<CImportTable>& tables);
