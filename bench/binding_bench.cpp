// Data-source bindings of text objects: loading a binding of 2,000 and 32,000 data items as a
// label's text record does, Apply of the data-source page with 1,000 rows in its grid, both
// through the page's own Apply (what CDataSourceEdit decides) and through the page itself, and
// the page opened on bindings of 2,000 and 32,000 items.

#include "data/datasourceedit.h"
#include "data/ui/datasourcedlg.h"
#include "framework/resourcemodule.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

CString Field(int i)
{
    return QStringLiteral("Field%1").arg(i);
}

// A binding as the program writes one, with n items of the table "T".
CString BindingOf(int n)
{
    CString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>"
                                 "<DataSource> \t\t\t\t\t\t\t<Database>\t\t\t\t\t\t\t");
    for (int i = 0; i < n; ++i)
        xml += QStringLiteral("<DataItem FieldName=\"%1\" Prefix=\"p%2\" Suffix=\"\" TableName=\"T\"/>").arg(Field(i)).arg(i);
    return xml + QStringLiteral("</Database>\t\t\t\t\t\t</DataSource>");
}

void BM_LoadBinding(benchmark::State& state)
{
    const int n = int(state.range(0));
    const CString xml = BindingOf(n);
    size_t items = 0;
    for (auto _ : state) {
        CContentBlock block;
        benchmark::DoNotOptimize(LoadBindingDocument(block, xml));
        items = GetDataItems(block).size();
    }
    state.counters["items"] = double(items);
}
BENCHMARK(BM_LoadBinding)->Arg(2000)->Arg(32000)->Unit(benchmark::kMillisecond);

const CDataSourceEdit::Tables& TablesOf(int n)
{
    static CDataSourceEdit::Tables tables;
    std::vector<CString>& fields = tables[QStringLiteral("T")];
    while (int(fields.size()) < n)
        fields.push_back(Field(int(fields.size())));
    return tables;
}

void BM_ApplyRows(benchmark::State& state)
{
    const int n = int(state.range(0));
    const CString xml = BindingOf(n);
    const CDataSourceEdit edit(&TablesOf(n));
    size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CContentBlock block;
        LoadBindingDocument(block, xml);
        block.mode = CONTENT_DATA;
        CDataSourceInput input;
        input.mode = CONTENT_DATA;
        input.repeat = QStringLiteral("1");
        input.rows = edit.Rows(block);
        state.ResumeTiming();
        benchmark::DoNotOptimize(edit.Apply(input, block));
        items = GetDataItems(block).size();
    }
    state.counters["items"] = double(items);
}
BENCHMARK(BM_ApplyRows)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_PageApply(benchmark::State& state)
{
    const int n = int(state.range(0));
    const CString xml = BindingOf(n);
    size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDrawText text(CRect(0, 0, 1000, 300), nullptr, QStringLiteral("x"));
        LoadBindingDocument(text.Content(), xml);
        text.Content().mode = CONTENT_DATA;
        CContentPageData data;
        data.object = &text;
        data.tables = &TablesOf(n);
        data.multiLine = 1;
        CDataSourceDlg page(&data);
        page.OnInitDialog();
        state.ResumeTiming();
        benchmark::DoNotOptimize(page.OnApply());
        items = GetDataItems(text.Content()).size();
    }
    state.counters["items"] = double(items);
}
BENCHMARK(BM_PageApply)->Arg(1000)->Unit(benchmark::kMillisecond);

// The page opened on an object bound to n items, every one a field of the list: its grid filled.
void BM_PageOpen(benchmark::State& state)
{
    const int n = int(state.range(0));
    CDrawText text(CRect(0, 0, 1000, 300), nullptr, QStringLiteral("x"));
    LoadBindingDocument(text.Content(), BindingOf(n));
    text.Content().mode = CONTENT_DATA;
    CContentPageData data;
    data.object = &text;
    data.tables = &TablesOf(n);
    data.multiLine = 1;
    int rows = 0;
    for (auto _ : state) {
        CDataSourceDlg page(&data);
        page.OnInitDialog();
        rows = page.Grid()->rowCount();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_PageOpen)->Arg(2000)->Arg(32000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
