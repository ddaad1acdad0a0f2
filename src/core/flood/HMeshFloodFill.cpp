// SPDX-License-Identifier: MIT
#include "core/flood/HMeshFloodFill.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/base/ProcessMemory.h"
#include "core/base/SharedWork.h"
#include "core/base/VectorClones.h"

namespace kov {
namespace {

// A rank image pixel that no filled span has reached yet (only while Run fills).
constexpr uint8_t kUnflooded = 0x80;

// Grid position k of n over [lo, hi), as the grid places its cells.
double gridPosition(int k, int n, double lo, double hi) {
    return static_cast<double>(k) / n * (hi - lo) + lo;
}

// The grid indices whose positions lie in the mesh ([lo, hi) as a fraction) and the mesh index
// of each; first is the first grid index.
void placeAxis(const std::vector<double>& pos, double lo, double hi, int meshCells, int& first,
               std::vector<int32_t>& index) {
    index.clear();
    const double span = hi - lo;
    if (!(span > 0.0) || meshCells < 1) {
        first = 0;
        return;
    }
    const auto fraction = [&](double p) { return (p - lo) / span; };
    const auto begin =
        std::partition_point(pos.begin(), pos.end(), [&](double p) { return fraction(p) < 0.0; });
    auto end = std::partition_point(begin, pos.end(), [&](double p) { return fraction(p) < 1.0; });
    first = static_cast<int>(begin - pos.begin());
    index.reserve(static_cast<size_t>(end - begin));
    for (auto it = begin; it != end; ++it) {
        const int k = static_cast<int>(std::floor(fraction(*it) * meshCells));
        index.push_back(std::clamp(k, 0, meshCells - 1));
    }
}

// A cell code in the grid's units: meshes of another scale are converted so that one water
// level applies to all of them; markers stay as they are.
uint32_t converted(int32_t code, double factor) {
    const auto v = static_cast<uint32_t>(code);
    if (factor == 1.0 || isFloodMarker(v)) return v;
    const double z = std::round(code * factor);
    const double clamped = std::clamp(z, -2.0e9, 2.0e9);
    return static_cast<uint32_t>(static_cast<int32_t>(clamped));
}

// The loops over a row's cells: without branches and on locals only (the output bytes may alias
// anything), with masks rather than choices, so that they run on vectors.

// 1 for each cell the flood cannot enter: ground above the level, or a marker that does not
// pass.
KOV_VECTOR_CLONES void markBlocked(const uint32_t* v, int n, int32_t level, uint32_t water,
                                   uint32_t noData, uint8_t* out) {
    for (int k = 0; k < n; ++k) {
        const uint32_t c = v[k];
        const bool marker = isFloodMarker(c);
        const bool passes = (c == water) | (c == noData);
        const bool above = static_cast<int32_t>(c) > level;
        out[k] = static_cast<uint8_t>((marker & !passes) | (!marker & above));
    }
}

KOV_VECTOR_CLONES void markUnflooded(uint8_t* ranks, int n) {
    for (int k = 0; k < n; ++k)
        ranks[k] |= kUnflooded;
}

// Clears the unflooded mark of n filled pixels; answers how many of them have a rank.
KOV_VECTOR_CLONES int markFlooded(uint8_t* p, int n) {
    int ranked = 0;
    for (int k = 0; k < n; ++k) {
        const auto rank = static_cast<uint8_t>(p[k] & ~kUnflooded);
        p[k] = rank;
        ranked += rank != kNoRank;
    }
    return ranked;
}

// Which of n rank pixels were flooded (their unflooded mark clear), eight a byte, the first
// lowest; the bits past n stay clear.
void packFlooded(const uint8_t* marks, int n, uint8_t* bits) {
    static_assert(kUnflooded == 0x80 && std::endian::native == std::endian::little);
    int k = 0;
#ifdef __SSE2__
    // The marks are the bytes' top bits, which one instruction gathers sixteen at a time.
    for (; k + 16 <= n; k += 16) {
        const auto marked =
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + k)));
        const auto flooded = static_cast<uint16_t>(~marked);
        std::memcpy(bits + k / 8, &flooded, sizeof flooded);
    }
#endif
    for (; k < n; k += 8) {
        uint8_t byte = 0;
        for (int c = 0; c < 8 && k + c < n; ++c)
            byte |= static_cast<uint8_t>(!(marks[k + c] & kUnflooded) << c);
        bits[k / 8] = byte;
    }
}

