// SPDX-License-Identifier: MIT
// A plane rectangular system as GIS tools name it, and its points in WGS 84 longitude and
// latitude, through PROJ (by GDAL).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kov {

struct LonLat {
    double lon = 0.0;
    double lat = 0.0;
};

// The WKT2 text of the system of an EPSG code, as gdalinfo shows it; empty for an unknown code.
std::string coordinateSystemWkt(int epsg);

// Which axis of the system each of our coordinates is (GDAL's dataAxisToSRSAxisMapping: [2, 1]
// for a system that names the northing first); empty for an unknown code.
std::vector<int> eastNorthAxisMapping(int epsg);

// The points (easting, northing in metres of the EPSG system) in WGS 84 degrees. False for an
// unknown code or a point PROJ cannot transform.
bool toWgs84(int epsg, const std::vector<std::pair<double, double>>& eastNorth,
             std::vector<LonLat>& out);

}  // namespace kov
