// SPDX-License-Identifier: MIT
// Vector files through OGR: the layers are built as OGR features in a file inside a scratch
// folder beside the target, then moved into place with their companions.
#include "core/data/gis/GisVector.h"

#include <ogrsf_frmts.h>

#include <algorithm>
#include <filesystem>

#include "core/base/PathNames.h"
#include "core/base/ScratchFolder.h"
#include "core/data/gdal/GdalSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;
using gis::fail;
using gis::gdalReason;

const char* driverName(VectorFormat format) {
    switch (format) {
        case VectorFormat::GeoJson:
            return "GeoJSON";
        case VectorFormat::GeoPackage:
            return "GPKG";
        case VectorFormat::Shapefile:
            return "ESRI Shapefile";
        case VectorFormat::Kml:
            return "KML";
    }
    return "";
}

OGRwkbGeometryType ogrType(GeometryType type, bool hasZ) {
    OGRwkbGeometryType base = wkbPoint;
    switch (type) {
        case GeometryType::Point:
            base = wkbPoint;
            break;
        case GeometryType::LineString:
            base = wkbLineString;
            break;
        case GeometryType::Polygon:
            base = wkbPolygon;
            break;
        case GeometryType::MultiPolygon:
            base = wkbMultiPolygon;
            break;
    }
    return hasZ ? OGR_GT_SetZ(base) : base;
}

OGRFieldType ogrFieldType(FieldType type) {
    switch (type) {
        case FieldType::Integer:
            return OFTInteger64;
        case FieldType::Real:
            return OFTReal;
        case FieldType::Text:
            return OFTString;
        case FieldType::Boolean:
            return OFTInteger;
    }
    return OFTString;
}

// A vertex without z in a layer with z values makes the whole geometry two-dimensional: a
// missing elevation stays missing instead of becoming 0.
bool allHaveZ(const VectorFeature& feature) {
    for (const auto& part : feature.parts)
        for (const VectorVertex& v : part)
            if (!v.z) return false;
    return true;
}

template <class Curve>
void addVertices(Curve& curve, const std::vector<VectorVertex>& vertices, bool withZ) {
    for (const VectorVertex& v : vertices) {
        if (withZ)
            curve.addPoint(v.x, v.y, *v.z);
        else
            curve.addPoint(v.x, v.y);
    }
}

std::unique_ptr<OGRPolygon> polygonOf(const std::vector<std::vector<VectorVertex>>& parts,
                                      size_t first, size_t end, bool withZ) {
    auto polygon = std::make_unique<OGRPolygon>();
    for (size_t i = first; i < end; ++i) {
        auto ring = std::make_unique<OGRLinearRing>();
        addVertices(*ring, parts[i], withZ);
        ring->closeRings();
        polygon->addRingDirectly(ring.release());
    }
    return polygon;
}

std::unique_ptr<OGRMultiPolygon> multiPolygonOf(const VectorFeature& feature, bool withZ) {
    auto multi = std::make_unique<OGRMultiPolygon>();
    const auto& parts = feature.parts;
    size_t first = 0;
    for (size_t i = 1; i <= parts.size(); ++i) {
        const bool startsNext =
            i == parts.size() || (i < feature.isOuter.size() && feature.isOuter[i]);
        if (!startsNext) continue;
        multi->addGeometryDirectly(polygonOf(parts, first, i, withZ).release());
        first = i;
    }
    return multi;
}

// Null when the feature has no vertices (written as a feature without geometry).
std::unique_ptr<OGRGeometry> geometryOf(const VectorFeature& feature, GeometryType type,
                                        bool hasZ) {
    if (feature.parts.empty() || feature.parts[0].empty()) return nullptr;
    const bool withZ = hasZ && allHaveZ(feature);
    switch (type) {
        case GeometryType::Point: {
            const VectorVertex& v = feature.parts[0][0];
            return withZ ? std::make_unique<OGRPoint>(v.x, v.y, *v.z)
                         : std::make_unique<OGRPoint>(v.x, v.y);
        }
        case GeometryType::LineString: {
            auto line = std::make_unique<OGRLineString>();
            addVertices(*line, feature.parts[0], withZ);
            return line;
        }
        case GeometryType::Polygon:
            return polygonOf(feature.parts, 0, feature.parts.size(), withZ);
        case GeometryType::MultiPolygon:
            return multiPolygonOf(feature, withZ);
    }
    return nullptr;
}

