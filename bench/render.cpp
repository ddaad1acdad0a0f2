// SPDX-License-Identifier: MIT
// Relief drawing speed: renderMeshes of a 1920 x 1080 view over mosaics of 9, 100, 1000 and
// 10,000 sample tiles (400 x 300 cells of 5 m each), whole mosaic in view (shaded gradient and
// step bands with edges), a view zoomed in to 1 px per cell and a view beside the mosaic. The
// third argument is the number of bands the frame is drawn in (0: as many as renderMeshes
// chooses), shown with the threads that draw them; one band is the frame drawn on one core.
// Whole-extent frames and pan steps of 10,000 tiles with and without the overview pyramid.
// Neighbour lookups: the index against the plain scan over every mesh.
//
// The tiles are built in memory from the sample terrain (the same cells `kovtool sample` writes),
// so 10,000 tiles (4.8 GB of cells) need no files; only one mosaic is kept at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "SampleTiles.h"
#include "core/data/HMeshProject.h"
#include "core/data/MeshNeighbourIndex.h"
#include "core/data/OverviewPyramid.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/MeshRenderer.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// South-west corner of the default sample block; larger mosaics grow east and north from it.
constexpr long long kWest = -10000;
constexpr long long kSouth = -37500;

// A mosaic of cols x rows tiles, the meshes added in row order from the south-west.
struct Mosaic {
    int cols = 0;
    int rows = 0;
    std::unique_ptr<kov::HMeshProject> project;
};

const Mosaic& mosaic(int cols, int rows) {
    static Mosaic current;
    if (current.cols == cols && current.rows == rows) return current;
    current = Mosaic{};  // free the previous mosaic first
    const size_t count = static_cast<size_t>(cols) * rows;
    std::vector<std::unique_ptr<kov::ZarHMesh>> meshes(count);
    auto build = [&](size_t first, size_t step) {
        for (size_t k = first; k < count; k += step) {
            meshes[k] = std::make_unique<kov::ZarHMesh>();
            kov::bench::fillSampleTile(
                *meshes[k], kWest + static_cast<long long>(k % cols) * sample::kTileWidth,
                kSouth + static_cast<long long>(k / cols) * sample::kTileHeight);
        }
    };
    std::thread helper(build, 1, 2);
    build(0, 2);
    helper.join();
    auto project = std::make_unique<kov::HMeshProject>();
    for (auto& m : meshes)
        project->AddMesh(m);
    project->UpdateExtent();
    // Colours over the terrain's range, as the colour-map dialog's "fit to data" button does.
    kov::ZarHColorMap& map = *project->GetColorMap(0);
    kov::ColorStop stops[2] = {*map.stop(0), *map.stop(1)};
    stops[0].height = 0.0;
    stops[1].height = std::max(1.0, project->GetMaxElevation());
    map.setStops(stops, 2);
    current = {cols, rows, std::move(project)};
    return current;
}

// The mosaic's extent widened to the bitmap's aspect (square pixels), centred.
kov::MapRect wholeView(const kov::HMeshProject& project) {
    kov::MapRect r = project.extent;
    const double cx = (r.xmin + r.xmax) / 2, cy = (r.ymin + r.ymax) / 2;
    const double scale = std::max((r.xmax - r.xmin) / kWidth, (r.ymax - r.ymin) / kHeight);
    return {cx - scale * kWidth / 2, cy - scale * kHeight / 2, cx + scale * kWidth / 2,
            cy + scale * kHeight / 2};
}

// 1 px per 5 m cell around the mosaic's centre.
kov::MapRect zoomedView(const kov::HMeshProject& project) {
    const kov::MapRect& r = project.extent;
    const double cx = (r.xmin + r.xmax) / 2 + 123.0, cy = (r.ymin + r.ymax) / 2 + 77.0;
    const double half = sample::kCellSize / 2.0;
    return {cx - half * kWidth, cy - half * kHeight, cx + half * kWidth, cy + half * kHeight};
}

enum class View { Whole, Zoomed, Outside };

void renderLoop(benchmark::State& state, View which, int stepMode, double step) {
    const int cols = static_cast<int>(state.range(0)), rows = static_cast<int>(state.range(1));
    int bands = static_cast<int>(state.range(2));
    if (bands < 1) bands = kov::renderBandCount(kWidth, kHeight);
    const Mosaic& m = mosaic(cols, rows);
    kov::MapRect view = which == View::Whole ? wholeView(*m.project) : zoomedView(*m.project);
    if (which == View::Outside) {  // a zoomed view just south of the mosaic: background only
        const double height = view.ymax - view.ymin;
        view.ymax = m.project->extent.ymin - 1.0;
        view.ymin = view.ymax - height;
    }
    kov::Dib24 dib(kWidth, kHeight);
    m.project->drawOverviews = false;  // the meshes themselves; see overviewLoop
    for (auto _ : state) {
        kov::renderMeshes(*m.project, dib, &view, nullptr, nullptr, stepMode, step, 0, {}, bands);
        benchmark::DoNotOptimize(dib.bits());
    }
    state.counters["tiles"] = static_cast<double>(cols) * rows;
    state.counters["bands"] = bands;
    state.counters["threads"] =
        std::min<int>(bands, std::max(1u, std::thread::hardware_concurrency()));
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);  // pixels
}

