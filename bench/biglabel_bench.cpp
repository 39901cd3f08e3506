// A label of 10,000 text and barcode objects, as the command line meets it: the file opened
// into a document without a window, then one label printed to a PDF file through the print
// road. Every fourth object is bound to a database field. Reports the heap the open document
// holds per object and the process's peak resident memory.

#include "benchlabel.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"
#include "symbology/drawbarcode.h"

#include <QPrinter>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

namespace {

constexpr int kObjects = 10000;

// Writes the label once for every benchmark of the run.
const QString& LabelFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath("big.tag");
        BenchLabel label;
        const float paper[2] = {2100, 2970}, size[2] = {2000, 2800}, gap[2] = {0, 0};
        const int grid[2] = {1, 1};
        label.doc.SetPaperSize(paper);
        label.doc.SetPaperCode(9);
        label.doc.SetLabelSize(size);
        label.doc.SetLabelGap(gap);
        label.doc.SetLabelGrid(grid);
        label.doc.SetMargins(50, 50, 50, 50);
        for (int i = 0; i < kObjects; ++i) {
            // 100 columns of 100 rows, a text and a symbol in turn.
            const int x = (i % 100) * 110, y = (i / 100) * 160;
            const CRect r(x, y, x + 100, y + 150);
            CDrawText* obj = i % 2 == 0
                                 ? new CDrawText(r, &label.view, QStringLiteral("T%1").arg(i))
                                 : new CDrawBarcode(r, &label.view, QStringLiteral("%1").arg(i), BARCODE_ID_CODE128_AUTO);
            if (i % 4 < 2) {
                obj->Content().mode = CONTENT_DATA;
                AddDataItem(obj->Content(), "Goods", QStringLiteral("F%1").arg(i % 7), "", "");
            }
            label.view.AddObject(obj);
        }
        label.doc.SetLabelsToPrint(1);
        if (!label.doc.OnSaveDocument(file))
            qFatal("the label could not be written");
        return file;
    }();
    return path;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

void Report(benchmark::State& state, size_t heapPerObject)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["objects"] = kObjects;
    state.counters["heap_B_per_object"] = double(heapPerObject);
    state.counters["max_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_OpenBigLabel(benchmark::State& state)
{
    const QString& path = LabelFile();
    size_t perObject = 0;
    for (auto _ : state) {
        const size_t before = HeapInUse();
        CDrawDoc doc;
        if (!doc.OnOpenDocument(path) || doc.GetObjects().size() != size_t(kObjects))
            state.SkipWithError("the label did not open");
        perObject = (HeapInUse() - before) / kObjects;
    }
    Report(state, perObject);
}
BENCHMARK(BM_OpenBigLabel)->Unit(benchmark::kMillisecond);

void BM_OpenAndPrintBigLabel(benchmark::State& state)
{
    const QString& path = LabelFile();
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("big.pdf"));
    AfxSetAppPrinter(&printer);
    size_t perObject = 0;
    for (auto _ : state) {
        const size_t before = HeapInUse();
        CDrawDoc doc;
        if (!doc.OnOpenDocument(path))
            state.SkipWithError("the label did not open");
        perObject = (HeapInUse() - before) / kObjects;
        // As the command line prints: a view made for the job alone.
        CDrawView view;
        view.AttachDocument(&doc);
        CPrintInfo info;
        info.m_bDirect = TRUE;
        if (!AfxPrintJob(&view, &printer, &info))
            state.SkipWithError("the job failed");
    }
    AfxSetAppPrinter(nullptr);
    Report(state, perObject);
    state.counters["pdf_MB"] = double(QFileInfo(dir.filePath("big.pdf")).size()) / 1e6;
}
BENCHMARK(BM_OpenAndPrintBigLabel)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