void setValue(OGRFeature& feature, int index, const FieldValue& value) {
    if (const auto* i = std::get_if<int64_t>(&value))
        feature.SetField(index, static_cast<GIntBig>(*i));
    else if (const auto* d = std::get_if<double>(&value))
        feature.SetField(index, *d);
    else if (const auto* s = std::get_if<std::string>(&value))
        feature.SetField(index, s->c_str());
    else
        feature.SetFieldNull(index);
}

// The layer as OGR receives it: a GeoJSON file holds every layer in one collection.
struct LayerPlan {
    std::string name;
    OGRwkbGeometryType geometry = wkbUnknown;
    std::vector<VectorField> fields;
    std::vector<const VectorLayer*> sources;
};

void addMissingFields(std::vector<VectorField>& into, const std::vector<VectorField>& fields) {
    for (const VectorField& field : fields) {
        const bool known = std::any_of(into.begin(), into.end(),
                                       [&](const VectorField& f) { return f.name == field.name; });
        if (!known) into.push_back(field);
    }
}

std::vector<LayerPlan> planLayers(const std::vector<VectorLayer>& layers, VectorFormat format,
                                  const std::string& path) {
    const std::string stem = fs::path(path).stem().string();
    const bool namedLayers = format == VectorFormat::GeoPackage || format == VectorFormat::Kml;
    std::vector<LayerPlan> plans;
    if (format == VectorFormat::GeoJson && layers.size() > 1) {
        LayerPlan merged{stem, wkbUnknown, {}, {}};
        for (const VectorLayer& layer : layers) {
            addMissingFields(merged.fields, layer.fields);
            merged.sources.push_back(&layer);
        }
        plans.push_back(std::move(merged));
        return plans;
    }
    for (const VectorLayer& layer : layers) {
        const std::string name = namedLayers && !layer.name.empty() ? layer.name : stem;
        plans.push_back({name, ogrType(layer.geometry, layer.hasZ), layer.fields, {&layer}});
    }
    return plans;
}

bool checkLayers(const std::vector<VectorLayer>& layers, VectorFormat format, std::string* error) {
    if (layers.empty()) return fail(error, "there is nothing to write");
    if (format == VectorFormat::Shapefile && layers.size() > 1)
        return fail(error, "a shapefile holds one layer; choose GeoPackage or GeoJSON");
    for (const VectorLayer& layer : layers) {
        for (const VectorFeature& feature : layer.features) {
            if (feature.values.size() != layer.fields.size())
                return fail(
                    error, "a feature of layer \"" + layer.name + "\" has not one value per field");
            const bool multi = layer.geometry == GeometryType::MultiPolygon;
            if (multi && feature.isOuter.size() != feature.parts.size())
                return fail(error, "a polygon of layer \"" + layer.name + "\" has no ring roles");
        }
    }
    return true;
}

char** layerOptions(VectorFormat format) {
    static const char* shapefile[] = {"ENCODING=UTF-8", nullptr};
    // Fifteen significant digits: 2236.06797749979, not the binary noise of 2236.0679774997898.
    static const char* geoJson[] = {"SIGNIFICANT_FIGURES=15", nullptr};
    switch (format) {
        case VectorFormat::Shapefile:
            return const_cast<char**>(shapefile);
        case VectorFormat::GeoJson:
            return const_cast<char**>(geoJson);
        default:
            return nullptr;
    }
}

