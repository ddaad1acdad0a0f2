// SPDX-License-Identifier: MIT
// The flood fill over a project's meshes: a virtual grid at the finest cell size over the whole
// collection, the flood's boundary rules (water level, water and no-data cells, a wall line, a
// distance limit) and the ranked result image.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/VectorClones.h"
#include "core/data/BlockGrid.h"
#include "core/data/FloodResult.h"
#include "core/data/HMeshProject.h"
#include "core/flood/FloodMask.h"
#include "core/flood/HxFloodFill.h"
#include "core/flood/RowsAhead.h"

namespace kov {

// Grid value of a cell that no mesh covers.
inline constexpr uint32_t kFloodOutside = 0xF0000000u;
inline bool isFloodMarker(uint32_t v) {
    return (v & 0xFFFFFFF0u) == 0xF0000000u;
}

// Rank image pixel without a rank.
inline constexpr uint8_t kNoRank = 15;
// The most cells a flood grid may have.
inline constexpr int64_t kMaxFloodGridCells = int64_t{1} << 31;

// Why a flood gave no result.
enum class FloodFailure {
    None,
    NoGrid,          // no meshes, or meshes without area
    GridTooLarge,    // the grid over the collection would pass kMaxFloodGridCells
    Outside,         // the start point lies outside every mesh
    NothingFilled,   // the fill found no cell, or no ground at or below the level
    NothingRanked,   // no cell (no flooded cell) falls into a rank
    LayerLimit,      // the rank image would pass the memory it was given
    BudgetTooSmall,  // the fill's working state alone would pass the memory it was given
    OutOfMemory,
};

// The rank image over the grid, row 0 the southernmost: one byte per cell in blocks that exist
// only where meshes lie (absent blocks read kNoRank); 16 palette entries (0x00BBGGRR), the rank
// colours first, the rest white.
struct FloodRankImage {
    int width = 0;
    int height = 0;
    std::shared_ptr<BlockGrid> cells;
    std::array<uint32_t, 16> palette{};
    uint8_t at(int i, int j) const { return cells ? cells->at(i, j) : kNoRank; }
    // Statistics of a start-point run: the cells filled, and the raw levels of the lowest and
    // highest ground met (both 0 when no ground was met).
    int64_t filled = 0;
    int64_t unranked = 0;  // filled cells that fall into no rank
    int32_t lowest = 0;
    int32_t highest = 0;
    int startI = -1;
    int startJ = -1;
    // With HMeshFloodFill::keepFloodMask: every cell the flood reached, ranked or not.
    std::shared_ptr<FloodMask> flooded;
};

// (The original name _HMeshFloodFill begins with an underscore and a capital, which C++
// reserves.)
class HMeshFloodFill : public HxFloodFill {
public:
    static constexpr int kStackCapacity = 100000;
    enum Flags { kWaterPasses = 1, kNoDataPasses = 2 };

    HMeshFloodFill();

    // Sorts the meshes (coarsest first) and lays the grid over the whole collection at the cell
    // size of the last (finest) mesh. False without meshes or for a grid that cannot be held
    // (failure() says why).
    bool SetCollection(HMeshProject& project);
    void SetFlags(int bits);
    void SetRange(bool on, double metres);
    // Draws the polyline (plane metres) into the wall mask, one cell wide; wall cells stop the
    // flood.
    void SetWall(const std::vector<FPoint>& polyline);
    // The level (raw units) above which ground stops a bare Fill; Run sets it itself.
    void SetWaterLevel(int32_t level) { waterLevel_ = level; }

    // The flood from the start point up to the water level (raw units), its cells classified by
    // the rank levels (raw units, ascending, at most 9): ground height (first rank with
    // v <= level) or, in depth mode, depth (last rank with water - v >= level). None when the
    // start lies outside the grid, nothing was filled or memory ran out (failure() says which).
    std::optional<FloodRankImage> Run(const std::vector<int32_t>& levels,
                                      const std::vector<uint32_t>& colors, const FPoint& start,
                                      int32_t waterLevel, bool depthMode);
    // The rank image of every cell of the grid, without a flood.
    std::optional<FloodRankImage> RankAll(const std::vector<int32_t>& levels,
                                          const std::vector<uint32_t>& colors, int32_t waterLevel,
                                          bool depthMode);

    // The grid cell of a plane point (floor of its fraction of the grid); false outside.
    bool cellOf(double x, double y, int& i, int& j) const;

