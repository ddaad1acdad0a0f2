// SPDX-License-Identifier: MIT
// Finds the 3 x 3 neighbourhood of a mesh among the meshes of a project without scanning the
// whole list: meshes are indexed by cell size and corner points, because every neighbour shares
// a corner with the mesh (within the edge tolerance).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/data/ZarHMesh.h"

namespace kov {

// Which neighbour slot mesh n fills for mesh m (edges equal within 1e-10 m, the first rule that
// holds wins: south-west, south, south-east, west, east, north-west, north, north-east), or -1.
// The caller checks the cell sizes.
int neighbourSlot(const ZarHMesh& m, const ZarHMesh& n);

// The neighbourhood by the plain rule over a list of meshes in list order: a later mesh that
// fits a filled slot replaces the earlier one. Only meshes of numerically equal cell size count.
void scanNeighbours(const std::vector<const ZarHMesh*>& list, const ZarHMesh& mesh,
                    MeshNeighbours& neighbours);

// An index over a fixed list of meshes. The meshes' extents and cell sizes must not change
// while the index is in use; rebuild it when the list changes.
class MeshNeighbourIndex {
public:
    explicit MeshNeighbourIndex(std::vector<const ZarHMesh*> list);

    // The same answer as scanNeighbours over the list. The mesh need not be in the list.
    void find(const ZarHMesh& mesh, MeshNeighbours& neighbours) const;

private:
    struct CornerKey {
        uint64_t cellSizeBits;
        uint64_t xBits;  // corner coordinates rounded to whole buckets, as double bits
        uint64_t yBits;
        bool operator==(const CornerKey&) const = default;
    };
    struct CornerKeyHash {
        size_t operator()(const CornerKey& k) const;
    };
    struct Range {
        uint32_t begin = 0;
        uint32_t end = 0;
    };

    // Adds the list positions of the meshes with a corner near (x, y) to out.
    void collect(uint64_t cellSizeBits, double x, double y, std::vector<uint32_t>& out) const;

    std::vector<const ZarHMesh*> list_;
    std::vector<uint32_t> positions_;  // list positions grouped by corner key
    std::unordered_map<CornerKey, Range, CornerKeyHash> corners_;
};

}  // namespace kov
