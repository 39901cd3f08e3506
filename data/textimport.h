#pragma once
// Imports a delimited text file into the data engine without holding the file in memory. A first
// pass finds the columns, which of them hold only numbers, and how much room the data will take,
// so that a file the engine cannot hold is refused before anything is written; a second pass
// decodes, splits and writes the rows. The work reports its progress through CProgress, and stops
// when the user cancels it.

#include "framework/types.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

class CSqliteSource;

// The bytes of a file, read in chunks, from the start again on Rewind.
class CByteSource {
public:
    virtual ~CByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // Up to max bytes; 0 at the end. Throws CBarcodeDBException.
    virtual std::size_t Read(char* buffer, std::size_t max) = 0;
    virtual void Rewind() = 0;
};

// Throws CBarcodeDBException naming the file and the cause.
std::unique_ptr<CByteSource> OpenByteFile(const QString& path);
// Bytes in memory, handed out at most chunk at a time.
std::unique_ptr<CByteSource> MemoryBytes(std::string_view bytes, std::size_t chunk);

// Imports the text as the table; fileName names the file in messages and in the progress, and a
// name ending in ".tab" has tabs between its fields. Throws CBarcodeDBException, after which the
// engine holds no part of the table.
void ImportDelimitedText(CSqliteSource& source, CByteSource& bytes, const QString& fileName, const std::string& table,
                         UINT codePage);
void ImportDelimitedFile(CSqliteSource& source, const QString& path, const std::string& table, UINT codePage);
