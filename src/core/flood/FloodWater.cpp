// SPDX-License-Identifier: MIT
#include "core/flood/FloodWater.h"

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <utility>
#include <vector>

#include "core/base/SharedWork.h"
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

// The stretches of grid rows a flood may cover: the raw values of cells x..x+n-1 of row j and
// whether each was reached. For the whole area every row is read whole and reached is null
// (every ground cell counts).
class FloodStretches {
public:
    // False with the reason in error when the outcome kept no record of the cells it reached or
    // its grid no longer matches the data.
    bool open(HMeshProject& project, const FloodOutcome& outcome, std::string* error) {
        mask_ = outcome.image.flooded.get();
        if (outcome.image.startI >= 0 && !mask_)
            return fail(error, "the flood kept no record of the cells it reached");
        if (!grid_.SetCollection(project) || grid_.gridWidth() != outcome.image.width ||
            grid_.gridHeight() != outcome.image.height)
            return fail(error, "the flood's grid no longer matches the data");
        grid_.leaveRoomFor(outcome.image);
        // Cells that all fit are read on every core; else on one thread, which lets cells go.
        workers_ = grid_.cellsFitWhole() ? workersFor(pieces()) : 1;
        return true;
    }

    // The threads forEach reads on, numbered from 0.
    int workers() const { return workers_; }

    // Calls visit(worker, j, x, n, values, reached) for every stretch, each row on one thread.
    template <class Visit>
    void forEach(Visit&& visit) {
        const int width = grid_.gridWidth(), height = grid_.gridHeight();
        if (workers_ == 1) {
            std::vector<uint32_t> values(static_cast<size_t>(width));
            for (int j = 0; j < height; ++j)
                forEachInRow(
                    j, values,
                    [&](int x0, int x1, uint32_t* out) { grid_.readRow(j, x0, x1, out); },
                    [&](auto&&... a) { visit(0, a...); });
            return;
        }
        struct Reader {
            std::vector<uint32_t> values;
            std::vector<int32_t> scratch;
        };
        std::vector<Reader> readers(static_cast<size_t>(workers_));
        shareAmongCores(pieces(), [&](size_t piece, int worker) {
            Reader& r = readers[static_cast<size_t>(worker)];
            r.values.resize(static_cast<size_t>(width));
            const int first = static_cast<int>(piece) * kRowsAPiece;
            for (int j = first; j < std::min(height, first + kRowsAPiece); ++j)
                forEachInRow(
                    j, r.values,
                    [&](int x0, int x1, uint32_t* out) {
                        grid_.readCells(j, x0, x1, out, r.scratch);
                    },
                    [&](auto&&... a) { visit(worker, a...); });
        });
    }

private:
    static constexpr int kRowsAPiece = 32;
    size_t pieces() const {
        return (static_cast<size_t>(grid_.gridHeight()) + kRowsAPiece - 1) / kRowsAPiece;
    }

    template <class Read, class Visit>
    void forEachInRow(int j, std::vector<uint32_t>& values, Read&& read, Visit&& visit) const {
        const int width = grid_.gridWidth();
        if (!mask_) {
            read(0, width - 1, values.data());
            visit(j, 0, width, values.data(), nullptr);
            return;
        }
        mask_->forEachStoredRun(j, 0, width - 1, [&](int x, const uint8_t* reached, int n) {
            read(x, x + n - 1, values.data());
            visit(j, x, n, values.data(), reached);
        });
    }

