// SPDX-License-Identifier: MIT
// Which files are elevation sources that must be placed in a zone (FG-GML DEM files, zips of
// them, GDAL raster DEMs), told by their content, and reading them all of one load.
#pragma once

#include <string>
#include <vector>

#include "core/data/dem/GeoGrid.h"

namespace kov {

enum class DemFileKind {
    None,       // not an elevation source of these kinds
    FgGml,      // an FG-GML DEM XML file (also a member path inside a zip)
    FgGmlZip,   // a zip holding FG-GML DEM files (zips inside it included)
    RasterDem,  // a raster GDAL reads with one numeric band
};

struct DemProbe {
    DemFileKind kind = DemFileKind::None;
    // Why it is none of them, in English ("a GeoTIFF picture: 3 bands", "an XML file that is
    // not an FG-GML DEM"); empty when the file is not of a kind these readers consider.
    std::string why;
    // The centre of the data, when known from the head.
    bool hasCentre = false;
    double latitude = 0.0;
    double longitude = 0.0;
};

// Looks at the file's content (an XML head, a zip's member names, a raster's header), never
// only at its name.
DemProbe probeDemFile(const std::string& path);

}  // namespace kov
