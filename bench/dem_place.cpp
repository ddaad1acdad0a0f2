// SPDX-License-Identifier: MIT
// Placing latitude/longitude DEM grids in a plane rectangular zone: one DEM5A-sized grid
// (225 x 150 cells of 0.2") at 5 m, and a 10 x 10 mosaic of them placed in one call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/data/dem/ZonePlacement.h"

namespace {

constexpr double kStep = 0.2 / 3600;

kov::GeoGrid dem5aGrid(int meshCol, int meshRow) {
    kov::GeoGrid g;
    g.cols = 225, g.rows = 150;
    g.stepX = g.stepY = kStep;
    g.west = 139.5 + meshCol * g.cols * kStep;
    g.north = 35.8 - meshRow * g.rows * kStep;
    g.crs.epsg = 6668;
    g.crs.geographic = true;
    g.codes.reserve(static_cast<size_t>(g.cols) * g.rows);
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c) {
            const double x = meshCol * g.cols + c, y = meshRow * g.rows + r;
            g.codes.push_back(static_cast<int32_t>(
                std::lround(50000 + 20000 * std::sin(x * 0.05) * std::cos(y * 0.04))));
        }
    return g;
}

void placeAll(benchmark::State& state, int side) {
    std::vector<kov::GeoGrid> grids;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            grids.push_back(dem5aGrid(c, r));
    std::vector<const kov::GeoGrid*> pointers;
    for (const kov::GeoGrid& g : grids)
        pointers.push_back(&g);
    std::vector<std::string> errors;
    int64_t cells = 0;
    for (auto _ : state) {
        const auto meshes =
            kov::placeGrids(pointers, {9, kov::GeodeticDatum::kJgd2011, 5.0}, errors);
        for (const auto& m : meshes) {
            if (!m)
                state.SkipWithError(errors.front().c_str());
            else
                cells += static_cast<int64_t>(m->cols) * m->rows;
        }
        benchmark::DoNotOptimize(meshes.data());
    }
    state.SetItemsProcessed(cells);  // placed cells per second
}

void BM_PlaceOneDem5a(benchmark::State& state) {
    placeAll(state, 1);
}
void BM_PlaceMosaic10x10(benchmark::State& state) {
    placeAll(state, 10);
}
BENCHMARK(BM_PlaceOneDem5a)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaceMosaic10x10)->Unit(benchmark::kMillisecond);

}  // namespace
