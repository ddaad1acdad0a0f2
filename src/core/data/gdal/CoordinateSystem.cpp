// SPDX-License-Identifier: MIT
#include "core/data/gis/CoordinateSystem.h"

#include <ogr_spatialref.h>

#include <cpl_conv.h>

#include "core/data/gdal/GdalSupport.h"

namespace kov {

std::string coordinateSystemWkt(int epsg) {
    const std::unique_ptr<OGRSpatialReference> srs = gis::spatialReference(epsg);
    if (!srs) return {};
    const char* const options[] = {"FORMAT=WKT2_2019", "MULTILINE=YES", nullptr};
    char* text = nullptr;
    if (srs->exportToWkt(&text, options) != OGRERR_NONE || text == nullptr) {
        CPLFree(text);
        return {};
    }
    std::string wkt = text;
    CPLFree(text);
    return wkt;
}

namespace gis {

std::string coordinateSystemWkt1(int epsg) {
    const std::unique_ptr<OGRSpatialReference> srs = spatialReference(epsg);
    if (!srs) return {};
    char* text = nullptr;
    srs->exportToWkt(&text);
    std::string wkt = text ? text : "";
    CPLFree(text);
    return wkt;
}

}  // namespace gis

std::vector<int> eastNorthAxisMapping(int epsg) {
    const std::unique_ptr<OGRSpatialReference> srs = gis::spatialReference(epsg);
    if (!srs) return {};
    return srs->GetDataAxisToSRSAxisMapping();
}

bool toWgs84(int epsg, const std::vector<std::pair<double, double>>& eastNorth,
             std::vector<LonLat>& out) {
    const std::unique_ptr<OGRSpatialReference> source = gis::spatialReference(epsg);
    const std::unique_ptr<OGRSpatialReference> wgs84 = gis::spatialReference(4326);
    if (!source || !wgs84) return false;
    // Both in the traditional GIS order: easting and northing in, longitude and latitude out.
    const std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(source.get(), wgs84.get()));
    if (!transform) return false;
    std::vector<double> x, y;
    for (const auto& [east, north] : eastNorth) {
        x.push_back(east);
        y.push_back(north);
    }
    if (!transform->Transform(x.size(), x.data(), y.data())) return false;
    out.clear();
    for (size_t i = 0; i < x.size(); ++i)
        out.push_back({x[i], y[i]});
    return true;
}

}  // namespace kov
