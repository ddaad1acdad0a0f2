// SPDX-License-Identifier: MIT
#include "core/data/ZarHMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/data/HMeshProject.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

using test::makeMesh;

// 4 x 3 cells of 5 m at (x0, y0); code = 10 * column + 100 * row.
std::unique_ptr<ZarHMesh> rampMesh(double x0 = 0.0, double y0 = 0.0) {
    return makeMesh(4, 3, 5.0, x0, y0, [](int c, int r) { return 10 * c + 100 * r; });
}

TEST(ZarHMeshLookup, NearestCellWestAndSouthEdgesInsideSpecialCodesFail) {
    auto mesh = rampMesh();
    mesh->cell(1, 0) = MESH_WATER;
    mesh->cell(2, 0) = MESH_NODATA;
    // Just inside the east edge the column product may round up to cols; it must still answer.
    const double east = std::nextafter(20.0, 0.0), north = std::nextafter(15.0, 0.0);
    const struct {
        double x, y;
        int found;
        double z;
    } points[] = {{0.0, 7.0, 1, 10.0},  {19.999, 14.999, 1, 23.0}, {east, 2.0, 1, 3.0},
                  {20.0, 7.0, 0, -1.0}, {7.0, 15.0, 0, -1.0},      {-0.001, 7.0, 0, -1.0},
                  {7.5, 2.5, 0, -1.0},  {12.5, 2.5, 0, -1.0}};
    for (const auto& p : points) {
        double z = -1.0;  // untouched on failure
        EXPECT_EQ(mesh->GetElevation(p.x, p.y, z), p.found) << p.x << "," << p.y;
        EXPECT_DOUBLE_EQ(z, p.z) << p.x << "," << p.y;
    }
    double z = 0.0;  // water, a column and a row past the grid, then a valid cell
    EXPECT_EQ(std::tuple(mesh->GetCellValue(1, 0, z), mesh->GetCellValue(4, 0, z),
                         mesh->GetCellValue(0, 3, z)),
              std::tuple(0, 0, 0));
    EXPECT_EQ(mesh->GetCellValue(3, 2, z), 1);
    EXPECT_DOUBLE_EQ(z, 23.0);
    // Special codes as they are, the north-east corner's cell, outside 0.0.
    EXPECT_EQ(std::tuple(mesh->GetRawValue(7.5, 2.5), mesh->GetRawValue(12.5, 2.5),
                         mesh->GetRawValue(east, north), mesh->GetRawValue(25.0, 2.5)),
              std::tuple(-268435454.0, -268435455.0, 23.0, 0.0));
    // A grid allocated again over as many cells keeps its memory and starts as no data, as a
    // new one does (the tile reader's tests see those).
    ASSERT_TRUE(mesh->allocateCells(3, 4));
    const int32_t* codes = mesh->cells.codes(0, 12, nullptr);
    EXPECT_EQ(std::count(codes, codes + 12, MESH_NODATA), 12);
}

TEST(ZarHMeshResample, BilinearInsideNearestAtSpecialCellsAndStride) {
    auto mesh = rampMesh();
    double values[5 * 7];
    uint8_t flags[5 * 7];
    ASSERT_EQ(mesh->Resample({0, 0, 3, 2}, 7, 5, values, flags, 0), 1);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 7; ++i) {
            EXPECT_NEAR(values[j * 7 + i], (10 * 0.5 * i + 100 * 0.5 * j) * 0.1, 1e-9);
            EXPECT_EQ(flags[j * 7 + i], kSampleValid);
        }

    // Samples every quarter column: a valid nearest cell blends with valid neighbours only,
    // a special nearest cell decides the flag.
    mesh->cell(2, 0) = MESH_NODATA;
    mesh->cell(3, 0) = MESH_WATER;
    // 1.25, next to the no-data cell, takes its own code; 1.5 rounds to the no-data column.
    mesh->Resample({0, 0, 3, 0}, 13, 1, values, flags, 0);
    EXPECT_EQ(std::tuple(values[2], values[5], flags[6], flags[11]),
              std::tuple(0.5, 1.0, kSampleNoData, kSampleWater));

    auto deep = test::makeFlatMesh(2, 2, 1.0, 0, 0, -400000);
    deep->Resample({0, 0, 1, 1}, 1, 1, values, flags, 0);
    EXPECT_EQ(flags[0], kSampleWater) << "valid elevations below -30000 m count as water";

    double column[3 * 4] = {};
    mesh->Resample({2, 1, 2, 2}, 1, 2, column + 1, flags, 4);  // other columns stay untouched
    EXPECT_EQ(std::vector<double>(column, column + 6),
              (std::vector<double>{0, 12.0, 0, 0, 0, 22.0}));
}

