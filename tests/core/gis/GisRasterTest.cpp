#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/data/gis/GisRaster.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;
constexpr float kNoData = ElevationRaster::kRasterNoData;

// Wider than one VRT tile, so that the VRT is made of two. Every 7th cell is water, every
// 11th no data; the rest slope from west to east.
ElevationRaster slopeRaster() {
    ElevationRaster raster;
    raster.placement = {2050, 3, -12000.0, -34000.0, 5.0, 5.0, 6677};
    for (int i = 0; i < 2050 * 3; ++i) {
        const CellClass c = i % 7 == 0    ? CellClass::Water
                            : i % 11 == 0 ? CellClass::NoData
                                          : CellClass::Ground;
        raster.classes.push_back(c);
        raster.metres.push_back(c == CellClass::Ground ? 0.25f * (i % 2050) - 3.5f : kNoData);
    }
    return raster;
}

GDALDatasetUniquePtr openRaster(const std::string& path) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
}

std::vector<float> bandValues(GDALDataset& dataset, int band) {
    std::vector<float> values(static_cast<size_t>(dataset.GetRasterXSize()) *
                              dataset.GetRasterYSize());
    EXPECT_EQ(dataset.GetRasterBand(band)->RasterIO(
                  GF_Read, 0, 0, dataset.GetRasterXSize(), dataset.GetRasterYSize(), values.data(),
                  dataset.GetRasterXSize(), dataset.GetRasterYSize(), GDT_Float32, 0, 0, nullptr),
              CE_None);
    return values;
}

int epsgOf(GDALDataset& dataset) {
    const OGRSpatialReference* srs = dataset.GetSpatialRef();
    const char* code = srs ? srs->GetAuthorityCode(nullptr) : nullptr;
    return code ? std::atoi(code) : 0;
}

void expectPlacedOn(GDALDataset& dataset, const RasterPlacement& p) {
    double gt[6] = {};
    ASSERT_EQ(dataset.GetGeoTransform(gt), CE_None);
    EXPECT_DOUBLE_EQ(gt[0], p.west);
    EXPECT_DOUBLE_EQ(gt[3], p.north);
    EXPECT_DOUBLE_EQ(gt[1], p.cellWidth);
    EXPECT_DOUBLE_EQ(gt[5], -p.cellHeight);
    EXPECT_EQ(dataset.GetRasterXSize(), p.cols);
    EXPECT_EQ(dataset.GetRasterYSize(), p.rows);
}

TEST(GisRaster, EveryFormatReadsBackWithValuesClassesNoDataAndPlacement) {
    test::TempDir dir;
    const ElevationRaster raster = slopeRaster();
    for (const char* name : {"dem.tif", "dem.asc", "dem.vrt"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        ASSERT_TRUE(writeElevationRaster(raster, path, *rasterFormatOfPath(path), &error)) << error;
        const GDALDatasetUniquePtr dataset = openRaster(path);
        ASSERT_TRUE(dataset);
        expectPlacedOn(*dataset, raster.placement);
        EXPECT_EQ(epsgOf(*dataset), std::string(name) == "dem.asc" ? 0 : 6677);  // .prj: no code
        GDALRasterBand& elevation = *dataset->GetRasterBand(1);
        int hasNoData = 0;
        EXPECT_EQ(elevation.GetNoDataValue(&hasNoData), kNoData);
        EXPECT_TRUE(hasNoData);
        EXPECT_EQ(bandValues(*dataset, 1), raster.metres);
        if (std::string(name) == "dem.asc") {
            EXPECT_EQ(dataset->GetRasterCount(), 1);
            continue;
        }
        ASSERT_EQ(dataset->GetRasterCount(), 2);
        EXPECT_STREQ(elevation.GetDescription(), "elevation");
        EXPECT_STREQ(elevation.GetUnitType(), "m");
        EXPECT_STREQ(dataset->GetRasterBand(2)->GetDescription(), "class");
        const std::vector<float> classes = bandValues(*dataset, 2);
        for (size_t i = 0; i < classes.size(); ++i)
            ASSERT_EQ(classes[i], static_cast<float>(raster.classes[i])) << i;
    }
    // The GeoTIFF is cloud optimized (overviews first), the VRT stands on two GeoTIFF tiles.
    const GDALDatasetUniquePtr cog = openRaster(dir.file("dem.tif"));
    EXPECT_STREQ(cog->GetMetadataItem("LAYOUT", "IMAGE_STRUCTURE"), "COG");
    EXPECT_GT(cog->GetRasterBand(1)->GetOverviewCount(), 0);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(dir.file("dem_tiles")), fs::directory_iterator()), 2);
}

TEST(GisRaster, AFailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
    test::TempDir dir;
    const std::string path = dir.file("kept.tif");
    test::writeFile(path, "old");
    ElevationRaster raster = slopeRaster();
    raster.placement.epsg = 1;  // no system GDAL knows
    std::string error;
    EXPECT_FALSE(writeElevationRaster(raster, path, RasterFormat::CloudOptimizedGeoTiff, &error));
    raster.placement.epsg = 6677;
    raster.metres.pop_back();
    EXPECT_FALSE(writeElevationRaster(raster, path, RasterFormat::CloudOptimizedGeoTiff, &error));
    EXPECT_EQ(test::readFile(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(GisRaster, ARenderedMapIsPlacedAsRgbaGeoTiffAndAsPngWithWorldFileAndCrs) {
    test::TempDir dir;
    const RasterPlacement placement{3, 2, 1000.0, 2000.0, 2.0, 4.0, 6677};
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30, 255));
    image.setPixelColor(2, 1, QColor(200, 100, 50, 0));  // transparent: alpha 0 is kept
    std::string error;
    ASSERT_TRUE(writeImageGeoTiff(image, placement, dir.file("map.tif"), &error)) << error;
    const GDALDatasetUniquePtr tiff = openRaster(dir.file("map.tif"));
    ASSERT_TRUE(tiff);
    expectPlacedOn(*tiff, placement);
    EXPECT_EQ(epsgOf(*tiff), 6677);
    ASSERT_EQ(tiff->GetRasterCount(), 4);
    EXPECT_EQ(tiff->GetRasterBand(4)->GetColorInterpretation(), GCI_AlphaBand);
    const std::vector<float> expected[4] = {{10, 10, 10, 10, 10, 200},
                                            {20, 20, 20, 20, 20, 100},
                                            {30, 30, 30, 30, 30, 50},
                                            {255, 255, 255, 255, 255, 0}};
    for (int band = 1; band <= 4; ++band)
        EXPECT_EQ(bandValues(*tiff, band), expected[band - 1]) << band;

    const std::string png = dir.file("map.png");
    ASSERT_TRUE(image.save(QString::fromStdString(png)));
    ASSERT_TRUE(writeImageGeoreference(placement, png, &error)) << error;
    std::ifstream world(dir.file("map.pgw"));
    double numbers[6] = {};
    for (double& n : numbers)
        world >> n;
    const double expectedWorld[6] = {2.0, 0.0, 0.0, -4.0, 1001.0, 1998.0};  // pixel centres
    for (int i = 0; i < 6; ++i)
        EXPECT_DOUBLE_EQ(numbers[i], expectedWorld[i]) << i;
    const GDALDatasetUniquePtr placed = openRaster(png);  // GDAL reads the world file and .aux.xml
    ASSERT_TRUE(placed);
    expectPlacedOn(*placed, placement);
    EXPECT_EQ(epsgOf(*placed), 6677);
}

}  // namespace
}  // namespace kov
