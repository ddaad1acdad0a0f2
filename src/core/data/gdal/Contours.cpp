// SPDX-License-Identifier: MIT
// Contours with GDAL's contour generator and class polygons with GDAL's polygonize, both on
// MEM datasets lent the caller's cells and writing into an in-memory OGR layer that is then
// read into our own types.
#include "core/data/gis/Contours.h"

#include <gdal_alg.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <limits>
#include <map>

#include "core/data/gdal/GdalSupport.h"

namespace kov {
namespace {

using gis::fail;
using gis::gdalReason;

// An OGR layer in memory (no spatial reference: the caller's grid already has one).
struct MemoryLayer {
    GDALDatasetUniquePtr dataset;
    OGRLayer* layer = nullptr;
};

MemoryLayer memoryLayer(const char* field, OGRFieldType type, OGRwkbGeometryType geometry) {
    MemoryLayer out;
    GDALDriver* driver = gis::writingDriver("Memory", nullptr);
    if (driver == nullptr) return out;
    out.dataset.reset(driver->Create("", 0, 0, 0, GDT_Unknown, nullptr));
    if (!out.dataset) return out;
    out.layer = out.dataset->CreateLayer("work", nullptr, geometry, nullptr);
    OGRFieldDefn definition(field, type);
    if (out.layer && out.layer->CreateField(&definition) != OGRERR_NONE) out.layer = nullptr;
    return out;
}

// How many vertices the lines will hold: one where a line crosses the segment between two
// neighbouring ground cells' centres, which is what the generator makes (it draws straight
// between crossings). The levels of a row are kept for the next; stops beyond the bound.
double vertexEstimate(const ElevationRaster& raster, const ContourSettings& s) {
    const RasterPlacement& p = raster.placement;
    constexpr double kNone = -std::numeric_limits<double>::infinity();  // not ground
    const double perMetre = 1.0 / s.interval;
    std::vector<double> above(static_cast<size_t>(p.cols), kNone), row(above.size());
    double vertices = 0.0;
    for (int r = 0; r < p.rows && vertices <= s.maxVertices; ++r) {
        const size_t first = static_cast<size_t>(r) * p.cols;
        for (int c = 0; c < p.cols; ++c) {
            const bool ground = raster.classes[first + c] == CellClass::Ground;
            row[c] = ground ? std::floor((raster.metres[first + c] - s.base) * perMetre) : kNone;
            if (!ground) continue;
            if (c > 0 && row[c - 1] != kNone) vertices += std::abs(row[c] - row[c - 1]);
            if (above[c] != kNone) vertices += std::abs(row[c] - above[c]);
        }
        std::swap(row, above);
    }
    return vertices;
}

std::string boundText(const ContourSettings& s) {
    return "the contours would hold more than " + std::to_string(s.maxVertices) +
           " vertices: choose a larger interval or a smaller area";
}

bool checkSettings(const ContourSettings& s, std::string* error) {
    if (!(s.interval > 0.0) || !std::isfinite(s.interval))
        return fail(error, "the contour interval must be a positive number of metres");
    if (!std::isfinite(s.base)) return fail(error, "the contour base must be a finite number");
    return true;
}

bool isIndexLevel(double elevation, const ContourSettings& s) {
    if (s.indexEvery <= 0) return false;
    const long long k = std::llround((elevation - s.base) / s.interval);
    return k % s.indexEvery == 0;
}

std::vector<VectorVertex> verticesOf(const OGRLineString& line) {
    std::vector<VectorVertex> points(static_cast<size_t>(line.getNumPoints()));
    for (int i = 0; i < line.getNumPoints(); ++i)
        points[i] = {line.getX(i), line.getY(i), std::nullopt};
    return points;
}

// The generator's lines taken straight into ContourLines as it makes them (no copy kept in an
// OGR layer); it stops the generator once the lines pass the vertex bound.
class ContourSink final : public OGRLayer {
public:
    ContourSink(const ContourSettings& settings, std::vector<ContourLine>& lines)
        : settings_(settings), lines_(lines), definition_(new OGRFeatureDefn("contours")) {
        definition_->Reference();
        definition_->SetGeomType(wkbLineString);
        OGRFieldDefn elevation("elev", OFTReal);
        definition_->AddFieldDefn(&elevation);
    }
    ~ContourSink() override { definition_->Release(); }
    ContourSink(const ContourSink&) = delete;
    ContourSink& operator=(const ContourSink&) = delete;