    // The raw values of grid row j, columns x0..x1 (the last mesh containing a cell answers), in
    // units of the finest mesh's scale; kFloodOutside where no mesh covers a cell. Every so many
    // rows, cells the project can bring back are let go down to what the budget leaves beside
    // the flood's own memory: no pointer into cells is held from one row to the next.
    void readRow(int j, int x0, int x1, uint32_t* out);
    // The same values without letting any cells go, decoded with the caller's scratch: several
    // threads may read at once while no trim runs.
    void readCells(int j, int x0, int x1, uint32_t* out, std::vector<int32_t>& scratch) const;
    // Whether every mesh's cells fit in the budget beside the flood's images, so many bytes more
    // and the project's layers: reads then never need to let cells go.
    bool cellsFitWhole(int64_t alsoHeld = 0) const;
    // The bytes the fill's working state may take at most: one bit per grid cell.
    int64_t workingStateLimit() const;

    // The raw value of a grid cell in units of the finest mesh's scale (a mesh of another scale
    // is converted); kFloodOutside where no mesh covers it.
    uint32_t GetPixel(int i, int j) const;
    // Metres per raw unit of the grid (the finest mesh's scale).
    double unit() const { return unit_; }

    int gridWidth() const { return gridWidth_; }
    int gridHeight() const { return gridHeight_; }
    // The columns and rows the grid over the collection has, or would have had when it was
    // refused as too large.
    double wantedColumns() const { return wantedColumns_; }
    double wantedRows() const { return wantedRows_; }
    // Why the last SetCollection, Run or RankAll gave nothing.
    FloodFailure failure() const { return failure_; }
    // The most memory the rank image, the flood mask and the fill's working state may take
    // together, in bytes (what the project's budget has left).
    int64_t rankImageLimit = std::numeric_limits<int64_t>::max();
    // A flood's images that this grid's reads must leave room for in the budget.
    void leaveRoomFor(const FloodRankImage& image) {
        heldImage_ = image.cells.get();
        heldMask_ = image.flooded.get();
    }
    // Whether Run keeps the flood mask in the rank image it answers.
    bool keepFloodMask = false;
    const MapRect& gridRect() const { return rect_; }
    // Lowest and highest raw level of the open ground the fill met (valid when statsStarted).
    int32_t lowestLevel = 0;
    int32_t highestLevel = 0;
    bool statsStarted = false;

protected:
    // During Run the row's ranks and ground figures are taken in the same read that classifies
    // it, and each filled span marks its cells flooded: no cell is read twice.
    void classifyRow(int y, int x0, int x1, uint8_t* out) override;
    void spanFilled(int y, int left, int right) override;

private:
    // One mesh as it lies on the grid: the grid columns and rows whose positions it contains and
    // the mesh column and row of each.
    struct Placement {
        const ZarHMesh* mesh = nullptr;
        double factor = 1.0;  // the mesh's scale in units of the finest mesh's scale
        int i0 = 0;
        int j0 = 0;
        bool contiguous = false;  // colOf runs on one by one (the mesh has the grid's cell size)
        std::vector<int32_t> colOf;
        std::vector<int32_t> rowOf;
    };
    void drawWall(const std::vector<FPoint>& polyline);
    bool rangeBoundary(int i, int j) const;
    KOV_VECTOR_CLONES void rankRow(const uint32_t* values, int n,
                                   const std::vector<int32_t>& levels, int32_t waterLevel,
                                   bool depthMode, uint8_t* out) const;
    // Stores the ranks of row j, columns x0..x1, where meshes cover them: the rest of the grid
    // keeps no blocks.
    void storeRanks(int j, int x0, int x1, const uint8_t* ranks, BlockGrid& image) const;
    FloodRankImage blankImage(const std::vector<uint32_t>& colors, int64_t limit) const;
    // Runs work and answers its result; a rank image over its limit or memory running out
    // give none, with failure() set.
    template <class Work>
    std::optional<FloodRankImage> guarded(Work&& work);
    // The lowest and highest ground (neither marker nor boundary) of a grid row and the first
    // column holding each; lowAt -1 when the row has none.
    struct RowGround {
        int32_t low = 0;
        int32_t high = 0;
        int lowAt = -1;
        int highAt = -1;
    };
    // What classifying a grid row gives a Run: the fill's boundary bytes, the row's ranks and
    // its ground figures.
    struct ClassifiedRow {
        std::vector<uint8_t> boundary;
        std::vector<uint8_t> ranks;
        RowGround ground;
    };
    // One thread's buffers for classifying rows.
    struct RowScratch {
        std::vector<uint32_t> values;
        std::vector<int32_t> decoded;
        std::vector<int32_t> open;
    };
    using Ahead = RowsAhead<ClassifiedRow, RowScratch>;
    // The boundary bytes of row y from its values v (columns x0..x1) and, given ranks, its ranks
    // and ground figures; open is scratch for n values. Reads only v and the fill's rules, so
    // several threads may classify at once.
    void classifyValues(int y, int x0, int x1, const uint32_t* v, uint8_t* boundary, uint8_t* ranks,
                        int32_t* open, RowGround& ground) const;
    // A whole row of a Run classified on any thread (its cells read without trims).
    void classifyWhole(int y, ClassifiedRow& row, RowScratch& scratch) const;
    void keepRanks(int y, int x0, int x1, const uint8_t* ranks, const RowGround& ground);
    // Whether a Run may classify rows on other cores: only while no trim has to run.
    bool canClassifyAhead() const;
    void meetGround(int32_t z);
    // Lets cells go until the project's layers fit its budget less the flood's own memory.
    // What the budget keeps out of the cells' share while the flood runs.
    int64_t ownBytes() const;
    void letCellsGo();

