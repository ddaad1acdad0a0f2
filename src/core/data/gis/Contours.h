// SPDX-License-Identifier: MIT
// Contour lines of an elevation raster (GDAL's contour generator) and the polygons of a class
// image (GDAL's polygonize). The rest of the program never sees a GDAL type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data/gis/GisRaster.h"
#include "core/data/gis/GisVector.h"

namespace kov {

struct ContourSettings {
    double interval = 5.0;  // metres, > 0
    double base = 0.0;      // a contour lies at base + k * interval
    int indexEvery = 5;     // every 5th line (counted from base) is an index contour
    // Refuse when the lines would hold more vertices than this (a bound on memory and file size).
    int64_t maxVertices = int64_t{1} << 27;
};
struct ContourLine {
    double elevation = 0.0;
    bool index = false;
    std::vector<VectorVertex> points;  // map metres
};
// The contour lines of the raster's ground cells (water and no data are holes). False with the
// reason in error for an interval <= 0 or not finite, or when the bound is exceeded.
bool traceContours(const ElevationRaster& raster, const ContourSettings& settings,
                   std::vector<ContourLine>& lines, std::string* error);
// The lines as a vector layer "contours": fields "elev" (Real) and "index" (Boolean).
VectorLayer contourLayer(const std::vector<ContourLine>& lines);

// The polygons of every non-zero value of a class image (one byte per cell, placed as the
// placement says; row 0 north): one entry per value present, its polygons as MultiPolygon parts
// and its area in square metres (cells times cell area).
struct ClassPolygons {
    int value = 0;
    VectorFeature shape;  // MultiPolygon parts and isOuter, no values
    double area = 0.0;
};
bool polygonizeClasses(const std::vector<uint8_t>& classes, const RasterPlacement& placement,
                       std::vector<ClassPolygons>& out, std::string* error);

}  // namespace kov