    bool exceeded() const { return vertices_ > settings_.maxVertices; }
    void ResetReading() override {}
    OGRFeature* GetNextFeature() override { return nullptr; }
    OGRFeatureDefn* GetLayerDefn() override { return definition_; }
    int TestCapability(const char* capability) override {
        return EQUAL(capability, OLCSequentialWrite);
    }

protected:
    OGRErr ICreateFeature(OGRFeature* feature) override {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (geometry == nullptr || wkbFlatten(geometry->getGeometryType()) != wkbLineString)
            return OGRERR_NONE;
        ContourLine line;
        line.elevation = feature->GetFieldAsDouble(0);
        line.index = isIndexLevel(line.elevation, settings_);
        line.points = verticesOf(*geometry->toLineString());
        vertices_ += static_cast<int64_t>(line.points.size());
        if (exceeded()) return OGRERR_FAILURE;
        lines_.push_back(std::move(line));
        return OGRERR_NONE;
    }

private:
    const ContourSettings& settings_;
    std::vector<ContourLine>& lines_;
    OGRFeatureDefn* definition_;
    int64_t vertices_ = 0;
};

bool generateContours(const ElevationRaster& raster, const ContourSettings& s, OGRLayer& layer,
                      std::string* error) {
    const RasterPlacement& p = raster.placement;
    GDALDatasetUniquePtr dataset = gis::emptyMemoryDataset(p.cols, p.rows);
    if (!dataset || !gis::lendBand(*dataset, GDT_Float32, raster.metres.data(), sizeof(float),
                                   static_cast<size_t>(p.cols) * sizeof(float)))
        return fail(error, "cannot make the raster" + gdalReason());
    double gt[6];
    gis::geoTransform(p, 0, 0, gt);
    dataset->SetGeoTransform(gt);
    char interval[64], base[64];
    std::snprintf(interval, sizeof interval, "LEVEL_INTERVAL=%.17g", s.interval);
    std::snprintf(base, sizeof base, "LEVEL_BASE=%.17g", s.base);
    char nodata[64];
    std::snprintf(nodata, sizeof nodata, "NODATA=%.17g", double{ElevationRaster::kRasterNoData});
    const CPLStringList options = gis::stringList({interval, base, nodata, "ELEV_FIELD=0"});
    CPLErrorReset();
    if (GDALContourGenerateEx(dataset->GetRasterBand(1), OGRLayer::ToHandle(&layer), options.List(),
                              nullptr, nullptr) != CE_None)
        return fail(error, "cannot trace the contours" + gdalReason());
    return true;
}

void appendPolygon(const OGRPolygon& polygon, VectorFeature& shape) {
    const auto appendRing = [&](const OGRLinearRing& ring, bool outer) {
        std::vector<VectorVertex> points(static_cast<size_t>(ring.getNumPoints()));
        for (int i = 0; i < ring.getNumPoints(); ++i)
            points[i] = {ring.getX(i), ring.getY(i), std::nullopt};
        shape.parts.push_back(std::move(points));
        shape.isOuter.push_back(outer);
    };
    if (polygon.getExteriorRing() == nullptr) return;
    appendRing(*polygon.getExteriorRing(), true);
    for (int i = 0; i < polygon.getNumInteriorRings(); ++i)
        appendRing(*polygon.getInteriorRing(i), false);
}

}  // namespace

bool traceContours(const ElevationRaster& raster, const ContourSettings& settings,
                   std::vector<ContourLine>& lines, std::string* error) {
    if (!checkSettings(settings, error)) return false;
    const RasterPlacement& p = raster.placement;
    const size_t cells = static_cast<size_t>(std::max(p.cols, 0)) * std::max(p.rows, 0);
    if (cells == 0 || raster.metres.size() != cells || raster.classes.size() != cells)
        return fail(error, "the raster's size and its cells do not agree");
    if (vertexEstimate(raster, settings) > static_cast<double>(settings.maxVertices))
        return fail(error, boundText(settings));
    std::vector<ContourLine> traced;
    ContourSink sink(settings, traced);
    if (!generateContours(raster, settings, sink, error)) {
        if (sink.exceeded()) fail(error, boundText(settings));
        return false;
    }
    lines = std::move(traced);
    return true;
}

bool polygonizeClasses(const std::vector<uint8_t>& classes, const RasterPlacement& placement,
                       std::vector<ClassPolygons>& out, std::string* error) {
    const size_t cells =
        static_cast<size_t>(std::max(placement.cols, 0)) * std::max(placement.rows, 0);
    if (cells == 0 || classes.size() != cells)
        return fail(error, "the class image's size and its cells do not agree");
    GDALDatasetUniquePtr dataset = gis::emptyMemoryDataset(placement.cols, placement.rows);
    if (!dataset || !gis::lendBand(*dataset, GDT_Byte, classes.data(), 1, placement.cols))
        return fail(error, "cannot make the raster" + gdalReason());
    double gt[6];
    gis::geoTransform(placement, 0, 0, gt);
    dataset->SetGeoTransform(gt);
    MemoryLayer work = memoryLayer("value", OFTInteger, wkbPolygon);
    if (work.layer == nullptr)
        return fail(error, "cannot make a layer for the polygons" + gdalReason());
    GDALRasterBand* band = dataset->GetRasterBand(1);
    CPLErrorReset();
    // The band is its own mask: cells of value 0 make no polygon. Four-connected by default.
    if (GDALPolygonize(band, band, OGRLayer::ToHandle(work.layer), 0, nullptr, nullptr, nullptr) !=
        CE_None)
        return fail(error, "cannot make the polygons" + gdalReason());

    std::map<int, ClassPolygons> byValue;
    for (const auto& feature : *work.layer) {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (geometry == nullptr || wkbFlatten(geometry->getGeometryType()) != wkbPolygon) continue;
        ClassPolygons& entry = byValue[feature->GetFieldAsInteger(0)];
        appendPolygon(*geometry->toPolygon(), entry.shape);
    }
    std::map<int, int64_t> counts;
    for (uint8_t value : classes)
        if (value != 0) ++counts[value];
    out.clear();
    for (auto& [value, entry] : byValue) {
        entry.value = value;
        entry.area =
            static_cast<double>(counts[value]) * placement.cellWidth * placement.cellHeight;
        out.push_back(std::move(entry));
    }
    return true;
}

}  // namespace kov
