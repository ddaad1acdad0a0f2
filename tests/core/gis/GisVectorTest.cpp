// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <tuple>

#include "core/data/gis/GisVector.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

// Two lines near Tokyo in zone 9 (EPSG 6677): one with every value, one with a missing slope
// and a vertex whose elevation is unknown.
VectorLayer measuredLines() {
    VectorLayer layer;
    layer.name = "trace";
    layer.geometry = GeometryType::LineString;
    layer.hasZ = true;
    layer.fields = {
        {"id", FieldType::Integer}, {"slope", FieldType::Real}, {"note", FieldType::Text}};
    layer.features.push_back({{{{-5000.0, -35000.0, 12.5}, {-4000.0, -34000.0, 20.25}}},
                              {},
                              {int64_t{1}, 0.125, std::string("坂")}});
    layer.features.push_back({{{{-4000.0, -34000.0, 1.0}, {-3000.0, -34500.0, std::nullopt}}},
                              {},
                              {int64_t{2}, std::monostate{}, std::string()}});
    return layer;
}

GDALDatasetUniquePtr openVector(const std::string& path) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

int epsgOf(OGRLayer& layer) {
    const OGRSpatialReference* srs = layer.GetSpatialRef();
    const char* code = srs ? srs->GetAuthorityCode(nullptr) : nullptr;
    return code ? std::atoi(code) : 0;
}

TEST(GisVector, EveryFormatReadsBackWithItsCrsValuesNullsAndCoordinates) {
    test::TempDir dir;
    for (const char* name : {"lines.geojson", "lines.gpkg", "lines.shp", "lines.kml"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        ASSERT_TRUE(writeVectorFile({measuredLines()}, 6677, path, &error)) << error;
        const GDALDatasetUniquePtr dataset = openVector(path);
        ASSERT_TRUE(dataset);
        ASSERT_EQ(dataset->GetLayerCount(), 1);
        OGRLayer& layer = *dataset->GetLayer(0);
        const bool kml = fs::path(path).extension() == ".kml";
        EXPECT_EQ(epsgOf(layer), kml ? 4326 : 6677);
        ASSERT_EQ(layer.GetFeatureCount(), 2);
        OGRFeatureUniquePtr first(layer.GetNextFeature());
        OGRFeatureUniquePtr second(layer.GetNextFeature());
        ASSERT_TRUE(first && second);
        const auto* line = first->GetGeometryRef()->toLineString();
        ASSERT_EQ(line->getNumPoints(), 2);
        if (kml) {  // KML holds WGS 84 longitude and latitude: zone 9's origin is 139°50' E, 36° N
            EXPECT_NEAR(line->getX(0), 139.7784, 0.01);
            EXPECT_NEAR(line->getY(0), 35.6840, 0.01);
            continue;  // the KML driver keeps fields as descriptions
        }
        EXPECT_EQ(std::tuple(line->getX(1), line->getY(1), line->getZ(1),
                             first->GetFieldAsInteger64("id"), first->GetFieldAsDouble("slope"),
                             std::string(first->GetFieldAsString("note"))),
                  std::tuple(-4000.0, -34000.0, 20.25, 1, 0.125, "坂"));
        EXPECT_FALSE(second->IsFieldSetAndNotNull(second->GetFieldIndex("slope")));
        // The unknown elevation is not invented: the second line carries no z at all (a
        // shapefile of lines with z has no way to say so and reads z 0 back).
        if (fs::path(path).extension() != ".shp") {
            EXPECT_FALSE(second->GetGeometryRef()->Is3D());
        }
    }
}

TEST(GisVector, SeveralLayersMakeOneGeoJsonCollection) {
    test::TempDir dir;
    VectorLayer points;
    points.name = "samples";
    points.fields = {{"dist", FieldType::Real}};
    points.features.push_back({{{{-4500.0, -34500.0, std::nullopt}}}, {}, {2.5}});
    std::string error;
    ASSERT_TRUE(writeVectorFile({measuredLines(), points}, 6677, dir.file("both.geojson"), &error))
        << error;
    const GDALDatasetUniquePtr dataset = openVector(dir.file("both.geojson"));
    ASSERT_TRUE(dataset);
    OGRLayer& layer = *dataset->GetLayer(0);
    EXPECT_EQ(layer.GetFeatureCount(), 3);
    EXPECT_EQ(layer.GetLayerDefn()->GetFieldCount(), 4);  // id, slope, note, dist
}

TEST(GisVector, AFailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
    test::TempDir dir;
    const std::string path = dir.file("kept.gpkg");
    std::string error;
    ASSERT_TRUE(writeVectorFile({measuredLines()}, 6677, path, &error)) << error;
    const std::string before = test::readFile(path);
    // GeoPackage refuses the second layer of the same name after the file has been created.
    EXPECT_FALSE(writeVectorFile({measuredLines(), measuredLines()}, 6677, path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::readFile(path), before);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"kept.gpkg"});

    // A file written again keeps the permissions its owner gave it.
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(writeVectorFile({measuredLines()}, 6677, path, &error)) << error;
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace kov
