// SPDX-License-Identifier: MIT
// Raster DEM reading speed: a 2000 × 2000 Float32 GeoTIFF in a plane zone (tiled, deflate, as
// writeRasterDem writes it; and as an ESRI ASCII grid, as many DEMs are handed out),
// read into a grid of millimetre codes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/data/dem/RasterDem.h"

namespace {

constexpr int kSide = 2000;

// Rolling terrain of 5 m cells with a sprinkling of no-data cells, written once per format.
std::string benchRaster(const std::string& name, const std::string& format) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    if (std::filesystem::exists(path)) return path;
    kov::GeoGrid grid;
    grid.cols = grid.rows = kSide;
    grid.west = -10000.0;
    grid.north = 20000.0;
    grid.stepX = grid.stepY = 5.0;
    grid.crs.epsg = 6677;
    grid.codes.resize(static_cast<size_t>(kSide) * kSide);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            grid.codes[static_cast<size_t>(r) * kSide + c] =
                (c * 31 + r * 17) % 997 == 0
                    ? kov::MESH_NODATA
                    : kov::millimetreCode(300.0 + 120.0 * std::sin(c * 0.01) * std::cos(r * 0.013));
    std::string error;
    if (!kov::writeRasterDem(grid, path, format, &error)) return "";
    return path;
}

void readRaster(benchmark::State& state, const std::string& path) {
    kov::GeoGrid grid;
    std::string error;
    for (auto _ : state) {
        if (!kov::readRasterDem(path, grid, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(grid.codes.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_ReadTiledDeflateGeoTiff(benchmark::State& state) {
    readRaster(state, benchRaster("kov-bench-raster-2000.tif", "GTiff"));
}
BENCHMARK(BM_ReadTiledDeflateGeoTiff)->Unit(benchmark::kMillisecond);

void BM_ReadAsciiGrid(benchmark::State& state) {
    readRaster(state, benchRaster("kov-bench-raster-2000.asc", "AAIGrid"));
}
BENCHMARK(BM_ReadAsciiGrid)->Unit(benchmark::kMillisecond);

}  // namespace
