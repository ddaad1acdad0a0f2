// SPDX-License-Identifier: MIT
#include "core/flood/FloodWater.h"

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <utility>
#include <vector>

#include "core/base/VectorClones.h"
#include "core/flood/HMeshFloodFill.h"

namespace kov {
namespace {

// What a cell of a stretch holds: water over ground, or water over a crossed cell without
// ground (water or no data). got: whether the flood reached it; for the whole area, every cell
// with a value. Without branches, so that loops over cells run on vectors.
bool wetGround(uint32_t value, bool got, int32_t levelCode) {
    return got & !isFloodMarker(value) & (static_cast<int32_t>(value) <= levelCode);
}
bool wetWithoutGround(uint32_t value, bool got) {
    return got & isFloodMarker(value) & (value != kFloodOutside);
}
bool reachedCell(uint32_t value, const uint8_t* reached, int k) {
    return reached ? reached[k] != 0 : !isFloodMarker(value);
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

// The water of a flood gathered stretch by stretch. Ground codes and cells are summed as integers
// per rank (rank bytes 0..15) and the depths taken from the sums at the end: a double added cell
// by cell would chain every cell to the last. The ranks come from the rank image; within a run
// of one rank (nearly always a whole block row) the cells are tallied on vectors.
class WaterTally {
public:
    WaterTally(int32_t levelCode, const BlockGrid* ranks) : levelCode_(levelCode), ranks_(ranks) {}

    // Adds cells x..x+n-1 of row j (reached null: the whole area); answers the first and the
    // last wet one among them (k, or -1 for the last when none is).
    KOV_VECTOR_CLONES std::pair<int, int> add(int j, int x, int n, const uint32_t* values,
                                              const uint8_t* reached) {
        if (wet_.size() < static_cast<size_t>(n)) wet_.resize(static_cast<size_t>(n));
        // One piece per block of the rank image, whose row gives the ranks of its cells.
        for (int k0 = 0; k0 < n;) {
            const int block = (x + k0) >> BlockGrid::kBlockBits;
            const int k1 = std::min(n, ((block + 1) << BlockGrid::kBlockBits) - x);
            const uint8_t* rankRow = ranks_ ? ranks_->blockRow(block, j) : nullptr;
            const uint8_t* rank =
                rankRow ? rankRow + ((x + k0) & (BlockGrid::kBlockSide - 1)) : nullptr;
            const int len = k1 - k0;
            uint8_t differ = 0;
            if (rank)
                for (int k = 0; k < len; ++k)
                    differ |= rank[k] ^ rank[0];
            for (int a = 0; a < len;) {  // runs of one rank
                int b = len;
                if (differ)
                    for (b = a + 1; b < len && rank[b] == rank[a];)
                        ++b;
                const int bucket = rank ? std::min<int>(rank[a], kNoRank) : kNoRank;
                if (reached)
                    addRun<true>(values + k0 + a, reached + k0 + a, b - a, bucket, k0 + a);
                else
                    addRun<false>(values + k0 + a, nullptr, b - a, bucket, k0 + a);
                a = b;
            }
            k0 = k1;
        }
        const uint8_t* wet = wet_.data();
        int first = 0;
        while (first < n && !wet[first])
            ++first;
        if (first == n) return {n, -1};
        int last = n - 1;
        while (!wet[last])
            --last;
        return {first, last};
    }

    void finish(const FloodOutcome& outcome, FloodWater& water) const {
        // The water over a bucket's cells: their count times the level less their summed ground.
        const double cellArea = outcome.cellWidth * outcome.cellHeight;
        water.rankVolumes.assign(outcome.ranks.levels.size(), 0.0);
        for (size_t bucket = 0; bucket < counts_.size(); ++bucket) {
            water.wetCells += counts_[bucket];
            const double metres = static_cast<double>(counts_[bucket]) * outcome.level -
                                  static_cast<double>(sums_[bucket]) * outcome.unit;
            const double volume = std::max(0.0, metres) * cellArea;
            water.volume += volume;
            if (bucket < water.rankVolumes.size()) water.rankVolumes[bucket] = volume;
        }
        water.groundlessCells = groundless_;
        if (water.wetCells > 0) water.deepest = depthOf(outcome, static_cast<uint32_t>(lowest_));
    }

private:
    // n cells of one rank from values[0] (stretch cell k on), without branches or members in the
    // loop so that it runs on vectors.
    template <bool Reached>
    void addRun(const uint32_t* values, const uint8_t* reached, int n, int bucket, int k) {
        const int32_t level = levelCode_;
        uint8_t* wet = wet_.data() + k;
        int64_t cells = 0, sum = 0, groundless = 0;
        int32_t low = lowest_;
        for (int c = 0; c < n; ++c) {
            const uint32_t v = values[c];
            const auto code = static_cast<int32_t>(v);
            bool got = !isFloodMarker(v);
            if constexpr (Reached) got = reached[c] != 0;
            const bool ground = wetGround(v, got, level);
            const bool groundlessCell = wetWithoutGround(v, got);
            // Masks rather than choices: a chosen 64-bit sum or minimum keeps the loop scalar.
            const int32_t mask = -static_cast<int32_t>(ground);
            const int32_t lowCandidate = (code & mask) | (INT32_MAX & ~mask);
            cells += ground;
            sum += static_cast<int64_t>(code & mask);
            low = lowCandidate < low ? lowCandidate : low;
            groundless += groundlessCell;
            wet[c] = ground | groundlessCell;
        }
        counts_[static_cast<size_t>(bucket)] += cells;
        sums_[static_cast<size_t>(bucket)] += sum;
        groundless_ += groundless;
        lowest_ = low;
    }

    int32_t levelCode_;
    const BlockGrid* ranks_;
    std::array<int64_t, 16> sums_{};
    std::array<int64_t, 16> counts_{};
    int64_t groundless_ = 0;
    int32_t lowest_ = INT32_MAX;
    std::vector<uint8_t> wet_;  // whether each cell of the stretch holds water
};

}  // namespace

bool measureFloodWater(HMeshProject& project, const FloodOutcome& outcome, FloodWater& water,
                       std::string* error) {
    water = FloodWater{};
    water.i0 = outcome.image.width;
    water.j0 = outcome.image.height;
    WaterTally tally(outcome.levelCode, outcome.image.cells.get());
    const auto visit = [&](int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
        const auto [firstWet, lastWet] = tally.add(j, x, n, values, reached);
        if (lastWet < 0) return;
        water.i0 = std::min(water.i0, x + firstWet);
        water.i1 = std::max(water.i1, x + lastWet);
        water.j0 = std::min(water.j0, j);
        water.j1 = std::max(water.j1, j);
    };
    if (!forEachFloodStretch(project, outcome, visit, error)) return false;
    tally.finish(outcome, water);
    return true;
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
            // Flooded water has no depth we know.
            if (!wetGround(values[k], reachedCell(values[k], reached, k), outcome.levelCode))
                continue;
            const size_t at = row + static_cast<size_t>(x + k - water.i0);
            raster.metres[at] = static_cast<float>(depthOf(outcome, values[k]));
        }
    };
    return forEachFloodStretch(project, outcome, visit, error);
}

}  // namespace kov
