// A label of many text and barcode objects, as the command line meets it: the file opened into
// a document without a window, then one label printed to a PDF file through the print road; and
// as a user meets it, opened into a window of the program. Every fourth object is bound to a
// database field. Opening runs at 10,000 and 100,000 objects: its time should grow with the
// objects alone. Reports the heap the open document holds per object and the process's peak
// resident memory.

#include "benchlabel.h"
#include "app/commandline.h"
#include "app/drawapp.h"
#include "app/frames.h"
#include "framework/resourcemodule.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"
#include "symbology/drawbarcode.h"

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPrinter>
#include <QSettings>
#include <QTest>
#include <QTemporaryDir>

#include <malloc.h>
#include <map>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int kObjects = 10000;

// Writes the label of a count of objects once for every benchmark of the run.
const QString& LabelFile(int objects = kObjects)
{
    static QTemporaryDir dir;
    static std::map<int, QString> paths;
    QString& path = paths[objects];
    if (path.isEmpty()) {
        const QString file = dir.filePath(QStringLiteral("big-%1.tag").arg(objects));
        BenchLabel label;
        const float paper[2] = {2100, 2970}, size[2] = {2000, 2800}, gap[2] = {0, 0};
        const int grid[2] = {1, 1};
        label.doc.SetPaperSize(paper);
        label.doc.SetPaperCode(9);
        label.doc.SetLabelSize(size);
        label.doc.SetLabelGap(gap);
        label.doc.SetLabelGrid(grid);
        label.doc.SetMargins(50, 50, 50, 50);
        for (int i = 0; i < objects; ++i) {
            // 100 columns of rows, a text and a symbol in turn.
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
        path = file;
    }
    return path;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

void Report(benchmark::State& state, size_t heapPerObject, int objects = kObjects)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["objects"] = objects;
    state.counters["heap_B_per_object"] = double(heapPerObject);
    state.counters["max_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_OpenBigLabel(benchmark::State& state)
{
    const int objects = int(state.range(0));
    const QString& path = LabelFile(objects);
    size_t perObject = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = HeapInUse();
        auto doc = std::make_unique<CDrawDoc>();
        state.ResumeTiming();
        if (!doc->OnOpenDocument(path) || doc->GetObjects().size() != size_t(objects))
            state.SkipWithError("the label did not open");
        state.PauseTiming();
        perObject = (HeapInUse() - before) / size_t(objects);
        doc.reset();
        state.ResumeTiming();
    }
    Report(state, perObject, objects);
}
BENCHMARK(BM_OpenBigLabel)->Arg(kObjects)->Arg(10 * kObjects)->Unit(benchmark::kMillisecond);

// Counts the paints of label views that draw the label, not only the rulers' strips.
struct ViewPaints : QObject {
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* view = event->type() == QEvent::Paint ? qobject_cast<CDrawView*>(watched->parent()) : nullptr;
        if (!view || watched != view->viewport())
            return false;
        const int strip = CDrawView::kRulerWidth;
        const QRegion label = QRegion(static_cast<QPaintEvent*>(event)->rect()) -
                              QRegion(0, 0, view->viewport()->width(), strip) -
                              QRegion(0, 0, strip, view->viewport()->height());
        if (!label.isEmpty())
            ++count;
        return false;
    }
};

// Runs the event loop until the label's window has been painted and nothing has painted it
// again for a while: a paint that comes late is counted and timed too. The waits sleep, so the
// CPU time is the program's.
void SettleWindow(const ViewPaints& paints, int before)
{
    QElapsedTimer quiet;
    quiet.start();
    int seen = paints.count;
    while ((paints.count == before || quiet.elapsed() < 100) && quiet.elapsed() < 10000) {
        QTest::qWait(5);
        if (paints.count != seen) {
            seen = paints.count;
            quiet.restart();
        }
    }
}

// As a user opens it: the program's main window shown, the file opened in a window of its own,
// its objects listed in the objects bar, fitted to the window and painted. Reports the paints of
// the label per opening: one when the window is fitted before it is first painted.
void BM_OpenBigLabelInProgram(benchmark::State& state)
{
    const int objects = int(state.range(0));
    const QString& path = LabelFile(objects);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication::setOrganizationName("Brellinwick");
    QApplication::setApplicationName("Quillbar");
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    CDrawApp app;
    CDrawApp::StartOptions options;
    options.allowWelcome = false;
    if (!app.InitInstance(CCommandLineInfo::Parse({}), options) || !app.MainFrame()) {
        state.SkipWithError("the program did not start");
        return;
    }
    app.MainFrame()->resize(1024, 700);
    app.MainFrame()->show();
    QTest::qWaitForWindowExposed(app.MainFrame());
    ViewPaints paints;
    qApp->installEventFilter(&paints);
    int opened = 0, painted = 0;
    for (auto _ : state) {
        const int before = paints.count;
        CDrawDoc* doc = app.OpenDocumentFile(path);
        if (!doc || doc->GetObjects().size() != size_t(objects))
            state.SkipWithError("the label did not open");
        SettleWindow(paints, before);
        ++opened;
        painted += paints.count - before;
        state.PauseTiming();
        if (doc)
            app.CloseDocument(doc);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    qApp->removeEventFilter(&paints);
    app.ExitInstance();
    state.counters["objects"] = objects;
    state.counters["paints"] = opened ? double(painted) / opened : 0.0;
}
BENCHMARK(BM_OpenBigLabelInProgram)->Arg(kObjects)->Arg(10 * kObjects)->Unit(benchmark::kMillisecond);

// Prints an opened label as the command line does: a view made for the job alone.
void PrintAlone(CDrawDoc& doc, QPrinter& printer, benchmark::State& state)
{
    CDrawView view;
    view.AttachDocument(&doc);
    CPrintInfo info;
    info.m_bDirect = TRUE;
    if (!AfxPrintJob(&view, &printer, &info))
        state.SkipWithError("the job failed");
}

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
        PrintAlone(doc, printer, state);
    }
    AfxSetAppPrinter(nullptr);
    Report(state, perObject);
    state.counters["pdf_MB"] = double(QFileInfo(dir.filePath("big.pdf")).size()) / 1e6;
}
BENCHMARK(BM_OpenAndPrintBigLabel)->Unit(benchmark::kMillisecond);

