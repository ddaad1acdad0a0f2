// SPDX-License-Identifier: MIT
#include "core/data/dem/SourceMosaic.h"

#include <algorithm>
#include <cmath>

namespace kov {
namespace {

// Steps agree to this fraction; origins lie this fraction of a step off a whole step at most.
constexpr double kStepTolerance = 1e-9;
constexpr double kOriginTolerance = 1e-6;
// Grids further apart than this many cells are not one mosaic (and their indices stay small).
constexpr double kMostCellsApart = 1e9;
// The most buckets one grid may be filed in.
constexpr int64_t kMostBucketsOfAGrid = 64;
// Positions further out than this are nowhere near a grid.
constexpr double kFarPosition = 1e12;

bool sameCrs(const SourceCrs& a, const SourceCrs& b) {
    if (a.epsg != 0 || b.epsg != 0) return a.epsg == b.epsg;
    return !a.wkt.empty() && a.wkt == b.wkt;
}

bool sameStep(double a, double b) {
    return std::abs(a - b) <= kStepTolerance * std::abs(a);
}

// Whether d steps is a whole number of steps, not too many.
bool wholeSteps(double d) {
    return std::abs(d) < kMostCellsApart && std::abs(d - std::round(d)) <= kOriginTolerance;
}

bool overlap(const auto& a, const auto& b) {
    return a.col0 < b.col0 + b.grid->cols && b.col0 < a.col0 + a.grid->cols &&
           a.row0 < b.row0 + b.grid->rows && b.row0 < a.row0 + a.grid->rows;
}

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

SourceMosaic::SourceMosaic(const GeoGrid& first)
    : west_(first.west),
      north_(first.north),
      stepX_(first.stepX),
      stepY_(first.stepY),
      bucketCols_(std::max(first.cols, 1)),
      bucketRows_(std::max(first.rows, 1)) {
    add(first);
}

bool SourceMosaic::fits(const GeoGrid& grid) const {
    const GeoGrid& first = *members_.front().grid;
    // A grid far larger than the first would sit in too many buckets: it stays on its own.
    const int64_t buckets = (grid.cols / bucketCols_ + 2) * (grid.rows / bucketRows_ + 2);
    return sameCrs(first.crs, grid.crs) && sameStep(stepX_, grid.stepX) &&
           sameStep(stepY_, grid.stepY) && wholeSteps((grid.west - west_) / stepX_) &&
           wholeSteps((north_ - grid.north) / stepY_) && buckets <= kMostBucketsOfAGrid;
}

uint64_t SourceMosaic::bucketKey(int64_t bucketCol, int64_t bucketRow) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(bucketCol)) << 32) |
           static_cast<uint32_t>(bucketRow);
}

void SourceMosaic::add(const GeoGrid& grid) {
    Member member{&grid, std::llround((grid.west - west_) / stepX_),
                  std::llround((north_ - grid.north) / stepY_)};
    const auto position = static_cast<uint32_t>(members_.size());
    if (grid.cols < 1 || grid.rows < 1) return members_.push_back(member);
    const int64_t firstCol = floorDiv(member.col0, bucketCols_);
    const int64_t lastCol = floorDiv(member.col0 + grid.cols - 1, bucketCols_);
    const int64_t firstRow = floorDiv(member.row0, bucketRows_);
    const int64_t lastRow = floorDiv(member.row0 + grid.rows - 1, bucketRows_);
    for (int64_t r = firstRow; r <= lastRow; ++r)
        for (int64_t c = firstCol; c <= lastCol; ++c) {
            std::vector<uint32_t>& bucket = buckets_[bucketKey(c, r)];
            for (uint32_t earlier : bucket)
                member.overlapped = member.overlapped || overlap(members_[earlier], member);
            bucket.push_back(position);
        }
    members_.push_back(member);
}

const SourceMosaic::Member* SourceMosaic::memberHolding(int64_t col, int64_t row) const {
    // Where grids overlap the first one added answers: a later grid found last time is asked
    // again only when no earlier grid overlaps it.
    if (lastHit_ < members_.size()) {
        const Member& last = members_[lastHit_];
        if (!last.overlapped && last.holds(col, row)) return &last;
    }
    const auto it =
        buckets_.find(bucketKey(floorDiv(col, bucketCols_), floorDiv(row, bucketRows_)));
    if (it == buckets_.end()) return nullptr;
    for (uint32_t position : it->second) {
        if (members_[position].holds(col, row)) {
            lastHit_ = position;
            return &members_[position];
        }
    }
    return nullptr;
}

int32_t SourceMosaic::codeAt(int64_t col, int64_t row) const {
    const Member* m = memberHolding(col, row);
    if (!m) return MESH_NODATA;
    return m->grid->code(static_cast<int>(col - m->col0), static_cast<int>(row - m->row0));
}

int32_t SourceMosaic::sample(double col, double row) const {
    if (!(std::abs(col) < kFarPosition && std::abs(row) < kFarPosition)) return MESH_NODATA;
    const double colFloor = std::floor(col), rowFloor = std::floor(row);
    const auto c0 = static_cast<int64_t>(colFloor);
    const auto r0 = static_cast<int64_t>(rowFloor);
    const double tx = col - colFloor, ty = row - rowFloor;
    int32_t nw, ne, sw, se;
    const Member* m = memberHolding(c0, r0);
    if (m && !m->overlapped && m->holds(c0 + 1, r0 + 1)) {
        // All four in one grid (the usual case): read them directly.
        const int32_t* north = &m->grid->codes[static_cast<size_t>(r0 - m->row0) * m->grid->cols +
                                               static_cast<size_t>(c0 - m->col0)];
        const int32_t* south = north + m->grid->cols;
        nw = north[0], ne = north[1], sw = south[0], se = south[1];
    } else {
        nw = codeAt(c0, r0), ne = codeAt(c0 + 1, r0);
        sw = codeAt(c0, r0 + 1), se = codeAt(c0 + 1, r0 + 1);
    }
    if (!isSpecialCode(nw) && !isSpecialCode(ne) && !isSpecialCode(sw) && !isSpecialCode(se)) {
        const double north = nw + tx * (static_cast<double>(ne) - nw);
        const double south = sw + tx * (static_cast<double>(se) - sw);
        return static_cast<int32_t>(std::lround(north + ty * (south - north)));
    }
    const int32_t nearest[2][2] = {{nw, ne}, {sw, se}};
    return nearest[ty >= 0.5][tx >= 0.5];
}

}  // namespace kov
