// SPDX-License-Identifier: MIT
// Raster DEMs through GDAL: GeoTIFF/COG, ESRI ASCII grid, Erdas Imagine, VRT and every other
// raster GDAL reads. The rest of the program never sees a GDAL type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data/dem/GeoGrid.h"

namespace kov {

// What a raster file is to us.
enum class RasterRole {
    NotRaster,  // GDAL cannot open it (or it is not a file GDAL knows)
    Elevation,  // one band of Int16, UInt16, Int32, Float32 or Float64, no palette
    Picture,    // Byte, paletted or several bands: an image overlay
};
struct RasterProbe {
    RasterRole role = RasterRole::NotRaster;
    std::string driver;  // GDAL's long name: "GeoTIFF", "Arc/Info ASCII Grid"
    // Why it is not an elevation source, in English ("3 bands", "a palette", "data type Byte").
    std::string why;
    // GDAL could not be loaded (why says so): nothing is known of the file.
    bool gdalMissing = false;
    // Extent in degrees (latitude and longitude of its centre), when it has a CRS.
    bool hasCentre = false;
    double centreLatitude = 0.0;
    double centreLongitude = 0.0;
    // The files GDAL read: the file itself and its companions (.prj, .aux.xml, world files).
    std::vector<std::string> files;
};

// Opens the file's header only.
RasterProbe probeRaster(const std::string& path);

// Reads an elevation raster into grid: the band's nodata value gives no-data cells, vertical
// units in feet are converted to metres. A raster without a coordinate system, rotated or
// sheared, or larger than kMaxRasterDemCells is refused with the reason in error.
bool readRasterDem(const std::string& path, GeoGrid& grid, std::string* error);

inline constexpr int64_t kMaxRasterDemCells = int64_t{1} << 28;

// The same with a smaller bound on the cells (the fuzzer's).
bool readRasterDem(const std::string& path, GeoGrid& grid, int64_t maxCells, std::string* error);

// Writes grid as a Float32 raster of GDAL's format ("GTiff": tiled, deflate; "AAIGrid": with its
// .prj) in the grid's CRS: no-data and water cells are -9999, the band's nodata value (a raster
// has no water class). The files appear whole or not at all: they are written in a scratch
// folder beside path and renamed into place.
bool writeRasterDem(const GeoGrid& grid, const std::string& path, const std::string& format,
                    std::string* error);

}  // namespace kov