// Copies which of the n marked pixels from (x, j) on were flooded into the mask.
void keepFlooded(int j, int x, const uint8_t* marked, int n, FloodMask& mask) {
    std::array<uint8_t, BlockGrid::kBlockSide / 8> bits;
    for (int k0 = 0; k0 < n; k0 += BlockGrid::kBlockSide) {
        const int count = std::min(n - k0, BlockGrid::kBlockSide);
        packFlooded(marked + k0, count, bits.data());
        mask.writeBits(j, x + k0, bits.data(), count);
    }
}

// The open ground of a row (blocked[k] 0, not a marker) into open, every other cell as
// kFloodOutside, which equals no ground; answers its lowest and highest code (low > high: none).
KOV_VECTOR_CLONES std::pair<int32_t, int32_t> keepOpenGround(const uint32_t* v,
                                                             const uint8_t* blocked, int n,
                                                             int32_t* open) {
    int32_t low = INT32_MAX, high = INT32_MIN;
    for (int k = 0; k < n; ++k) {
        const auto z = static_cast<int32_t>(v[k]);
        const int32_t ground = -static_cast<int32_t>((blocked[k] == 0) & !isFloodMarker(v[k]));
        open[k] = (z & ground) | (static_cast<int32_t>(kFloodOutside) & ~ground);
        const int32_t down = (z & ground) | (INT32_MAX & ~ground);
        const int32_t up = (z & ground) | (INT32_MIN & ~ground);
        low = down < low ? down : low;
        high = up > high ? up : high;
    }
    return {low, high};
}

}  // namespace

HMeshFloodFill::HMeshFloodFill() {
    SetStackCapacity(kStackCapacity);
}

bool HMeshFloodFill::SetCollection(HMeshProject& project) {
    placements_.clear();
    project_ = &project;
    gridWidth_ = gridHeight_ = 0;
    wantedColumns_ = wantedRows_ = 0.0;
    failure_ = FloodFailure::NoGrid;
    if (project.meshCount() == 0) return false;
    project.SortMeshes();
    // The union of the meshes' extents (without UpdateExtent, which rescans every cell).
    rect_ = {project.GetMesh(0)->xmin, project.GetMesh(0)->ymin, project.GetMesh(0)->xmax,
             project.GetMesh(0)->ymax};
    for (int m = 1; m < project.meshCount(); ++m) {
        const ZarHMesh& mesh = *project.GetMesh(m);
        rect_ = {std::min(rect_.xmin, mesh.xmin), std::min(rect_.ymin, mesh.ymin),
                 std::max(rect_.xmax, mesh.xmax), std::max(rect_.ymax, mesh.ymax)};
    }
    if (!(rect_.xmax > rect_.xmin) || !(rect_.ymax > rect_.ymin)) return false;
    const ZarHMesh& finest = *project.GetMesh(project.meshCount() - 1);
    if (!(finest.width() > 0.0) || !(finest.height() > 0.0)) return false;
    const double w = std::floor((rect_.xmax - rect_.xmin) / finest.width() * finest.cols + 0.5);
    const double h = std::floor((rect_.ymax - rect_.ymin) / finest.height() * finest.rows + 0.5);
    if (!(w >= 1.0) || !(h >= 1.0)) return false;
    wantedColumns_ = w;
    wantedRows_ = h;
    if (w * h > static_cast<double>(kMaxFloodGridCells)) {
        failure_ = FloodFailure::GridTooLarge;
        return false;
    }
    unit_ = finest.scale;
    gridWidth_ = static_cast<int>(w);
    gridHeight_ = static_cast<int>(h);
    try {
        xOf_.resize(static_cast<size_t>(gridWidth_));
        yOf_.resize(static_cast<size_t>(gridHeight_));
        for (int i = 0; i < gridWidth_; ++i)
            xOf_[i] = gridPosition(i, gridWidth_, rect_.xmin, rect_.xmax);
        for (int j = 0; j < gridHeight_; ++j)
            yOf_[j] = gridPosition(j, gridHeight_, rect_.ymin, rect_.ymax);
        // Meshes are looked up at cell centres: the corner positions i / width x span + xmin
        // fall a rounding error short of a mesh cell edge often enough to read the cell before.
        std::vector<double> xMid(static_cast<size_t>(gridWidth_)),
            yMid(static_cast<size_t>(gridHeight_));
        for (int i = 0; i < gridWidth_; ++i)
            xMid[i] = gridPosition(2 * i + 1, 2 * gridWidth_, rect_.xmin, rect_.xmax);
        for (int j = 0; j < gridHeight_; ++j)
            yMid[j] = gridPosition(2 * j + 1, 2 * gridHeight_, rect_.ymin, rect_.ymax);
        for (int m = 0; m < project.meshCount(); ++m) {
            const ZarHMesh& mesh = *project.GetMesh(m);
            if (mesh.cells.size() < static_cast<size_t>(mesh.cols) * mesh.rows) continue;
            Placement p;
            p.mesh = &mesh;
            p.factor = mesh.scale / finest.scale;
            placeAxis(xMid, mesh.xmin, mesh.xmax, mesh.cols, p.i0, p.colOf);
            placeAxis(yMid, mesh.ymin, mesh.ymax, mesh.rows, p.j0, p.rowOf);
            p.contiguous = std::adjacent_find(p.colOf.begin(), p.colOf.end(), [](int a, int b) {
                               return b != a + 1;
                           }) == p.colOf.end();
            if (!p.colOf.empty() && !p.rowOf.empty()) placements_.push_back(std::move(p));
        }
        rowBuffer_.resize(static_cast<size_t>(gridWidth_));
        rankBuffer_.resize(static_cast<size_t>(gridWidth_));
        openGround_.resize(static_cast<size_t>(gridWidth_));
    } catch (const std::bad_alloc&) {
        gridWidth_ = gridHeight_ = 0;
        placements_.clear();
        failure_ = FloodFailure::OutOfMemory;
        return false;
    }
    wall_ = BlockGrid();
    wallLost_ = false;
    failure_ = FloodFailure::None;
    return true;
}

