// SPDX-License-Identifier: MIT
// FG-GML DEM reading speed: a DEM5A document of 225 x 150 cells (about 1.4 MB, like the national
// DEM's files) parsed into a grid, its header alone, and a DEM1A document of 1125 x 750 cells.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "core/data/dem/FgGmlReader.h"
#include "sample/SampleFgGml.h"

namespace {

using kov::sample::FgGmlCell;

// Hills with a lake and the sea to the south-east, a few cells without data.
FgGmlCell terrain(double lat, double lon) {
    const double x = (lon - 139.0) * 3600, y = (lat - 35.0) * 3600;
    if (x + 2 * y < 6) return {"海水面", -9999.0};
    if (std::hypot(x - 30, y - 20) < 3) return {"内水面", -9999.0};
    if (std::fmod(x * 7 + y * 13, 97) < 0.3) return {"データなし", -9999.0};
    return {"地表面", 40 + 25 * std::sin(x / 5) * std::cos(y / 4) + x * 0.8};
}

std::string documentText(int cols, int rows, const char* demType) {
    kov::sample::FgGmlDocument document;
    document.demType = demType;
    document.cols = cols;
    document.rows = rows;
    document.startX = 3;  // real files start part-way
    document.cells = kov::sample::terrainCells(document, terrain);
    return kov::sample::fgGmlDemText(document);
}

void readDocument(benchmark::State& state, const std::string& text) {
    kov::GeoGrid grid;
    std::string error;
    for (auto _ : state) {
        if (!kov::readFgGmlDem(text, grid, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(grid.codes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["cells"] = static_cast<double>(grid.codes.size());
    state.counters["text_bytes"] = static_cast<double>(text.size());
}

void BM_ReadDem5A(benchmark::State& state) {
    static const std::string text = documentText(225, 150, "5A");
    readDocument(state, text);
}
BENCHMARK(BM_ReadDem5A)->Unit(benchmark::kMillisecond);

void BM_ReadDem1A(benchmark::State& state) {
    static const std::string text = documentText(1125, 750, "1A");
    readDocument(state, text);
}
BENCHMARK(BM_ReadDem1A)->Unit(benchmark::kMillisecond);

void BM_ReadHeader(benchmark::State& state) {
    static const std::string text = documentText(225, 150, "5A");
    const std::string_view head = std::string_view(text).substr(0, 4096);
    kov::FgGmlHeader header;
    for (auto _ : state) {
        if (!kov::readFgGmlHeader(head, header, nullptr)) state.SkipWithError("header refused");
        benchmark::DoNotOptimize(header.cols);
    }
}
BENCHMARK(BM_ReadHeader)->Unit(benchmark::kMicrosecond);

}  // namespace
