// Each linear symbology against libzint, both sides doing the same work once per iteration: take
// the text, filter and encode it and build the bars. Ours: SetText without a device context, then
// the bars it leaves (the element list, or the module row of the EAN/UPC family). Zint:
// ZBarcode_Encode of the same data, which builds its module row. Check digits are left to each
// side; zint's Codabar is given the start and stop A that ours adds itself.
//
// Compare in a Release build, as the ratio zint time / our time of the medians of
//     symbology_bench --benchmark_filter='/(ours|zint)' --benchmark_repetitions=5
//                     --benchmark_report_aggregates_only=true
//
// A second benchmark draws a label of 20 serial-numbered barcode objects for 1,000 label indexes
// through the recording device context, as printing does.

#include "framework/recordingdc.h"
#include "objects/xmlhelper.h"
#include "symbology/barcode.h"
#include "symbology/barcodeean.h"
#include "symbology/drawbarcode.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <zint.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    int id;
    const char* ours;
    int zintSymbology;
    const char* zints;
};

const Case kCases[] = {
    {"Code39", BARCODE_ID_CODE39, "CODE39-12345", BARCODE_CODE39, "CODE39-12345"},
    {"Code39Full", BARCODE_ID_CODE39_FULL, "Code39 full!", BARCODE_EXCODE39, "Code39 full!"},
    {"Code93", BARCODE_ID_CODE93, "Code 93 text", BARCODE_CODE93, "Code 93 text"},
    {"Code128Auto", BARCODE_ID_CODE128_AUTO, "AB12345678cd", BARCODE_CODE128, "AB12345678cd"},
    {"Code128A", BARCODE_ID_CODE128_A, "CODE128 SET A", BARCODE_CODE128, "CODE128 SET A"},
    {"Code128B", BARCODE_ID_CODE128_B, "Code128 set B", BARCODE_CODE128B, "Code128 set B"},
    {"Code128C", BARCODE_ID_CODE128_C, "123456789012", BARCODE_CODE128, "123456789012"},
    {"EAN13", BARCODE_ID_EAN13, "400638133393", BARCODE_EANX, "400638133393"},
    {"EAN8", BARCODE_ID_EAN8, "9638507", BARCODE_EANX, "9638507"},
    {"UPCA", BARCODE_ID_UPCA, "03600029145", BARCODE_UPCA, "03600029145"},
    {"UPCE", BARCODE_ID_UPCE, "0123456", BARCODE_UPCE, "0123456"},
    {"Interleaved2of5", BARCODE_ID_I2OF5, "1234567890", BARCODE_C25INTER, "1234567890"},
    {"Codabar", BARCODE_ID_CODABAR, "37859", BARCODE_CODABAR, "A37859A"},
    {"ITF14", BARCODE_ID_ITF14, "09501101530003", BARCODE_ITF14, "0950110153000"},
};

void Ours(benchmark::State& state, const Case& c)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(c.id, 0.01f, 0.4f));
    auto* ean = dynamic_cast<CBarcodeEanUpc*>(code.get());
    const CString text = QString::fromLatin1(c.ours);
    for (auto _ : state) {
        CRect rect;
        code->SetText(nullptr, text, &rect, 3.0);
        if (ean)
            benchmark::DoNotOptimize(ean->GetModules());
        else
            benchmark::DoNotOptimize(code->GetElements());
        benchmark::DoNotOptimize(rect);
    }
}

void Zint(benchmark::State& state, const Case& c)
{
    zint_symbol* symbol = ZBarcode_Create();
    const std::string data = c.zints;
    for (auto _ : state) {
        ZBarcode_Clear(symbol);
        symbol->symbology = c.zintSymbology;
        const int error = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
        if (error >= ZINT_ERROR) {
            state.SkipWithError(symbol->errtxt);
            break;
        }
        benchmark::DoNotOptimize(symbol->encoded_data);
        benchmark::DoNotOptimize(symbol->width);
    }
    ZBarcode_Delete(symbol);
}

// Twenty barcode objects in two columns, each counting up from its own start, every symbology
// among them.
void BM_DrawSerialLabel(benchmark::State& state)
{
    std::vector<std::unique_ptr<CDrawBarcode>> objects;
    const char* starts[] = {"ABC-00001", "000001", "123456789012", "0012345", "5000001"};
    for (int i = 0; i < 20; ++i) {
        const int id = i % BARCODE_ID_COUNT;
        const int x = (i % 2) * 6000, y = (i / 2) * 1500;
        auto obj = std::make_unique<CDrawBarcode>(CRect(x, y, x + 10, y + 10), nullptr, starts[i % 5], id);
        obj->Content().mode = CONTENT_SERIAL;
        obj->Content().step = 1 + i % 3;
        objects.push_back(std::move(obj));
    }
    const int labels = int(state.range(0));
    CRecordingDC dc(CSize(4960, 7016), 600, true);
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(BARCODE_UNITS_PER_INCH, BARCODE_UNITS_PER_INCH);
    dc.SetViewportExt(600, 600);
    std::size_t primitives = 0;
    for (auto _ : state) {
        for (int index = 0; index < labels; ++index) {
            dc.records.clear();
            for (auto& obj : objects)
                obj->Draw(&dc, index);
            primitives += dc.records.size();
        }
    }
    state.counters["labels"] = labels;
    state.counters["primitives_per_label"] =
        double(primitives) / double(labels) / double(std::max<benchmark::IterationCount>(1, state.iterations()));
}
BENCHMARK(BM_DrawSerialLabel)->Arg(1000)->Unit(benchmark::kMillisecond);

// Code 128 Auto of a long run of digits, the text of a label that a user or a data source gives:
// the whole run goes into set C, with its choice of code set made once per character.
void BM_Code128AutoDigits(benchmark::State& state)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(BARCODE_ID_CODE128_AUTO, 0.01f, 0.4f));
    CString text(int(state.range(0)), QChar(u'0'));
    for (int i = 0; i < text.size(); ++i)
        text[i] = QChar(u'0' + i * 7 % 10);
    for (auto _ : state) {
        CRect rect;
        code->SetText(nullptr, text, &rect, 3.0);
        benchmark::DoNotOptimize(code->GetElements());
        benchmark::DoNotOptimize(rect);
    }
    state.counters["digits"] = double(state.range(0));
}
BENCHMARK(BM_Code128AutoDigits)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

const bool kRegistered = [] {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "/ours").c_str(), Ours, c);
        benchmark::RegisterBenchmark((std::string(c.name) + "/zint").c_str(), Zint, c);
    }
    return true;
}();

}  // namespace

int main(int argc, char** argv)
{
    // The objects create their fonts through Qt.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
