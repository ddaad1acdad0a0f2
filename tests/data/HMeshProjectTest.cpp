#include "data/HMeshProject.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/SettingsStore.h"
#include "data/MeshFixtures.h"
#include "data/ZarHImage.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::makeFlatMesh;

TEST(HMeshProjectLists, DuplicateMeshesAreRefusedAndStayWithTheCaller) {
    HMeshProject project;
    auto first = makeFlatMesh(4, 3, 5.0, 0, 0, 10);
    auto same = makeFlatMesh(4, 3, 5.0, 0, 0, 20);
    auto finer = makeFlatMesh(8, 6, 2.5, 0, 0, 30);
    std::unique_ptr<ZarHMesh> none;
    EXPECT_EQ(project.AddMesh(none), 0);
    ASSERT_EQ(project.AddMesh(first), 1);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(project.AddMesh(same), 0);
    ASSERT_NE(same, nullptr) << "a refused mesh remains the caller's";
    EXPECT_EQ(same->owner, nullptr);
    EXPECT_EQ(project.AddMesh(finer), 1) << "same extent, other cell size";
    EXPECT_EQ(project.MeshCount(), 2);
    EXPECT_EQ(project.GetMesh(0)->owner, &project);
    EXPECT_EQ(project.GetMesh(2), nullptr);
    EXPECT_EQ(project.GetMesh(-1), nullptr);

    std::unique_ptr<ZarHMesh> taken;
    EXPECT_EQ(project.RemoveMesh(5), 0);
    ASSERT_EQ(project.RemoveMesh(0, &taken), 1);
    EXPECT_DOUBLE_EQ(taken->cellSize, 5.0);
    EXPECT_EQ(project.MeshCount(), 1);
    EXPECT_DOUBLE_EQ(project.GetMesh(0)->cellSize, 2.5) << "later elements move down";
    EXPECT_EQ(project.RemoveMesh(0), 1);
    EXPECT_EQ(project.MeshCount(), 0);
}

TEST(HMeshProjectLists, ImagesAreRefusedOnlyForBitEqualExtentsUnlessAllowed) {
    HMeshProject project;
    auto image = [](double x0) {
        auto i = std::make_unique<ZarHImage>();
        i->xmin = x0;
        i->xmax = x0 + 10;
        i->ymax = 10;
        return i;
    };
    auto a = image(0), b = image(0), c = image(0), d = image(1e-12);
    EXPECT_EQ(project.AddImage(a, false), 1);
    EXPECT_EQ(project.AddImage(b, false), 0);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(project.AddImage(c, true), 1);
    EXPECT_EQ(project.AddImage(d, false), 1);
    EXPECT_EQ(project.ImageCount(), 3);
    EXPECT_EQ(project.GetImage(1)->owner, &project);
    MapRect extent;
    EXPECT_EQ(project.GetExtent(extent), 0) << "no mesh, no extent, whatever the images";
}

TEST(HMeshProjectExtent, UnionZoneAndStatistics) {
    HMeshProject project;
    auto a = makeFlatMesh(4, 3, 5.0, 100, 200, 10);
    a->zone = 9;
    auto b = test::makeMesh(2, 2, 2.0, 90, 195,
                            [](int c, int r) { return c + r == 2 ? MESH_WATER : -50; });
    b->zone = 6;
    project.AddMesh(a);
    project.AddMesh(b);
    EXPECT_DOUBLE_EQ(project.GetMinElevation(), 0.0) << "min and max come from UpdateExtent";
    project.UpdateExtent();
    MapRect extent;
    ASSERT_EQ(project.GetExtent(extent), 1);
    EXPECT_DOUBLE_EQ(extent.xmin, 90);
    EXPECT_DOUBLE_EQ(extent.ymin, 195);
    EXPECT_DOUBLE_EQ(extent.xmax, 120);
    EXPECT_DOUBLE_EQ(extent.ymax, 215);
    EXPECT_EQ(project.planeZone, 9) << "zone of the first mesh in the list";
    EXPECT_DOUBLE_EQ(project.GetMinElevation(), -5.0);
    EXPECT_DOUBLE_EQ(project.GetMaxElevation(), 1.0);
    EXPECT_DOUBLE_EQ(project.GetMaxCellSize(), 5.0);

    ASSERT_EQ(project.SortMeshes(), 1);
    project.UpdateExtent();
    EXPECT_EQ(project.planeZone, 9) << "after sorting, a coarsest mesh gives the zone";
    FPoint p;
    project.TransformPoint({1, 2, 3}, p);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.z, 3);

    HMeshProject empty;
    EXPECT_EQ(empty.SortMeshes(), 0);
    EXPECT_EQ(empty.GetMaxCellSize(), 0.0);
    EXPECT_EQ(empty.GetMaxElevation(), 0.0);
}

