// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/data/gis/CollectionRaster.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

int patchyCode(int c, int r, int salt) {
    const int k = (c * 31 + r * 17 + salt) % 23;
    if (k == 0) return MESH_WATER;
    if (k == 1) return MESH_NODATA;
    return 1000 + c * 7 - r * 3 + salt;
}

void add(HMeshProject& project, std::unique_ptr<ZarHMesh> mesh) {
    ASSERT_EQ(project.AddMesh(mesh), 1);
}

// A 10 m mesh under two 5 m meshes, one on the 5 m lattice and one half a cell off it, and a
// 2 m mesh: water, no data and elevations overlap in every combination.
void fillProject(HMeshProject& project) {
    using test::makeMesh;
    add(project,
        makeMesh(30, 30, 10.0, 0.0, 0.0, [](int c, int r) { return patchyCode(c, r, 1); }));
    add(project,
        makeMesh(24, 20, 5.0, 40.0, 55.0, [](int c, int r) { return patchyCode(c, r, 2); }));
    add(project,
        makeMesh(20, 24, 5.0, 122.5, 97.5, [](int c, int r) { return patchyCode(c, r, 3); }));
    add(project,
        makeMesh(40, 30, 2.0, 150.0, 10.0, [](int c, int r) { return patchyCode(c, r, 4); }));
    project.SortMeshes();
    project.UpdateExtent();
}

TEST(CollectionRaster, EveryCellHoldsWhatThePointQueryAnswersAtItsCentre) {
    HMeshProject project;
    fillProject(project);
    // 5 m: the 5 m mesh on the lattice is copied, the others asked; 10 m: the other way round.
    for (const double cell : {5.0, 10.0, 2.0}) {
        SCOPED_TRACE(cell);
        const RasterPlacement p = collectionPlacement(project, {-7.0, -3.0, 310.0, 301.0}, cell);
        // Zone 9 of an unstated datum: JGD2011.
        EXPECT_EQ(std::tuple(p.west, p.north, p.epsg),
                  std::tuple(std::floor(-7.0 / cell) * cell, std::ceil(301.0 / cell) * cell, 6677));
        ElevationRaster raster;
        std::string error;
        ASSERT_TRUE(sampleCollection(project, p, raster, &error)) << error;
        int counts[3] = {};
        for (int r = 0; r < p.rows; ++r) {
            for (int c = 0; c < p.cols; ++c) {
                const double x = p.west + (c + 0.5) * cell, y = p.north - (r + 0.5) * cell;
                const size_t i = static_cast<size_t>(r) * p.cols + c;
                double z = 0.0;
                const bool ground = project.FindElevation(x, y, z) != nullptr;
                const bool water =
                    !ground &&
                    project.queryElevation(x, y, WaterCells::Answer).kind == CellKind::Water;
                const CellClass expected = ground  ? CellClass::Ground
                                           : water ? CellClass::Water
                                                   : CellClass::NoData;
                ASSERT_EQ(raster.classes[i], expected) << "cell " << c << "," << r;
                ASSERT_EQ(raster.metres[i],
                          ground ? static_cast<float>(z) : ElevationRaster::kRasterNoData);
                ++counts[static_cast<int>(expected)];
            }
        }
        EXPECT_TRUE(counts[0] > 0 && counts[1] > 0 && counts[2] > 0);
    }
    // Edges already on the lattice (to rounding) take no further cell.
    EXPECT_EQ(collectionPlacement(project, {0.0, 0.0, 0.3 * 1000, 300.0}, 0.1).cols, 3000);
}

}  // namespace
}  // namespace kov
