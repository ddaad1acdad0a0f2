// SPDX-License-Identifier: MIT
#include "core/data/HMeshProject.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/data/ZarHImage.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

using test::makeFlatMesh;
using test::makeMesh;

TEST(HMeshProjectLists, DuplicatesAndMeshesPastTheBudgetAreRefusedAndStayWithTheCaller) {
    HMeshProject project;
    EXPECT_GE(project.memoryBudget, int64_t{256} << 20) << "half the physical memory";
    project.memoryBudget = 24 + 96;  // the grids of first and finer, 2 bytes a cell
    auto first = makeFlatMesh(4, 3, 5.0, 0, 0, 10), same = makeFlatMesh(4, 3, 5.0, 0, 0, 20);
    auto finer = makeFlatMesh(8, 6, 2.5, 0, 0, 30);  // same extent, other cell size
    auto beside = makeFlatMesh(4, 3, 5.0, 20, 0, 40);
    beside->path = "beside.kov";
    ASSERT_EQ(project.AddMesh(first), 1);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(project.AddMesh(same), 0);
    EXPECT_EQ(project.lastRefusal(), HMeshProject::Refusal::Duplicate);
    ASSERT_NE(same, nullptr) << "a refused mesh remains the caller's";
    EXPECT_EQ(same->owner, nullptr);
    EXPECT_EQ(project.AddMesh(finer), 1);
    EXPECT_EQ(project.GetMesh(2), nullptr);
    EXPECT_EQ(project.GetMesh(0)->owner, &project);
    EXPECT_EQ(project.memoryInUse(), 24 + 96);
    EXPECT_EQ(project.AddMesh(beside), 0);
    EXPECT_EQ(project.lastRefusal(), HMeshProject::Refusal::MemoryBudget);
    ASSERT_NE(beside, nullptr);
    EXPECT_EQ(project.budgetRefusals(), std::vector<std::string>{"beside.kov"});
    ASSERT_EQ(project.RemoveMesh(0), 1);
    EXPECT_EQ(project.GetMesh(0)->cellSize, 2.5) << "later elements move down";
    EXPECT_EQ(project.AddMesh(beside), 1) << "room again";

    // Images: refused only for a bit-equal extent, unless duplicates are allowed.
    auto image = [](double x0) {
        auto i = std::make_unique<ZarHImage>();
        i->xmin = x0, i->xmax = x0 + 10;
        return i;
    };
    auto a = image(0), b = image(0), c = image(0), d = image(1e-12);
    EXPECT_EQ(project.AddImage(a, false), 1);
    EXPECT_EQ(project.AddImage(b, false), 0);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(project.AddImage(c, true) + project.AddImage(d, false), 2);
}

TEST(HMeshProjectExtent, UnionZoneAndStatistics) {
    HMeshProject project;
    MapRect extent;
    EXPECT_EQ(project.GetExtent(extent), 0) << "no mesh, no extent";
    auto a = makeFlatMesh(4, 3, 5.0, 100, 200, 10);  // zone 9
    auto b =
        makeMesh(2, 2, 2.0, 90, 195, [](int c, int r) { return c + r == 2 ? MESH_WATER : -50; });
    b->zone = 6;
    project.AddMesh(b);
    project.AddMesh(a);
    project.SortMeshes();
    project.UpdateExtent();
    ASSERT_EQ(project.GetExtent(extent), 1);
    EXPECT_EQ(std::tuple(extent.xmin, extent.ymin, extent.xmax, extent.ymax),
              std::tuple(90, 195, 120, 215));
    EXPECT_EQ(project.planeZone, 9) << "zone of the first (after sorting: a coarsest) mesh";
    EXPECT_EQ(
        std::tuple(project.GetMinElevation(), project.GetMaxElevation(), project.GetMaxCellSize()),
        std::tuple(-5.0, 1.0, 5.0));
}

TEST(HMeshProjectLookup, FinestMeshWinsAndFallsThroughSpecialCells) {
    HMeshProject project;
    auto fine = makeMesh(10, 10, 2.0, 0, 0, [](int c, int) {
        return c == 0 ? MESH_WATER : (c == 1 ? MESH_NODATA : 20);
    });
    auto coarse = makeFlatMesh(4, 4, 5.0, 0, 0, 50);
    auto coarse2 = makeFlatMesh(4, 4, 5.0, 0, 0.5, 70);  // same size, slightly shifted: accepted
    for (auto* m : {&fine, &coarse, &coarse2})
        project.AddMesh(*m);
    project.SortMeshes();
    EXPECT_EQ(project.GetMesh(0)->ymin, 0.0) << "equal cell sizes keep their order";
    // Water and no data in the fine mesh fall through to the last coarse mesh; outside the
    // shifted mesh the first coarse mesh answers.
    const std::tuple<double, double, double> points[] = {
        {5.0, 5.0, 2.0}, {1.0, 5.0, 7.0}, {3.0, 5.0, 7.0}, {3.0, 0.2, 5.0}, {100.0, 5.0, -1.0}};
    for (const auto& [x, y, expected] : points) {
        double z = -1.0;
        EXPECT_EQ(project.FindElevation(x, y, z) != nullptr, expected != -1.0);
        EXPECT_DOUBLE_EQ(z, expected) << x << "," << y;
    }
    // As the map shows it, water answers; no data still lets the mesh below answer.
    const PointElevation water = project.queryElevation(1.0, 5.0, WaterCells::Answer);
    const PointElevation below = project.queryElevation(3.0, 5.0, WaterCells::Answer);
    EXPECT_EQ(std::tuple(water.kind, water.mesh, below.kind, below.z),
              std::tuple(CellKind::Water, project.GetMesh(2), CellKind::Elevation, 7.0));
    EXPECT_EQ(project.queryElevation(100.0, 5.0, WaterCells::Answer).kind, CellKind::None);
}

