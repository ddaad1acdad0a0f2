// SPDX-License-Identifier: MIT
// What GDAL found of a raster file, kept in the tile cache's index of the file's folder: a later
// load tells elevation rasters from pictures without opening GDAL for each file again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/data/dem/RasterDem.h"

namespace kov {

// The probe of the file: the one noted in its folder's index when the file and every companion
// GDAL read are as they were then, else GDAL's (noted for the next load when GDAL was there).
RasterProbe probeRasterCached(const std::string& path);

// The probe as a record of the index, and back (none when the bytes hold no whole one).
std::string encodeRasterProbe(const RasterProbe& probe, const std::string& companions);
std::optional<std::pair<RasterProbe, std::string>> decodeRasterProbe(std::string_view bytes);

}  // namespace kov
