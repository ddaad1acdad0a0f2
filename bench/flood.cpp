// SPDX-License-Identifier: MIT
// Flood speed: the 10 x 10 block of sample tiles (4000 x 3000 cells of 5 m) flooded from one
// point at 200 m, water passing, which covers about 8.8 M of the 12 M cells; against a plain scan
// of the same cells (the memory floor: every cell read once and compared with the level).
// BM_FloodRun is the whole start-point estimation (grid set-up, fill, mask, rank image);
// BM_FloodFillOnly the scanline fill alone; BM_FloodWholeArea the rank image of every cell.
// Drawing the whole-area result layer: BM_FloodLayerPan a view of 1280 x 1024 pixels at one cell
// a pixel, moved on each time as a pan moves it; BM_FloodLayerOverview the whole layer in the
// same view (4 x 4 cells sampled a pixel); BM_FloodLayerAs32Bits, for comparison, what every draw
// cost when the layer was one palette picture converted to 32 bits whole.
//
// The tiles are built in memory from the sample terrain, as bench/render.cpp builds them.
#include <benchmark/benchmark.h>

#include <QImage>
#include <memory>
#include <vector>

#include "SampleTiles.h"
#include "core/base/Dib24.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
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
    std::vector<int32_t> scratch;
    for (auto _ : state) {
        int64_t below = 0;
        cells = 0;
        for (int m = 0; m < project.meshCount(); ++m) {
            const auto& c = project.GetMesh(m)->cells;
            scratch.resize(c.size());
            const int32_t* codes = c.codes(0, c.size(), scratch.data());
            for (size_t i = 0; i < c.size(); ++i)
                below += codes[i] <= kLevel;
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
    fill.SetWaterLevel(kLevel);
    int i = 0, j = 0;
    fill.cellOf(kStartX, kStartY, i, j);
    int64_t filled = 0;
    for (auto _ : state) {
        kov::FillRect bounds;
        filled = fill.Fill(i, j, kov::FillRect{0, 0, fill.gridWidth() - 1, fill.gridHeight() - 1},
                           bounds);
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

const kov::ZarHImage& wholeAreaLayer() {
    static std::unique_ptr<kov::ZarHImage> layer;
    if (layer) return *layer;
    kov::FloodParameters p;
    p.rankTexts = {"5", "100", "200"};
    p.rankColors = {0xFF0000, 0x00FF00, 0x0000FF};
    layer = std::move(kov::floodWholeArea(block(), p)->layer);
    return *layer;
}

constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 1024;

void BM_FloodLayerPan(benchmark::State& state) {
    const kov::ZarHImage& layer = wholeAreaLayer();
    const double cell = (layer.xmax - layer.xmin) / layer.indexedCells->width();
    kov::Dib24 target(kViewWidth, kViewHeight);
    int step = 0;
    for (auto _ : state) {
        // 64 pixels further east and north each time, within the layer.
        const double x = layer.xmin + (step * 64 % 2000) * cell;
        const double y = layer.ymin + (step * 64 % 1500) * cell;
        ++step;
        layer.DrawImage(target, {x, y, x + kViewWidth * cell, y + kViewHeight * cell}, 200);
        benchmark::DoNotOptimize(target.bits());
    }
    state.SetItemsProcessed(state.iterations() * kViewWidth * kViewHeight);
}
BENCHMARK(BM_FloodLayerPan)->Unit(benchmark::kMillisecond);

void BM_FloodLayerOverview(benchmark::State& state) {
    const kov::ZarHImage& layer = wholeAreaLayer();
    kov::Dib24 target(kViewWidth, kViewHeight);
    for (auto _ : state) {
        layer.DrawImage(target, {layer.xmin, layer.ymin, layer.xmax, layer.ymax}, 200);
        benchmark::DoNotOptimize(target.bits());
    }
    state.SetItemsProcessed(state.iterations() * kViewWidth * kViewHeight);
}
BENCHMARK(BM_FloodLayerOverview)->Unit(benchmark::kMillisecond);

void BM_FloodLayerAs32Bits(benchmark::State& state) {
    const kov::ZarHImage& layer = wholeAreaLayer();
    const kov::BlockGrid& cells = *layer.indexedCells;
    QImage picture(cells.width(), cells.height(), QImage::Format_Indexed8);
    QVector<QRgb> table(16);
    for (int k = 0; k < 16; ++k) {
        const uint32_t c = layer.palette[k];
        table[k] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
    picture.setColorTable(table);
    for (int j = 0; j < cells.height(); ++j)
        for (int i = 0; i < cells.width(); ++i)
            picture.scanLine(cells.height() - 1 - j)[i] = cells.at(i, j);
    for (auto _ : state) {
        QImage converted = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        benchmark::DoNotOptimize(converted.constBits());
    }
    state.SetItemsProcessed(state.iterations() * cells.width() * cells.height());
}
BENCHMARK(BM_FloodLayerAs32Bits)->Unit(benchmark::kMillisecond);

}  // namespace
