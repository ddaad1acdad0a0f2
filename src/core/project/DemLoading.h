// SPDX-License-Identifier: MIT
// Loading the elevation sources that are placed in the project's zone (FG-GML DEM files, zips
// of them, GDAL raster DEMs): all sources of one load are read first, then placed together, so
// that neighbouring sources meet without a seam.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/base/GeodeticDatum.h"

namespace kov {

class HMeshProject;
class HxProgress;
class ZarHMesh;
struct LoadReport;
struct ZoneGrid;

// What the user chose for the sources of a load; unset values follow the rules of demTarget.
struct DemSettings {
    std::optional<int> zone;                         // 1..19
    std::optional<double> cellSize;                  // metres
    GeodeticDatum datum = GeodeticDatum::kUnstated;  // of the zone; kUnstated: by the sources
};

// One source to read: a file, a whole zip (its FG-GML members) or a member path inside zips
// ("d/a.zip/b.xml"); cellSize 0 takes the settings' or else the source's own spacing.
struct DemRequest {
    std::string path;
    double cellSize = 0.0;
};

// The zone sources go to: the zone and datum of the project's first mesh not placed from a
// source (a tile, a DSM file), else of its first mesh; for a project without meshes the
// settings' zone, else the zone whose origin is nearest to (latitude, longitude), on the
// settings' datum, else JGD2011, or JGD2000 when the first source names JGD2000.
ZoneGrid demTarget(const HMeshProject& project, const DemSettings& settings, double latitude,
                   double longitude, const std::string& firstSourceDatum);

// Reads every request and places the sources in the zone, adding one mesh per source (a zip
// adds one per FG-GML member); sources that cannot be read or placed go to report.unreadable,
// refused meshes to duplicates or overBudget. Returns the number of meshes added. The zone used
// is that of the placed meshes (their zone and datum).
int loadDemSources(const std::vector<DemRequest>& requests, const DemSettings& settings,
                   HMeshProject& project, LoadReport& report, HxProgress* progress);

// Places every mesh of the project that came from a source again, in the zone demTarget gives
// for the project's other meshes and the settings: after the user chose another zone or cell
// size (keepCellSizes false: the settings' or the sources' own), or after tiles of another zone
// arrived (keepCellSizes true). Returns the number placed; the others go to report.
int placeSourcesAgain(HMeshProject& project, const DemSettings& settings, bool keepCellSizes,
                      LoadReport& report, HxProgress* progress);
// Whether meshes placed from sources lie in another zone (or datum) than the project's other
// meshes, which decide it.
bool placedOutsideProjectZone(const HMeshProject& project);

// The first mesh placed from such a source (its project file then stores the zone); null when
// there is none.
const ZarHMesh* firstPlacedMesh(const HMeshProject& project);

}  // namespace kov
