// SPDX-License-Identifier: MIT
#include "core/data/gdal/GdalSupport.h"

#include <cpl_error.h>

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

CPLStringList stringList(const std::vector<std::string>& strings) {
    CPLStringList list;
    for (const std::string& s : strings)
        list.AddString(s.c_str());
    return list;
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

void geoTransform(const RasterPlacement& p, int col, int row, double gt[6]) {
    gt[0] = p.west + col * p.cellWidth;
    gt[1] = p.cellWidth;
    gt[2] = 0.0;
    gt[3] = p.north - row * p.cellHeight;
    gt[4] = 0.0;
    gt[5] = -p.cellHeight;
}

GDALDatasetUniquePtr emptyMemoryDataset(int cols, int rows) {
    GDALDriver* memory = writingDriver("MEM", nullptr);
    return GDALDatasetUniquePtr(memory ? memory->Create("", cols, rows, 0, GDT_Byte, nullptr)
                                       : nullptr);
}

bool lendBand(GDALDataset& dataset, GDALDataType type, const void* data, int pixelStep,
              size_t lineStep) {
    char pointer[64] = {};
    CPLPrintPointer(pointer, const_cast<void*>(data), sizeof(pointer));
    const CPLStringList options = stringList({std::string("DATAPOINTER=") + pointer,
                                              "PIXELOFFSET=" + std::to_string(pixelStep),
                                              "LINEOFFSET=" + std::to_string(lineStep)});
    return dataset.AddBand(type, const_cast<char**>(options.List())) == CE_None;
}

bool placeDataset(GDALDataset& dataset, const RasterPlacement& p, int col, int row,
                  std::string* error) {
    const std::unique_ptr<OGRSpatialReference> srs = spatialReference(p.epsg);
    if (!srs) return fail(error, "unknown coordinate system EPSG:" + std::to_string(p.epsg));
    double gt[6];
    geoTransform(p, col, row, gt);
    if (dataset.SetSpatialRef(srs.get()) != CE_None || dataset.SetGeoTransform(gt) != CE_None)
        return fail(error, "cannot place the raster" + gdalReason());
    return true;
}

}  // namespace kov::gis
