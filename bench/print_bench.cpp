// Printing sheets of labels to one PDF file through the whole print road, without dialogs: the
// view prepares the job (paper, orientation, page count), then every page is drawn by the
// document's page printer. A4, 2 × 5 labels, each a serial Code 128 symbol and a serial text.

#include "benchlabel.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "objects/drawimage.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"
#include "symbology/drawbarcode.h"
#include "tests/support/madepictures.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include <QtEndian>
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
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("labels.pdf"));
        AfxSetAppPrinter(&printer);
        label.emplace();
        MakeSheet(label->doc, label->view);
        label->doc.SetLabelsToPrint(labels);
    }
    ~PdfSheetJob() { AfxSetAppPrinter(nullptr); }
    PdfSheetJob(const PdfSheetJob&) = delete;
    PdfSheetJob& operator=(const PdfSheetJob&) = delete;

    bool Print()
    {
        CPrintInfo info;
        info.m_bDirect = TRUE;
        return AfxPrintJob(&label->view, &printer, &info);
    }
    double PdfMegabytes() const { return double(QFileInfo(dir.filePath("labels.pdf")).size()) / 1e6; }
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

// The stored form of one label holding `count` pictures of 16,000 x 16,000 pixels side by side,
// each a grey PNG file of one colour (243 KB, 244 MiB once decoded), as a label file holds it.
QByteArray PictureLabelContents(int count)
{
    CDrawDoc doc;
    const float paper[2] = {2100, 2970}, label[2] = {950, 554}, gap[2] = {0, 0};
    const int grid[2] = {1, 1};
    doc.SetPaperSize(paper);
    doc.SetPaperCode(9);
    doc.SetLabelSize(label);
    doc.SetLabelGap(gap);
    doc.SetLabelGrid(grid);
    doc.SetLabelsToPrint(1);
    CRasterImage dot;
    dot.Create(1, 1, 24);
    for (int i = 0; i < count; ++i) {
        auto* picture = new CDrawImage(CRect(100 + i * 200, 100, 1636 + i * 200, 1636));
        picture->GetImage() = dot;
        doc.Add(picture);
    }
    auto record = [](const QByteArray& bytes) {
        QByteArray length(8, '\0');
        qToLittleEndian(quint64(bytes.size()), length.data());
        return length + bytes;
    };
    QByteArray contents = doc.StoreContents();
    contents.replace(record(dot.Encode(RASTER_FORMAT_BMP)), record(made::SolidPng(16000, 16000, 8, 0)));
    return contents;
}

// Opening such a label and printing it to PDF: the whole of a command-line print. The label's
// pictures are bounded together, so of ten only the first two are loaded and the rest reported.
void BM_PrintPictureLabel(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QByteArray contents = PictureLabelContents(count);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("pictures.pdf"));
    AfxSetAppPrinter(&printer);
    double peak = 0;
    qsizetype omitted = 0;
    for (auto _ : state) {
        if (!ResetPeakMemory()) {
            state.SkipWithError("the peak memory cannot be reset here");
            break;
        }
        BenchLabel label;
        label.doc.LoadContents(contents);
        CPrintInfo info;
        info.m_bDirect = TRUE;
        if (!AfxPrintJob(&label.view, &printer, &info))
            state.SkipWithError("the job failed");
        omitted = info.m_omitted.size();
        peak = StatusMegabytes("VmHWM");
    }
    AfxSetAppPrinter(nullptr);
    state.counters["pictures"] = count;
    state.counters["left_out"] = double(omitted);
    state.counters["peak_MB"] = peak;
    state.counters["pdf_MB"] = double(QFileInfo(dir.filePath("pictures.pdf")).size()) / 1e6;
}
BENCHMARK(BM_PrintPictureLabel)->Arg(1)->Arg(10)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
