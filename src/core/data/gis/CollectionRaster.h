// SPDX-License-Identifier: MIT
// The collection's elevation on a regular grid: what `kovtool export`, the contours and the
// tile conversion read.
#pragma once

#include <string>

#include "core/data/HMeshProject.h"
#include "core/data/gis/GisRaster.h"

namespace kov {

class HxProgress;

// The datum the collection's meshes state: that of the last mesh stating one (meshes are sorted
// coarsest first, so the finest); kUnstated when none does. *mixedDatums (when given) says
// whether meshes state different datums.
GeodeticDatum collectionDatum(const HMeshProject& project, bool* mixedDatums = nullptr);
// The EPSG code of the collection's zone on that datum (JGD2011 when none is stated).
int collectionEpsg(const HMeshProject& project, bool* mixedDatums = nullptr);

// The grid covering rect with cells of cellSize metres, its edges moved outward onto whole
// multiples of cellSize (the lattice the meshes lie on); epsg is the meshes' zone and datum.
// Empty (cols == 0) when rect is empty or not finite, or cellSize <= 0.
RasterPlacement collectionPlacement(const HMeshProject& project, const MapRect& rect,
                                    double cellSize);
// Each cell holds what the collection answers at its centre, as kovtool elev does: the
// elevation FindElevation gives; else Water where the meshes hold water there; else NoData.
// False with the reason in error when the grid would exceed maxCells or memory runs out.
bool sampleCollection(const HMeshProject& project, const RasterPlacement& placement,
                      ElevationRaster& out, std::string* error, int64_t maxCells = int64_t{1} << 31,
                      HxProgress* progress = nullptr);

}  // namespace kov
