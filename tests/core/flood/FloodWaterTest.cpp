// The water of a flood: depths and volumes counted here cell by cell from the terrain itself,
// against what FloodWater measures and the depth raster holds.
#include <gtest/gtest.h>

#include <cmath>

#include "core/data/HMeshProject.h"
#include "core/flood/FloodWater.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

// Two basins of 5 m cells (codes in 0.1 m) split by a 9 m ridge in column 6: the west one
// slopes up to the north and holds a water cell, the east one is flat at 0.5 m.
constexpr int kCols = 12, kRows = 6;
int basinCode(int c, int r) {
    if (c == 2 && r == 5) return MESH_WATER;
    if (c == 6) return 90;
    return c < 6 ? std::abs(c - 2) * 10 + r : 5;
}

class FloodWaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto mesh = test::makeMesh(kCols, kRows, 5.0, 1000.0, 2000.0, basinCode);
        project.AddMesh(mesh);
        project.UpdateExtent();
        p.height = 3.05;
        p.rankTexts = {"1", "2", "3"};
        p.waterPasses = true;
        p.keepFloodMask = true;
    }
    // Volume of the cells in columns [c0, c1] the water stands on, counted from the terrain.
    double expectedVolume(int c0, int c1, int64_t* cells) const {
        double volume = 0.0;
        for (int r = 0; r < kRows; ++r)
            for (int c = c0; c <= c1; ++c) {
                const int code = basinCode(c, r);
                if (code == MESH_WATER || code > 30) continue;
                volume += (3.05 - code * 0.1) * 25.0;
                ++*cells;
            }
        return volume;
    }
    HMeshProject project;
    FloodParameters p;
};

TEST_F(FloodWaterTest, AFloodFromAPointHoldsTheWaterOfItsBasinOnly) {
    auto out = floodFromPoint(project, p, {1012.5, 2002.5});
    ASSERT_TRUE(out);
    FloodWater water;
    std::string error;
    ASSERT_TRUE(measureFloodWater(project, *out, water, &error)) << error;
    int64_t cells = 0;
    EXPECT_NEAR(water.volume, expectedVolume(0, 5, &cells), 1e-6);
    EXPECT_EQ(water.wetCells, cells);
    EXPECT_EQ(water.groundlessCells, 1);  // the water cell it crossed
    EXPECT_NEAR(water.deepest, 3.05, 1e-9);
    double ranked = 0.0;
    for (double v : water.rankVolumes)
        ranked += v;
    EXPECT_NEAR(ranked, water.volume, 1e-6);  // every wet cell lies at or below 3 m
    EXPECT_EQ((std::array{water.i0, water.j0, water.i1, water.j1}), (std::array{0, 0, 5, 5}));

    // The raster: row 0 north, the water cell marked, depths as counted.
    ElevationRaster depths;
    ASSERT_TRUE(floodDepthRaster(project, *out, water, 6677, depths, &error)) << error;
    const RasterPlacement& at = depths.placement;
    EXPECT_EQ((std::array{at.cols, at.rows, at.epsg}), (std::array{6, 6, 6677}));
    EXPECT_EQ((std::array{at.west, at.north}), (std::array{1000.0, 2030.0}));
    for (int row = 0; row < at.rows; ++row)
        for (int col = 0; col < at.cols; ++col) {
            SCOPED_TRACE(testing::Message() << "col " << col << " row " << row);
            const int code = basinCode(col, kRows - 1 - row);
            const size_t k = static_cast<size_t>(row * at.cols + col);
            if (code == MESH_WATER) {
                EXPECT_EQ(depths.classes[k], CellClass::Water);
                EXPECT_EQ(depths.metres[k], ElevationRaster::kRasterNoData);
            } else if (code > 30) {
                EXPECT_EQ(depths.classes[k], CellClass::NoData);
            } else {
                EXPECT_NEAR(depths.metres[k], 3.05 - code * 0.1, 1e-6);
            }
        }
    EXPECT_FALSE(floodDepthRaster(project, *out, water, 6677, depths, &error, 35));
    EXPECT_NE(error.find("6 x 6 cells"), std::string::npos) << error;

    // Without the flood mask there is nothing to count.
    p.keepFloodMask = false;
    out = floodFromPoint(project, p, {1012.5, 2002.5});
    EXPECT_FALSE(measureFloodWater(project, *out, water, &error));
}

TEST_F(FloodWaterTest, TheWholeAreaHoldsWaterInEveryBasin) {
    auto out = floodWholeArea(project, p);
    ASSERT_TRUE(out);
    FloodWater water;
    std::string error;
    ASSERT_TRUE(measureFloodWater(project, *out, water, &error)) << error;
    int64_t cells = 0;
    EXPECT_NEAR(water.volume, expectedVolume(0, kCols - 1, &cells), 1e-6);
    EXPECT_EQ(water.wetCells, cells);
    EXPECT_EQ(water.groundlessCells, 0);  // water is no flood without one
}

}  // namespace
}  // namespace kov