void BM_RenderWhole(benchmark::State& state) {
    renderLoop(state, View::Whole, 0, 0.0);
}
void BM_RenderWholeBandEdges(benchmark::State& state) {
    renderLoop(state, View::Whole, 2, 10.0);
}
void BM_RenderZoomed(benchmark::State& state) {
    renderLoop(state, View::Zoomed, 0, 0.0);
}
// No mesh in view: the cost of the background and of passing over the meshes.
void BM_RenderOutside(benchmark::State& state) {
    renderLoop(state, View::Outside, 0, 0.0);
}

// Whole-extent frames from the overview pyramid (built before the timed loop; BM_RenderWhole
// draws the same frame from the meshes), and
// pan steps: the whole view moved a tenth of its width east and back, alternately.
void overviewLoop(benchmark::State& state, bool overviews, bool pan) {
    const Mosaic& m = mosaic(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    m.project->drawOverviews = overviews;
    if (overviews && !m.project->overviewPyramid()) state.SkipWithError("no pyramid");
    const kov::MapRect whole = wholeView(*m.project);
    const double shift = (whole.xmax - whole.xmin) / 10;
    kov::Dib24 dib(kWidth, kHeight);
    bool east = false;
    for (auto _ : state) {
        kov::MapRect view = whole;
        if (pan && (east = !east)) {
            view.xmin += shift;
            view.xmax += shift;
        }
        kov::renderMeshes(*m.project, dib, &view, nullptr, nullptr, 0, 0.0);
        benchmark::DoNotOptimize(dib.bits());
    }
    m.project->drawOverviews = false;
    state.counters["tiles"] = static_cast<double>(m.project->meshCount());
}
void BM_RenderWholeOverview(benchmark::State& state) {
    overviewLoop(state, true, false);
}
void BM_PanOverview(benchmark::State& state) {
    overviewLoop(state, true, true);
}
// The pyramid's building from the meshes (the first frame after the collection changed).
void BM_BuildOverview(benchmark::State& state) {
    const Mosaic& m = mosaic(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(kov::OverviewPyramid::build(*m.project));
    state.counters["tiles"] = static_cast<double>(m.project->meshCount());
}

// Neighbours of every mesh: through the project's index (rebuilt each round) and by scanning.
void BM_NeighboursIndexed(benchmark::State& state) {
    const Mosaic& m = mosaic(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<const kov::ZarHMesh*> list;
    for (int i = 0; i < m.project->meshCount(); ++i)
        list.push_back(m.project->GetMesh(i));
    kov::MeshNeighbours nb;
    for (auto _ : state) {
        const kov::MeshNeighbourIndex index(list);
        for (const kov::ZarHMesh* mesh : list)
            index.find(*mesh, nb);
        benchmark::DoNotOptimize(nb);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(list.size()));
}
void BM_NeighboursScanned(benchmark::State& state) {
    const Mosaic& m = mosaic(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<const kov::ZarHMesh*> list;
    for (int i = 0; i < m.project->meshCount(); ++i)
        list.push_back(m.project->GetMesh(i));
    kov::MeshNeighbours nb;
    for (auto _ : state) {
        for (const kov::ZarHMesh* mesh : list)
            kov::scanNeighbours(list, *mesh, nb);
        benchmark::DoNotOptimize(nb);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(list.size()));
}

// Grouped by mosaic, so that each mosaic is built once.
#define KOV_RENDER(name, ...) \
    BENCHMARK(name)->Args({__VA_ARGS__})->Unit(benchmark::kMillisecond)->UseRealTime()
KOV_RENDER(BM_RenderWhole, 3, 3, 0);
KOV_RENDER(BM_RenderWholeBandEdges, 3, 3, 0);
KOV_RENDER(BM_RenderWhole, 10, 10, 1);
KOV_RENDER(BM_RenderWhole, 10, 10, 0);
KOV_RENDER(BM_RenderWholeBandEdges, 10, 10, 0);
KOV_RENDER(BM_RenderZoomed, 10, 10, 1);
KOV_RENDER(BM_RenderZoomed, 10, 10, 0);
KOV_RENDER(BM_RenderOutside, 10, 10, 0);
KOV_RENDER(BM_RenderWhole, 40, 25, 0);
BENCHMARK(BM_NeighboursIndexed)->Args({40, 25})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NeighboursScanned)->Args({40, 25})->Unit(benchmark::kMillisecond)->UseRealTime();
KOV_RENDER(BM_RenderWhole, 100, 100, 1);
KOV_RENDER(BM_RenderWhole, 100, 100, 0);
KOV_RENDER(BM_RenderWholeBandEdges, 100, 100, 0);
KOV_RENDER(BM_RenderZoomed, 100, 100, 1);
KOV_RENDER(BM_RenderZoomed, 100, 100, 0);
KOV_RENDER(BM_RenderOutside, 100, 100, 0);
BENCHMARK(BM_NeighboursIndexed)->Args({100, 100})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildOverview)->Args({100, 100})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderWholeOverview)->Args({100, 100})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PanOverview)->Args({100, 100})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
