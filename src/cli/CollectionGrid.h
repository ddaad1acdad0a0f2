// SPDX-License-Identifier: MIT
// The collection on a grid, as kovtool export and kovtool contour read it.
#pragma once

#include "cli/CliSupport.h"
#include "core/data/gis/CollectionRaster.h"

namespace kov::cli {

// The most cells a command samples (a bound on memory: 9 bytes a cell).
inline constexpr int64_t kMaxGridCells = int64_t{1} << 28;

struct GridRequest {
    bool hasRect = false;
    MapRect rect;  // --rect
};
// "--rect XMIN,YMIN,XMAX,YMAX".
Option rectOption(GridRequest& request);

// The collection on the requested rectangle (the collection's extent without one) with cells of
// --cell metres (the finest mesh's cell without it), the edges moved outward onto the cell's
// lattice. False after a message on stderr when the rectangle lies outside the data or the grid
// cannot be held.
bool sampleRequestedGrid(const char* command, HMeshProject& project, const GridRequest& request,
                         const DataArguments& data, ElevationRaster& out);

}  // namespace kov::cli
