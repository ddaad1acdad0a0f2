// SPDX-License-Identifier: MIT
// Coordinate transformations of PROJ through OGR, behind the module's plain handles.
#include <ogr_spatialref.h>

#include "core/data/dem/GeoGrid.h"
#include "core/data/gdal/GdalSupport.h"
#include "core/data/gis/GdalModule.h"

namespace kov {

struct GdalTransform {
    std::unique_ptr<OGRCoordinateTransformation> transform;
};

namespace gis {
namespace {

// Keeps GDAL's error messages from stderr while it lives; we say why ourselves. GDAL's error
// handlers are the thread's own.
class QuietGdalErrors {
public:
    QuietGdalErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdalErrors() { CPLPopErrorHandler(); }
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
    static std::string lastMessage() {
        const char* text = CPLGetLastErrorMsg();
        return text && *text ? std::string(": ") + text : std::string();
    }
};

// x east and y north whatever order the authority gives the axes.
bool defineSystem(OGRSpatialReference& system, int epsg, const std::string& wkt) {
    const OGRErr result = epsg ? system.importFromEPSG(epsg) : system.importFromWkt(wkt.c_str());
    if (result != OGRERR_NONE) return false;
    system.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return true;
}

std::string systemName(int epsg) {
    return epsg ? "EPSG:" + std::to_string(epsg) : "the source's coordinate system";
}

std::string sourceName(const SourceCrs& crs) {
    if (crs.epsg != 0) return "EPSG:" + std::to_string(crs.epsg);
    return crs.name.empty() ? std::string("(unnamed)") : crs.name;
}

GdalTransform* transformBetween(const OGRSpatialReference& from, const OGRSpatialReference& to) {
    std::unique_ptr<OGRCoordinateTransformation> made(
        OGRCreateCoordinateTransformation(&from, &to));
    return made ? new GdalTransform{std::move(made)} : nullptr;
}

}  // namespace

GdalTransform* createTransform(int fromEpsg, const std::string& fromWkt, int toEpsg,
                               const std::string& toWkt, std::string* error) {
    initialiseGdal();
    OGRSpatialReference from, to;
    const bool fromKnown = defineSystem(from, fromEpsg, fromWkt);
    if (!fromKnown || !defineSystem(to, toEpsg, toWkt)) {
        fail(error, "unknown coordinate system " + systemName(fromKnown ? toEpsg : fromEpsg));
        return nullptr;
    }
    GdalTransform* made = transformBetween(from, to);
    if (!made)
        fail(error, "no transformation from " + systemName(fromEpsg) + " to " + systemName(toEpsg));
    return made;
}

bool zoneTransforms(const SourceCrs& crs, int zoneEpsg, GdalTransform** toZone,
                    GdalTransform** toSource, std::string* why) {
    const QuietGdalErrors quiet;
    OGRSpatialReference source, zone;
    if (!defineSystem(source, crs.epsg, crs.wkt))
        return fail(why, "its coordinate system " + sourceName(crs) + " is unknown to PROJ" +
                             QuietGdalErrors::lastMessage());
    if (!defineSystem(zone, zoneEpsg, {}))
        return fail(why, "EPSG:" + std::to_string(zoneEpsg) + " is unknown to PROJ" +
                             QuietGdalErrors::lastMessage());
    std::unique_ptr<GdalTransform> forth(transformBetween(source, zone));
    std::unique_ptr<GdalTransform> back(transformBetween(zone, source));
    if (!forth || !back)
        return fail(why, "no transformation from " + crs.name + " to EPSG:" +
                             std::to_string(zoneEpsg) + QuietGdalErrors::lastMessage());
    *toZone = forth.release();
    *toSource = back.release();
    return true;
}

bool transformPoints(const GdalTransform* t, double* x, double* y, size_t n, int* ok) {
    if (n == 0) return true;
    const QuietGdalErrors quiet;
    return t->transform->Transform(n, x, y, nullptr, ok) != 0;
}

void destroyTransform(GdalTransform* t) {
    delete t;
}

}  // namespace gis
}  // namespace kov
