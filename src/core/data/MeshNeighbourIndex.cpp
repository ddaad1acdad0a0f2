// SPDX-License-Identifier: MIT
#include "core/data/MeshNeighbourIndex.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kov {
namespace {

constexpr double kEdgeTolerance = 1e-10;
// Corners are bucketed by rounding to whole metres (sheet and tile corners lie on whole metres,
// so they sit in the middle of their bucket). A query looks a little further than the
// tolerance either way, so that a corner within the tolerance is never in a bucket not looked at.
constexpr double kQueryReach = 2 * kEdgeTolerance;

bool nearlyEqual(double a, double b) {
    return std::fabs(a - b) < kEdgeTolerance;
}

// +0.0 for -0.0, so that numerically equal values share their bits.
uint64_t keyBits(double v) {
    return std::bit_cast<uint64_t>(v + 0.0);
}

double bucketOf(double v) {
    return std::floor(v + 0.5);
}

uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

int neighbourSlot(const ZarHMesh& m, const ZarHMesh& n) {
    using Slot = MeshNeighbours::Slot;
    const double x0 = m.xmin, y0 = m.ymin, x1 = m.xmax, y1 = m.ymax;
    const double a0 = n.xmin, b0 = n.ymin, a1 = n.xmax, b1 = n.ymax;
    const auto eq = nearlyEqual;
    if (eq(a1, x0) && eq(b1, y0)) return Slot::SouthWest;
    if (eq(a0, x0) && eq(a1, x1) && eq(b1, y0)) return Slot::South;
    if (eq(a0, x1) && eq(b1, y0)) return Slot::SouthEast;
    if (eq(a1, x0) && eq(b0, y0) && eq(b1, y1)) return Slot::West;
    if (eq(a0, x1) && eq(b0, y0) && eq(b1, y1)) return Slot::East;
    if (eq(a1, x0) && eq(b0, y1)) return Slot::NorthWest;
    if (eq(a0, x0) && eq(a1, x1) && eq(b0, y1)) return Slot::North;
    if (eq(a0, x1) && eq(b0, y1)) return Slot::NorthEast;
    return -1;
}

void scanNeighbours(const std::vector<const ZarHMesh*>& list, const ZarHMesh& mesh,
                    MeshNeighbours& neighbours) {
    neighbours = MeshNeighbours{};
    neighbours.mesh[MeshNeighbours::Centre] = &mesh;
    for (const ZarHMesh* n : list) {
        if (n == &mesh || n->cellSize != mesh.cellSize) continue;
        const int slot = neighbourSlot(mesh, *n);
        if (slot >= 0) neighbours.mesh[slot] = n;
    }
}

size_t MeshNeighbourIndex::CornerKeyHash::operator()(const CornerKey& k) const {
    return static_cast<size_t>(mix(k.cellSizeBits ^ mix(k.xBits ^ mix(k.yBits))));
}

MeshNeighbourIndex::MeshNeighbourIndex(std::vector<const ZarHMesh*> list) : list_(std::move(list)) {
    // Every rule pairs one corner of the neighbour with one corner of the mesh, so indexing the
    // four corners of every mesh finds all candidates. A corner that is not finite never
    // matches anything (its distance to any value is not below the tolerance).
    struct Entry {
        CornerKey key;
        uint32_t position;
    };
    std::vector<Entry> entries;
    entries.reserve(list_.size() * 4);
    for (size_t p = 0; p < list_.size(); ++p) {
        const ZarHMesh& m = *list_[p];
        if (std::isnan(m.cellSize)) continue;
        const uint64_t cell = keyBits(m.cellSize);
        for (const double x : {m.xmin, m.xmax}) {
            for (const double y : {m.ymin, m.ymax}) {
                if (!std::isfinite(x) || !std::isfinite(y)) continue;
                entries.push_back(
                    {{cell, keyBits(bucketOf(x)), keyBits(bucketOf(y))}, static_cast<uint32_t>(p)});
            }
        }
    }
    corners_.reserve(entries.size());
    for (const Entry& e : entries)
        ++corners_[e.key].end;
    uint32_t start = 0;
    for (auto& [key, range] : corners_) {
        const uint32_t count = range.end;
        range = {start, start};
        start += count;
    }
    positions_.resize(entries.size());
    for (const Entry& e : entries) {
        Range& range = corners_[e.key];
        positions_[range.end++] = e.position;
    }
}

void MeshNeighbourIndex::collect(uint64_t cellSizeBits, double x, double y,
                                 std::vector<uint32_t>& out) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    const double xs[2] = {bucketOf(x - kQueryReach), bucketOf(x + kQueryReach)};
    const double ys[2] = {bucketOf(y - kQueryReach), bucketOf(y + kQueryReach)};
    for (int i = 0; i < 2; ++i) {
        if (i == 1 && xs[1] == xs[0]) break;
        for (int j = 0; j < 2; ++j) {
            if (j == 1 && ys[1] == ys[0]) break;
            const auto it = corners_.find({cellSizeBits, keyBits(xs[i]), keyBits(ys[j])});
            if (it == corners_.end()) continue;
            out.insert(out.end(), positions_.begin() + it->second.begin,
                       positions_.begin() + it->second.end);
        }
    }
}

void MeshNeighbourIndex::find(const ZarHMesh& mesh, MeshNeighbours& neighbours) const {
    neighbours = MeshNeighbours{};
    neighbours.mesh[MeshNeighbours::Centre] = &mesh;
    if (std::isnan(mesh.cellSize)) return;
    const uint64_t cell = keyBits(mesh.cellSize);
    thread_local std::vector<uint32_t> candidates;
    candidates.clear();
    collect(cell, mesh.xmin, mesh.ymin, candidates);
    collect(cell, mesh.xmax, mesh.ymin, candidates);
    collect(cell, mesh.xmin, mesh.ymax, candidates);
    collect(cell, mesh.xmax, mesh.ymax, candidates);
    // In list order, so that a later mesh replaces an earlier one in the same slot.
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (const uint32_t p : candidates) {
        const ZarHMesh* n = list_[p];
        if (n == &mesh || n->cellSize != mesh.cellSize) continue;
        const int slot = neighbourSlot(mesh, *n);
        if (slot >= 0) neighbours.mesh[slot] = n;
    }
}

}  // namespace kov
