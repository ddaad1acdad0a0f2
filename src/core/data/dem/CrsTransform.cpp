// SPDX-License-Identifier: MIT
#include "core/data/dem/CrsTransform.h"

#include <ogr_spatialref.h>

#include "core/data/dem/RasterDem.h"

namespace kov {

struct CrsTransform::State {
    OGRSpatialReference from;
    OGRSpatialReference to;
    std::unique_ptr<OGRCoordinateTransformation> transform;
};

namespace {

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

}  // namespace

CrsTransform::CrsTransform(std::unique_ptr<State> state) : state_(std::move(state)) {}
CrsTransform::~CrsTransform() = default;

std::unique_ptr<CrsTransform> CrsTransform::create(int fromEpsg, const std::string& fromWkt,
                                                   int toEpsg, const std::string& toWkt,
                                                   std::string* error) {
    initialiseGdal();
    auto state = std::make_unique<State>();
    if (!defineSystem(state->from, fromEpsg, fromWkt) || !defineSystem(state->to, toEpsg, toWkt)) {
        if (error)
            *error = "unknown coordinate system " +
                     systemName(defineSystem(state->from, fromEpsg, fromWkt) ? toEpsg : fromEpsg);
        return nullptr;
    }
    state->transform.reset(OGRCreateCoordinateTransformation(&state->from, &state->to));
    if (!state->transform) {
        if (error)
            *error = "no transformation from " + systemName(fromEpsg) + " to " + systemName(toEpsg);
        return nullptr;
    }
    return std::unique_ptr<CrsTransform>(new CrsTransform(std::move(state)));
}

bool CrsTransform::apply(double* x, double* y, size_t n) const {
    if (n == 0) return true;
    return state_->transform->Transform(n, x, y) != 0;
}

}  // namespace kov