// A label whose one text object holds a long text (lines of 80 characters), opened and printed
// as the command line prints it: a sheet of 2 x 5 labels, each label drawing the whole text
// squeezed into its box. Reports the peak resident memory of the process.
void BM_OpenAndPrintLongText(benchmark::State& state)
{
    const qsizetype chars = qsizetype(state.range(0));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long-text.tag"));
    {
        BenchLabel label;
        const float size[2] = {900, 500}, gap[2] = {20, 20};
        const int grid[2] = {2, 5};
        label.doc.SetLabelSize(size);
        label.doc.SetLabelGap(gap);
        label.doc.SetLabelGrid(grid);
        QString text(chars, Qt::Uninitialized);
        for (qsizetype i = 0; i < chars; ++i)
            text[i] = i % 81 == 80 ? QChar(u'\n') : QChar(char16_t(u'A' + (i * 7) % 26));
        auto* obj = new CDrawText(CRect(100, 100, 2000, 1000), &label.view, QString());
        obj->m_text = text;
        obj->m_position = CRect(100, 100, 2000, 1000);
        label.view.AddObject(obj);
        if (!label.doc.OnSaveDocument(file))
            qFatal("the label could not be written");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("long-text.pdf"));
    AfxSetAppPrinter(&printer);
    for (auto _ : state) {
        CDrawDoc doc;
        if (!doc.OnOpenDocument(file))
            state.SkipWithError("the label did not open");
        doc.SetLabelsToPrint(10);  // the count is the job's, not the file's: the whole sheet
        PrintAlone(doc, printer, state);
    }
    AfxSetAppPrinter(nullptr);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["chars"] = double(chars);
    state.counters["max_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["pdf_MB"] = double(QFileInfo(dir.filePath("long-text.pdf")).size()) / 1e6;
}
BENCHMARK(BM_OpenAndPrintLongText)->Arg(1 << 20)->Arg(10 << 20)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
