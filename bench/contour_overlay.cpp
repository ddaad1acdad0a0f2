// SPDX-License-Identifier: MIT
// Contour overlay speed on the 100-tile sample block (10 x 10 tiles of 400 x 300 cells of 5 m)
// in a 1920 x 1080 view: the whole block, 1 px per cell and 1 px per metre. "Trace" samples the
// collection and traces the lines (what a new view costs); "Draw" draws the cached lines over
// a picture of the view (what toggling or recolouring costs). Automatic interval, index lines
// and labels on.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "SampleTiles.h"
#include "core/data/HMeshProject.h"
#include "core/display/ContourOverlay.h"
#include "core/display/MapViewport.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

kov::HMeshProject& block() {
    static std::unique_ptr<kov::HMeshProject> project = [] {
        auto p = std::make_unique<kov::HMeshProject>();
        for (int k = 0; k < 100; ++k) {
            auto mesh = std::make_unique<kov::ZarHMesh>();
            kov::bench::fillSampleTile(*mesh, -10000 + (k % 10) * sample::kTileWidth,
                                       -37500 + (k / 10) * sample::kTileHeight);
            p->AddMesh(mesh);
        }
        p->UpdateExtent();
        return p;
    }();
    return *project;
}

// metresPerPixel 0: the whole block.
kov::MapViewport viewOf(double metresPerPixel) {
    const kov::MapRect& e = block().extent;
    const double cx = (e.xmin + e.xmax) / 2, cy = (e.ymin + e.ymax) / 2;
    kov::MapRect r = e;
    if (metresPerPixel > 0)
        r = {cx - metresPerPixel * kWidth / 2, cy - metresPerPixel * kHeight / 2,
             cx + metresPerPixel * kWidth / 2, cy + metresPerPixel * kHeight / 2};
    kov::MapViewport view;
    view.setView(r, kWidth, kHeight, block());
    return view;
}

void overlayLoop(benchmark::State& state, bool traceEachTime) {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);  // fonts for the labels
    const kov::MapViewport view = viewOf(static_cast<double>(state.range(0)));
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    const kov::ContourDisplay display{true, 0.0, true};
    kov::ContourCache cache;
    auto paint = [&] {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        std::string error;
        if (!kov::paintContours(painter, block(), view, display, {}, cache, &error))
            state.SkipWithError(error.c_str());
    };
    if (!traceEachTime) paint();  // the lines in the cache
    for (auto _ : state) {
        if (traceEachTime) cache.clear();
        paint();
    }
    kov::ContourSettings settings;
    settings.interval = kov::autoContourInterval(view.unitsPerPixel);
    const auto* lines =
        cache.linesFor(block(), view.world(), kov::contourCellSize(block(), view.unitsPerPixel),
                       settings, nullptr);
    size_t vertices = 0;
    for (const kov::ContourLine& line : lines ? *lines : std::vector<kov::ContourLine>{})
        vertices += line.points.size();
    state.counters["interval_m"] = settings.interval;
    state.counters["vertices"] = static_cast<double>(vertices);
}

void BM_TraceAndDraw(benchmark::State& state) {
    overlayLoop(state, true);
}
void BM_DrawCached(benchmark::State& state) {
    overlayLoop(state, false);
}

// Argument: metres per pixel, 0 for the whole block.
BENCHMARK(BM_TraceAndDraw)->Arg(0)->Arg(5)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawCached)->Arg(0)->Arg(5)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
