// SPDX-License-Identifier: MIT
// Writing a grid as a raster DEM: for the tests, the benchmarks and the sample generator.
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cpl_error.h>
#include <vector>

#include "core/base/ScratchFolder.h"
#include "core/data/dem/RasterDem.h"
#include "core/data/gdal/GdalSupport.h"

namespace kov {
namespace {

constexpr double kNoDataValue = -9999.0;

using gis::fail;
using gis::gdalReason;

bool setCrs(GDALDataset& dataset, const SourceCrs& crs, std::string* error) {
    OGRSpatialReference srs;
    const OGRErr made =
        crs.epsg != 0 ? srs.importFromEPSG(crs.epsg) : srs.importFromWkt(crs.wkt.c_str());
    if (made != OGRERR_NONE) return fail(error, "a coordinate system GDAL does not know");
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return dataset.SetSpatialRef(&srs) == CE_None || fail(error, "cannot set the CRS");
}

float storedValue(int32_t code) {
    return isSpecialCode(code) ? static_cast<float>(kNoDataValue)
                               : static_cast<float>(code / 1000.0);
}

// The grid as a Float32 raster in memory, ready to be copied by the format's driver.
GDALDatasetUniquePtr memoryRaster(const GeoGrid& grid, std::string* error) {
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDatasetUniquePtr dataset(
        memory ? memory->Create("", grid.cols, grid.rows, 1, GDT_Float32, nullptr) : nullptr);
    if (!dataset) {
        fail(error, "cannot make the raster" + gdalReason());
        return nullptr;
    }
    double gt[6] = {grid.west, grid.stepX, 0.0, grid.north, 0.0, -grid.stepY};
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (!setCrs(*dataset, grid.crs, error)) return nullptr;
    dataset->SetGeoTransform(gt);
    band->SetNoDataValue(kNoDataValue);
    std::vector<float> row(static_cast<size_t>(grid.cols));
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.cols; ++c)
            row[c] = storedValue(grid.code(c, r));
        if (band->RasterIO(GF_Write, 0, r, grid.cols, 1, row.data(), grid.cols, 1, GDT_Float32, 0,
                           0, nullptr) != CE_None) {
            fail(error, "cannot fill the raster" + gdalReason());
            return nullptr;
        }
    }
    return dataset;
}

char** creationOptions(const std::string& format) {
    static const char* tiff[] = {"TILED=YES", "COMPRESS=DEFLATE", nullptr};
    static const char* ascii[] = {"DECIMAL_PRECISION=3", nullptr};  // millimetres
    const char** options = format == "GTiff" ? tiff : format == "AAIGrid" ? ascii : nullptr;
    return const_cast<char**>(options);
}

bool isWritable(const GeoGrid& grid) {
    return grid.cols > 0 && grid.rows > 0 && grid.stepX > 0.0 && grid.stepY > 0.0 &&
           grid.codes.size() == static_cast<size_t>(grid.cols) * grid.rows;
}

}  // namespace

bool writeRasterDem(const GeoGrid& grid, const std::string& path, const std::string& format,
                    std::string* error) {
    initialiseGdal();
    if (!isWritable(grid)) return fail(error, "the grid's size and its cells do not agree");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format.c_str());
    if (driver == nullptr || driver->GetMetadataItem(GDAL_DCAP_CREATECOPY) == nullptr)
        return fail(error, "GDAL writes no raster of format \"" + format + "\"");
    const GDALDatasetUniquePtr source = memoryRaster(grid, error);
    if (!source) return false;

    ScratchFolder scratch(path);
    if (scratch.path().empty()) return fail(error, "cannot make a scratch folder beside " + path);
    const std::string scratchFile = scratch.file().string();
    CPLErrorReset();
    GDALDatasetUniquePtr written(driver->CreateCopy(scratchFile.c_str(), source.get(), FALSE,
                                                    creationOptions(format), nullptr, nullptr));
    if (!written) return fail(error, "cannot write " + path + gdalReason());
    written.reset();  // closing flushes: its failure is the last error
    if (CPLGetLastErrorType() == CE_Failure)
        return fail(error, "cannot write " + path + gdalReason());
    return scratch.moveIntoPlace(error);
}

}  // namespace kov
