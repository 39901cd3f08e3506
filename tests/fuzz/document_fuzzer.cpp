// Feeds arbitrary bytes to the readers of label files. The first byte chooses the reader: the
// document archive alone, the summary-information stream, or a whole compound file.

#include "document/drawdoc.h"
#include "document/summinfo.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0: {
        CDrawDoc doc;
        try {
            doc.LoadContents(bytes);
            doc.StoreContents();
        } catch (const CArchiveException&) {
        }
        break;
    }
    case 1: {
        CSummInfo info;
        if (info.ReadFromStream(bytes))
            info.WriteToStream();
        break;
    }
    default: {
        CCompoundFile file;
        QString error;
        if (file.LoadFromMemory(bytes, error)) {
            CDrawDoc doc;
            doc.LoadFromStorage(file.GetRoot());
        }
        break;
    }
    }
    return 0;
}
