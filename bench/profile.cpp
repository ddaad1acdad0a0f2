// SPDX-License-Identifier: MIT
// Cross-section speed: a 20 km polyline over the 10 x 10 sample block (100 tiles of 400 x 300
// cells of 5 m, built in memory from the sample terrain as `kovtool sample --block 10` writes
// them), 10,000 samples, then the window's drawing routine into an 800 x 500 picture.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>
#include <vector>

#include "SampleTiles.h"
#include "core/data/HMeshProject.h"
#include "core/measure/ProfilePlot.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

constexpr long long kWest = -10000;
constexpr long long kSouth = -37500;

std::unique_ptr<kov::HMeshProject> block() {
    auto project = std::make_unique<kov::HMeshProject>();
    for (int k = 0; k < 100; ++k) {
        auto mesh = std::make_unique<kov::ZarHMesh>();
        const long long west = kWest + (k % 10) * sample::kTileWidth;
        const long long south = kSouth + (k / 10) * sample::kTileHeight;
        kov::bench::fillSampleTile(*mesh, west, south);
        project->AddMesh(mesh);
    }
    project->SortMeshes();
    project->UpdateExtent();
    return project;
}

// 12 km east, then 8 km north: the line scripts/bench_profile gives r.profile.
const std::vector<kov::FPoint> kLine = {{-9000, -36500, 0}, {3000, -36500, 0}, {3000, -28500, 0}};

void BM_ProfileSampleAndDraw(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "bench_profile";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(argc, argv);
    static const std::unique_ptr<kov::HMeshProject> project = block();
    QImage image(800, 500, QImage::Format_RGB32);
    for (auto _ : state) {
        // A 2 m step asks for 10,002 samples: the count is held at 10,000.
        const auto data = kov::buildProfile(*project, kLine, "2", 10000);
        if (!data || data->samples.size() != 10000) {
            state.SkipWithError("no profile");
            break;
        }
        image.fill(Qt::white);
        QPainter painter(&image);
        kov::drawProfile(painter, QRectF(0, 0, 800, 500), *data, kov::ProfileStyle{});
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_ProfileSampleAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
