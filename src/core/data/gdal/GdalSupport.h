// SPDX-License-Identifier: MIT
// What the GDAL code of the module shares; included only by the module's .cpp files, so that no
// GDAL type leaves the folder.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cpl_string.h>

#include <memory>
#include <string>
#include <vector>

#include "core/data/gis/GisRaster.h"

namespace kov {

struct GdalTransform;
struct SourceCrs;

// Makes GDAL quiet and ready; called before GDAL opens or writes anything, cheap after the first
// call.
void initialiseGdal();

}  // namespace kov

namespace kov::gis {

inline bool fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// GDAL's last message in parentheses, or nothing.
std::string gdalReason();

// The zone's system from its EPSG code with x easting and y northing (GDAL would otherwise
// follow the authority's northing-first order for these codes). Null for an unknown code.
std::unique_ptr<OGRSpatialReference> spatialReference(int epsg);

// The system's WKT1 as GDAL writes it into a PNG's .aux.xml (x east, y north); empty for an
// unknown code.
std::string coordinateSystemWkt1(int epsg);

// The module's coordinate transformations (GdalEntryPoints says what each does).
GdalTransform* createTransform(int fromEpsg, const std::string& fromWkt, int toEpsg,
                               const std::string& toWkt, std::string* error);
bool zoneTransforms(const SourceCrs& crs, int zoneEpsg, GdalTransform** toZone,
                    GdalTransform** toSource, std::string* why);
bool transformPoints(const GdalTransform* t, double* x, double* y, size_t n, int* ok);
void destroyTransform(GdalTransform* t);

// GDAL's list of strings (options, file names).
CPLStringList stringList(const std::vector<std::string>& strings);

// The driver of that name when GDAL has it and can create files with it, else null with why.
GDALDriver* writingDriver(const char* name, std::string* error);

// The GDAL geotransform of the placement's cell (col, row) as the north-west corner.
void geoTransform(const RasterPlacement& p, int col, int row, double gt[6]);

// A MEM dataset of that size without bands, for lendBand.
GDALDatasetUniquePtr emptyMemoryDataset(int cols, int rows);

// Lends a buffer to the dataset as its next band (no copy; the buffer must outlive it):
// pixelStep bytes between cells, lineStep bytes between rows.
bool lendBand(GDALDataset& dataset, GDALDataType type, const void* data, int pixelStep,
              size_t lineStep);

// Sets the placement's system and the geotransform of its cell (col, row) as the corner.
bool placeDataset(GDALDataset& dataset, const RasterPlacement& p, int col, int row,
                  std::string* error);

}  // namespace kov::gis
