// SPDX-License-Identifier: MIT
// The collection written out as 5 m tiles cut on the map-sheet grid of its zone, so that any
// program that reads tiles can use what the program reads (FG-GML, raster DEMs, DSM points).
#pragma once

#include <string>
#include <vector>

#include "core/base/GeodeticDatum.h"
#include "core/base/MapSheet.h"
#include "core/data/HMeshProject.h"
#include "core/data/TileWriter.h"

namespace kov {

class HxProgress;

// Every tile is a whole sheet of 5 m cells.
inline constexpr double kConvertedCellSize = 5.0;
inline constexpr int kConvertedCols = 400;  // 2000 m
inline constexpr int kConvertedRows = 300;  // 1500 m
// The most sheets one conversion plans: 300,000 km2, some 80 GB of tiles.
inline constexpr long long kMaxConvertedSheets = 100000;

// The sheets the collection's extent touches, and the zone and datum the tiles name.
struct TilePlan {
    int zone = 0;
    GeodeticDatum datum = GeodeticDatum::kUnstated;
    std::vector<SheetRect> sheets;   // south row first, west to east
    std::vector<std::string> codes;  // the sheets' codes, in the same order
};

// Plans the conversion of the collection as of its last UpdateExtent. False with the reason in
// error when it holds no mesh, when its meshes lie in different zones or name different datums,
// span more than kMaxConvertedSheets sheets, or reach outside the lettered sheet grid.
bool planTiles(const HMeshProject& project, TilePlan& plan, std::string* error);

// What the collection answers at the centres of a sheet's cells.
enum class SheetContent { Empty, Filled, Unwritable };
// Fills tile (grid, place, zone, datum, codes) for sheet i of the plan: each cell holds what
// kovtool elev answers at its centre, the elevation rounded to 0.1 m (halves away from zero),
// else water where a water cell answers, else no data. Empty when no cell holds ground or
// water; Unwritable, with the place named in error, when an elevation has no code (below
// -999.8 m, above 9999.9 m, or -111.1 m, the no-data marker).
SheetContent sampleSheet(const HMeshProject& project, const TilePlan& plan, size_t i,
                         MeshTile& tile, std::string* error);

struct TileConversionReport {
    int written = 0;                 // tiles written (both files)
    std::vector<std::string> codes;  // their sheet codes, in order
    std::string error;               // why the conversion stopped; empty when it completed
};
// Writes every sheet that holds ground or water into folder (writeMeshTile). Elevations the
// format cannot hold are looked for before anything is written when the meshes' range could
// hold one. False when the conversion did not complete; report says how far it came.
bool convertToTiles(const HMeshProject& project, const std::string& folder,
                    TileConversionReport& report, HxProgress* progress = nullptr);

}  // namespace kov
