// SPDX-License-Identifier: MIT
#include "core/data/TileConversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>

#include "core/data/ZarVeyMesh5.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// Two 5 m cells at x 1995..2005, y 0..5: one on each side of the sheet line x = 2000. The west
// cell holds 1.00 m, the east one the code under test (in 0.01 m).
void addEdgeMesh(HMeshProject& project, int eastCode, int zone = 9,
                 GeodeticDatum datum = GeodeticDatum::kJgd2011, double y0 = 0.0) {
    auto mesh = test::makeMesh(
        2, 1, 5.0, 1995.0, y0, [eastCode](int c, int) { return c == 0 ? 100 : eastCode; }, 0.01);
    mesh->zone = zone;
    mesh->datum = datum;
    ASSERT_EQ(project.AddMesh(mesh), 1);
    project.UpdateExtent();
}

// Elevations round to 0.1 m, halves away from zero; those without a code are refused before
// any tile is written, the writable sheet west of the line included.
TEST(TileConversion, ElevationsAtTheEdgesOfTheFormat) {
    const struct {
        int centimetres;
        std::optional<int> code;  // none: refused
    } cases[] = {
        {999990, 99999}, {999995, std::nullopt}, {-99980, -9998}, {-99985, std::nullopt},
        {-11104, -1110}, {-11105, std::nullopt}, {12345, 1235},   {-5, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.centimetres);
        HMeshProject project;
        addEdgeMesh(project, c.centimetres);
        test::TempDir dir;
        TileConversionReport report;
        const bool complete = convertToTiles(project, dir.path(), report);
        if (!c.code) {
            EXPECT_FALSE(complete);
            EXPECT_EQ(report.written, 0);
            EXPECT_NE(report.error.find("has no code"), std::string::npos) << report.error;
            EXPECT_FALSE(std::filesystem::exists(dir.file("Data")));
            continue;
        }
        ASSERT_TRUE(complete) << report.error;
        ASSERT_EQ(report.codes.size(), 2u);
        ZarVeyMesh5 west, east;
        ASSERT_EQ(west.Load(dir.file("Data/" + report.codes[0] + ".kov")), 1) << west.errorText;
        ASSERT_EQ(east.Load(dir.file("Data/" + report.codes[1] + ".kov")), 1) << east.errorText;
        EXPECT_EQ(
            std::tuple(west.xmax, west.cell(399, 0), east.xmin, east.cell(0, 0), east.cell(1, 0)),
            std::tuple(2000.0, 10, 2000.0, *c.code, MESH_NODATA));
    }
}

// Tiles name one zone and one datum: meshes that disagree are refused, not relabelled. A
// conversion of more sheets than the bound is refused before any is sampled.
TEST(TileConversion, RefusesMixedZonesOrDatumsAndTooManySheets) {
    const auto vast = test::projectOf(test::makeFlatMesh(700, 500, 1000.0, 0.0, 0.0, 10));
    TilePlan plan;  // 116,550 sheets
    std::string error;
    EXPECT_FALSE(planTiles(*vast, plan, &error));
    EXPECT_NE(error.find("more than 100000 sheets"), std::string::npos) << error;
    for (const auto& [zone, datum] :
         {std::pair{2, GeodeticDatum::kJgd2011}, std::pair{9, GeodeticDatum::kTokyo}}) {
        HMeshProject project;
        addEdgeMesh(project, 0);
        addEdgeMesh(project, 0, zone, datum, 100.0);
        EXPECT_FALSE(planTiles(project, plan, &error));
        EXPECT_NE(error.find("different"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace kov
