// Flood speed: the 10 x 10 block of sample tiles (4000 x 3000 cells of 5 m) flooded from one
// point at 200 m, water passing, which covers about 8.8 M of the 12 M cells; against a plain scan
// of the same cells (the memory floor: every cell read once and compared with the level).
// BM_FloodRun is the whole start-point estimation (grid set-up, fill, mask, rank image);
// BM_FloodFillOnly the scanline fill alone; BM_FloodWholeArea the rank image of every cell.
//
// The tiles are built in memory from the sample terrain, as bench/render.cpp builds them.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "SampleTiles.h"
#include "core/data/HMeshProject.h"
#include "core/flood/FloodEstimate.h"
#include "core/flood/HMeshFloodFill.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

constexpr long long kWest = -10000;
constexpr long long kSouth = -37500;
constexpr int kBlock = 10;
// The start point and water level that scripts/bench_flood gives r.lake and kovtool too.
constexpr double kStartX = -6500.0;
constexpr double kStartY = -35000.0;
constexpr int32_t kLevel = 2000;  // 200 m in tenths

kov::HMeshProject& block() {
    static std::unique_ptr<kov::HMeshProject> project;
    if (project) return *project;
    project = std::make_unique<kov::HMeshProject>();
    for (int k = 0; k < kBlock * kBlock; ++k) {
        auto mesh = std::make_unique<kov::ZarHMesh>();
        kov::bench::fillSampleTile(
            *mesh, kWest + static_cast<long long>(k % kBlock) * sample::kTileWidth,
            kSouth + static_cast<long long>(k / kBlock) * sample::kTileHeight);
        project->AddMesh(mesh);
    }
    project->UpdateExtent();
    return *project;
}

void BM_ArrayScan(benchmark::State& state) {
    kov::HMeshProject& project = block();
    int64_t cells = 0;
    for (auto _ : state) {
        int64_t below = 0;
        cells = 0;
        for (int m = 0; m < project.meshCount(); ++m) {
            const auto& c = project.GetMesh(m)->cells;
            for (int32_t v : c)
                below += v <= kLevel;
            cells += static_cast<int64_t>(c.size());
        }
        benchmark::DoNotOptimize(below);
    }
    state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_ArrayScan)->Unit(benchmark::kMillisecond);

void BM_FloodRun(benchmark::State& state) {
    kov::HMeshProject& project = block();
    int64_t filled = 0;
    for (auto _ : state) {
        kov::HMeshFloodFill fill;
        fill.SetCollection(project);
        fill.SetFlags(kov::HMeshFloodFill::kWaterPasses);
        auto image = fill.Run({50, 1000, 2000}, {0xFF0000, 0x00FF00, 0x0000FF},
                              kov::FPoint{kStartX, kStartY}, kLevel, false);
        filled = image ? image->filled : 0;
        benchmark::DoNotOptimize(filled);
    }
    state.counters["filled"] = static_cast<double>(filled);
    state.SetItemsProcessed(state.iterations() * filled);
}
BENCHMARK(BM_FloodRun)->Unit(benchmark::kMillisecond);

void BM_FloodFillOnly(benchmark::State& state) {
    kov::HMeshProject& project = block();
    kov::HMeshFloodFill fill;
    fill.SetCollection(project);
    fill.SetFlags(kov::HMeshFloodFill::kWaterPasses);
    fill.boundaryValue = kLevel;
    int i = 0, j = 0;
    fill.cellOf(kStartX, kStartY, i, j);
    int64_t filled = 0;
    for (auto _ : state) {
        kov::FillRect bounds;
        filled = fill.Fill(i, j, kov::FillRect{0, 0, fill.gridWidth() - 1, fill.gridHeight() - 1},
                           bounds, 0);
        benchmark::DoNotOptimize(filled);
    }
    state.counters["filled"] = static_cast<double>(filled);
    state.SetItemsProcessed(state.iterations() * filled);
}
BENCHMARK(BM_FloodFillOnly)->Unit(benchmark::kMillisecond);

void BM_FloodWholeArea(benchmark::State& state) {
    kov::HMeshProject& project = block();
    kov::FloodParameters p;
    p.rankTexts = {"5", "100", "200"};
    p.rankColors = {0xFF0000, 0x00FF00, 0x0000FF};
    for (auto _ : state) {
        auto out = kov::floodWholeArea(project, p);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_FloodWholeArea)->Unit(benchmark::kMillisecond);

}  // namespace
