// SPDX-License-Identifier: MIT
// The GDAL functions of core as the rest of the program calls them: each loads the GDAL module
// on first use and hands the call to it. When the module cannot be loaded, a function with an
// error text says why there; the others answer as for an unknown input.
#include "core/data/dem/CrsTransform.h"
#include "core/data/gis/GdalModule.h"

namespace kov {
namespace {

// Calls the module's entry point Member with args; false with the reason in error when the
// module is missing.
template <auto Member, typename... Args>
bool forward(std::string* error, Args&&... args) {
    const GdalEntryPoints* gdal = gdalModule(error);
    return gdal != nullptr && (gdal->*Member)(std::forward<Args>(args)...);
}

}  // namespace

bool writeElevationRaster(const ElevationRaster& raster, const std::string& path,
                          RasterFormat format, std::string* error, const RasterQuantity& quantity,
                          HxProgress* progress) {
    return forward<&GdalEntryPoints::writeElevationRaster>(error, raster, path, format, error,
                                                           quantity, progress);
}

bool writeImageGeoTiff(const QImage& image, const RasterPlacement& placement,
                       const std::string& path, std::string* error) {
    return forward<&GdalEntryPoints::writeImageGeoTiff>(error, image, placement, path, error);
}

bool writePaletteGeoTiff(const PaletteRaster& raster, const std::string& path, std::string* error) {
    return forward<&GdalEntryPoints::writePaletteGeoTiff>(error, raster, path, error);
}

bool writeVectorFile(const std::vector<VectorLayer>& layers, int epsg, const std::string& path,
                     std::string* error) {
    return forward<&GdalEntryPoints::writeVectorFile>(error, layers, epsg, path, error);
}

bool traceContours(const ElevationRaster& raster, const ContourSettings& settings,
                   std::vector<ContourLine>& lines, std::string* error) {
    return forward<&GdalEntryPoints::traceContours>(error, raster, settings, lines, error);
}

bool polygonizeClasses(const std::vector<uint8_t>& classes, const RasterPlacement& placement,
                       std::vector<ClassPolygons>& out, std::string* error) {
    return forward<&GdalEntryPoints::polygonizeClasses>(error, classes, placement, out, error);
}

std::string coordinateSystemWkt(int epsg) {
    const GdalEntryPoints* gdal = gdalModule();
    return gdal ? gdal->coordinateSystemWkt(epsg) : std::string();
}

std::vector<int> eastNorthAxisMapping(int epsg) {
    const GdalEntryPoints* gdal = gdalModule();
    return gdal ? gdal->eastNorthAxisMapping(epsg) : std::vector<int>();
}

bool toWgs84(int epsg, const std::vector<std::pair<double, double>>& eastNorth,
             std::vector<LonLat>& out) {
    return forward<&GdalEntryPoints::toWgs84>(nullptr, epsg, eastNorth, out);
}

RasterProbe probeRaster(const std::string& path) {
    RasterProbe probe;
    const GdalEntryPoints* gdal = gdalModule(&probe.why);
    probe.gdalMissing = gdal == nullptr;
    return gdal ? gdal->probeRaster(path) : probe;
}

bool readRasterDem(const std::string& path, GeoGrid& grid, std::string* error) {
    return readRasterDem(path, grid, kMaxRasterDemCells, error);
}

bool readRasterDem(const std::string& path, GeoGrid& grid, int64_t maxCells, std::string* error) {
    return forward<&GdalEntryPoints::readRasterDem>(error, path, grid, maxCells, error);
}

bool writeRasterDem(const GeoGrid& grid, const std::string& path, const std::string& format,
                    std::string* error) {
    return forward<&GdalEntryPoints::writeRasterDem>(error, grid, path, format, error);
}

// ---- CrsTransform: a transformation of the module ----

struct CrsTransform::State {
    const GdalEntryPoints* gdal = nullptr;
    GdalTransform* transform = nullptr;
    ~State() { gdal->destroyTransform(transform); }
};

CrsTransform::CrsTransform(std::unique_ptr<State> state) : state_(std::move(state)) {}
CrsTransform::~CrsTransform() = default;

std::unique_ptr<CrsTransform> CrsTransform::adopt(const GdalEntryPoints* gdal,
                                                  GdalTransform* transform) {
    if (transform == nullptr) return nullptr;
    auto state = std::make_unique<State>();
    state->gdal = gdal;
    state->transform = transform;
    return std::unique_ptr<CrsTransform>(new CrsTransform(std::move(state)));
}

std::unique_ptr<CrsTransform> CrsTransform::create(int fromEpsg, const std::string& fromWkt,
                                                   int toEpsg, const std::string& toWkt,
                                                   std::string* error) {
    const GdalEntryPoints* gdal = gdalModule(error);
    if (gdal == nullptr) return nullptr;
    return adopt(gdal, gdal->createTransform(fromEpsg, fromWkt, toEpsg, toWkt, error));
}

bool CrsTransform::createZonePair(const SourceCrs& source, int zoneEpsg,
                                  std::unique_ptr<CrsTransform>& toZone,
                                  std::unique_ptr<CrsTransform>& toSource, std::string& why) {
    const GdalEntryPoints* gdal = gdalModule(&why);
    GdalTransform* forth = nullptr;
    GdalTransform* back = nullptr;
    if (gdal == nullptr || !gdal->zoneTransforms(source, zoneEpsg, &forth, &back, &why))
        return false;
    toZone = adopt(gdal, forth);
    toSource = adopt(gdal, back);
    return true;
}

bool CrsTransform::apply(double* x, double* y, size_t n, int* ok) const {
    return state_->gdal->transformPoints(state_->transform, x, y, n, ok);
}

}  // namespace kov
