// SPDX-License-Identifier: MIT
// The sample terrain as in-memory tiles for the benchmarks: the same cells `kovtool sample`
// writes, without reading text files.
#pragma once

#include <cstdint>

#include "core/data/ZarHMesh.h"
#include "sample/SampleData.h"

namespace kov::bench {

// Fills the mesh with the sample tile whose south-west corner is (west, south), in metres.
inline void fillSampleTile(ZarHMesh& mesh, long long west, long long south) {
    namespace sample = kov::sample;
    mesh.allocateCells(sample::kTileCols, sample::kTileRows);
    mesh.cellSize = sample::kCellSize;
    mesh.scale = 0.1;
    mesh.xmin = static_cast<double>(west);
    mesh.ymin = static_cast<double>(south);
    mesh.xmax = static_cast<double>(west + sample::kTileWidth);
    mesh.ymax = static_cast<double>(south + sample::kTileHeight);
    const long long x0 = west * 10 + sample::kCellSize * 5;  // cell centres in decimetres
    for (int r = 0; r < sample::kTileRows; ++r) {
        const long long y = south * 10 + sample::kCellSize * 5 + r * sample::kCellSize * 10;
        int32_t* row = mesh.cells.data() + static_cast<size_t>(r) * sample::kTileCols;
        sample::terrainRow(x0, y, sample::kTileCols, sample::kCellSize * 10, row);
        for (int c = 0; c < sample::kTileCols; ++c) {
            if (row[c] == sample::kWaterCode) row[c] = MESH_WATER;
            if (row[c] == sample::kNoDataCode) row[c] = MESH_NODATA;
        }
    }
    mesh.compactCells();  // as the tile reader leaves it
}

}  // namespace kov::bench
