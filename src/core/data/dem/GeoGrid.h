// SPDX-License-Identifier: MIT
// An elevation grid as a source file holds it (an FG-GML DEM file or a GDAL raster), in the
// source's own coordinates, before it is placed in a plane rectangular zone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/data/ZarHMesh.h"

namespace kov {

// How many cells of each class a source holds.
struct CellCounts {
    int64_t ground = 0;
    int64_t water = 0;
    int64_t noData = 0;
};

// The coordinate reference system of a source.
struct SourceCrs {
    // The EPSG code where the source names one we know (4612 JGD2000 and 6668 JGD2011 latitude
    // and longitude for FG-GML files), else 0 and wkt holds the system.
    int epsg = 0;
    std::string wkt;
    bool geographic = false;  // x is longitude and y latitude, in degrees
    std::string name;  // for kovtool info: "JGD2011 (latitude, longitude)", "JGD2011 / Japan Plane
                       // Rectangular CS IX"
};

// Row 0 is the northernmost row and column 0 the westernmost, as the files store them. Cell
// (c, r) covers x from west + c * stepX to west + (c + 1) * stepX and y from
// north - (r + 1) * stepY to north - r * stepY; its value holds at its centre.
struct GeoGrid {
    int cols = 0;
    int rows = 0;
    double west = 0.0;
    double north = 0.0;
    double stepX = 0.0;  // > 0
    double stepY = 0.0;  // > 0
    // cols * rows codes, row-major from the north-west cell: elevations in millimetres, or
    // MESH_WATER / MESH_NODATA.
    std::vector<int32_t> codes;
    SourceCrs crs;
    // The spacing of the source in metres: 5 for DEM5x, 10 for DEM10x, 1 for DEM1A, the pixel
    // size of a projected raster; the default cell size of the placed mesh.
    double nominalSpacing = 0.0;
    // What the source is, for kovtool info: "FG-GML DEM5A", "GeoTIFF", "Arc/Info ASCII Grid".
    std::string kind;
    // The datum the source names ("JGD2024", "JGD2011", "JGD2000"); empty when it names none.
    std::string datumName;
    CellCounts counts;
    // The files a raster was read from as GDAL lists them (the raster and its companions: .prj,
    // .aux.xml, world file, the sources of a VRT); empty for FG-GML documents.
    std::vector<std::string> files;

    int32_t code(int col, int row) const { return codes[static_cast<size_t>(row) * cols + col]; }
    double east() const { return west + cols * stepX; }
    double south() const { return north - rows * stepY; }
};

// Millimetre code of an elevation in metres (rounded half away from zero).
int32_t millimetreCode(double metres);
// Counts the classes of grid.codes into grid.counts.
void countCells(GeoGrid& grid);

}  // namespace kov