void HMeshFloodFill::SetFlags(int bits) {
    waterPasses_ = (bits & kWaterPasses) != 0;
    noDataPasses_ = (bits & kNoDataPasses) != 0;
}

void HMeshFloodFill::SetRange(bool on, double metres) {
    rangeOn_ = on;
    range_ = metres;
}

void HMeshFloodFill::SetWall(const std::vector<FPoint>& polyline) {
    if (gridWidth_ < 1 || gridHeight_ < 1) return;
    try {
        if (wall_.width() == 0) wall_ = BlockGrid(gridWidth_, gridHeight_, 0);
        drawWall(polyline);
    } catch (const std::bad_alloc&) {
        wall_ = BlockGrid();
        wallLost_ = true;  // Run refuses rather than flood across a wall it could not draw
    }
}

void HMeshFloodFill::drawWall(const std::vector<FPoint>& polyline) {
    const double sx = gridWidth_ / (rect_.xmax - rect_.xmin);
    const double sy = gridHeight_ / (rect_.ymax - rect_.ymin);
    for (size_t k = 1; k < polyline.size(); ++k) {
        // The segment in grid units, clipped to the grid (Liang-Barsky).
        double x0 = (polyline[k - 1].x - rect_.xmin) * sx,
               y0 = (polyline[k - 1].y - rect_.ymin) * sy;
        double x1 = (polyline[k].x - rect_.xmin) * sx, y1 = (polyline[k].y - rect_.ymin) * sy;
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
            continue;
        double t0 = 0.0, t1 = 1.0;
        const double dx = x1 - x0, dy = y1 - y0;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {x0, gridWidth_ - x0, y0, gridHeight_ - y0};
        bool inside = true;
        for (int e = 0; e < 4 && inside; ++e) {
            if (p[e] == 0.0) {
                inside = q[e] >= 0.0;
            } else {
                const double t = q[e] / p[e];
                if (p[e] < 0.0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
            }
        }
        if (!inside || t0 > t1) continue;
        const auto cell = [](double v, int n) {
            return std::clamp(static_cast<int>(std::floor(v)), 0, n - 1);
        };
        int ax = cell(x0 + t0 * dx, gridWidth_), ay = cell(y0 + t0 * dy, gridHeight_);
        const int bx = cell(x0 + t1 * dx, gridWidth_), by = cell(y0 + t1 * dy, gridHeight_);
        // Bresenham: one cell wide, 8-connected, which a 4-connected flood cannot cross.
        const int ddx = std::abs(bx - ax), ddy = -std::abs(by - ay);
        const int stepX = ax < bx ? 1 : -1, stepY = ay < by ? 1 : -1;
        int err = ddx + ddy;
        for (;;) {
            wall_.set(ax, ay, 1);
            if (ax == bx && ay == by) break;
            const int e2 = 2 * err;
            if (e2 >= ddy) {
                err += ddy;
                ax += stepX;
            }
            if (e2 <= ddx) {
                err += ddx;
                ay += stepY;
            }
        }
    }
}

bool HMeshFloodFill::cellOf(double x, double y, int& i, int& j) const {
    if (gridWidth_ < 1 || gridHeight_ < 1) return false;
    const double fi = std::floor((x - rect_.xmin) / (rect_.xmax - rect_.xmin) * gridWidth_);
    const double fj = std::floor((y - rect_.ymin) / (rect_.ymax - rect_.ymin) * gridHeight_);
    if (!(fi >= 0.0 && fi < gridWidth_ && fj >= 0.0 && fj < gridHeight_)) return false;
    i = static_cast<int>(fi);
    j = static_cast<int>(fj);
    return true;
}

int64_t HMeshFloodFill::workingStateLimit() const {
    return int64_t{gridHeight_} * ((gridWidth_ + 63) / 64) * 8;
}

int64_t HMeshFloodFill::imageBytes() const {
    return (heldImage_ ? heldImage_->memoryBytes() : 0) +
           (heldMask_ ? heldMask_->memoryBytes() : 0);
}

int64_t HMeshFloodFill::heldBytes() const {
    return project_->cellResidency().residentBytes() + imageBytes();
}

int64_t HMeshFloodFill::ownBytes() const {
    const int64_t own = workingBytes() + imageBytes();
    // Beside the cells it can let go and the project's counted layers the process holds the
    // program itself, the meshes' records, the flood's arrays as far as they are written and the
    // allocator's slack: the larger of that and the flood's own memory is kept out of the cells'
    // share, so that the whole process stays within the budget.
    const int64_t untracked =
        residentSetBytes() - project_->cellResidency().residentBytes() - project_->memoryInUse();
    // The headroom takes what the reads until the next trim bring in (at most kIntakeBetweenTrims
    // and one row's tiles).
    return std::max(own, untracked) + kTrimHeadroom;
}

bool HMeshFloodFill::cellsFitWhole(int64_t alsoHeld) const {
    if (!project_) return true;
    int64_t cells = 0;  // as full codes, the most a mesh's cells take
    for (const Placement& p : placements_)
        cells += int64_t{p.mesh->cols} * p.mesh->rows * static_cast<int64_t>(sizeof(int32_t));
    return cells <= project_->memoryBudget - ownBytes() - alsoHeld;
}

void HMeshFloodFill::letCellsGo() {
    const int64_t own = ownBytes();
    // trimCells measures against memoryBudget: lowered by the flood's memory for the call only.
    const int64_t budget = project_->memoryBudget;
    project_->memoryBudget = std::max<int64_t>(budget - own, 0);
    project_->trimCells();
    project_->memoryBudget = budget;
    heldAtTrim_ = heldBytes();
}

void HMeshFloodFill::readRow(int j, int x0, int x1, uint32_t* out) {
    // A row across fresh tiles maps their cells whole: the trims follow the bytes taken in too.
    // Rows are counted, not reads: a measure reads a row stretch by stretch.
    if (j != lastRowRead_) {
        lastRowRead_ = j;
        ++rowsSinceTrim_;
    }
    if (project_ &&
        (rowsSinceTrim_ >= kRowsBetweenTrims || heldBytes() - heldAtTrim_ > kIntakeBetweenTrims)) {
        rowsSinceTrim_ = 0;
        letCellsGo();
    }
    readCells(j, x0, x1, out, meshRowScratch_);
}

void HMeshFloodFill::readCells(int j, int x0, int x1, uint32_t* out,
                               std::vector<int32_t>& scratch) const {
    std::fill(out, out + (x1 - x0 + 1), kFloodOutside);
    // Later meshes (finer, or later among equals) are written over earlier ones.
    for (const Placement& p : placements_) {
        const int r = j - p.j0;
        if (r < 0 || r >= static_cast<int>(p.rowOf.size())) continue;
        const int a = std::max(x0, p.i0);
        const int b = std::min(x1, p.i0 + static_cast<int>(p.colOf.size()) - 1);
        if (a > b) continue;
        const int32_t* cells = p.mesh->rowCodes(p.rowOf[r], scratch);
        if (!cells) continue;
        const int32_t* col = p.colOf.data() + (a - p.i0);
        uint32_t* o = out + (a - x0);
        const int n = b - a + 1;
        if (p.factor == 1.0 && p.contiguous) {
            std::memcpy(o, cells + col[0], static_cast<size_t>(n) * sizeof(uint32_t));
        } else if (p.factor == 1.0) {
            for (int k = 0; k < n; ++k)
                o[k] = static_cast<uint32_t>(cells[col[k]]);
        } else {
            for (int k = 0; k < n; ++k)
                o[k] = converted(cells[col[k]], p.factor);
        }
    }
}

uint32_t HMeshFloodFill::GetPixel(int i, int j) const {
    if (i < 0 || j < 0 || i >= gridWidth_ || j >= gridHeight_) return kFloodOutside;
    for (auto p = placements_.rbegin(); p != placements_.rend(); ++p) {
        const int c = i - p->i0, r = j - p->j0;
        if (c < 0 || r < 0 || c >= static_cast<int>(p->colOf.size()) ||
            r >= static_cast<int>(p->rowOf.size()))
            continue;
        return converted(p->mesh->cell(p->colOf[c], p->rowOf[r]), p->factor);
    }
    return kFloodOutside;
}

bool HMeshFloodFill::rangeBoundary(int i, int j) const {
    if (!rangeOn_ || i < 0 || j < 0 || i >= gridWidth_ || j >= gridHeight_) return false;
    const double dx = xOf_[i] - start_.x, dy = yOf_[j] - start_.y;
    return dx * dx + dy * dy > range_ * range_;
}

void HMeshFloodFill::classifyRow(int y, int x0, int x1, uint8_t* out) {
    if (ahead_) {
        // Rows classified ahead span the whole grid, as a Run's fill does.
        ahead_->take(y, [&](const ClassifiedRow& row) {
            std::memcpy(out, row.boundary.data(), row.boundary.size());
            keepRanks(y, x0, x1, row.ranks.data(), row.ground);
        });
        return;
    }
    readRow(y, x0, x1, rowBuffer_.data());
    RowGround ground;
    uint8_t* ranks = marks_ ? rankBuffer_.data() : nullptr;
    classifyValues(y, x0, x1, rowBuffer_.data(), out, ranks, openGround_.data(), ground);
    if (ranks) keepRanks(y, x0, x1, ranks, ground);
}

void HMeshFloodFill::classifyWhole(int y, ClassifiedRow& row, RowScratch& scratch) const {
    const auto n = static_cast<size_t>(gridWidth_);
    scratch.values.resize(n);
    scratch.open.resize(n);
    row.boundary.resize(n);
    row.ranks.resize(n);
    readCells(y, 0, gridWidth_ - 1, scratch.values.data(), scratch.decoded);
    classifyValues(y, 0, gridWidth_ - 1, scratch.values.data(), row.boundary.data(),
                   row.ranks.data(), scratch.open.data(), row.ground);
}

void HMeshFloodFill::keepRanks(int y, int x0, int x1, const uint8_t* ranks,
                               const RowGround& ground) {
    storeRanks(y, x0, x1, ranks, *marks_);
    rowGround_[static_cast<size_t>(y)] = ground;
}

bool HMeshFloodFill::canClassifyAhead() const {
    // The rank image at its largest and the fill's state are held beside every mesh's cells.
    const int64_t images = int64_t{gridWidth_} * gridHeight_ + workingStateLimit();
    return coreCount() > 1 && cellsFitWhole(images);
}

void HMeshFloodFill::classifyValues(int y, int x0, int x1, const uint32_t* v, uint8_t* out,
                                    uint8_t* ranks, int32_t* open, RowGround& g) const {
    const int32_t level = waterLevel_;
    const int n = x1 - x0 + 1;
    // A marker that does not pass is compared with 0, which no marker is.
    const uint32_t water = waterPasses_ ? static_cast<uint32_t>(MESH_WATER) : 0u;
    const uint32_t noData = noDataPasses_ ? static_cast<uint32_t>(MESH_NODATA) : 0u;
    markBlocked(v, n, level, water, noData, out);
    wall_.forEachStoredRun(y, x0, x1, [&](int x, const uint8_t* wall, int count) {
        for (int k = 0; k < count; ++k)
            out[x - x0 + k] |= wall[k];
    });
    if (rangeOn_)
        for (int k = 0; k < n; ++k)
            if (!out[k] && rangeBoundary(x0 + k, y)) out[k] = 1;
    if (!ranks) return;

    rankRow(v, n, runLevels_, runWaterLevel_, runDepthMode_, ranks);
    markUnflooded(ranks, n);
    // Every ground cell the flood can meet in this row is an open one. The open ground is kept
    // apart (other cells as a marker, which equals no ground) so that finding where the row's
    // extremes lie compares 32-bit lanes only.
    const auto [low, high] = keepOpenGround(v, out, n, open);
    g = RowGround{};
    if (low > high) return;  // no ground
    const auto firstOpen = [&](int32_t z) {
        constexpr int kChunk = 64;
        for (int base = 0; base < n; base += kChunk) {
            const int end = std::min(n, base + kChunk);
            int hit = 0;
            for (int k = base; k < end; ++k)
                hit |= open[k] == z;
            if (!hit) continue;
            for (int k = base; k < end; ++k)
                if (open[k] == z) return x0 + k;
        }
        return -1;
    };
    g.lowAt = firstOpen(low);
    g.highAt = firstOpen(high);
    g.low = low;
    g.high = high;
}

void HMeshFloodFill::spanFilled(int y, int left, int right) {
    if (!marks_) return;
    // Cells without a block (a start cell outside every mesh) read as having no rank.
    // A local count: the bytes written may alias any member, which would keep the loop scalar.
    int64_t unranked = right - left + 1;
    marks_->forEachStoredRun(y, left, right,
                             [&](int, uint8_t* p, int n) { unranked -= markFlooded(p, n); });
    runUnranked_ += unranked;
}

void HMeshFloodFill::storeRanks(int j, int x0, int x1, const uint8_t* ranks,
                                BlockGrid& image) const {
    for (const Placement& p : placements_) {
        const int r = j - p.j0;
        if (r < 0 || r >= static_cast<int>(p.rowOf.size())) continue;
        const int a = std::max(x0, p.i0);
        const int b = std::min(x1, p.i0 + static_cast<int>(p.colOf.size()) - 1);
        if (a <= b) image.writeRow(j, a, b, ranks + (a - x0));
    }
}

template <class Work>
std::optional<FloodRankImage> HMeshFloodFill::guarded(Work&& work) {
    failure_ = FloodFailure::None;
    try {
        return work();
    } catch (const BlockLimitReached&) {
        failure_ = FloodFailure::LayerLimit;
    } catch (const std::bad_alloc&) {
        failure_ = FloodFailure::OutOfMemory;
    }
    return std::nullopt;
}

void HMeshFloodFill::meetGround(int32_t z) {
    lowestLevel = statsStarted ? std::min(lowestLevel, z) : z;
    highestLevel = statsStarted ? std::max(highestLevel, z) : z;
    statsStarted = true;
}

KOV_VECTOR_CLONES void HMeshFloodFill::rankRow(const uint32_t* values, int n,
                                               const std::vector<int32_t>& levels,
                                               int32_t waterLevel, bool depthMode,
                                               uint8_t* out) const {
    const int k = static_cast<int>(levels.size());
    if (!std::is_sorted(levels.begin(), levels.end())) {
        // Levels out of order: rank by the rules themselves, cell by cell.
        for (int c = 0; c < n; ++c) {
            const uint32_t v = values[c];
            uint8_t rank = kNoRank;
            if (!isFloodMarker(v)) {
                const int64_t z = static_cast<int32_t>(v);
                if (depthMode) {
                    const int64_t depth = static_cast<int64_t>(waterLevel) - z;
                    for (int r = k - 1; r >= 0; --r)
                        if (depth >= levels[r]) {
                            rank = static_cast<uint8_t>(r);
                            break;
                        }
                } else {
                    for (int r = 0; r < k; ++r)
                        if (z <= levels[r]) {
                            rank = static_cast<uint8_t>(r);
                            break;
                        }
                }
            }
            out[c] = rank;
        }
        return;
    }
    // Ascending levels: a cell lies at or below a run of ground thresholds t[r] (ground mode:
    // the levels, a suffix of them; depth mode: water - level, a prefix), so its rank follows
    // from how many. Thresholds beyond the 32-bit range are met by every value or by none.
    int32_t t[kMaxRanks];
    int m = 0;
    for (; m < k && m < kMaxRanks; ++m) {
        if (!depthMode) {
            t[m] = levels[m];
            continue;
        }
        const int64_t ground = static_cast<int64_t>(waterLevel) - levels[m];
        if (ground < INT32_MIN) break;
        t[m] = static_cast<int32_t>(std::min<int64_t>(ground, INT32_MAX));
    }
    // Depth mode: rank count - 1; ground mode: rank k - count.
    const int32_t first = depthMode ? -1 : k;
    const int32_t step = depthMode ? 1 : -1;
    constexpr int kBlock = 256;
    int32_t count[kBlock];
    for (int base = 0; base < n; base += kBlock) {
        const int len = std::min(kBlock, n - base);
        const uint32_t* v = values + base;
        std::fill(count, count + len, 0);
        for (int r = 0; r < m; ++r) {
            const int32_t limit = t[r];
            for (int c = 0; c < len; ++c)
                count[c] += static_cast<int32_t>(v[c]) <= limit;
        }
        uint8_t* o = out + base;
        for (int c = 0; c < len; ++c) {
            const int32_t rank = first + step * count[c];
            const bool none = (count[c] == 0) | isFloodMarker(v[c]);
            o[c] = static_cast<uint8_t>(none ? kNoRank : rank);
        }
    }
}

FloodRankImage HMeshFloodFill::blankImage(const std::vector<uint32_t>& colors,
                                          int64_t limit) const {
    FloodRankImage image;
    image.width = gridWidth_;
    image.height = gridHeight_;
    image.palette.fill(0xFFFFFF);
    for (size_t r = 0; r < colors.size() && r < kMaxRanks; ++r)
        image.palette[r] = colors[r] & 0xFFFFFF;
    image.cells = std::make_shared<BlockGrid>(gridWidth_, gridHeight_, kNoRank, limit);
    return image;
}

std::optional<FloodRankImage> HMeshFloodFill::RankAll(const std::vector<int32_t>& levels,
                                                      const std::vector<uint32_t>& colors,
                                                      int32_t waterLevel, bool depthMode) {
    if (gridWidth_ < 1 || gridHeight_ < 1) return std::nullopt;
    return guarded([&]() -> std::optional<FloodRankImage> {
        FloodRankImage image = blankImage(colors, rankImageLimit);
        const Holding holding{heldImage_, heldMask_, image.cells.get(), nullptr};
        std::vector<int32_t> used(levels.begin(),
                                  levels.begin() + std::min<size_t>(levels.size(), kMaxRanks));
        // Only what meshes cover is read and ranked; the rest of the grid stays without blocks.
        for (const Placement& p : placements_)
            for (int r = 0; r < static_cast<int>(p.rowOf.size()); ++r) {
                const int j = p.j0 + r, x0 = p.i0;
                const int n = static_cast<int>(p.colOf.size());
                readRow(j, x0, x0 + n - 1, rowBuffer_.data());
                rankRow(rowBuffer_.data(), n, used, waterLevel, depthMode, rankBuffer_.data());
                image.cells->writeRow(j, x0, x0 + n - 1, rankBuffer_.data());
            }
        image.cells->dropBackgroundBlocks();
        return image;
    });
}

std::optional<FloodRankImage> HMeshFloodFill::Run(const std::vector<int32_t>& levels,
                                                  const std::vector<uint32_t>& colors,
                                                  const FPoint& start, int32_t waterLevel,
                                                  bool depthMode) {
    int si = 0, sj = 0;
    if (wallLost_) {
        failure_ = FloodFailure::OutOfMemory;
        return std::nullopt;
    }
    if (!cellOf(start.x, start.y, si, sj)) {
        failure_ = FloodFailure::Outside;
        return std::nullopt;
    }
    if (workingStateLimit() > rankImageLimit) {
        failure_ = FloodFailure::BudgetTooSmall;
        return std::nullopt;
    }
    start_ = start;
    waterLevel_ = waterLevel;
    statsStarted = false;
    lowestLevel = highestLevel = 0;
    return guarded([&]() -> std::optional<FloodRankImage> {
        // The rank image doubles as the flood mask: the fill ranks each row it classifies with
        // every pixel marked unflooded, and clears the mark of the spans it fills.
        // The fill's working state may take up to one bit a cell beside the rank image.
        FloodRankImage image = blankImage(colors, rankImageLimit - workingStateLimit());
        BlockGrid& cells = *image.cells;
        const Holding holding{heldImage_, heldMask_, &cells, nullptr};
        runLevels_.assign(levels.begin(),
                          levels.begin() + std::min<size_t>(levels.size(), kMaxRanks));
        runWaterLevel_ = waterLevel;
        runDepthMode_ = depthMode;
        runUnranked_ = 0;
        rowGround_.assign(static_cast<size_t>(gridHeight_), RowGround{});
        FillRect bounds;
        int64_t filled = 0;
        {
            std::optional<Ahead> ahead;
            if (canClassifyAhead())
                ahead.emplace(gridHeight_, sj, kRowsAhead,
                              std::min(coreCount() - 1, kMostAheadHelpers),
                              [this](int y, ClassifiedRow& row, RowScratch& scratch) {
                                  classifyWhole(y, row, scratch);
                              });
            struct Unmark {  // the rank image is marked only while the fill runs
                BlockGrid*& marks;
                Ahead*& ahead;
                ~Unmark() {
                    marks = nullptr;
                    ahead = nullptr;
                }
            } unmark{marks_, ahead_};
            marks_ = &cells;
            ahead_ = ahead ? &*ahead : nullptr;
            filled = Fill(si, sj, FillRect{0, 0, gridWidth_ - 1, gridHeight_ - 1}, bounds);
        }
        // The fill's rows go back to the system before the flood mask is made: the mask's
        // blocks do not take their place in the heap, and no trim runs until the measure.
        returnFreedHeap();
        if (filled == 0) {
            failure_ = FloodFailure::NothingFilled;
            return std::nullopt;
        }
        image.filled = filled;
        image.unranked = runUnranked_;
        image.startI = si;
        image.startJ = sj;

        // The lowest and highest ground the flood met. The start cell is filled whatever the
        // rules say; every other flooded cell is an open one, counted in its row's figures.
        const auto flooded = [&](int i, int j) { return !(cells.at(i, j) & kUnflooded); };
        const uint32_t startValue = GetPixel(si, sj);
        if (!isFloodMarker(startValue) && static_cast<int32_t>(startValue) <= waterLevel)
            meetGround(static_cast<int32_t>(startValue));
        for (int j = bounds.top; j <= bounds.bottom; ++j) {
            const RowGround& g = rowGround_[static_cast<size_t>(j)];
            if (g.lowAt < 0) continue;
            if (flooded(g.lowAt, j)) meetGround(g.low);
            if (flooded(g.highAt, j)) meetGround(g.high);
        }
        // A row whose extreme cell stayed dry is read again, when its flooded cells might still
        // reach beyond what was met.
        for (int j = bounds.top; j <= bounds.bottom; ++j) {
            const RowGround& g = rowGround_[static_cast<size_t>(j)];
            if (g.lowAt < 0) continue;
            const bool lower = !flooded(g.lowAt, j) && (!statsStarted || g.low < lowestLevel);
            const bool higher = !flooded(g.highAt, j) && (!statsStarted || g.high > highestLevel);
            if (!lower && !higher) continue;
            uint32_t* v = rowBuffer_.data();
            readRow(j, bounds.left, bounds.right, v);
            for (int i = bounds.left; i <= bounds.right; ++i) {
                const uint32_t c = v[i - bounds.left];
                if (flooded(i, j) && !isFloodMarker(c) && static_cast<int32_t>(c) <= waterLevel)
                    meetGround(static_cast<int32_t>(c));
            }
        }
        image.lowest = statsStarted ? lowestLevel : 0;
        image.highest = statsStarted ? highestLevel : 0;

        // Cells the flood did not reach lose their rank. Only the flooded rows and one row on
        // either side were ranked; blocks left without a rank are given back.
        const int top = std::max(bounds.top - 1, 0);
        const int bottom = std::min(bounds.bottom + 1, gridHeight_ - 1);
        if (keepFloodMask) {
            image.flooded = std::make_shared<FloodMask>(gridWidth_, gridHeight_,
                                                        rankImageLimit - cells.memoryBytes());
            heldMask_ = image.flooded.get();
        }
        for (int j = top; j <= bottom; ++j)
            cells.forEachStoredRun(j, 0, gridWidth_ - 1, [&](int x, uint8_t* p, int n) {
                if (image.flooded) keepFlooded(j, x, p, n, *image.flooded);
                for (int k = 0; k < n; ++k)
                    p[k] = (p[k] & kUnflooded) ? kNoRank : p[k];
            });
        cells.dropBackgroundBlocks();
        if (image.flooded) image.flooded->dropEmptyBlocks();
        return image;
    });
}

}  // namespace kov
