// SPDX-License-Identifier: MIT
// GDAL, OGR and PROJ work in a module of their own, libkovgdal.so, loaded on first use: linking
// GDAL into the programs would load its whole dependency tree (well over a hundred libraries)
// at every start, also for the many commands that never touch it. The functions declared in
// gis/*.h and dem/{RasterDem,CrsTransform}.h forward to this table; the module holds the
// implementations (core/data/gdal/). Nothing here names a GDAL type.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/data/dem/GeoGrid.h"
#include "core/data/dem/RasterDem.h"
#include "core/data/gis/Contours.h"
#include "core/data/gis/CoordinateSystem.h"
#include "core/data/gis/GisRaster.h"
#include "core/data/gis/GisVector.h"

class QImage;

namespace kov {

class HxProgress;

// A coordinate transformation made by the module; only the module looks inside.
struct GdalTransform;

// The module's entry points. The module and the program must come from the same build:
// abiTag holds the version and the table's size of the build that made the module.
struct GdalEntryPoints {
    const char* abiTag;

    // Where GDAL's own messages go: the program's library message filter (null: nowhere).
    void (*routeMessages)(void (*print)(const char* line), bool warnings);

    bool (*writeElevationRaster)(const ElevationRaster&, const std::string& path, RasterFormat,
                                 std::string* error, const RasterQuantity&, HxProgress*);
    bool (*writeImageGeoTiff)(const QImage&, const RasterPlacement&, const std::string& path,
                              std::string* error);
    bool (*writePaletteGeoTiff)(const PaletteRaster&, const std::string& path, std::string* error);
    bool (*writeVectorFile)(const std::vector<VectorLayer>&, int epsg, const std::string& path,
                            std::string* error);
    bool (*traceContours)(const ElevationRaster&, const ContourSettings&, std::vector<ContourLine>&,
                          std::string* error);
    bool (*polygonizeClasses)(const std::vector<uint8_t>& classes, const RasterPlacement&,
                              std::vector<ClassPolygons>&, std::string* error);

    std::string (*coordinateSystemWkt)(int epsg);
    // WKT1 as GDAL writes it into a .aux.xml; empty for an unknown code.
    std::string (*coordinateSystemWkt1)(int epsg);
    std::vector<int> (*eastNorthAxisMapping)(int epsg);
    bool (*toWgs84)(int epsg, const std::vector<std::pair<double, double>>&, std::vector<LonLat>&);

    RasterProbe (*probeRaster)(const std::string& path);
    bool (*readRasterDem)(const std::string& path, GeoGrid&, int64_t maxCells, std::string* error);
    bool (*writeRasterDem)(const GeoGrid&, const std::string& path, const std::string& format,
                           std::string* error);

    // A system is an EPSG code, or (code 0) WKT text; null with the reason in error.
    GdalTransform* (*createTransform)(int fromEpsg, const std::string& fromWkt, int toEpsg,
                                      const std::string& toWkt, std::string* error);
    // Both ways between a source's system and a zone's; false with the reason in why.
    bool (*zoneTransforms)(const SourceCrs& source, int zoneEpsg, GdalTransform** toZone,
                           GdalTransform** toSource, std::string* why);
    // ok (when given) receives each point's success; false when any point fails.
    bool (*transformPoints)(const GdalTransform*, double* x, double* y, size_t n, int* ok);
    void (*destroyTransform)(GdalTransform*);
};

// The name of the module's one exported function, returning the table.
inline constexpr const char* kGdalEntrySymbol = "kovGdalEntryPoints";
// The environment variable that names another module file (tests of a missing or broken one).
inline constexpr const char* kGdalModuleVariable = "KOV_GDAL_MODULE";

// The table of the loaded module: loaded on the first call (thread-safe), searched beside the
// executable and in ../lib/kovview/modules/ from it. Null when it is missing or broken; *error
// then holds one line that says so.
const GdalEntryPoints* gdalModule(std::string* error = nullptr);

}  // namespace kov
