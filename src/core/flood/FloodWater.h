// SPDX-License-Identifier: MIT
// The water a flood result holds: the depth over each flooded cell and the volume, in all and
// per rank, counted on the flood's grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/gis/GisRaster.h"
#include "core/flood/FloodEstimate.h"

namespace kov {

// The most cells the depth raster (the rectangle around the water) may have: 1 GiB of depths.
inline constexpr int64_t kMaxDepthRasterCells = int64_t{1} << 28;

// Water stands on every flooded cell whose ground lies at or below the water level: its depth is
// level - ground (metres) and it holds depth x cell area. A flood from a start point counts the
// cells it reached (its outcome must have been made with keepFloodMask); the whole-area
// classification counts every ground cell at or below the level, connected or not. Water and
// no-data cells a flood crossed have no ground: they are flooded but hold no counted water.
struct FloodWater {
    double volume = 0.0;              // m3
    std::vector<double> rankVolumes;  // m3 over the cells of each rank of the outcome
    int64_t wetCells = 0;             // flooded cells with ground
    int64_t groundlessCells = 0;      // flooded cells of water or without data
    double deepest = 0.0;             // metres
    // The grid cells (column i, row j counted from the south) bounding every flooded cell;
    // empty (i1 < i0) when there is none.
    int i0 = 0;
    int j0 = 0;
    int i1 = -1;
    int j1 = -1;
};

// Measures the water of an outcome of a flood over project (the same meshes). False with the
// reason in error when the outcome kept no flood mask or the grid no longer matches the data.
bool measureFloodWater(HMeshProject& project, const FloodOutcome& outcome, FloodWater& water,
                       std::string* error);

// The depths as a raster over the rectangle bounding the flooded cells, in the zone's system
// epsg: metres on the flooded ground cells, kRasterNoData elsewhere (flooded water and no-data
// cells too: their depth is unknown); no classes. False with the reason in error when nothing is
// flooded, the rectangle passes maxCells or memory runs out.
bool floodDepthRaster(HMeshProject& project, const FloodOutcome& outcome, const FloodWater& water,
                      int epsg, ElevationRaster& raster, std::string* error,
                      int64_t maxCells = kMaxDepthRasterCells);

}  // namespace kov