    static constexpr int kRowsBetweenTrims = 32;
    static constexpr int64_t kIntakeBetweenTrims = int64_t{8} << 20;
    static constexpr int64_t kTrimHeadroom = int64_t{32} << 20;
    HMeshProject* project_ = nullptr;
    int rowsSinceTrim_ = 0;
    int lastRowRead_ = -1;
    int64_t heldAtTrim_ = 0;  // heldBytes() after the last trim
    // The flood's images being made or measured, and those with the cells in memory, as
    // counted (no system call).
    int64_t imageBytes() const;
    int64_t heldBytes() const;
    // The flood's images while they are made or measured (null otherwise), counted against the
    // budget; Holding sets them for a scope.
    const BlockGrid* heldImage_ = nullptr;
    const FloodMask* heldMask_ = nullptr;
    struct Holding {
        const BlockGrid*& image;
        const FloodMask*& mask;
        Holding(const BlockGrid*& i, const FloodMask*& m, const BlockGrid* held,
                const FloodMask* heldMask)
            : image(i), mask(m) {
            image = held;
            mask = heldMask;
        }
        ~Holding() {
            image = nullptr;
            mask = nullptr;
        }
    };

    MapRect rect_;
    double unit_ = 1.0;
    int gridWidth_ = 0;
    int gridHeight_ = 0;
    double wantedColumns_ = 0.0;
    double wantedRows_ = 0.0;
    FloodFailure failure_ = FloodFailure::None;
    std::vector<double> xOf_;  // plane x of each grid column
    std::vector<double> yOf_;  // plane y of each grid row
    std::vector<Placement> placements_;
    bool waterPasses_ = false;
    bool noDataPasses_ = false;
    bool rangeOn_ = false;
    double range_ = 0.0;
    FPoint start_;
    BlockGrid wall_;                       // 1 = wall; no blocks when there is none
    bool wallLost_ = false;                // memory ran out while the wall was drawn
    std::vector<int32_t> meshRowScratch_;  // a mesh row decoded from compact cells
    std::vector<uint32_t> rowBuffer_;
    int32_t waterLevel_ = 0;  // the level of the running fill: ground above it is a boundary
    std::vector<uint8_t> rankBuffer_;
    std::vector<int32_t> openGround_;  // a classified row's open ground, the rest kFloodOutside
    // The rank image that Run is filling (null otherwise), with the rules it ranks by; pixels
    // carry kUnflooded until a filled span clears it.
    BlockGrid* marks_ = nullptr;
    int64_t runUnranked_ = 0;  // filled cells without a rank
    std::vector<int32_t> runLevels_;
    int32_t runWaterLevel_ = 0;
    bool runDepthMode_ = false;
    std::vector<RowGround> rowGround_;
    // While a Run fills on several cores: the rows classified ahead of the fill.
    Ahead* ahead_ = nullptr;
    static constexpr int kRowsAhead = 16;
    static constexpr int kMostAheadHelpers = 3;
};

}  // namespace kov