TEST(HMeshProjectNeighbours, EdgesMatchWithinToleranceAndCellSizesMustAgree) {
    HMeshProject project;
    // A 3 x 3 block of 20 x 15 m meshes; index = row * 3 + column, row 0 in the south.
    for (int i = 0; i < 9; ++i) {
        auto m = makeFlatMesh(4, 3, 5.0, i % 3 * 20.0, i / 3 * 15.0, i);
        project.AddMesh(m);
    }
    MeshNeighbours nb;
    project.FindNeighbours(*project.GetMesh(4), nb);
    for (int slot = 0; slot < 9; ++slot)  // slot order SW, S, SE, W, C, E, NW, N, NE
        EXPECT_EQ(nb.mesh[slot] ? nb.mesh[slot]->cell(0, 0) : -1, slot);
    project.FindNeighbours(*project.GetMesh(0), nb);
    EXPECT_EQ(nb.mesh[MeshNeighbours::West], nullptr);

    // An edge off by less than 1e-10 m still counts, by more it does not; a mesh of another cell
    // size never does.
    HMeshProject loose;
    auto base = makeFlatMesh(4, 3, 5.0, 0, 0, 1);
    auto east = makeFlatMesh(4, 3, 5.0, 20.0 + 5e-11, 0, 2);
    auto north = makeFlatMesh(4, 3, 5.0, 0, 15.0 + 1e-9, 3);
    auto other = makeFlatMesh(8, 6, 2.5, 0, -15.0, 4);
    const ZarHMesh* basePtr = base.get();
    for (auto* m : {&base, &east, &north, &other})
        loose.AddMesh(*m);
    loose.FindNeighbours(*basePtr, nb);
    EXPECT_NE(nb.mesh[MeshNeighbours::East], nullptr);
    EXPECT_TRUE(!nb.mesh[MeshNeighbours::North] && !nb.mesh[MeshNeighbours::South]);
}

TEST(HMeshProjectProfile, CountsSpacingBendsAndMissingElevations) {
    // Elevation 0.1 m per metre of easting between x = 0 and 100, water strip at 40..50 m, no
    // data at 60..61 m.
    HMeshProject project;
    auto m = makeMesh(100, 10, 1.0, 0, 0, [](int c, int) {
        return c >= 40 && c < 50 ? MESH_WATER : c == 60 ? MESH_NODATA : c;
    });
    project.AddMesh(m);
    auto profile = [&](const std::vector<FPoint>& line, double& spacing, int maxCount) {
        std::vector<FPoint> out;
        EXPECT_EQ(project.SampleProfile(line, spacing, maxCount, out), line.size() > 1);
        return out;
    };
    double spacing = 5.0;
    EXPECT_TRUE(profile({{0, 1, 0}}, spacing, 100).empty());
    // Short line: 3 samples; long line: at most maxCount; normally one every step and the end,
    // which a length of whole steps reaches only once.
    for (const auto& [length, given, maxCount, count, used] : {std::tuple{3.0, 5.0, 100, 3u, 1.5},
                                                               {90.0, 1.0, 10, 10u, 10.0},
                                                               {10.0, 4.0, 100, 4u, 4.0},
                                                               {12.0, 4.0, 100, 4u, 4.0}}) {
        spacing = given;
        const auto out = profile({{10, 1, 0}, {10 + length, 1, 0}}, spacing, maxCount);
        ASSERT_EQ(out.size(), count) << length;
        EXPECT_EQ(std::tuple(spacing, out[count - 2].x, out.back().x),
                  std::tuple(used, 10 + (count - 2) * used, 10 + length));
    }
    // Samples at 35, 40, ..., 115, 120: water at 40 and 45 reads 0 (the start vertex is no
    // intermediate sample); past the mesh the last known value repeats; the end vertex without
    // elevation is 0. What each sample found is kept beside.
    // (Samples past a bend are placed along the line in the profile tests.)
    spacing = 5.0;
    std::vector<CellKind> kinds;
    std::vector<FPoint> out;
    project.SampleProfile({{35, 1, 0}, {55, 1, 0}, {120, 1, 0}}, spacing, 100, out, &kinds);
    ASSERT_EQ(out.size(), 18u);
    EXPECT_EQ(std::tuple(out[0].z, out[1].z, out[2].z, out[3].z, out[14].z, out[17].z),
              std::tuple(3.5, 0.0, 0.0, 5.0, 9.5, 0.0));
    ASSERT_EQ(kinds.size(), out.size());
    EXPECT_EQ(std::tuple(kinds[1], kinds[4], kinds[5], kinds[14]),
              std::tuple(CellKind::Water, CellKind::Elevation, CellKind::NoData, CellKind::None));

    // A clamped count ends at the end vertex as well, and without elevation there it is 0 as
    // without the clamp. (A maximum below 3 never reaches here: the profile asks for 3 at least.)
    spacing = 1.0;
    out = profile({{60, 1, 0}, {90, 1, 0}, {160, 1, 0}}, spacing, 5);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(std::tuple(out[1].z, out[2].z, out[3].z, out[4].x, out[4].z),
              std::tuple(8.5, 8.5, 8.5, 160.0, 0.0));
}

}  // namespace
}  // namespace kov