bool createFields(OGRLayer& layer, const std::vector<VectorField>& fields, std::string* error) {
    for (const VectorField& field : fields) {
        OGRFieldDefn definition(field.name.c_str(), ogrFieldType(field.type));
        if (field.type == FieldType::Text) definition.SetWidth(254);  // a shapefile's widest
        // GeoJSON writes true and false, a GeoPackage a BOOLEAN column.
        if (field.type == FieldType::Boolean) definition.SetSubType(OFSTBoolean);
        if (layer.CreateField(&definition) != OGRERR_NONE)
            return fail(error, "cannot add the field \"" + field.name + "\"" + gdalReason());
    }
    return true;
}

bool writeFeature(OGRLayer& target, const VectorLayer& source, const VectorFeature& feature,
                  std::string* error) {
    OGRFeature ogr(target.GetLayerDefn());
    for (size_t i = 0; i < source.fields.size(); ++i) {
        const int index = ogr.GetFieldIndex(source.fields[i].name.c_str());
        if (index >= 0) setValue(ogr, index, feature.values[i]);
    }
    ogr.SetGeometryDirectly(geometryOf(feature, source.geometry, source.hasZ).release());
    if (target.CreateFeature(&ogr) != OGRERR_NONE)
        return fail(error, "cannot write a feature" + gdalReason());
    return true;
}

bool writeLayer(GDALDataset& dataset, const LayerPlan& plan, const OGRSpatialReference& srs,
                VectorFormat format, std::string* error) {
    OGRLayer* layer = dataset.CreateLayer(plan.name.c_str(), const_cast<OGRSpatialReference*>(&srs),
                                          plan.geometry, layerOptions(format));
    if (layer == nullptr) return fail(error, "cannot make the layer" + gdalReason());
    if (!createFields(*layer, plan.fields, error)) return false;
    const bool transaction = layer->StartTransaction() == OGRERR_NONE;
    for (const VectorLayer* source : plan.sources)
        for (const VectorFeature& feature : source->features)
            if (!writeFeature(*layer, *source, feature, error)) return false;
    if (transaction && layer->CommitTransaction() != OGRERR_NONE)
        return fail(error, "cannot write the layer" + gdalReason());
    return true;
}

bool writeDataset(GDALDriver& driver, const std::string& file, const std::vector<LayerPlan>& plans,
                  const OGRSpatialReference& srs, VectorFormat format, std::string* error) {
    CPLErrorReset();
    GDALDatasetUniquePtr dataset(driver.Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) return fail(error, "cannot create the file" + gdalReason());
    for (const LayerPlan& plan : plans)
        if (!writeLayer(*dataset, plan, srs, format, error)) return false;
    CPLErrorReset();
    dataset.reset();  // closing flushes: its failure is the last error
    if (CPLGetLastErrorType() == CE_Failure)
        return fail(error, "cannot finish the file" + gdalReason());
    return true;
}

}  // namespace

bool writeVectorFile(const std::vector<VectorLayer>& layers, int epsg, const std::string& path,
                     std::string* error) {
    const std::optional<VectorFormat> format = vectorFormatOfPath(path);
    if (!format) return fail(error, "unknown vector format: " + path);
    if (!checkLayers(layers, *format, error)) return false;
    GDALDriver* driver = gis::writingDriver(driverName(*format), error);
    if (driver == nullptr) return false;
    const std::unique_ptr<OGRSpatialReference> srs = gis::spatialReference(epsg);
    if (!srs) return fail(error, "unknown coordinate system EPSG:" + std::to_string(epsg));

    ScratchFolder scratch(path);
    if (scratch.path().empty()) return fail(error, "cannot write in the folder of " + path);
    const std::vector<LayerPlan> plans = planLayers(layers, *format, path);
    std::string why;
    if (!writeDataset(*driver, scratch.file().string(), plans, *srs, *format, &why))
        return fail(error, "cannot write " + path + ": " + why);
    return scratch.moveIntoPlace(error);
}

}  // namespace kov
