// SPDX-License-Identifier: MIT
#include "core/measure/MeasureExport.h"

#include <optional>
#include <utility>

#include "core/measure/MeasureGeometry.h"

namespace kov {

namespace {

VectorVertex vertexOf(const FPoint& point) {
    return {point.x, point.y, std::nullopt};
}

FieldValue valueOr(const std::optional<double>& value) {
    if (!value) return std::monostate{};
    return *value;
}

std::optional<double> elevationAt(const HMeshProject& project, const FPoint& point) {
    double z = 0.0;
    if (!project.FindElevation(point.x, point.y, z)) return std::nullopt;
    return z;
}

// The whole line, with the numbers the measuring tool shows when the line is finished at its
// last point: the clicked vertices and that point.
VectorFeature wholeLineFeature(const std::vector<FPoint>& line) {
    const std::vector<FPoint> vertices(line.begin(), line.end() - 1);
    const Measures measures = ComputeMeasures(vertices, line.back());
    VectorFeature feature;
    feature.parts.emplace_back();
    for (const FPoint& point : line)
        feature.parts[0].push_back(vertexOf(point));
    // The tool shows an area from three points on (flags 7): the line closed back to its start.
    const FieldValue area = measures.flags == 7 ? FieldValue(measures.area) : std::monostate{};
    feature.values = {std::string("line"), int64_t{0},       measures.total,   area,
                      std::monostate{},    std::monostate{}, std::monostate{}, std::monostate{},
                      std::monostate{}};
    return feature;
}

VectorFeature segmentFeature(const HMeshProject& project, const FPoint& from, const FPoint& to,
                             int64_t sequence) {
    VectorFeature feature;
    feature.parts.push_back({vertexOf(from), vertexOf(to)});
    const std::optional<double> z1 = elevationAt(project, from);
    const std::optional<double> z2 = elevationAt(project, to);
    std::optional<double> dz;
    if (z1 && z2) dz = *z2 - *z1;
    // The slope the distance-and-slope tool shows for this segment (none without length).
    const std::optional<Slope> slope = segmentSlope(project, {from}, to);
    feature.values = {std::string("segment"),
                      sequence,
                      polylineLength({from, to}),
                      std::monostate{},
                      valueOr(z1),
                      valueOr(z2),
                      valueOr(dz),
                      valueOr(slope ? std::optional(slope->degrees) : std::nullopt),
                      valueOr(slope ? std::optional(slope->percent) : std::nullopt)};
    return feature;
}

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

bool checkLine(const std::vector<FPoint>& line, std::string* error) {
    if (line.size() >= 2) return true;
    return fail(error, "the line needs at least two points");
}

}  // namespace

VectorLayer measuredLineLayer(const HMeshProject& project, const std::vector<FPoint>& line) {
    VectorLayer layer;
    layer.name = "measure";
    layer.geometry = GeometryType::LineString;
    layer.fields = {{kFieldKind, FieldType::Text},        {kFieldSequence, FieldType::Integer},
                    {kFieldLength, FieldType::Real},      {kFieldArea, FieldType::Real},
                    {kFieldZFrom, FieldType::Real},       {kFieldZTo, FieldType::Real},
                    {kFieldDeltaZ, FieldType::Real},      {kFieldSlopeDegrees, FieldType::Real},
                    {kFieldSlopePercent, FieldType::Real}};
    if (line.size() < 2) return layer;
    layer.features.push_back(wholeLineFeature(line));
    for (size_t i = 0; i + 1 < line.size(); ++i)
        layer.features.push_back(
            segmentFeature(project, line[i], line[i + 1], static_cast<int64_t>(i + 1)));
    return layer;
}

const char* cellKindText(CellKind kind) {
    switch (kind) {
        case CellKind::Elevation:
            return "ground";
        case CellKind::Water:
            return "water";
        case CellKind::NoData:
            return "nodata";
        case CellKind::None:
            break;
    }
    return "none";
}

std::vector<VectorLayer> profileLayers(const std::vector<FPoint>& line, const ProfileData& data) {
    VectorLayer path;
    path.name = "profile_line";
    path.geometry = GeometryType::LineString;
    path.fields = {{kFieldLength, FieldType::Real},
                   {kFieldStep, FieldType::Real},
                   {kFieldSamples, FieldType::Integer}};
    VectorFeature whole;
    whole.parts.emplace_back();
    for (const FPoint& point : line)
        whole.parts[0].push_back(vertexOf(point));
    whole.values = {data.length, data.step, static_cast<int64_t>(data.samples.size())};
    path.features.push_back(std::move(whole));

    VectorLayer samples;
    samples.name = "profile_samples";
    samples.geometry = GeometryType::Point;
    samples.fields = {{kFieldSequence, FieldType::Integer},
                      {kFieldDistance, FieldType::Real},
                      {kFieldElevation, FieldType::Real},
                      {kFieldFound, FieldType::Text}};
    samples.features.reserve(data.samples.size());
    for (size_t i = 0; i < data.samples.size(); ++i) {
        const FPoint& sample = data.samples[i];
        const CellKind kind = data.kindAt(i);
        // The drawing's filled-in height is no measurement: only ground gives an elevation.
        const FieldValue elevation =
            kind == CellKind::Elevation ? FieldValue(sample.z) : std::monostate{};
        VectorFeature point;
        point.parts.push_back({vertexOf(sample)});
        point.values = {static_cast<int64_t>(i), data.sampleDistance(i), elevation,
                        std::string(cellKindText(kind))};
        samples.features.push_back(std::move(point));
    }
    return {std::move(path), std::move(samples)};
}

bool holdsProfile(VectorFormat format) {
    return format != VectorFormat::Shapefile;
}

bool exportMeasuredLine(const HMeshProject& project, const std::vector<FPoint>& line,
                        const std::string& path, std::string* error) {
    if (!vectorFormatOfPath(path))
        return fail(error, "no vector format for \"" + path +
                               "\": the name must end in .geojson, .gpkg, .shp or .kml");
    if (!checkLine(line, error)) return false;
    return writeVectorFile({measuredLineLayer(project, line)}, collectionEpsg(project), path,
                           error);
}

bool exportProfile(const std::vector<FPoint>& line, const ProfileData& data, int epsg,
                   const std::string& path, std::string* error) {
    const std::optional<VectorFormat> format = vectorFormatOfPath(path);
    if (!format || !holdsProfile(*format))
        return fail(error, "no format for a cross-section in \"" + path +
                               "\": the name must end in .geojson, .gpkg or .kml (a shapefile "
                               "holds lines or points, not both)");
    if (!checkLine(line, error)) return false;
    return writeVectorFile(profileLayers(line, data), epsg, path, error);
}

}  // namespace kov
