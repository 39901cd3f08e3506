// Printing sheets of labels to one PDF file through the whole print road, without dialogs: the
// view prepares the job (paper, orientation, page count), then every page is drawn by the
// document's page printer. A4, 2 × 5 labels, each a serial Code 128 symbol and a serial text.

#include "benchlabel.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"
#include "symbology/drawbarcode.h"
#include "tests/support/madepictures.h"
#include "tests/support/picturelabel.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include <optional>
#include <sys/resource.h>

namespace {

void MakeSheet(CDrawDoc& doc, CDrawView& view)
{
    const float paper[2] = {2100, 2970}, label[2] = {950, 554}, gap[2] = {0, 0};
    const int grid[2] = {2, 5};
    doc.SetPaperSize(paper);
    doc.SetPaperCode(9);
    doc.SetLabelSize(label);
    doc.SetLabelGap(gap);
    doc.SetLabelGrid(grid);
    doc.SetMargins(100, 100, 100, 100);
    auto* code = new CDrawBarcode(CRect(300, 300, 310, 310), &view, "000001", BARCODE_ID_CODE128_AUTO);
    code->Content().mode = CONTENT_SERIAL;
    code->Content().step = 1;
    code->MoveTo(CRect(300, 300, 310, 310));
    view.AddObject(code);
    auto* text = new CDrawText(CRect(300, 1500, 3000, 1900), &view, "000001");
    text->Content().mode = CONTENT_SERIAL;
    text->Content().step = 1;
    view.AddObject(text);
}

// A sheet of labels set up to print into a PDF file of its own, through the program's printer.
struct PdfSheetJob {
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    std::optional<BenchLabel> label;  // made once the printer is the program's

    explicit PdfSheetJob(int labels)
    {
        UsePrinter();
        label.emplace();
        MakeSheet(label->doc, label->view);
        label->doc.SetLabelsToPrint(labels);
    }
    // A job of labels read from their stored form, read again with Reopen.
    explicit PdfSheetJob(const QByteArray& contents)
    {
        UsePrinter();
        Reopen(contents);
    }
    ~PdfSheetJob() { AfxSetAppPrinter(nullptr); }
    PdfSheetJob(const PdfSheetJob&) = delete;
    PdfSheetJob& operator=(const PdfSheetJob&) = delete;

    void Reopen(const QByteArray& contents)
    {
        label.reset();
        label.emplace();
        label->doc.LoadContents(contents);
    }
    // What the job left out goes to *omitted.
    bool Print(QStringList* omitted = nullptr)
    {
        CPrintInfo info;
        info.m_bDirect = TRUE;
        const bool ok = AfxPrintJob(&label->view, &printer, &info);
        if (omitted)
            *omitted = info.m_omitted;
        return ok;
    }
    double PdfMegabytes() const { return double(QFileInfo(dir.filePath("labels.pdf")).size()) / 1e6; }

private:
    void UsePrinter()
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("labels.pdf"));
        AfxSetAppPrinter(&printer);
    }
};

void BM_PrintSheetsToPdf(benchmark::State& state)
{
    const int labels = int(state.range(0));
    PdfSheetJob job(labels);
    for (auto _ : state) {
        if (!job.Print())
            state.SkipWithError("the job failed");
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["labels"] = labels;
    state.counters["per_label"] = benchmark::Counter(double(labels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["max_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["pdf_MB"] = job.PdfMegabytes();
}
BENCHMARK(BM_PrintSheetsToPdf)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A figure of /proc/self/status in megabytes ("VmHWM", "VmRSS"), or -1.
double StatusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// The process's peak memory starts again from what it holds now.
bool ResetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// The peak memory of one job printed to a file, and how far it rose above what the process held
// before the job: it should not grow with the number of labels.
void BM_PrintToFilePeakMemory(benchmark::State& state)
{
    const int labels = int(state.range(0));
    PdfSheetJob job(labels);
    double before = 0, peak = 0;
    for (auto _ : state) {
        if (!ResetPeakMemory()) {
            state.SkipWithError("the peak memory cannot be reset here");
            break;
        }
        before = StatusMegabytes("VmRSS");
        if (!job.Print())
            state.SkipWithError("the job failed");
        peak = StatusMegabytes("VmHWM");
    }
    state.counters["labels"] = labels;
    state.counters["peak_MB"] = peak;
    state.counters["rise_MB"] = peak - before;
    state.counters["pdf_MB"] = job.PdfMegabytes();
}
BENCHMARK(BM_PrintToFilePeakMemory)->Arg(1000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Opening a label of pictures of 16,000 x 16,000 pixels and printing it to PDF: the whole of a
// command-line print. The label's pictures are bounded together, so of ten only the first two
// are loaded and the rest reported.
void BM_PrintPictureLabel(benchmark::State& state)
{
    const int count = int(state.range(0));
    // Grey PNG files of one colour, 243 KB each and 244 MiB once decoded.
    const QByteArray contents = PictureLabelContents(QList<QByteArray>(count, made::SolidPng(16000, 16000, 8, 0)), 200);
    PdfSheetJob job(contents);
    double peak = 0;
    QStringList omitted;
    for (auto _ : state) {
        if (!ResetPeakMemory()) {
            state.SkipWithError("the peak memory cannot be reset here");
            break;
        }
        job.Reopen(contents);
        if (!job.Print(&omitted))
            state.SkipWithError("the job failed");
        peak = StatusMegabytes("VmHWM");
    }
    state.counters["pictures"] = count;
    state.counters["left_out"] = double(omitted.size());
    state.counters["peak_MB"] = peak;
    state.counters["pdf_MB"] = job.PdfMegabytes();
}
BENCHMARK(BM_PrintPictureLabel)->Arg(1)->Arg(10)->Iterations(3)->Unit(benchmark::kMillisecond);

// Opening and printing a label of small metafiles whose drawing each costs more than a picture
// may (200 ellipses over a 1,700-pixel square, under 3 KB): the label's metafiles share one bound
// on their drawing work, so the time stops growing with their number once it is spent.
void BM_PrintMetafileLabel(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QByteArray contents = PictureLabelContents(QList<QByteArray>(count, made::EllipseFlood(1700, 200)), 200);
    PdfSheetJob job(contents);
    QStringList omitted;
    for (auto _ : state) {
        job.Reopen(contents);
        if (!job.Print(&omitted))
            state.SkipWithError("the job failed");
    }
    state.counters["pictures"] = count;
    state.counters["label_KB"] = double(contents.size()) / 1024;
    state.counters["left_out"] = double(omitted.size());
}
BENCHMARK(BM_PrintMetafileLabel)->Arg(1)->Arg(10)->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
