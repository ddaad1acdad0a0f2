// SPDX-License-Identifier: MIT
// The flood over a large block of sample tiles within a memory budget: N x N tiles of 400 x 300
// cells whose cells are in memory only while the fill reads them (a tile let go is made again
// from the sample terrain when it is read, as a cache entry would bring it back), flooded from
// the block's south-west tile with water passing. Prints the cells filled, the seconds and the
// peak resident memory of the process.
//
//   bench_flood_block [TILES_PER_SIDE (100)] [BUDGET_MIB (2048)] [LEVEL_M (400)]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "SampleTiles.h"
#include "core/data/HMeshProject.h"
#include "core/data/MeshCells.h"
#include "core/flood/FloodEstimate.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

constexpr long long kWest = -10000;
constexpr long long kSouth = -37500;

// Makes a tile's cells again from the sample terrain, 16 bits a cell as the tile reader keeps
// them.
class SampleTileSource : public kov::CellSource {
public:
    SampleTileSource(long long west, long long south) : west_(west), south_(south) {}
    bool fetch(kov::MeshCells& into) const override {
        kov::ZarHMesh tile;
        kov::bench::fillSampleTile(tile, west_, south_);
        if (!tile.cells.isCompact()) return false;
        const size_t n = tile.cells.size();
        auto values = std::make_shared<std::vector<uint16_t>>(tile.cells.compactValues(),
                                                              tile.cells.compactValues() + n);
        into.adoptCompact(values->data(), n, tile.cells.coding(), values);
        return true;
    }

private:
    long long west_;
    long long south_;
};

long peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const long long budgetMiB = argc > 2 ? std::atoll(argv[2]) : 2048;
    const double level = argc > 3 ? std::atof(argv[3]) : 400.0;
    kov::HMeshProject project;
    // The tiles are made under half the budget, so that the peak is the flood's own.
    project.memoryBudget = budgetMiB << 19;
    const auto begin = std::chrono::steady_clock::now();
    for (int k = 0; k < side * side; ++k) {
        const long long west = kWest + static_cast<long long>(k % side) * sample::kTileWidth;
        const long long south = kSouth + static_cast<long long>(k / side) * sample::kTileHeight;
        auto mesh = std::make_unique<kov::ZarHMesh>();
        kov::bench::fillSampleTile(*mesh, west, south);
        mesh->cells.setSource(std::make_shared<SampleTileSource>(west, south));
        if (project.AddMesh(mesh) != 1) return 1;
        if (k % 64 == 63) project.trimCells();
    }
    project.UpdateExtent();
    project.trimCells();
    project.memoryBudget = budgetMiB << 20;
    const auto loaded = std::chrono::steady_clock::now();

    kov::FloodParameters p;
    p.height = level;
    p.waterPasses = true;
    p.rankTexts = {"5", "100", "200"};
    p.rankColors = {0xFF0000, 0x00FF00, 0x0000FF};
    kov::FloodRefusal refusal;
    const auto result = kov::floodFromPoint(
        project, p, kov::FPoint{kWest + 3500.0, kSouth + 2500.0}, nullptr, &refusal);
    const auto done = std::chrono::steady_clock::now();
    const auto seconds = [](auto a, auto b) {
        return std::chrono::duration<double>(b - a).count();
    };
    if (!result) {
        std::printf("refused: %s\n", kov::refusalText(refusal).c_str());
        return 1;
    }
    const int64_t cells = int64_t{result->image.width} * result->image.height;
    std::printf("%d x %d tiles, budget %lld MiB: filled %lld of %lld cells (%.0f %%)\n", side, side,
                budgetMiB, static_cast<long long>(result->image.filled),
                static_cast<long long>(cells), 100.0 * result->image.filled / cells);
    std::printf("tiles made %.1f s, flood %.1f s; rank image %lld MiB; peak resident %ld MiB\n",
                seconds(begin, loaded), seconds(loaded, done),
                static_cast<long long>(result->image.cells->memoryBytes() >> 20),
                peakResidentMiB());
    return 0;
}
