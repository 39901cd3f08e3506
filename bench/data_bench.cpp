// Importing a data file of 100,000 rows and 8 columns (7.4 MB as text) into the engine: as
// delimited text and as an .xlsx workbook, then a sorted query over it and a window of its last
// rows. The memory counter is how much the resident size grew while the source and the query's
// result were held.
//
// Long values over ODBC, from an SQLite file through the SQLite ODBC driver: a value of 1, 10
// and 100 MB read whole.
//
// Large delimited text: files of 400 MB, which the engine holds, and of 1.1 GB, which it cannot
// hold and refuses as soon as its size shows it; the peak counter is the highest resident size
// during the import above the size before it, the engine counter the most the engine itself held.
//
// For comparison, the sqlite3 shell's own import of the same files (.import --csv into a
// database in memory, process start included), where the shell is installed.

#include "data/barcodedb.h"
#include "data/recordset.h"
#include "framework/resourcemodule.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <xlsxwriter.h>

namespace {

constexpr int kRows = 100000;

QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

double ResidentMB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Row
{
    std::string code, name, city, note, date;
    double price;
    int quantity;
    bool flag;
};

Row MakeRow(int i)
{
    static const char* cities[] = {"Zürich", "臺北", "Lisboa", "Osaka", "Kraków"};
    Row row;
    row.code = std::to_string(100000 + i).insert(0, "00");
    row.name = "Item number " + std::to_string(i) + (i % 7 ? "" : ", boxed");
    row.city = cities[i % 5];
    row.price = (i % 10000) / 4.0;
    row.quantity = i % 977;
    row.date = "2024-" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "-1" + std::to_string(i % 10);
    row.note = i % 3 ? "a note that is somewhat long" : "";
    row.flag = i % 2;
    return row;
}

const QString& CsvPath()
{
    static const QString path = [] {
        const QString p = Folder().filePath("big.csv");
        std::ofstream out(p.toStdString(), std::ios::binary);
        out << "Code,Name,City,Price,Quantity,Date,Note,Flag\r\n";
        for (int i = 0; i < kRows; ++i) {
            const Row r = MakeRow(i);
            out << r.code << ",\"" << r.name << "\"," << r.city << ',' << r.price << ',' << r.quantity << ','
                << r.date << ',' << r.note << ',' << (r.flag ? "True" : "False") << "\r\n";
        }
        return p;
    }();
    return path;
}

const QString& XlsxPath()
{
    static const QString path = [] {
        const QString p = Folder().filePath("big.xlsx");
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        lxw_workbook* book = workbook_new_opt(p.toUtf8().constData(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
        const char* header[] = {"Code", "Name", "City", "Price", "Quantity", "Date", "Note", "Flag"};
        for (int c = 0; c < 8; ++c)
            worksheet_write_string(sheet, 0, lxw_col_t(c), header[c], nullptr);
        for (int i = 0; i < kRows; ++i) {
            const Row r = MakeRow(i);
            const lxw_row_t row = lxw_row_t(i + 1);
            worksheet_write_string(sheet, row, 0, r.code.c_str(), nullptr);
            worksheet_write_string(sheet, row, 1, r.name.c_str(), nullptr);
            worksheet_write_string(sheet, row, 2, r.city.c_str(), nullptr);
            worksheet_write_number(sheet, row, 3, r.price, nullptr);
            worksheet_write_number(sheet, row, 4, r.quantity, nullptr);
            worksheet_write_string(sheet, row, 5, r.date.c_str(), nullptr);
            if (!r.note.empty())
                worksheet_write_string(sheet, row, 6, r.note.c_str(), nullptr);
            worksheet_write_boolean(sheet, row, 7, r.flag, nullptr);
        }
        workbook_close(book);
        return p;
    }();
    return path;
}

// The highest resident size since the last ResetPeak, in MB.
double PeakMB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A file of about megabytes MB made of the rows above, each written once per process.
QString LargeCsvPath(int megabytes)
{
    const QString p = Folder().filePath(QStringLiteral("large%1.csv").arg(megabytes));
    if (QFile::exists(p))
        return p;
    std::ofstream out(p.toStdString(), std::ios::binary);
    out << "Code,Name,City,Price,Quantity,Date,Note,Flag\r\n";
    const long long bytes = (long long)megabytes * 1000000;
    for (int i = 0; out.tellp() < bytes; ++i) {
        const Row r = MakeRow(i);
        out << r.code << ",\"" << r.name << "\"," << r.city << ',' << r.price << ',' << r.quantity << ',' << r.date
            << ',' << r.note << ',' << (r.flag ? "True" : "False") << "\r\n";
    }
    return p;
}

// Names the SQLite database `db` as the ODBC data source `name`, through an ini file of the
// benchmark's own folder.
void UseDataSource(const QString& file, const char* name, const char* driver, const QString& db)
{
    const QString ini = Folder().filePath(file);
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("[%1]\nDriver=%2\nDatabase=%3\n").arg(QLatin1String(name), QLatin1String(driver), db).toUtf8());
    f.close();
    qputenv("ODBCINI", ini.toUtf8());
}

void BM_ImportLargeCsv(benchmark::State& state)
{
    const QString path = LargeCsvPath(int(state.range(0)));
    double peak = 0, engine = 0;
    bool refused = false;
    for (auto _ : state) {
        const double before = ResidentMB();
        ResetPeak();
        sqlite3_memory_highwater(1);
        {
            CBarcodeDB db;
            CString connection;
            refused = !db.OpenFile(path, connection);
            if (refused && !db.GetLastError().contains(QStringLiteral("data engine"))) {
                state.SkipWithError(db.GetLastError().toStdString().c_str());
                break;
            }
            state.PauseTiming();
            peak = std::max(peak, PeakMB() - before);
            engine = std::max(engine, double(sqlite3_memory_highwater(0)) / (1024.0 * 1024.0));
        }
        state.ResumeTiming();
    }
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    state.counters["peak_growth_MB"] = peak;
    state.counters["engine_MB"] = engine;
    state.counters["refused"] = refused;
}
BENCHMARK(BM_ImportLargeCsv)->Arg(400)->Arg(1100)->Unit(benchmark::kSecond)->Iterations(1);

void BM_OdbcLongValue(benchmark::State& state)
{
    const char* driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
    if (!QFile::exists(QString::fromLatin1(driver))) {
        state.SkipWithError("libsqliteodbc is not installed");
        return;
    }
    const std::size_t bytes = std::size_t(state.range(0)) << 20;
    const QString db = Folder().filePath(QStringLiteral("long%1.db").arg(state.range(0)));
    QFile::remove(db);
    sqlite3* h = nullptr;
    sqlite3_open(db.toUtf8().constData(), &h);
    sqlite3_exec(h, "CREATE TABLE Long (Value TEXT)", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO Long VALUES (?)", -1, &insert, nullptr);
    const std::string value(bytes, 'x');
    sqlite3_bind_text(insert, 1, value.data(), int(value.size()), SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    sqlite3_close(h);
    UseDataSource(QStringLiteral("odbc%1.ini").arg(state.range(0)), "Long", driver, db);
    for (auto _ : state) {
        CBarcodeDB source;
        if (!source.OpenDSN(QStringLiteral("Long"))) {
            state.SkipWithError(source.GetLastError().toStdString().c_str());
            break;
        }
        source.SetTimeLimit(CBarcodeDB::kPrintSeconds);
        try {
            const auto set = source.OpenQuery(QStringLiteral("SELECT Value FROM Long"));
            benchmark::DoNotOptimize(set->GetRecordCount());
        } catch (const CBarcodeDBException& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
    qunsetenv("ODBCINI");
    state.counters["value_MB"] = double(state.range(0));
}
BENCHMARK(BM_OdbcLongValue)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

void Import(benchmark::State& state, const QString& path, const QString& table)
{
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMB();
        CBarcodeDB db;
        CString connection;
        if (!db.OpenFile(path, connection)) {
            state.SkipWithError(db.GetLastError().toStdString().c_str());
            return;
        }
        state.PauseTiming();
        growth = std::max(growth, ResidentMB() - before);
        state.ResumeTiming();
    }
    state.counters["rows"] = kRows;
    state.counters["growth_MB"] = growth;
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    (void)table;
}

void BM_ImportCsv(benchmark::State& state)
{
    const QString& path = CsvPath();
    Import(state, path, "big.csv");
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(5);

void ShellImport(benchmark::State& state, const QString& path)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        state.SkipWithError("the sqlite3 shell is not installed");
        return;
    }
    for (auto _ : state) {
        QProcess process;
        process.start(shell, {QStringLiteral(":memory:"), QStringLiteral(".import --csv '%1' t").arg(path)});
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError(process.readAllStandardError().toStdString().c_str());
            return;
        }
    }
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
}

void BM_ShellImportCsv(benchmark::State& state)
{
    ShellImport(state, CsvPath());
}
BENCHMARK(BM_ShellImportCsv)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShellImportLargeCsv(benchmark::State& state)
{
    ShellImport(state, LargeCsvPath(int(state.range(0))));
}
BENCHMARK(BM_ShellImportLargeCsv)->Arg(400)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ImportXlsx(benchmark::State& state)
{
    const QString& path = XlsxPath();
    Import(state, path, "Data$");
}
BENCHMARK(BM_ImportXlsx)->Unit(benchmark::kMillisecond)->Iterations(3);

// Open, import, run a sorted query into a record set and fetch the last window of rows: the work
// behind a grid's first paint and its jump to the end; the growth holds source and result.
void BM_CsvSortedQueryAndLastWindow(benchmark::State& state)
{
    const QString& path = CsvPath();
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMB();
        CBarcodeDB db;
        CString connection;
        if (!db.OpenFile(path, connection)) {
            state.SkipWithError(db.GetLastError().toStdString().c_str());
            return;
        }
        const auto set = db.OpenQuery("SELECT * FROM `big.csv`  ORDER BY `City` ASC, `Price` DESC");
        CRowWindow window;
        set->FetchRows(set->GetRecordCount() - 40, 40, window);
        benchmark::DoNotOptimize(window.cells.data());
        state.PauseTiming();
        growth = std::max(growth, ResidentMB() - before);
        state.ResumeTiming();
    }
    state.counters["growth_MB"] = growth;
}
BENCHMARK(BM_CsvSortedQueryAndLastWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FetchLastWindow(benchmark::State& state)
{
    CBarcodeDB db;
    CString connection;
    db.OpenFile(CsvPath(), connection);
    const auto set = db.OpenQuery("SELECT * FROM `big.csv`");
    CRowWindow window;
    for (auto _ : state) {
        set->FetchRows(set->GetRecordCount() - 40, 40, window);
        benchmark::DoNotOptimize(window.cells.data());
    }
}
BENCHMARK(BM_FetchLastWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The field list of a large table over ODBC, as the database tree and a stored query ask for it;
// the argument is millions of rows.
void BM_OdbcFieldsOfLargeTable(benchmark::State& state)
{
    const char* driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
    if (!QFile::exists(QString::fromLatin1(driver))) {
        state.SkipWithError("libsqliteodbc is not installed");
        return;
    }
    const QString db = Folder().filePath(QStringLiteral("rows%1.db").arg(state.range(0)));
    if (!QFile::exists(db)) {
        sqlite3* h = nullptr;
        sqlite3_open(db.toUtf8().constData(), &h);
        const std::string make = "CREATE TABLE Big (Id INTEGER, Name TEXT); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                                 "SELECT x + 1 FROM c WHERE x < " + std::to_string(state.range(0) * 1000000)
            + ") INSERT INTO Big SELECT x, 'Item number ' || x FROM c";
        sqlite3_exec(h, make.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(h);
    }
    UseDataSource(QStringLiteral("rows%1.ini").arg(state.range(0)), "Big", driver, db);
    double peak = 0;
    for (auto _ : state) {
        const double before = ResidentMB();
        ResetPeak();
        CBarcodeDB source;
        if (!source.OpenDSN(QStringLiteral("Big"))) {
            state.SkipWithError(source.GetLastError().toStdString().c_str());
            break;
        }
        source.SetTimeLimit(600);
        std::vector<CString> fields;
        try {
            source.GetFields(QStringLiteral("Big"), fields);
        } catch (const CBarcodeDBException& e) {
            state.SkipWithError(e.what());
            break;
        }
        benchmark::DoNotOptimize(fields.size());
        peak = std::max(peak, PeakMB() - before);
    }
    qunsetenv("ODBCINI");
    state.counters["peak_growth_MB"] = peak;
}
BENCHMARK(BM_OdbcFieldsOfLargeTable)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);
