// SPDX-License-Identifier: MIT
// Vector files for desktop GIS tools (GeoJSON, GeoPackage, Shapefile, KML) written through OGR.
// The rest of the program never sees a GDAL type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kov {

enum class VectorFormat {
    GeoJson,     // ".geojson", ".json"
    GeoPackage,  // ".gpkg"
    Shapefile,   // ".shp" (with .shx, .dbf, .prj, .cpg)
    Kml,         // ".kml" (coordinates in WGS 84 latitude and longitude, as KML requires)
};
// Empty for any other extension.
std::optional<VectorFormat> vectorFormatOfPath(const std::string& path);

enum class FieldType { Integer, Real, Text, Boolean };  // Boolean: the values 0 and 1
struct VectorField {
    std::string name;  // ASCII, at most 10 characters (the shapefile limit)
    FieldType type = FieldType::Real;
};
// A missing value (std::monostate) is written as null, never as 0.
using FieldValue = std::variant<std::monostate, int64_t, double, std::string>;

enum class GeometryType { Point, LineString, Polygon, MultiPolygon };
struct VectorVertex {
    double x = 0.0;           // easting
    double y = 0.0;           // northing
    std::optional<double> z;  // elevation, when the layer has z values
};
// Point: parts[0] holds one vertex. LineString: parts[0] holds the line. Polygon: parts[0] is
// the outer ring, the rest are holes. MultiPolygon: polygons, each outer ring followed by its
// holes, a new polygon starting at every part with isOuter set.
struct VectorFeature {
    std::vector<std::vector<VectorVertex>> parts;
    std::vector<bool> isOuter;       // MultiPolygon only: parts.size() entries
    std::vector<FieldValue> values;  // one per field of the layer
};
struct VectorLayer {
    std::string name;  // the layer's name in GeoPackage and KML, the file name's stem elsewhere
    GeometryType geometry = GeometryType::Point;
    bool hasZ = false;
    std::vector<VectorField> fields;
    std::vector<VectorFeature> features;
};

// Writes the layers in the zone's coordinate system (EPSG code): one layer each in GeoPackage
// and KML; a GeoJSON file holds one collection, so several layers are written as one collection
// with the union of their fields; a shapefile holds one geometry type, so several layers are
// refused. Every file appears whole or not at all (a shapefile's companions too); the previous
// file survives any failure and a failure leaves nothing behind. False with the reason in error.
bool writeVectorFile(const std::vector<VectorLayer>& layers, int epsg, const std::string& path,
                     std::string* error);

}  // namespace kov
