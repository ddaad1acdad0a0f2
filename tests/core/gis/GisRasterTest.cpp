// SPDX-License-Identifier: MIT
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "core/base/HxProgress.h"
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
    EXPECT_EQ(
        std::tuple(gt[0], gt[3], gt[1], gt[5], dataset.GetRasterXSize(), dataset.GetRasterYSize()),
        std::tuple(p.west, p.north, p.cellWidth, -p.cellHeight, p.cols, p.rows));
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

// Progress that records the positions GDAL reports and cancels at the one given.
class RecordingProgress : public HxProgress {
public:
    explicit RecordingProgress(long long cancelAt) : cancelAt_(cancelAt) {}
    int SetPos(long long current, long long total) override {
        positions.push_back(current * 1000 / total);
        if (current >= cancelAt_) SetCancelled(1);
        return IsCancelled();
    }
    std::vector<long long> positions;

private:
    long long cancelAt_;
};

TEST(GisRaster, ProgressFollowsTheWriteAndItsCancelKeepsThePreviousFile) {
    test::TempDir dir;
    const ElevationRaster raster = slopeRaster();
    for (const char* name : {"p.tif", "p.vrt"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        RecordingProgress full(1 << 30);
        ASSERT_TRUE(
            writeElevationRaster(raster, path, *rasterFormatOfPath(path), &error, {}, &full))
            << error;
        ASSERT_FALSE(full.positions.empty());
        EXPECT_TRUE(std::is_sorted(full.positions.begin(), full.positions.end()));
        EXPECT_EQ(full.positions.back(), 1000);
        const auto before = fs::last_write_time(path);
        const auto entries = std::distance(fs::directory_iterator(dir.path()), {});

        RecordingProgress cancelling(1);
        EXPECT_FALSE(
            writeElevationRaster(raster, path, *rasterFormatOfPath(path), &error, {}, &cancelling));
        EXPECT_EQ(error.find("cancelled") != std::string::npos, true) << error;
        EXPECT_EQ(fs::last_write_time(path), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), entries);
    }
}

}  // namespace
}  // namespace kov
