#include "core/data/gis/GdalSupport.h"

#include <cpl_error.h>

#include "core/data/dem/RasterDem.h"

namespace kov::gis {

std::string gdalReason() {
    const std::string text = CPLGetLastErrorMsg();
    return text.empty() ? std::string() : " (" + text + ")";
}

std::unique_ptr<OGRSpatialReference> spatialReference(int epsg) {
    auto srs = std::make_unique<OGRSpatialReference>();
    if (epsg <= 0 || srs->importFromEPSG(epsg) != OGRERR_NONE) return nullptr;
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

GDALDriver* writingDriver(const char* name, std::string* error) {
    initialiseGdal();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(name);
    const bool writes =
        driver != nullptr && (driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr ||
                              driver->GetMetadataItem(GDAL_DCAP_CREATECOPY) != nullptr);
    if (writes) return driver;
    fail(error, std::string("this GDAL has no writer for ") + name);
    return nullptr;
}

}  // namespace kov::gis
