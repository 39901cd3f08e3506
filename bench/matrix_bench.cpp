// Encoding PDF417 and Data Matrix symbols of 20, 200 and 1000 bytes, against libzint encoding the
// same data at the same error-correction level and size.
//
// PDF417: level 4, ten data columns, on both sides. Data Matrix: the smallest square symbol;
// ours encodes through libdmtx in Base 256 as the label object does, zint picks its own
// encodation. Each iteration encodes afresh (the Data Matrix encoder is cleared first, since it
// reuses the symbol of unchanged bytes).

#include "symbology/datamatrixencoder.h"
#include "symbology/pdf417encoder.h"

#include <benchmark/benchmark.h>
#include <zint.h>

#include <string>
#include <vector>

namespace {

constexpr int kLevel = 4;
constexpr int kColumns = 10;

std::vector<uint8_t> Data(int size)
{
    static const std::string text = "Quillbar label 2024-06 lot 0123456789, Grüße; ";
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        bytes[size_t(i)] = uint8_t(text[size_t(i) % text.size()]);
    return bytes;
}

void PDF417Ours(benchmark::State& state)
{
    const std::vector<uint8_t> data = Data(int(state.range(0)));
    CPDF417Encoder enc;
    enc.SetOptions(PDF417_FIXED_COLUMNS | PDF417_USE_ERROR_LEVEL);
    enc.SetColumns(kColumns);
    enc.SetErrorLevel(kLevel);
    for (auto _ : state)
        benchmark::DoNotOptimize(enc.GetSymbolSize(data));
}

void DataMatrixOurs(benchmark::State& state)
{
    const std::vector<uint8_t> data = Data(int(state.range(0)));
    CDataMatrixEncoder enc;
    for (auto _ : state) {
        enc.Clear();
        CSize size;
        benchmark::DoNotOptimize(enc.GetSymbolSize(data, size));
    }
}

void Zint(benchmark::State& state, int symbology)
{
    const std::vector<uint8_t> data = Data(int(state.range(0)));
    zint_symbol* symbol = ZBarcode_Create();
    for (auto _ : state) {
        ZBarcode_Clear(symbol);
        symbol->symbology = symbology;
        symbol->input_mode = DATA_MODE;
        if (symbology == BARCODE_PDF417) {
            symbol->option_1 = kLevel;
            symbol->option_2 = kColumns;
        } else {
            symbol->option_3 = DM_SQUARE;
        }
        const int error = ZBarcode_Encode(symbol, data.data(), int(data.size()));
        if (error >= ZINT_ERROR) {
            state.SkipWithError(symbol->errtxt);
            break;
        }
        benchmark::DoNotOptimize(symbol->width);
    }
    ZBarcode_Delete(symbol);
}

}  // namespace

BENCHMARK(PDF417Ours)->Arg(20)->Arg(200)->Arg(1000);
BENCHMARK_CAPTURE(Zint, PDF417, BARCODE_PDF417)->Arg(20)->Arg(200)->Arg(1000);
BENCHMARK(DataMatrixOurs)->Arg(20)->Arg(200)->Arg(1000);
BENCHMARK_CAPTURE(Zint, DataMatrix, BARCODE_DATAMATRIX)->Arg(20)->Arg(200)->Arg(1000);

BENCHMARK_MAIN();
