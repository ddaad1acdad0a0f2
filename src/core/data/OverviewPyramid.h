// SPDX-License-Identifier: MIT
// Halved resolutions of a project's whole collection of meshes, for views that show many cells
// per screen pixel: level k holds cells of (finest cell size x 2^k) on one lattice over the
// collection's extent, as one mesh that the renderer draws like any other.
//
// A level cell holds what the point query answers at its centre with water answering: the last
// mesh in the project's order whose cell there is an elevation or water; a no-data cell lets the
// mesh before it answer, and where no mesh answers the level cell is no data. Point samples keep
// exact elevations and the special codes as they are (a mean would smear coastlines).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/data/ZarHMesh.h"

namespace kov {

class HMeshProject;

// Where built pyramids are kept between runs (the tile cache): load answers the bytes stored
// under a key, if any; store keeps them and answers whether it could. Either may be empty.
struct PyramidCache {
    std::function<std::optional<std::vector<uint8_t>>(const std::string& key)> load;
    std::function<bool(const std::string& key, const std::vector<uint8_t>&)> store;
};

class OverviewPyramid {
public:
    // The first level stored is the first whose grid is at most this many cells a side: a
    // whole-extent view on any screen up to 4K draws from it, and all levels together take less
    // than 4/3 of its 32 MB. Finer views draw the meshes themselves.
    static constexpr int kFirstLevelSide = 4096;
    // The coarsest level stored is the first at most this many cells a side.
    static constexpr int kLastLevelSide = 256;

    // Reads every mesh of the project once, in list order; cells that were let go are let go
    // again once read. Null when the project has no mesh with cells.
    static std::unique_ptr<OverviewPyramid> build(HMeshProject& project);
    // The pyramid stored under the collection's key, or one built (and stored) afresh.
    static std::unique_ptr<OverviewPyramid> loadOrBuild(HMeshProject& project,
                                                        const PyramidCache& cache);
    // Names the collection: every mesh's path, extent, cell size, scale and code range, in
    // project order, so that any change of the collection names another pyramid.
    static std::string collectionKey(const HMeshProject& project);

    std::vector<uint8_t> serialise() const;
    // Null for bytes of another version or another key, or damaged ones.
    static std::unique_ptr<OverviewPyramid> deserialise(const std::vector<uint8_t>& bytes,
                                                        const std::string& key);

    const std::string& key() const { return key_; }
    double finestCellSize() const { return finestCellSize_; }
    int levelCount() const { return static_cast<int>(levels_.size()); }
    // Level i of the stored ones, finest first, and its k (cells of finest x 2^k).
    const ZarHMesh& level(int i) const { return *levels_[static_cast<size_t>(i)].mesh; }
    int levelShift(int i) const { return levels_[static_cast<size_t>(i)].shift; }
    // The level whose cells are the largest not larger than pixelSize (the coarsest level for
    // larger pixels); null when even the first stored level's cells are larger.
    const ZarHMesh* levelFor(double pixelSize) const;

private:
    struct Level {
        int shift = 0;
        std::unique_ptr<ZarHMesh> mesh;
    };
    std::string key_;
    double finestCellSize_ = 0.0;
    std::vector<Level> levels_;
};

}  // namespace kov
