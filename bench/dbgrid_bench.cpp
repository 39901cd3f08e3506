// The set-up wizard's preview on a delimited file of 100,000 rows and 8 columns (about 7.4 MB):
// opening the page (the file read, the query sorted by a number column) up to the first paint
// of the grid, and a jump from the first row to the last one (Ctrl+End) with its paint.

#include "data/barcodedb.h"
#include "data/ui/dbgrid.h"
#include "data/ui/dbsetupwizard.h"
#include "framework/resourcemodule.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 100000;

// The file, written once: a zero-padded code, three texts, a price, a count, a date and a flag.
const QString& ListFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("list.csv"));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        QByteArray text = "Code,Name,City,Price,Qty,Added,Active,Note\r\n";
        static const char* cities[] = {"Zürich", "Taipei", "Lyon", "Porto", "Kraków"};
        for (int i = 0; i < kRows; ++i) {
            const unsigned h = unsigned(i) * 2654435761u;
            text += QStringLiteral("%1,Item number %2,%3,%4.%5,%6,2024-%7-%8,%9,note %10 of the list\r\n")
                        .arg(i, 7, 10, QLatin1Char('0'))
                        .arg(h % 99991)
                        .arg(QString::fromUtf8(cities[i % 5]))
                        .arg(h % 10000)
                        .arg(h % 100, 2, 10, QLatin1Char('0'))
                        .arg(h % 500)
                        .arg(1 + h % 12, 2, 10, QLatin1Char('0'))
                        .arg(1 + h % 28, 2, 10, QLatin1Char('0'))
                        .arg(h % 2 ? "True" : "False")
                        .arg(i)
                        .toUtf8();
        }
        f.write(text);
        return p;
    }();
    return path;
}

// The document's choices after pages 1 to 3: the file, sorted by price, highest first.
CDBSetupState SortedList()
{
    CDBSetupState state;
    state.dataFilePath = ListFile();
    state.table = QStringLiteral("list.csv");
    CBarcodeDB db;
    db.OpenFile(state.dataFilePath, state.connection);
    state.sortList = {{QStringLiteral("Price"), 1}};
    return state;
}

// The wizard on screen, moved on to its preview page, with the events of its layout handled.
CWizDBDataPreviewPage& ShowPreview(CWizDBSetupSheet& sheet)
{
    CWizDBDataPreviewPage& page = sheet.PreviewPage();
    sheet.resize(800, 600);
    sheet.show();
    sheet.SetActivePage(&page);
    QApplication::processEvents();
    return page;
}

void BM_PreviewOpenSortedFirstPaint(benchmark::State& state)
{
    CDBSetupState choices = SortedList();
    std::int64_t rows = 0;
    for (auto _ : state) {
        CWizDBSetupSheet sheet(choices);
        CWizDBDataPreviewPage& page = ShowPreview(sheet);
        benchmark::DoNotOptimize(page.Grid()->viewport()->grab());
        rows = page.Grid()->Model()->rowCount();
        sheet.hide();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_PreviewOpenSortedFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_JumpToLastRow(benchmark::State& state)
{
    CDBSetupState choices = SortedList();
    CWizDBSetupSheet sheet(choices);
    CExBCGPODBCGridCtrl* grid = ShowPreview(sheet).Grid();
    CDBGridModel* model = grid->Model();
    for (auto _ : state) {
        state.PauseTiming();
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QApplication::processEvents();
        grid->viewport()->grab();
        state.ResumeTiming();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QApplication::processEvents();
        benchmark::DoNotOptimize(grid->viewport()->grab());
    }
    state.counters["windows"] = double(model->WindowsFetched());
    state.counters["current"] = double(grid->currentIndex().row());
    state.counters["height"] = double(grid->viewport()->height());
}
BENCHMARK(BM_JumpToLastRow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CResourceModule::Get().Load(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/QuillbarResources.rcc"),
                                QStringLiteral("ENU"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
