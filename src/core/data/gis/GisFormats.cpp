// SPDX-License-Identifier: MIT
// What the GIS writers decide without GDAL: the format of an output path and the contour layer.
#include "core/base/PathNames.h"
#include "core/data/gis/Contours.h"
#include "core/data/gis/GisRaster.h"
#include "core/data/gis/GisVector.h"

namespace kov {

std::optional<RasterFormat> rasterFormatOfPath(const std::string& path) {
    const std::string ext = lowerAscii(fileExtension(path));
    if (ext == ".tif" || ext == ".tiff") return RasterFormat::CloudOptimizedGeoTiff;
    if (ext == ".asc") return RasterFormat::AsciiGrid;
    if (ext == ".vrt") return RasterFormat::Vrt;
    return std::nullopt;
}

std::optional<VectorFormat> vectorFormatOfPath(const std::string& path) {
    const std::string ext = lowerAscii(fileExtension(path));
    if (ext == ".geojson" || ext == ".json") return VectorFormat::GeoJson;
    if (ext == ".gpkg") return VectorFormat::GeoPackage;
    if (ext == ".shp") return VectorFormat::Shapefile;
    if (ext == ".kml") return VectorFormat::Kml;
    return std::nullopt;
}

VectorLayer contourLayer(const std::vector<ContourLine>& lines) {
    VectorLayer layer;
    layer.name = "contours";
    layer.geometry = GeometryType::LineString;
    layer.fields = {{"elev", FieldType::Real}, {"index", FieldType::Boolean}};
    layer.features.reserve(lines.size());
    for (const ContourLine& line : lines)
        layer.features.push_back(
            {{line.points}, {}, {line.elevation, int64_t{line.index ? 1 : 0}}});
    return layer;
}

}  // namespace kov