TEST(HMeshProjectLookup, FinestMeshWinsAndFallsThroughSpecialCells) {
    HMeshProject project;
    auto fine = test::makeMesh(10, 10, 2.0, 0, 0, [](int c, int) {
        return c == 0 ? MESH_WATER : (c == 1 ? MESH_NODATA : 20);
    });
    auto coarse = makeFlatMesh(4, 4, 5.0, 0, 0, 50);
    auto coarse2 = makeFlatMesh(4, 4, 5.0, 0, 0.5, 70);  // same size, slightly shifted: accepted
    project.AddMesh(fine);
    project.AddMesh(coarse);
    project.AddMesh(coarse2);
    project.SortMeshes();
    EXPECT_DOUBLE_EQ(project.GetMesh(2)->cellSize, 2.0) << "finest last, asked first";
    EXPECT_DOUBLE_EQ(project.GetMesh(0)->ymin, 0.0) << "equal cell sizes keep their order";

    double z = 0;
    const ZarHMesh* answered = project.FindElevation(5.0, 5.0, z);
    ASSERT_NE(answered, nullptr);
    EXPECT_DOUBLE_EQ(z, 2.0);
    EXPECT_DOUBLE_EQ(answered->cellSize, 2.0);
    project.FindElevation(1.0, 5.0, z);
    EXPECT_DOUBLE_EQ(z, 7.0) << "water in the fine mesh falls through to the later coarse mesh";
    project.FindElevation(3.0, 0.2, z);
    EXPECT_DOUBLE_EQ(z, 5.0) << "outside the shifted mesh the first coarse mesh answers";
    z = -1;
    EXPECT_EQ(project.FindElevation(100.0, 5.0, z), nullptr);
    EXPECT_EQ(z, -1);
}

TEST(HMeshProjectNeighbours, EdgesMatchWithinToleranceAndCellSizesMustAgree) {
    HMeshProject project;
    // A 3 x 3 block of 20 x 15 m meshes; index = row * 3 + column, row 0 in the south.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            auto m = makeFlatMesh(4, 3, 5.0, c * 20.0, r * 15.0, r * 3 + c);
            project.AddMesh(m);
        }
    MeshNeighbours nb;
    const ZarHMesh& centre = *project.GetMesh(4);
    project.FindNeighbours(centre, nb);
    for (int slot = 0; slot < 9; ++slot) {
        ASSERT_NE(nb.mesh[slot], nullptr) << slot;
        EXPECT_EQ(nb.mesh[slot]->Cell(0, 0), slot) << "slot order SW, S, SE, W, C, E, NW, N, NE";
    }
    project.FindNeighbours(*project.GetMesh(0), nb);
    EXPECT_EQ(nb.mesh[MeshNeighbours::West], nullptr);
    EXPECT_EQ(nb.mesh[MeshNeighbours::NorthEast], project.GetMesh(4));

    // An east mesh whose edge is off by less than 1e-10 m still counts; by more, it does not;
    // a mesh of another cell size never does.
    HMeshProject loose;
    auto base = makeFlatMesh(4, 3, 5.0, 0, 0, 1);
    auto east = makeFlatMesh(4, 3, 5.0, 20.0 + 5e-11, 0, 2);
    auto north = makeFlatMesh(4, 3, 5.0, 0, 15.0 + 1e-9, 3);
    auto other = makeFlatMesh(8, 6, 2.5, 0, -15.0, 4);
    const ZarHMesh* basePtr = base.get();
    loose.AddMesh(base);
    loose.AddMesh(east);
    loose.AddMesh(north);
    loose.AddMesh(other);
    loose.FindNeighbours(*basePtr, nb);
    EXPECT_NE(nb.mesh[MeshNeighbours::East], nullptr);
    EXPECT_EQ(nb.mesh[MeshNeighbours::North], nullptr);
    EXPECT_EQ(nb.mesh[MeshNeighbours::South], nullptr);
}

class SampleProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Elevation 0.1 m per metre of easting between x = 0 and 100, water strip at 40..50 m.
        auto m = test::makeMesh(100, 10, 1.0, 0, 0,
                                [](int c, int) { return c >= 40 && c < 50 ? MESH_WATER : c; });
        project.AddMesh(m);
    }
    HMeshProject project;
};