class ResampleWithBorderTest : public ::testing::Test {
protected:
    // A 2 x 2 block of 4 x 3 meshes; code = 1000 * (block index + 1) + 10 * row + column.
    void SetUp() override {
        for (int b = 0; b < 4; ++b) {
            auto m = makeMesh(4, 3, 5.0, b % 2 * 20.0, b / 2 * 15.0,
                              [b](int c, int r) { return 1000 * (b + 1) + 10 * r + c; });
            project.AddMesh(m);
        }
    }
    const ZarHMesh& mesh(int index) { return *project.GetMesh(index); }
    HMeshProject project;
    MeshNeighbours nb;
    ResampledRaster out;
};

TEST_F(ResampleWithBorderTest, BordersComeFromNeighboursAtTheMeshEdges) {
    project.FindNeighbours(mesh(0), nb);
    mesh(0).ResampleWithBorder(6, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 1.0, 1.0);
    ASSERT_EQ(out.values.size(), 6u * 5 + 16);
    auto at = [&](int i, int j) { return out.values[static_cast<size_t>(j) * 6 + i]; };
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(at(i + 1, j + 1), (1000 + 10 * j + i) * 0.1);
    // No west or south neighbour: that border stays no data. (The values taken from the
    // neighbours are checked by the renderer's seam tests.)
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(out.flags[k * 6] + out.flags[k], kSampleNoData);
    EXPECT_DOUBLE_EQ(at(5, 1), 2000 * 0.1) << "the east neighbour's column 0";

    // A neighbour with other columns or other rows is skipped.
    for (const auto& [cols, rows] : {std::pair(5, 3), {4, 4}}) {
        auto odd = test::makeFlatMesh(cols, rows, 5.0, 20.0, 0.0, 77);
        nb.mesh[MeshNeighbours::East] = odd.get();
        mesh(0).ResampleWithBorder(6, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 1.0, 1.0);
        for (int j = 1; j < 4; ++j)
            EXPECT_EQ(out.flags[static_cast<size_t>(j) * 6 + 5], kSampleNoData) << cols << rows;
    }
}

TEST_F(ResampleWithBorderTest, WindowsInsideTheMeshWidenInsteadOfUsingNeighbours) {
    project.FindNeighbours(mesh(3), nb);
    // Window columns 1..2, rows 1..1: the border comes from the mesh itself.
    mesh(3).ResampleWithBorder(4, 3, nb, {1, 1, 2, 1}, out, 0.25, 1.0 / 3, 0.75, 2.0 / 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(out.values[static_cast<size_t>(j) * 4 + i], (4000 + 10 * j + i) * 0.1);

    // At the west edge the west neighbour's last column and the south-west corner are used.
    mesh(3).ResampleWithBorder(5, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 0.5, 1.0);
    // The west neighbour's row 0, last column; the south-west corner; the south neighbour's top.
    EXPECT_EQ(std::tuple(out.values[5], out.values[0], out.values[1]),
              std::tuple((3000 + 3) * 0.1, (1000 + 20 + 3) * 0.1, (2000 + 20) * 0.1));
}

}  // namespace
}  // namespace kov
