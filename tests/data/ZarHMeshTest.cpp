#include "data/ZarHMesh.h"

#include <gtest/gtest.h>

#include <cmath>

#include "data/HMeshProject.h"
#include "data/MeshFixtures.h"

namespace kov {
namespace {

using test::makeMesh;

// 4 x 3 cells of 5 m at the origin; code = 10 * column + 100 * row.
std::unique_ptr<ZarHMesh> rampMesh(double x0 = 0.0, double y0 = 0.0) {
    return makeMesh(4, 3, 5.0, x0, y0, [](int c, int r) { return 10 * c + 100 * r; });
}

TEST(ZarHMeshLookup, WestAndSouthEdgesBelongToTheMeshEastAndNorthDoNot) {
    auto mesh = rampMesh();
    double z = -1.0;
    EXPECT_EQ(mesh->GetElevation(0.0, 0.0, z), 1);
    EXPECT_DOUBLE_EQ(z, 0.0);
    EXPECT_EQ(mesh->GetElevation(19.999, 14.999, z), 1);
    EXPECT_DOUBLE_EQ(z, (30 + 200) * 0.1);
    z = -1.0;
    EXPECT_EQ(mesh->GetElevation(20.0, 7.0, z), 0);
    EXPECT_EQ(mesh->GetElevation(7.0, 15.0, z), 0);
    EXPECT_EQ(mesh->GetElevation(-0.001, 7.0, z), 0);
    EXPECT_DOUBLE_EQ(z, -1.0) << "z stays untouched on failure";
    // Just inside the east edge the column product may round up to cols; it must still answer.
    EXPECT_EQ(mesh->GetElevation(std::nextafter(20.0, 0.0), 2.0, z), 1);
    EXPECT_DOUBLE_EQ(z, 3.0);
}

TEST(ZarHMeshLookup, SpecialCodesFailLookupsAndShowInRawValues) {
    auto mesh = rampMesh();
    mesh->Cell(1, 0) = MESH_WATER;
    mesh->Cell(2, 0) = MESH_NODATA;
    double z = 0.0;
    EXPECT_EQ(mesh->GetElevation(7.5, 2.5, z), 0);
    EXPECT_EQ(mesh->GetElevation(12.5, 2.5, z), 0);
    EXPECT_EQ(mesh->GetCellValue(1, 0, z), 0);
    EXPECT_EQ(mesh->GetCellValue(4, 0, z), 0);
    EXPECT_EQ(mesh->GetCellValue(0, -1, z), 0);
    EXPECT_EQ(mesh->GetCellValue(3, 2, z), 1);
    EXPECT_DOUBLE_EQ(z, 23.0);

    EXPECT_EQ(mesh->GetRawValue(7.5, 2.5), -268435454.0);
    EXPECT_EQ(mesh->GetRawValue(12.5, 2.5), -268435455.0);
    EXPECT_DOUBLE_EQ(mesh->GetRawValue(17.5, 12.5), 23.0);
    EXPECT_EQ(mesh->GetRawValue(25.0, 2.5), 0.0) << "outside reads as 0.0";
    EXPECT_EQ(mesh->GetRawValue(std::nextafter(20.0, 0.0), std::nextafter(15.0, 0.0)), 23.0);
}

TEST(ZarHMeshGrid, MinMaxIgnoresSpecialCodesAndKeepsOldValuesWithoutValidCells) {
    auto mesh =
        makeMesh(3, 1, 1.0, 0, 0, [](int c, int) { return c == 1 ? MESH_WATER : c * 7 - 3; });
    mesh->UpdateMinMax();
    EXPECT_EQ(mesh->minRaw, -3);
    EXPECT_EQ(mesh->maxRaw, 11);

    auto empty = test::makeFlatMesh(2, 2, 1.0, 0, 0, MESH_NODATA);
    empty->minRaw = 5;
    empty->maxRaw = 9;
    empty->UpdateMinMax();
    EXPECT_EQ(empty->minRaw, 5);
    EXPECT_EQ(empty->maxRaw, 9);
}

TEST(ZarHMeshGrid, AllocationRejectsNonPositiveAndAbsurdCounts) {
    ZarHMesh mesh;
    EXPECT_FALSE(mesh.AllocateCells(0, 10));
    EXPECT_FALSE(mesh.AllocateCells(10, -1));
    EXPECT_FALSE(mesh.AllocateCells(int64_t{1} << 20, int64_t{1} << 20));
    EXPECT_EQ(mesh.cols, 0);
    ASSERT_TRUE(mesh.AllocateCells(3, 2));
    EXPECT_EQ(mesh.cells.size(), 6u);
    EXPECT_EQ(mesh.Cell(2, 1), MESH_NODATA);
    EXPECT_EQ(mesh.Load("anything"), 0);
}

TEST(ZarHMeshResample, BilinearInterpolationOfALinearSurfaceIsExact) {
    auto mesh = rampMesh();
    double values[5 * 7];
    uint8_t flags[5 * 7];
    ASSERT_EQ(mesh->Resample({0, 0, 3, 2}, 7, 5, values, flags, 0), 1);
    for (int j = 0; j < 5; ++j) {
        for (int i = 0; i < 7; ++i) {
            EXPECT_NEAR(values[j * 7 + i], (10 * 0.5 * i + 100 * 0.5 * j) * 0.1, 1e-9);
            EXPECT_EQ(flags[j * 7 + i], kSampleValid);
        }
    }
}

TEST(ZarHMeshResample, SpecialCodesUseNearestCellRules) {
    auto mesh = rampMesh();
    mesh->Cell(1, 0) = MESH_WATER;
    double values[3];
    uint8_t flags[3];
    // Window columns 0..1 over 3 samples: sample 1 sits halfway and rounds up to column 1.
    mesh->Resample({0, 0, 1, 0}, 3, 1, values, flags, 0);
    EXPECT_EQ(flags[0], kSampleValid);
    EXPECT_DOUBLE_EQ(values[0], 0.0);
    EXPECT_EQ(flags[1], kSampleWater);
    EXPECT_EQ(flags[2], kSampleWater);

    // A valid nearest cell next to a special one falls back to the nearest code (no blending).
    mesh->Cell(1, 0) = 10;
    mesh->Cell(2, 0) = MESH_NODATA;
    double more[5];
    uint8_t moreFlags[5];
    mesh->Resample({0, 0, 2, 0}, 5, 1, more, moreFlags, 0);  // samples at 0, .5, 1, 1.5, 2
    EXPECT_DOUBLE_EQ(more[1], 0.5) << "0.5 blends columns 0 and 1 (codes 0 and 10)";
    EXPECT_DOUBLE_EQ(more[2], 1.0);
    EXPECT_EQ(moreFlags[3], kSampleNoData) << "1.5 rounds to the no-data column 2";
    EXPECT_EQ(moreFlags[4], kSampleNoData);

    auto deep = test::makeFlatMesh(2, 2, 1.0, 0, 0, -400000);
    deep->Resample({0, 0, 1, 1}, 1, 1, values, flags, 0);
    EXPECT_EQ(flags[0], kSampleWater) << "valid elevations below -30000 m count as water";
}

TEST(ZarHMeshResample, SingleColumnWindowAndStride) {
    auto mesh = rampMesh();
    double values[3 * 4] = {};
    uint8_t flags[3 * 4] = {};
    mesh->Resample({2, 0, 2, 2}, 1, 3, values + 1, flags + 1, 4);
    for (int j = 0; j < 3; ++j) {
        EXPECT_DOUBLE_EQ(values[j * 4 + 1], (20 + 100 * j) * 0.1);
        EXPECT_EQ(values[j * 4], 0.0) << "other columns of the stride stay untouched";
    }
}

class ResampleWithBorderTest : public ::testing::Test {
protected:
    // A 2 x 2 block of 4 x 3 meshes; each mesh's codes carry its block position.
    void SetUp() override {
        for (int by = 0; by < 2; ++by)
            for (int bx = 0; bx < 2; ++bx) {
                const int base = 1000 * (by * 2 + bx + 1);
                auto mesh = makeMesh(4, 3, 5.0, bx * 20.0, by * 15.0,
                                     [base](int c, int r) { return base + 10 * r + c; });
                project.AddMesh(mesh);
            }
    }
    const ZarHMesh& mesh(int index) { return *project.GetMesh(index); }
    HMeshProject project;
};

TEST_F(ResampleWithBorderTest, BordersComeFromNeighboursAtTheMeshEdges) {
    const ZarHMesh& sw = mesh(0);
    MeshNeighbours nb;
    project.FindNeighbours(sw, nb);
    ASSERT_EQ(nb.mesh[MeshNeighbours::East], &mesh(1));
    ASSERT_EQ(nb.mesh[MeshNeighbours::North], &mesh(2));
    ASSERT_EQ(nb.mesh[MeshNeighbours::NorthEast], &mesh(3));

    ResampledRaster out;
    sw.ResampleWithBorder(6, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 1.0, 1.0);
    ASSERT_EQ(out.values.size(), 6u * 5 + 16);
    auto at = [&](int i, int j) { return out.values[static_cast<size_t>(j) * 6 + i]; };
    auto flag = [&](int i, int j) { return out.flags[static_cast<size_t>(j) * 6 + i]; };
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(at(i + 1, j + 1), (1000 + 10 * j + i) * 0.1);
    // No west or south neighbour at the grid's edge: that border stays no data.
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(flag(0, j), kSampleNoData);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(flag(i, 0), kSampleNoData);
    // East border: the east neighbour's column 0; north border: the north neighbour's row 0.
    for (int j = 0; j < 3; ++j)
        EXPECT_DOUBLE_EQ(at(5, j + 1), (2000 + 10 * j) * 0.1);
    for (int i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(at(i + 1, 4), (3000 + i) * 0.1);
    EXPECT_DOUBLE_EQ(at(5, 4), 4000 * 0.1) << "north-east corner cell";
}

TEST_F(ResampleWithBorderTest, WindowsInsideTheMeshWidenInsteadOfUsingNeighbours) {
    const ZarHMesh& ne = mesh(3);
    MeshNeighbours nb;
    project.FindNeighbours(ne, nb);
    ASSERT_EQ(nb.mesh[MeshNeighbours::SouthWest], &mesh(0));
    ResampledRaster out;
    // Window columns 1..2, rows 1..1: the border comes from the mesh itself.
    ne.ResampleWithBorder(4, 3, nb, {1, 1, 2, 1}, out, 0.25, 1.0 / 3, 0.75, 2.0 / 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(out.values[static_cast<size_t>(j) * 4 + i], (4000 + 10 * j + i) * 0.1);

    // At the west edge the west neighbour's last column and the south-west corner are used.
    ne.ResampleWithBorder(5, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 0.5, 1.0);
    EXPECT_DOUBLE_EQ(out.values[5], (3000 + 3) * 0.1) << "west neighbour, row 0, last column";
    EXPECT_DOUBLE_EQ(out.values[0], (1000 + 20 + 3) * 0.1) << "south-west corner";
    EXPECT_DOUBLE_EQ(out.values[1], (2000 + 20) * 0.1) << "south neighbour's top row";
}

TEST_F(ResampleWithBorderTest, NeighboursOfAnotherGridSizeAreSkipped) {
    auto odd = makeMesh(5, 3, 5.0, 20.0, 30.0, [](int, int) { return 77; });
    MeshNeighbours nb;
    project.FindNeighbours(mesh(0), nb);
    nb.mesh[MeshNeighbours::East] = odd.get();
    ResampledRaster out;
    mesh(0).ResampleWithBorder(6, 5, nb, {0, 0, 3, 2}, out, 0.0, 0.0, 1.0, 1.0);
    for (int j = 1; j < 4; ++j)
        EXPECT_EQ(out.flags[static_cast<size_t>(j) * 6 + 5], kSampleNoData);
}

}  // namespace
}  // namespace kov

namespace kov {
namespace {

TEST(ZarHMeshGrid, LargeGridsReuseFreedMemoryAndStartAsNoData) {
    std::vector<std::unique_ptr<ZarHMesh>> meshes;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 4; ++i) {
            auto mesh = std::make_unique<ZarHMesh>();
            ASSERT_TRUE(mesh->AllocateCells(400 + i, 300));
            for (int32_t code : mesh->cells)
                ASSERT_EQ(code, MESH_NODATA);
            std::fill(mesh->cells.begin(), mesh->cells.end(), round * 10 + i);
            meshes.push_back(std::move(mesh));
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(meshes[i]->Cell(399, 299), round * 10 + i);
        meshes.clear();
    }
}

}  // namespace
}  // namespace kov
