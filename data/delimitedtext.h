#pragma once
// The reader of delimited text files (RFC 4180): quoted fields with doubled quotes and line
// breaks, CRLF or LF lines, short rows padded. The delimiter is a tab for ".tab" files, otherwise
// the first comma, semicolon or tab of the header line. The encoding comes from the byte-order
// mark; without one, valid UTF-8 is UTF-8 and anything else is read in the given code page.

#include "data/importtable.h"
#include "framework/types.h"

#include <QString>
#include <string>
#include <string_view>

// The text as UTF-8; throws CBarcodeDBException naming the file and the line of a byte
// sequence the code page lacks.
std::string DecodeText(std::string_view bytes, UINT codePage, const QString& fileName);
// Splits UTF-8 text into the header and the rows of table.
void ParseDelimited(std::string_view utf8, char delimiter, CImportTable& table);
char GuessDelimiter(std::string_view utf8);

// Reads the file; throws CBarcodeDBException naming the file and the cause.
void ReadDelimitedFile(const QString& path, UINT codePage, CImportTable& table);
// Reads bytes of a regular file whole; throws CBarcodeDBException naming the file and the cause
// (missing, a folder, a FIFO or device, unreadable).
std::string ReadWholeFile(const QString& path);
// Throws like ReadWholeFile unless path is a regular file this process may read.
void CheckRegularFile(const QString& path);
