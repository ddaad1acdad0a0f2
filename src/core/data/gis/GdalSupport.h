// What the GDAL writers of this folder share; included only by their .cpp files, so that no
// GDAL type leaves the folder.
#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>
#include <string>

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

// The driver of that name when GDAL has it and can create files with it, else null with why.
GDALDriver* writingDriver(const char* name, std::string* error);

}  // namespace kov::gis