TEST_F(SampleProfileTest, CountsAndSpacing) {
    std::vector<FPoint> out;
    double spacing = 5.0;
    EXPECT_EQ(project.SampleProfile({{0, 1, 0}}, spacing, 100, out), 0);
    EXPECT_TRUE(out.empty());

    ASSERT_EQ(project.SampleProfile({{10, 1, 0}, {13, 1, 0}}, spacing, 100, out), 1);
    EXPECT_DOUBLE_EQ(spacing, 1.5) << "a 3 m line at spacing 5 takes 3 samples";
    ASSERT_EQ(out.size(), 3u);
    EXPECT_DOUBLE_EQ(out[1].x, 11.5);
    EXPECT_DOUBLE_EQ(out[2].x, 13.0);

    out.clear();
    spacing = 1.0;
    ASSERT_EQ(project.SampleProfile({{0, 1, 0}, {90, 1, 0}}, spacing, 10, out), 1);
    ASSERT_EQ(out.size(), 10u);
    EXPECT_DOUBLE_EQ(spacing, 10.0);
    EXPECT_DOUBLE_EQ(out.back().x, 90.0);

    // Normal case: floor(L / s) + 2 samples, the last one past the end clamped to the end.
    out.clear();
    spacing = 4.0;
    ASSERT_EQ(project.SampleProfile({{0, 1, 0}, {10, 1, 0}}, spacing, 100, out), 1);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_DOUBLE_EQ(out[2].x, 8.0);
    EXPECT_DOUBLE_EQ(out[3].x, 10.0);
}

TEST_F(SampleProfileTest, SamplesFollowTheBendsOfAPolyline) {
    std::vector<FPoint> out;
    double spacing = 3.0;
    ASSERT_EQ(project.SampleProfile({{10, 1, 0}, {14, 1, 0}, {14, 5, 0}}, spacing, 100, out), 1);
    ASSERT_EQ(out.size(), 4u);  // L = 8: samples at 0, 3, 6 and the end
    EXPECT_DOUBLE_EQ(out[1].x, 13.0);
    EXPECT_DOUBLE_EQ(out[1].y, 1.0);
    EXPECT_DOUBLE_EQ(out[2].x, 14.0);
    EXPECT_DOUBLE_EQ(out[2].y, 3.0);
    EXPECT_DOUBLE_EQ(out[2].z, 1.4);
    EXPECT_DOUBLE_EQ(out[3].y, 5.0);
}

TEST_F(SampleProfileTest, MissingElevationsRepeatThePreviousIntermediateSample) {
    std::vector<FPoint> out;
    double spacing = 5.0;
    ASSERT_EQ(project.SampleProfile({{35, 1, 0}, {55, 1, 0}, {120, 1, 0}}, spacing, 100, out), 1);
    // Samples at 35, 40, 45, 50, ..., 115, 120.
    EXPECT_DOUBLE_EQ(out[0].z, 3.5);
    EXPECT_DOUBLE_EQ(out[1].z, 0.0) << "water at 40; the start vertex is no intermediate sample";
    EXPECT_DOUBLE_EQ(out[2].z, 0.0);
    EXPECT_DOUBLE_EQ(out[3].z, 5.0);
    EXPECT_DOUBLE_EQ(out[14].x, 105.0);
    EXPECT_DOUBLE_EQ(out[14].z, 9.5) << "past the mesh the last known value repeats";
    EXPECT_DOUBLE_EQ(out.back().x, 120.0);
    EXPECT_DOUBLE_EQ(out.back().z, 0.0) << "the end vertex without elevation is 0";
}

}  // namespace
}  // namespace kov

namespace kov {
namespace {

TEST(HMeshProjectSettings, ShapeDefaultsComeFromTheSettingsStore) {
    test::TempDir dir;
    settings::setLocation(dir.file("kov.ini"));
    {
        HMeshProject fresh;
        EXPECT_DOUBLE_EQ(fresh.shapePenWidth, 0.75);
        EXPECT_EQ(fresh.shapePenColor, 0u);
        EXPECT_EQ(fresh.shapeFillAlpha, 128);
        EXPECT_EQ(fresh.shapeFillColor, 0xFFFF80u);
        EXPECT_EQ(fresh.projectTitle, "標高メッシュプロジェクト");
        EXPECT_EQ(fresh.showSheetInfo, 1);
        EXPECT_DOUBLE_EQ(fresh.stepHeight, 5.0);
        EXPECT_EQ(fresh.imageTransparency, 50);
        EXPECT_NE(fresh.ColorMapSlot(0), nullptr);
        EXPECT_EQ(fresh.ColorMapSlot(1), nullptr);
        EXPECT_EQ(fresh.ColorMapSlot(999), fresh.ColorMapSlot(0));
    }
    test::writeFile(
        dir.file("kov.ini"),
        "[Shape]\nPenWidth=1.25\nPenColor=RGB(1,2,3)\nFillAlpha=64\nFillColor=#0000FF\n");
    HMeshProject configured;
    EXPECT_DOUBLE_EQ(configured.shapePenWidth, 1.25);
    EXPECT_EQ(configured.shapePenColor, 0x030201u);
    EXPECT_EQ(configured.shapeFillAlpha, 64);
    EXPECT_EQ(configured.shapeFillColor, 0xFFu);
    settings::setLocation(dir.file("absent.ini"));
}

}  // namespace
}  // namespace kov
