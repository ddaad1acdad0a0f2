// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <map>

#include "core/data/gis/Contours.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// A ramp rising 0.5 m a cell eastwards, 40 x 30 cells of 2 m; a block of water in the middle
// (columns 14 to 23).
ElevationRaster ramp() {
    ElevationRaster raster;
    raster.placement = {40, 30, 1000.0, 5000.0, 2.0, 2.0, 6677};
    for (int r = 0; r < 30; ++r) {
        for (int c = 0; c < 40; ++c) {
            const bool water = r >= 10 && r < 20 && c >= 14 && c < 24;
            raster.classes.push_back(water ? CellClass::Water : CellClass::Ground);
            raster.metres.push_back(water ? ElevationRaster::kRasterNoData : 0.5f * c);
        }
    }
    return raster;
}

GDALDatasetUniquePtr openVector(const std::string& path) {
    return GDALDatasetUniquePtr(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

TEST(Contours, LinesLieWhereTheRampCrossesTheirLevelAndSkipTheWater) {
    ContourSettings settings;
    settings.interval = 2.5;
    settings.base = 0.0;
    std::vector<ContourLine> lines;
    std::string error;
    ASSERT_TRUE(traceContours(ramp(), settings, lines, &error)) << error;
    test::TempDir dir;
    ASSERT_TRUE(writeVectorFile({contourLayer(lines)}, 6677, dir.file("c.gpkg"), &error)) << error;
    const GDALDatasetUniquePtr dataset = openVector(dir.file("c.gpkg"));
    ASSERT_TRUE(dataset);
    OGRLayer& layer = *dataset->GetLayer(0);
    std::map<double, int> linesAt;
    for (const auto& feature : layer) {
        const double elev = feature->GetFieldAsDouble("elev");
        SCOPED_TRACE(elev);
        ++linesAt[elev];
        // Level z lies at column 2z of the cell centres: x = west + (2z + 0.5) * 2 m.
        const double x = 1000.0 + (2.0 * elev + 0.5) * 2.0;
        const auto* line = feature->GetGeometryRef()->toLineString();
        for (int i = 0; i < line->getNumPoints(); ++i)
            ASSERT_NEAR(line->getX(i), x, 1e-4);  // GDAL nudges cells lying on a level
        EXPECT_EQ(feature->GetFieldAsInteger("index"), std::fmod(elev, 12.5) == 0.0 ? 1 : 0);
    }
    // 2.5 ... 17.5 m; the levels 7.5 and 10 run into the water and are cut in two.
    const std::map<double, int> expected = {{2.5, 1},  {5, 1},  {7.5, 2}, {10, 2},
                                            {12.5, 1}, {15, 1}, {17.5, 1}};
    EXPECT_EQ(linesAt.size(), expected.size());
    for (const auto& [elev, count] : expected)
        EXPECT_EQ(linesAt[elev], count) << elev;
    // Not positive, not finite, or so small that the lines would pass the bound: refused.
    for (const double bad : {0.0, double{NAN}, 1e-9})
        EXPECT_FALSE(traceContours(ramp(), {bad, 0.0, 5, 100000}, lines, &error)) << bad;
}

TEST(Contours, ClassPolygonsAreFourConnectedWithHolesAndTheirCellArea) {
    // 1: a ring around a hole; 2: two cells touching only at a corner (two polygons).
    const std::vector<uint8_t> classes = {1, 1, 1, 0, 2, 0,  //
                                          1, 0, 1, 0, 0, 2,  //
                                          1, 1, 1, 0, 0, 0};
    const RasterPlacement placement{6, 3, 100.0, 200.0, 5.0, 5.0, 6677};
    std::vector<ClassPolygons> polygons;
    std::string error;
    ASSERT_TRUE(polygonizeClasses(classes, placement, polygons, &error)) << error;
    ASSERT_EQ(polygons.size(), 2u);
    VectorLayer layer;
    layer.geometry = GeometryType::MultiPolygon;
    for (const ClassPolygons& p : polygons)
        layer.features.push_back(p.shape);
    test::TempDir dir;
    ASSERT_TRUE(writeVectorFile({layer}, 6677, dir.file("p.geojson"), &error)) << error;
    const GDALDatasetUniquePtr dataset = openVector(dir.file("p.geojson"));
    ASSERT_TRUE(dataset);
    const double areas[2] = {8 * 25.0, 2 * 25.0};
    const int parts[2] = {1, 2};
    int i = 0;
    for (const auto& feature : *dataset->GetLayer(0)) {
        SCOPED_TRACE(i);
        const auto* multi = feature->GetGeometryRef()->toMultiPolygon();
        EXPECT_EQ(polygons[i].value, i + 1);
        EXPECT_DOUBLE_EQ(polygons[i].area, areas[i]);
        EXPECT_DOUBLE_EQ(multi->get_Area(), areas[i]);
        EXPECT_EQ(multi->getNumGeometries(), parts[i]);
        ++i;
    }
    // The ring's hole is the cell at column 1, row 1: its area is taken out.
    EXPECT_EQ(polygons[0].shape.parts.size(), 2u);
}

}  // namespace
}  // namespace kov
