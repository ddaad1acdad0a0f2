// SPDX-License-Identifier: MIT
// Georeferenced rasters written through GDAL (its module) for desktop GIS tools: the collection's
// elevation and rendered maps. The rest of the program never sees a GDAL type.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QImage;

namespace kov {

class HxProgress;

// A north-up grid of square or rectangular cells in a projected system named by its EPSG code.
// Row 0 is the northernmost row, column 0 the westernmost (as GIS files store them); cell (c, r)
// covers x from west + c * cellWidth and y down from north - r * cellHeight.
struct RasterPlacement {
    int cols = 0;
    int rows = 0;
    double west = 0.0;
    double north = 0.0;
    double cellWidth = 0.0;   // > 0
    double cellHeight = 0.0;  // > 0
    int epsg = 0;  // the zone's code: JGD2011 6669-6687, JGD2000 2443-2461, Tokyo 30161-30179
};

// Whether the placement has cells and a finite corner.
inline bool isPlaced(const RasterPlacement& p) {
    return p.cols > 0 && p.rows > 0 && p.cellWidth > 0.0 && p.cellHeight > 0.0 &&
           std::isfinite(p.west) && std::isfinite(p.north);
}

// What a cell of an exported elevation raster holds.
enum class CellClass : uint8_t { NoData = 0, Ground = 1, Water = 2 };

// The elevation of an area as a GIS raster holds it: metres where the class is Ground,
// kRasterNoData elsewhere; classes says which cells are water.
struct ElevationRaster {
    static constexpr float kRasterNoData = -9999.0f;
    RasterPlacement placement;
    std::vector<float> metres;       // cols * rows, row 0 north
    std::vector<CellClass> classes;  // cols * rows; unused when the quantity has no class band
};

// What the metres of a raster are: the name and encoding band 1 carries, and whether the class
// band is written (a flood's depths are one band, as other flood models write them).
struct RasterQuantity {
    const char* name = "elevation";
    const char* encoding = "metres; -9999 where the class band says no data (0) or water (2)";
    bool classBand = true;
};
inline constexpr RasterQuantity kFloodDepthQuantity{
    "depth", "flood depth in metres (water level minus ground); -9999 where not flooded", false};

// The raster formats we write, chosen by the output's extension.
enum class RasterFormat {
    CloudOptimizedGeoTiff,  // ".tif", ".tiff": COG, deflate, overviews
    AsciiGrid,              // ".asc": ESRI ASCII grid with its .prj (one band: water is no data)
    Vrt,                    // ".vrt": a VRT over GeoTIFF tiles in a folder beside it
};
// Empty for any other extension.
std::optional<RasterFormat> rasterFormatOfPath(const std::string& path);

// Writes the raster: band 1 "elevation" (Float32 metres, nodata kRasterNoData over water and no
// data); GeoTIFF and VRT add band 2 "class" (0 no data, 1 ground, 2 water) so that water can be
// told apart (quantity names band 1 and says whether band 2 is written). Every file appears
// whole or not at all; the previous file survives any failure, and a failure leaves no file
// behind. False with the reason in error. progress (when given) follows GDAL's work, and its
// cancel stops the write ("cancelled"), leaving the previous file.
bool writeElevationRaster(const ElevationRaster& raster, const std::string& path,
                          RasterFormat format, std::string* error,
                          const RasterQuantity& quantity = {}, HxProgress* progress = nullptr);

// Writes a rendered map as an RGBA GeoTIFF (deflate) placed on the placement's rectangle
// (the image's size must equal cols x rows). Atomic as above.
bool writeImageGeoTiff(const QImage& image, const RasterPlacement& placement,
                       const std::string& path, std::string* error);

// A class picture: one byte per cell (row 0 north) and the colour of each value as 0x00BBGGRR;
// values past the palette are white. Cells holding noData are transparent to GIS tools.
struct PaletteRaster {
    RasterPlacement placement;
    std::vector<uint8_t> cells;
    std::vector<uint32_t> palette;
    int noData = -1;  // none when outside 0..255
};
// Writes it as a deflated palette GeoTIFF. Atomic as above.
bool writePaletteGeoTiff(const PaletteRaster& raster, const std::string& path, std::string* error);

// A PNG with the companions that place it in a GIS: a world file (".pgw": pixel width, 0, 0,
// -pixel height, x and y of the north-west pixel's centre) and "<png>.aux.xml" with the CRS. The
// three files are flushed to disk together and moved into place with the picture last; nothing
// is written when any of them cannot be (the reason in *error). Refuses a target as
// replaceFileAtomically does.
bool writeGeoreferencedPng(std::string_view png, const RasterPlacement& placement,
                           const std::string& pngPath, std::string* error);

}  // namespace kov
