// The print data of a document: filling its grid from a CSV file through the data engine,
// reducing it to the ticked records, and exporting a full worksheet of them.

#include "benchlabel.h"
#include "data/barcodedb.h"
#include "data/prndatagrid.h"
#include "printing/printdataexport.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// A CSV file of `rows` records of 8 fields, every value different, and the grid open on it.
struct Source {
    QTemporaryDir dir;
    CString connection;
    CString query;
    explicit Source(int rows)
    {
        QFile file(dir.filePath("list.csv"));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("Code,Name,City,Street,Zip,Phone,Price,Note\n");
        QByteArray line;
        for (int r = 0; r < rows; ++r) {
            line.clear();
            for (int c = 0; c < 8; ++c) {
                if (c)
                    line += ',';
                line += "v" + QByteArray::number(r) + "-" + QByteArray::number(c);
            }
            line += '\n';
            file.write(line);
        }
        file.close();
        CBarcodeDB db;
        db.OpenFile(dir.filePath("list.csv"), connection);
        query = "SELECT * FROM " + db.QuoteName(db.GetTextFileTable());
    }
    bool Load(CPrintDataGrid& grid) const
    {
        return grid.Open(connection, {}, {}, 0, nullptr) && grid.Fill(query);
    }
};

void BM_FillGrid(benchmark::State& state)
{
    const int rows = int(state.range(0));
    Source source(rows);
    CPrnDataSelDBGrid grid;
    if (!grid.Open(source.connection, {}, {}, 0, nullptr)) {
        state.SkipWithError("the source did not open");
        return;
    }
    for (auto _ : state)
        if (!grid.Fill(source.query) || grid.GetRowCount() != rows)
            state.SkipWithError("the query failed");
    state.counters["rows"] = rows;
}
BENCHMARK(BM_FillGrid)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_FillPrintDataGridAfterUnticking(benchmark::State& state)
{
    const int rows = int(state.range(0));
    Source source(rows);
    InstallPrintDataGrid();
    CDrawDoc doc;
    CPrintDataGrid* grid = doc.GetPrintDataGrid();
    for (auto _ : state) {
        state.PauseTiming();
        if (!source.Load(*grid)) {
            state.SkipWithError("the query failed");
            break;
        }
        for (int i = 0; i < 1000; ++i)
            grid->Toggle(i * (rows / 1000));
        state.ResumeTiming();
        if (doc.FillPrintDataGrid() != rows - 1000)
            state.SkipWithError("wrong count");
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_FillPrintDataGridAfterUnticking)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ExportFullSheet(benchmark::State& state)
{
    Source source(65535);
    CPrnDataSelDBGrid grid;
    if (!source.Load(grid)) {
        state.SkipWithError("the query failed");
        return;
    }
    const QString path = source.dir.filePath("out.xls");
    for (auto _ : state)
        if (!ExportPrintDataToExcel(grid, "xls", path, nullptr))
            state.SkipWithError("the export failed");
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
}
BENCHMARK(BM_ExportFullSheet)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
