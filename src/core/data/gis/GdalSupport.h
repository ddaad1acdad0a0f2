// SPDX-License-Identifier: MIT
// What the GDAL writers of this folder share; included only by their .cpp files, so that no
// GDAL type leaves the folder.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cpl_string.h>

#include <memory>
#include <string>
#include <vector>

#include "core/data/gis/GisRaster.h"

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
