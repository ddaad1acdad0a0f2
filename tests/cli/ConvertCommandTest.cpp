// SPDX-License-Identifier: MIT
// kovtool convert: the sample's sources written as tiles and read back by the tile loader.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/data/HMeshProject.h"
#include "core/project/LayerLoader.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

class ConvertCommandTest : public test::SampleSetSuite {
protected:
    static void load(const std::vector<std::string>& paths, HMeshProject& project) {
        LoadReport report;
        loadLayerPaths(paths, project, report, LoadOptions{});
        ASSERT_TRUE(report.ok());
        ASSERT_GT(project.meshCount(), 0);
    }
};

// Every 5 m cell centre of a source's extent answers the same from the written tiles (loaded as
// a folder, as kovtool info and the program load it): ground to 0.1 m, water, or nothing. All
// go into one folder, so the later conversions replace the tiles of the earlier ones.
TEST_F(ConvertCommandTest, TilesReadBackAsTheCollectionAnswers) {
    const std::string out = dir->file("converted");
    for (const std::vector<std::string>& source : std::vector<std::vector<std::string>>{
             {"Data", "tiles"}, {"dem/FG-GML-5339-46-DEM5A.zip"}, {"dem/sample-dem-jgd2011.tif"}}) {
        SCOPED_TRACE(source[0]);
        std::vector<std::string> paths;
        std::string command = "convert -q -o " + out;
        for (const auto& part : source)
            command += " " + paths.emplace_back(dir->file(part));
        ASSERT_EQ(exitOf(command), 0) << lastError();
        HMeshProject original, converted;
        load(paths, original);
        load({out}, converted);
        EXPECT_EQ(converted.GetMesh(0)->datum, GeodeticDatum::kJgd2011);
        const MapRect e = original.extent;
        long long ground = 0, mismatches = 0;
        for (double y = std::floor(e.ymin / 5) * 5 + 2.5; y < e.ymax; y += 5)
            for (double x = std::floor(e.xmin / 5) * 5 + 2.5; x < e.xmax; x += 5) {
                const auto answer = [x, y](const HMeshProject& p, WaterCells water) {
                    return p.queryElevation(x, y, water);
                };
                const PointElevation want = answer(original, WaterCells::LookBelow);
                const PointElevation got = answer(converted, WaterCells::LookBelow);
                const bool wantWater = answer(original, WaterCells::Answer).kind == CellKind::Water;
                const bool gotWater = answer(converted, WaterCells::Answer).kind == CellKind::Water;
                ground += want.kind == CellKind::Elevation;
                const bool same =
                    want.kind == CellKind::Elevation
                        ? got.kind == CellKind::Elevation && std::abs(got.z - want.z) <= 0.05 + 1e-9
                        : got.kind != CellKind::Elevation && gotWater == wantWater;
                if (!same && ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << " " << y << ": " << want.z << " vs " << got.z;
            }
        EXPECT_GT(ground, 100000);
        EXPECT_EQ(mismatches, 0);
    }
}

// A conversion that cannot write says so, fails, and claims no more tiles than it wrote: the
// north-east sheet, written last, meets a folder where its data file should go.
TEST_F(ConvertCommandTest, RefusesWhatItCannotDo) {
    test::writeFile(dir->file("plain-file"), "x");
    std::filesystem::create_directories(dir->file("blocked/Data/09LD182.kov"));
    const std::string convert = "convert " + dir->file("Data") + " " + dir->file("tiles");
    const struct {
        std::string args;
        int exit;
        const char* says;
    } cases[] = {
        {convert, 2, "-o FOLDER is required"},
        {convert + " -o " + dir->file("plain-file"), 1, "not a folder"},
        {convert + " -o " + dir->file("plain-file/sub"), 1, "no tile was written"},
        {convert + " -o " + dir->file("blocked"), 1, "incomplete: 8 tiles written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(exitOf(c.args), c.exit);
        EXPECT_NE(lastError().find(c.says), std::string::npos) << lastError();
    }
}

}  // namespace
}  // namespace kov
