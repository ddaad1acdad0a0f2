// SPDX-License-Identifier: MIT
#include "core/flood/FloodWater.h"

#include <algorithm>
#include <new>

#include "core/flood/HMeshFloodFill.h"

namespace kov {
namespace {

enum class Wetness { Dry, Ground, Groundless };

// What cell k of a stretch holds: reached (null for the whole area, where only ground at or
// below the level counts) says whether the flood got there.
Wetness wetnessOf(uint32_t value, const uint8_t* reached, int k, int32_t levelCode) {
    if (reached ? !reached[k] : isFloodMarker(value)) return Wetness::Dry;
    if (value == kFloodOutside) return Wetness::Dry;
    if (isFloodMarker(value)) return Wetness::Groundless;
    return static_cast<int32_t>(value) <= levelCode ? Wetness::Ground : Wetness::Dry;
}

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Calls visit(j, x, n, values, reached) for the stretches of grid rows the flood may cover:
// the raw values of cells x..x+n-1 of row j and whether each was reached. For the whole area
// every row is read whole and reached is null (every ground cell counts).
template <class Visit>
bool forEachFloodStretch(HMeshProject& project, const FloodOutcome& outcome, Visit&& visit,
                         std::string* error) {
    const bool fromStart = outcome.image.startI >= 0;
    const FloodMask* mask = outcome.image.flooded.get();
    if (fromStart && !mask) return fail(error, "the flood kept no record of the cells it reached");
    HMeshFloodFill grid;
    if (!grid.SetCollection(project) || grid.gridWidth() != outcome.image.width ||
        grid.gridHeight() != outcome.image.height)
        return fail(error, "the flood's grid no longer matches the data");
    grid.leaveRoomFor(outcome.image);
    std::vector<uint32_t> values(static_cast<size_t>(grid.gridWidth()));
    for (int j = 0; j < grid.gridHeight(); ++j) {
        if (!mask) {
            grid.readRow(j, 0, grid.gridWidth() - 1, values.data());
            visit(j, 0, grid.gridWidth(), values.data(), nullptr);
            continue;
        }
        mask->forEachStoredRun(j, 0, grid.gridWidth() - 1,
                               [&](int x, const uint8_t* reached, int n) {
                                   grid.readRow(j, x, x + n - 1, values.data());
                                   visit(j, x, n, values.data(), reached);
                               });
    }
    return true;
}

double depthOf(const FloodOutcome& outcome, uint32_t value) {
    // The level is rounded down to a whole code, so ground never lies above it but by rounding.
    return std::max(0.0, outcome.level - static_cast<int32_t>(value) * outcome.unit);
}

}  // namespace

bool measureFloodWater(HMeshProject& project, const FloodOutcome& outcome, FloodWater& water,
                       std::string* error) {
    water = FloodWater{};
    water.rankVolumes.assign(outcome.ranks.levels.size(), 0.0);
    water.i0 = outcome.image.width;
    water.j0 = outcome.image.height;
    const double cellArea = outcome.cellWidth * outcome.cellHeight;
    const BlockGrid* ranks = outcome.image.cells.get();
    const auto visit = [&](int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
        int firstWet = n, lastWet = -1;
        const uint8_t* rankRow = nullptr;  // the rank image's row in the block of cell x + k
        int rankBlock = -1;
        for (int k = 0; k < n; ++k) {
            const Wetness w = wetnessOf(values[k], reached, k, outcome.levelCode);
            if (w == Wetness::Dry) continue;
            firstWet = std::min(firstWet, k);
            lastWet = k;
            if (w == Wetness::Groundless) {
                ++water.groundlessCells;
                continue;
            }
            const double depth = depthOf(outcome, values[k]);
            ++water.wetCells;
            water.volume += depth * cellArea;
            water.deepest = std::max(water.deepest, depth);
            const int i = x + k;
            if (i >> BlockGrid::kBlockBits != rankBlock) {
                rankBlock = i >> BlockGrid::kBlockBits;
                rankRow = ranks ? ranks->blockRow(rankBlock, j) : nullptr;
            }
            const uint8_t rank = rankRow ? rankRow[i & (BlockGrid::kBlockSide - 1)] : kNoRank;
            if (rank < water.rankVolumes.size()) water.rankVolumes[rank] += depth * cellArea;
        }
        if (lastWet < 0) return;
        water.i0 = std::min(water.i0, x + firstWet);
        water.i1 = std::max(water.i1, x + lastWet);
        water.j0 = std::min(water.j0, j);
        water.j1 = std::max(water.j1, j);
    };
    return forEachFloodStretch(project, outcome, visit, error);
}

bool floodDepthRaster(HMeshProject& project, const FloodOutcome& outcome, const FloodWater& water,
                      int epsg, ElevationRaster& raster, std::string* error, int64_t maxCells) {
    if (water.i1 < water.i0) return fail(error, "no cell holds water");
    const int cols = water.i1 - water.i0 + 1, rows = water.j1 - water.j0 + 1;
    const int64_t cells = int64_t{cols} * rows;
    if (cells > maxCells)
        return fail(error, "the flooded area spans " + std::to_string(cols) + " x " +
                               std::to_string(rows) + " cells, more than the depth raster's " +
                               std::to_string(maxCells));
    const MapRect& grid = outcome.grid;
    raster = ElevationRaster{};
    raster.placement = {cols,
                        rows,
                        grid.xmin + water.i0 * outcome.cellWidth,
                        grid.ymin + (water.j1 + 1) * outcome.cellHeight,
                        outcome.cellWidth,
                        outcome.cellHeight,
                        epsg};
    try {
        raster.metres.assign(static_cast<size_t>(cells), ElevationRaster::kRasterNoData);
    } catch (const std::bad_alloc&) {
        raster = ElevationRaster{};
        return fail(error, "memory ran out for the depth raster");
    }
    const auto visit = [&](int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
        if (j < water.j0 || j > water.j1) return;
        // Raster row 0 is the northernmost.
        const size_t row = static_cast<size_t>(water.j1 - j) * static_cast<size_t>(cols);
        for (int k = std::max(0, water.i0 - x); k < n && x + k <= water.i1; ++k) {
            const Wetness w = wetnessOf(values[k], reached, k, outcome.levelCode);
            if (w != Wetness::Ground) continue;  // flooded water has no depth we know
            const size_t at = row + static_cast<size_t>(x + k - water.i0);
            raster.metres[at] = static_cast<float>(depthOf(outcome, values[k]));
        }
    };
    return forEachFloodStretch(project, outcome, visit, error);
}

}  // namespace kov
