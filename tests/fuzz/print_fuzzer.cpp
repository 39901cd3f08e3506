// Loads arbitrary bytes as a label file, as the label-file fuzzer does (the first byte chooses the
// document archive alone, the summary stream, which prints nothing, or a whole compound file, so
// that both share their seeds), and prints the first sheet through the page
// printer into a picture at printer resolution, as a print job draws it.

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Text needs the font database of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    CDrawDoc doc;
    switch (data[0] % 3) {
    case 0:
        try {
            doc.LoadContents(bytes);
        } catch (const CArchiveException&) {
            return 0;
        }
        break;
    case 1:
        return 0;  // the summary stream prints nothing
    default: {
        CCompoundFile file;
        QString error;
        if (!file.LoadFromMemory(bytes, error) || !doc.LoadFromStorage(file.GetRoot()))
            return 0;
        break;
    }
    }
    // A few labels of the first sheet, enough for every object in more than one cell.
    doc.SetLabelsToPrint(4);

    // The top-left corner of a page at 300 dpi, as a printer context prepared by the view.
    QImage page(320, 240, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    CPainterDC dc(&page, true);
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(1536, 1536);
    CPrintInfo info;
    info.m_nCurPage = 1;
    const CRect unprintable(25, 25, 25, 25);
    doc.PrintPage(&dc, &info, nullptr, &unprintable, FALSE, &info.m_rectDraw);
    return 0;
}
