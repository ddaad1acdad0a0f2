// SPDX-License-Identifier: MIT
// A flood result as GIS tools take it: the ranks as polygons (one feature per rank) and the
// depths as a raster, in the zone's coordinate system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
#include "core/data/gis/GisVector.h"
#include "core/flood/FloodWater.h"

namespace kov {

// The most cells the rectangle around a result's ranked cells may have to be made polygons.
inline constexpr int64_t kMaxPolygonizedCells = int64_t{1} << 30;

// The ranks of a flood result layer as polygons: layer "flood", one MultiPolygon feature per rank
// holding cells, with fields rank (1 on), basis ("ground": the rank's ground heights run from
// above lower up to upper; "depth": its depths run from lower up to below upper), lower and upper
// (metres, null where the rank is open), area (m2) and volume (m3, from rankVolumes when given,
// else null). False with the reason in error when the layer is no flood result with a picture,
// holds no ranked cell, or its ranked cells span more than maxCells.
bool floodPolygonLayer(const ZarHImage& layer, const std::vector<double>* rankVolumes,
                       VectorLayer& out, std::string* error,
                       int64_t maxCells = kMaxPolygonizedCells);

// Writes the polygons of the layer to path (GeoPackage, GeoJSON, Shapefile or KML by its
// extension) in the system epsg. Atomic; false with the reason in error.
bool writeFloodPolygons(const ZarHImage& layer, const std::vector<double>* rankVolumes, int epsg,
                        const std::string& path, std::string* error);

// Writes the depth raster (GeoTIFF) of an outcome whose water was measured. Atomic; false with
// the reason in error.
bool writeFloodDepths(HMeshProject& project, const FloodOutcome& outcome, const FloodWater& water,
                      int epsg, const std::string& path, std::string* error);

}  // namespace kov
