// kovtool convert: the sample's sources written as tiles and read back by the tile loader.
#include <gtest/gtest.h>

#include <cmath>

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

// Every 5 m cell centre of the source's extent answers the same from the written tiles (loaded
// as a folder, as kovtool info and the program load it): ground to 0.1 m, water, or nothing.
TEST_F(ConvertCommandTest, TilesReadBackAsTheCollectionAnswers) {
    const std::vector<std::vector<std::string>> sources = {
        {"dem/FG-GML-5339-46-DEM5A.zip"}, {"dem/sample-dem-jgd2011.tif"}, {"Data", "tiles"}};
    for (const auto& source : sources) {
        SCOPED_TRACE(source[0]);
        const std::string out = dir->file("converted-" + std::to_string(&source - &sources[0]));
        std::vector<std::string> paths;
        std::string command = "convert -q -o " + out;
        for (const auto& part : source) {
            paths.push_back(dir->file(part));
            command += " " + paths.back();
        }
        ASSERT_EQ(exitOf(command), 0) << lastError();
        HMeshProject original, converted;
        load(paths, original);
        load({out}, converted);
        EXPECT_EQ(converted.GetMesh(0)->zone, original.GetMesh(0)->zone);
        EXPECT_EQ(converted.GetMesh(0)->datum, GeodeticDatum::kJgd2011);
        MapRect e = original.extent;
        long long ground = 0, mismatches = 0;
        for (double y = std::floor(e.ymin / 5) * 5 + 2.5; y < e.ymax; y += 5)
            for (double x = std::floor(e.xmin / 5) * 5 + 2.5; x < e.xmax; x += 5) {
                const PointElevation want = original.queryElevation(x, y, WaterCells::LookBelow);
                const PointElevation got = converted.queryElevation(x, y, WaterCells::LookBelow);
                const bool water =
                    original.queryElevation(x, y, WaterCells::Answer).kind == CellKind::Water;
                bool same = false;
                if (want.kind == CellKind::Elevation) {
                    ++ground;
                    same =
                        got.kind == CellKind::Elevation && std::abs(got.z - want.z) <= 0.05 + 1e-9;
                } else {
                    const CellKind kind = converted.queryElevation(x, y, WaterCells::Answer).kind;
                    same = water ? kind == CellKind::Water
                                 : kind == CellKind::NoData || kind == CellKind::None;
                }
                if (!same && ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << " " << y << ": " << want.z << " vs " << got.z;
            }
        EXPECT_GT(ground, 100000);
        EXPECT_EQ(mismatches, 0);
    }
}

// A conversion that cannot write says so, fails, and does not claim any tile.
TEST_F(ConvertCommandTest, RefusesWhatItCannotDo) {
    test::writeFile(dir->file("plain-file"), "x");
    const struct {
        std::string args;
        int exit;
        const char* says;
    } cases[] = {
        {"convert " + dir->file("Data"), 2, "-o FOLDER is required"},
        {"convert " + dir->file("Data") + " -o " + dir->file("plain-file"), 1, "not a folder"},
        {"convert " + dir->file("Data") + " -o " + dir->file("plain-file/sub"), 1,
         "0 tiles were written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(exitOf(c.args), c.exit);
        EXPECT_NE(lastError().find(c.says), std::string::npos) << lastError();
    }
}

}  // namespace
}  // namespace kov
