// SPDX-License-Identifier: MIT
#include "sample/SampleData.h"
#include "sample/SampleProject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/base/MapSheet.h"
#include "core/base/TextCodec.h"
#include "core/base/TextScan.h"
#include "core/data/ZarVeyMesh5.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

namespace fs = std::filesystem;
using sample::SampleOptions;
using sample::SampleTile;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    forEachLine(text, text.size() + 1, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// The default set, written once for the whole suite.
class SampleDataSet : public test::SampleSetSuite {
protected:
    static std::string read(const std::string& relative) {
        return test::readFile(dir->file(relative));
    }
};

TEST_F(SampleDataSet, IsIdenticalWhenWrittenAgain) {
    test::TempDir again;
    ASSERT_TRUE(sample::writeSampleDataSet(again.path(), SampleOptions(), nullptr));
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir->path())) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string relative = fs::relative(entry.path(), dir->path()).string();
        // The project file names its layers by absolute path and carries the time of writing.
        if (relative == sample::kSampleProjectName) continue;
        EXPECT_EQ(test::readFile(again.file(relative)), read(relative)) << relative;
    }
    EXPECT_GE(files, 18);  // 9 data files, 9 headers and anything else the set holds
}

TEST_F(SampleDataSet, NineSheetsHoldTheTerrainAndLoad) {
    std::set<int> codes;
    for (const SampleTile& t : sample::sampleTiles(SampleOptions())) {
        // The northern row with CR LF, the others with LF.
        const bool north = t.blockRow == 2;
        for (const std::string& text : {read(t.dataPath), read(t.headerPath)}) {
            const long lf = std::count(text.begin(), text.end(), '\n');
            EXPECT_GT(lf, 0) << t.code;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), north ? lf : 0) << t.code;
        }
        const std::vector<std::string> lines = splitLines(read(t.dataPath));
        ASSERT_EQ(lines.size(), 300u);
        EXPECT_EQ(lines[299].size(), 10u + 5 * 400) << "fixed-width records";

        // A 3 x 3 block of sheets at the default place, each file named after its sheet; each
        // cell holds the terrain at its centre.
        const long long south = -37500 + 1500 * t.blockRow, west = -10000 + 2000 * t.blockCol;
        EXPECT_EQ(t.code, sheetCodeOfPoint(9, west + 1000, south + 750));
        ZarVeyMesh5 mesh;
        ASSERT_EQ(mesh.Load(dir->file(t.dataPath)), 1) << t.dataPath;
        EXPECT_EQ(std::tuple(mesh.xmin, mesh.ymin, mesh.xmax, mesh.ymax, mesh.zone),
                  std::tuple(west, south, west + 2000, south + 1500, 9));
        EXPECT_EQ(mesh.name, "サンプル地区 " + t.code);
        int mismatches = 0;
        for (int r = 0; r < 300; ++r)
            for (int c = 0; c < 400; ++c) {
                const int code = sample::terrainCodeAt(west + 5.0 * c + 2.5, south + 5.0 * r + 2.5);
                codes.insert(code);
                mismatches += mesh.cell(c, r) != (code == sample::kWaterCode    ? MESH_WATER
                                                  : code == sample::kNoDataCode ? MESH_NODATA
                                                                                : code);
            }
        EXPECT_EQ(mismatches, 0) << t.code;
    }
    // Sea, no data and hills, not a flat plain.
    EXPECT_EQ(*codes.begin(), sample::kWaterCode);
    EXPECT_TRUE(codes.count(sample::kNoDataCode));
    EXPECT_GE(*codes.rbegin(), 1000);
    EXPECT_LE(*codes.rbegin(), 7000);
}

TEST(SampleTerrain, RowsGiveThePointValuesAndTheCoastRunsAsDescribed) {
    // Rows that start anywhere, also west and south of the origin and across lattice lines.
    for (const auto& [x0, y] : {std::pair{-100000LL, -375000LL},
                                {-123457LL, -361234LL},
                                {5LL, 7LL},
                                {-2000003LL, 999999LL}}) {
        std::vector<int32_t> row(700);
        sample::terrainRow(x0, y, static_cast<int>(row.size()), 37, row.data());
        for (size_t i = 0; i < row.size(); ++i)
            ASSERT_EQ(row[i], sample::terrainCodeDm(x0 + 37 * static_cast<long long>(i), y))
                << x0 << "," << y << " +" << i;
    }
    // Sea to the south-east, land inland, no data on the corner shared by four tiles.
    EXPECT_EQ(sample::terrainCodeAt(-4002.5, -37497.5), sample::kWaterCode);
    EXPECT_GT(sample::terrainCodeAt(-9997.5, -33002.5), 0);
    EXPECT_EQ(sample::terrainCodeAt(-6002.5, -36002.5), sample::kNoDataCode);
    EXPECT_EQ(sample::terrainCodeAt(-5997.5, -35997.5), sample::kNoDataCode);
}

TEST(SampleCommand, LargerBlockKeepsTheTerrainAndPutsEveryTileInData) {
    test::TempDir dir;
    int exitCode = -1;
    test::runCommand(std::string(KOVTOOL_PATH) + " sample '" + dir.path() + "' --block 4 --asc",
                     &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_FALSE(fs::exists(dir.file("tiles")));
    int kov = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("Data"))) {
        ++kov;
        const std::string code = entry.path().stem().string();
        EXPECT_TRUE(fs::exists(dir.file("Header/" + code + ".csv"))) << code;
        EXPECT_EQ(test::readFile(entry.path().string()).find('\r'), std::string::npos);
    }
    EXPECT_EQ(kov, 16);

    // The south-west tile is the same sheet with the same bytes as in the default block.
    const SampleTile corner = sample::sampleTiles(SampleOptions()).front();
    ASSERT_EQ(corner.dataPath, "Data/" + corner.code + ".kov");
    EXPECT_EQ(test::readFile(dir.file(corner.dataPath)), sample::tileDataText(corner));

    // The ESRI ASCII copies are written beside (their contents are read by GDAL in the
    // conformance cases).
    EXPECT_TRUE(fs::exists(dir.file("asc/" + corner.code + ".asc")));
}

}  // namespace
}  // namespace kov
