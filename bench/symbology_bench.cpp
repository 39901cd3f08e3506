// Filtering, encoding and measuring each linear symbology, against libzint encoding the same data.
//
// Ours: SetText without a device context (filter, encode, bars width) and, for the EAN/UPC
// family, whose widths are arithmetic, also the module layout. Zint: ZBarcode_Encode of the data
// in the form zint expects (check digits left to zint, Codabar with its start and stop A).

#include "symbology/barcode.h"
#include "symbology/barcodeean.h"

#include <benchmark/benchmark.h>
#include <zint.h>

#include <memory>
#include <string>

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
        benchmark::DoNotOptimize(symbol->width);
    }
    ZBarcode_Delete(symbol);
}

const bool kRegistered = [] {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "/ours").c_str(), Ours, c);
        benchmark::RegisterBenchmark((std::string(c.name) + "/zint").c_str(), Zint, c);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