    HMeshFloodFill grid_;
    const FloodMask* mask_ = nullptr;
    int workers_ = 1;
};

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

    // Adds cells x..x+n-1 of row j (reached null: the whole area).
    void add(int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
        const auto [firstWet, lastWet] = tally(j, x, n, values, reached);
        if (lastWet < 0) return;
        i0_ = std::min(i0_, x + firstWet);
        i1_ = std::max(i1_, x + lastWet);
        j0_ = std::min(j0_, j);
        j1_ = std::max(j1_, j);
    }

    // Adds what another tally of other cells holds.
    void merge(const WaterTally& other) {
        for (size_t b = 0; b < sums_.size(); ++b) {
            sums_[b] += other.sums_[b];
            counts_[b] += other.counts_[b];
        }
        groundless_ += other.groundless_;
        lowest_ = std::min(lowest_, other.lowest_);
        i0_ = std::min(i0_, other.i0_);
        i1_ = std::max(i1_, other.i1_);
        j0_ = std::min(j0_, other.j0_);
        j1_ = std::max(j1_, other.j1_);
    }

    void finish(const FloodOutcome& outcome, FloodWater& water) const {
        water = FloodWater{};
        if (i0_ <= i1_) {
            water.i0 = i0_;
            water.i1 = i1_;
            water.j0 = j0_;
            water.j1 = j1_;
        }
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
    // Tallies the cells; answers the first and the last wet one among them (k, or -1 for the
    // last when none is).
    KOV_VECTOR_CLONES std::pair<int, int> tally(int j, int x, int n, const uint32_t* values,
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

    // n cells of one rank from values[0] (stretch cell k on), without branches or members in the
    // loop so that it runs on vectors.
    template <bool Reached>
    void addRun(const uint32_t* values, const uint8_t* reached, int n, int bucket, int k) {
        const int32_t level = levelCode_;
        uint8_t* wet = wet_.data() + k;
        // A run lies within one block of the rank image (at most kBlockSide cells), so 32-bit
        // lanes hold every count. The codes are summed as their high and low 16 bits, which
        // keeps the sum in 32-bit lanes too: eight cells a step instead of four.
        int32_t cells = 0, groundless = 0, sumHigh = 0, sumLow = 0;
        int32_t low = lowest_;
        for (int c = 0; c < n; ++c) {
            const uint32_t v = values[c];
            const auto code = static_cast<int32_t>(v);
            bool got = !isFloodMarker(v);
            if constexpr (Reached) got = reached[c] != 0;
            const bool ground = wetGround(v, got, level);
            const bool groundlessCell = wetWithoutGround(v, got);
            // Masks rather than choices: a chosen sum or minimum keeps the loop scalar.
            const int32_t mask = -static_cast<int32_t>(ground);
            const int32_t kept = code & mask;
            const int32_t lowCandidate = kept | (INT32_MAX & ~mask);
            cells += ground;
            sumHigh += kept >> 16;
            sumLow += kept & 0xFFFF;
            low = lowCandidate < low ? lowCandidate : low;
            groundless += groundlessCell;
            wet[c] = ground | groundlessCell;
        }
        counts_[static_cast<size_t>(bucket)] += cells;
        sums_[static_cast<size_t>(bucket)] += int64_t{sumHigh} * 65536 + sumLow;
        groundless_ += groundless;
        lowest_ = low;
    }

    int32_t levelCode_;
    const BlockGrid* ranks_;
    std::array<int64_t, 16> sums_{};
    std::array<int64_t, 16> counts_{};
    int64_t groundless_ = 0;
    int32_t lowest_ = INT32_MAX;
    int i0_ = INT_MAX, j0_ = INT_MAX, i1_ = -1, j1_ = -1;  // the wet cells' bounds
    std::vector<uint8_t> wet_;  // whether each cell of the stretch holds water
};

}  // namespace

bool measureFloodWater(HMeshProject& project, const FloodOutcome& outcome, FloodWater& water,
                       std::string* error) {
    water = FloodWater{};
    FloodStretches stretches;
    if (!stretches.open(project, outcome, error)) return false;
    // A tally a thread: their integer sums add up to the same figures however the rows fell.
    std::vector<WaterTally> tallies(static_cast<size_t>(stretches.workers()),
                                    WaterTally(outcome.levelCode, outcome.image.cells.get()));
    stretches.forEach(
        [&](int worker, int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
            tallies[static_cast<size_t>(worker)].add(j, x, n, values, reached);
        });
    for (size_t k = 1; k < tallies.size(); ++k)
        tallies[0].merge(tallies[k]);
    tallies[0].finish(outcome, water);
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
    FloodStretches stretches;
    if (!stretches.open(project, outcome, error)) return false;
    // Each row is written by the one thread that reads it.
    stretches.forEach(
        [&](int, int j, int x, int n, const uint32_t* values, const uint8_t* reached) {
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
        });
    return true;
}

}  // namespace kov
