// SPDX-License-Identifier: MIT
// The water of a flood: volumes counted here from the terrain itself against what FloodWater
// measures (the depth raster is checked against GRASS r.lake in the conformance cases).
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/flood/FloodMask.h"
#include "core/flood/FloodWater.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

// Two basins of 5 m cells (codes in 0.1 m) split by a 9 m ridge in column 150: the west one
// wavers between 0 and 3 m along its rows (every rank next to every other, across the rank
// image's blocks) and holds a water cell, the east one is flat at 0.5 m.
constexpr int kColumns = 300;
constexpr int kRidge = 150;
int basinCode(int c, int r) {
    if (c == 2 && r == 5) return MESH_WATER;
    return c == kRidge ? 90 : c < kRidge ? (c * 7 + r * 3) % 31 : 5;
}

TEST(FloodWater, DepthsAndVolumeOfAFloodAndOfTheWholeArea) {
    const auto owner = test::projectOf(test::makeMesh(kColumns, 6, 5.0, 1000.0, 2000.0, basinCode));
    HMeshProject& project = *owner;
    FloodParameters p;
    p.height = 3.05;
    p.rankTexts = {"1", "2", "3"};
    p.waterPasses = true;
    p.keepFloodMask = true;
    for (const bool fromStart : {true, false}) {
        SCOPED_TRACE(fromStart ? "from a start point" : "whole area");
        auto out =
            fromStart ? floodFromPoint(project, p, {1012.5, 2002.5}) : floodWholeArea(project, p);
        ASSERT_TRUE(out);
        FloodWater water;
        std::string error;
        ASSERT_TRUE(measureFloodWater(project, *out, water, &error)) << error;
        double volume = 0.0;  // the west basin, or both
        std::vector<double> rankVolumes(3);
        for (int c = 0; c < (fromStart ? kRidge : kColumns); ++c)
            for (int r = 0; r < 6; ++r)
                if (const int code = basinCode(c, r); code != MESH_WATER && code <= 30) {
                    volume += (3.05 - code * 0.1) * 25.0;
                    rankVolumes[code <= 10 ? 0 : code <= 20 ? 1 : 2] += (3.05 - code * 0.1) * 25.0;
                }
        EXPECT_NEAR(water.volume, volume, 1e-6);
        // Every wet cell lies at or below the top rank; the water cell is crossed, not counted.
        for (int rank = 0; rank < 3; ++rank)
            EXPECT_NEAR(water.rankVolumes[rank], rankVolumes[rank], 1e-6) << rank;
        EXPECT_DOUBLE_EQ(water.deepest, 3.05);
        EXPECT_EQ(std::tie(water.i0, water.i1, water.j0, water.j1),
                  std::make_tuple(0, fromStart ? kRidge - 1 : kColumns - 1, 0, 5));
        EXPECT_EQ(water.groundlessCells, fromStart ? 1 : 0);

        // The depth raster: the water cell has no depth we know, a ground cell its own.
        ElevationRaster depths;
        ASSERT_TRUE(floodDepthRaster(project, *out, water, 2451, depths, &error)) << error;
        const auto depthAt = [&](int c, int r) {  // raster row 0 is the northernmost
            const RasterPlacement& at = depths.placement;
            const int col = c - static_cast<int>(std::lround((at.west - 1000.0) / 5.0));
            const int row = static_cast<int>(std::lround((at.north - 2000.0) / 5.0)) - 1 - r;
            return depths.metres[static_cast<size_t>(row) * at.cols + col];
        };
        EXPECT_EQ(depthAt(2, 5), ElevationRaster::kRasterNoData);
        EXPECT_NEAR(depthAt(1, 0), 3.05 - basinCode(1, 0) * 0.1, 1e-5);
    }
}

// Stretches of packed bits: a partial last byte keeps the cells past the stretch, dry stretches
// make no blocks, and the runs read back give every reached cell and nothing else.
TEST(FloodWater, MaskTakesStretchesOfPackedBits) {
    FloodMask mask(4003, 3, int64_t{1} << 30);
    std::vector<uint8_t> every3rd(375), ones(2, 0xFF);
    for (int k = 0; k < 3000; ++k)
        every3rd[static_cast<size_t>(k / 8)] |= static_cast<uint8_t>((k % 3 == 0) << (k % 8));
    mask.writeBits(1, 0, every3rd.data(), 3000);  // into the second block
    mask.writeBits(1, 3000, ones.data(), 5);      // 3000..3004: the byte's other bits unread
    mask.writeBits(1, 3992, ones.data(), 16);     // 3992..4002: cut at the grid's east edge
    mask.writeBits(2, 0, std::vector<uint8_t>(500).data(), 4000);
    EXPECT_EQ(mask.memoryBytes(), BlockGrid(501, 3, 0).memoryBytes() + BlockGrid::kBlockBytes * 2);
    std::vector<int> seen;
    for (int j = 0; j < 3; ++j)
        mask.forEachStoredRun(j, 0, 4002, [&](int x, const uint8_t* cells, int n) {
            for (int k = 0; k < n; ++k)
                if (cells[k]) seen.push_back(j * 10000 + x + k);
        });
    std::vector<int> expected;
    for (int i = 0; i < 3000; i += 3)
        expected.push_back(10000 + i);
    for (int i = 3000; i < 3005; ++i)
        expected.push_back(10000 + i);
    for (int i = 3992; i < 4003; ++i)
        expected.push_back(10000 + i);
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(mask.at(4002, 1));
    EXPECT_FALSE(mask.at(3005, 1));
}

}  // namespace
}  // namespace kov
