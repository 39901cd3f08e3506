// QR Code encoding of 20, 200 and 1000 bytes at level M against libzint encoding the same data
// at the same level and version, plus a cold encode whose tables are inflated first.

#include "framework/resourcemodule.h"
#include "symbology/qrcodeencoder.h"

#include <benchmark/benchmark.h>
#include <zint.h>

#include <string>
#include <vector>

namespace {

std::vector<BYTE> Data(int length)
{
    std::vector<BYTE> data;
    for (int i = 0; i < length; ++i)
        data.push_back(BYTE("Quillbar labels, 2-D codes; "[i % 28]));
    return data;
}

bool LoadModule()
{
    static const bool loaded = CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    return loaded;
}

void Ours(benchmark::State& state, int length, bool cold)
{
    if (!LoadModule()) {
        state.SkipWithError("no resource module");
        return;
    }
    const std::vector<BYTE> data = Data(length);
    CQRCodeEncoder encoder;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            CQRCodeResourceManager::GetInstance().ClearCache();
            state.ResumeTiming();
        }
        encoder.Clear();
        benchmark::DoNotOptimize(encoder.Encode(data).size());
    }
    state.counters["version"] = encoder.GetVersion();
}

void Zint(benchmark::State& state, int length)
{
    LoadModule();
    const std::vector<BYTE> data = Data(length);
    CQRCodeEncoder ours;
    ours.Encode(data);
    zint_symbol* symbol = ZBarcode_Create();
    for (auto _ : state) {
        ZBarcode_Clear(symbol);
        symbol->symbology = BARCODE_QRCODE;
        symbol->input_mode = DATA_MODE;
        symbol->option_1 = 2;  // level M
        symbol->option_2 = ours.GetVersion();
        const int error = ZBarcode_Encode(symbol, data.data(), int(data.size()));
        if (error >= ZINT_ERROR) {
            state.SkipWithError(symbol->errtxt);
            break;
        }
        benchmark::DoNotOptimize(symbol->width);
    }
    state.counters["version"] = (symbol->width - 17) / 4;
    ZBarcode_Delete(symbol);
}

const bool kRegistered = [] {
    for (int length : {20, 200, 1000}) {
        const std::string name = "QRCode/" + std::to_string(length);
        benchmark::RegisterBenchmark((name + "/ours").c_str(), Ours, length, false);
        benchmark::RegisterBenchmark((name + "/zint").c_str(), Zint, length);
    }
    for (int length : {20, 1000})
        benchmark::RegisterBenchmark(("QRCode/" + std::to_string(length) + "/ours_cold").c_str(), Ours, length, true);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
