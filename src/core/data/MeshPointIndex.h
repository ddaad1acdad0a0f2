// SPDX-License-Identifier: MIT
// Finds the meshes that may hold a map point without trying every mesh of a project: a grid of
// buckets over the meshes' united extent, each bucket listing (in list order) the meshes whose
// extent reaches into it. A point lookup then tries only its bucket's meshes — for a 100-tile
// block one or a few instead of a hundred.
#pragma once

#include <cstdint>
#include <vector>

#include "core/data/ZarHMesh.h"

namespace kov {

// An index over a fixed list of meshes. The meshes' extents must not change while the index is
// in use; rebuild it when the list changes.
class MeshPointIndex {
public:
    explicit MeshPointIndex(const std::vector<const ZarHMesh*>& list);

    // Positions in the list of the meshes whose extent may hold the point, ascending; empty
    // outside every mesh's extent. Every mesh that contains the point is among them.
    const std::vector<uint32_t>& candidates(double x, double y) const;

private:
    double x0_ = 0.0, y0_ = 0.0;  // south-west corner of the grid
    double x1_ = 0.0, y1_ = 0.0;  // north-east corner
    double bucketW_ = 1.0, bucketH_ = 1.0;
    int columns_ = 0, rows_ = 0;
    std::vector<std::vector<uint32_t>> buckets_;  // row-major, row 0 in the south
    std::vector<uint32_t> none_;
};

}  // namespace kov
