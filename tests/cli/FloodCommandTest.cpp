// SPDX-License-Identifier: MIT
// kovtool flood, run as a user runs it: the JSON numbers, and the GeoTIFFs and polygons as GDAL
// and OGR read them, against our own count (GRASS r.lake: tests/conformance/cases/grass.txt).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "cli/Kovtool.h"

namespace kov {
namespace {

class KovtoolFloodTest : public ::testing::Test, protected test::KovtoolRuns {
protected:
    void SetUp() override {
        // A valley 40 x 30 cells of 5 m: ground |c - 20| metres; a water cell in the north row.
        tile.cols = 40;
        tile.rows = 30;
        tile.xmin = -8000.0;
        tile.ymin = -36000.0;
        for (int r = 0; r < tile.rows; ++r) {
            std::vector<int> row;
            for (int c = 0; c < tile.cols; ++c)
                row.push_back(r == 0 && c == 20 ? -9999 : std::abs(c - 20) * 10);
            tile.codes.push_back(row);
        }
        test::writeTile(tile, dir.file("V.kov"));
    }
    // Runs kovtool COMMAND on V.kov; stdout, with the exit code in `code`.
    std::string onValley(const std::string& command, const std::string& args) {
        return kovtool(command + " " + dir.file("V.kov") + " " + args, &code);
    }
    QJsonObject floodJson(const std::string& args) {
        return json("flood " + dir.file("V.kov") + " " + args);
    }
    test::TileSpec tile;
    int code = -1;
};

TEST_F(KovtoolFloodTest, JsonCountsTheFloodAndItsRanks) {
    // From the valley floor at 5 m: columns 15..25 (11 x 30 cells) but the water cell, which
    // stops the flood without --water-passes.
    QJsonObject o = floodJson("--level 5 --from -7897.5,-35900 --ranks 1,3 --json");
    EXPECT_EQ(o["grid"].toArray(), (QJsonArray{40, 30}));
    EXPECT_EQ(o["cellSize"].toArray(), (QJsonArray{5.0, 5.0}));
    EXPECT_EQ(o["start"].toArray(), (QJsonArray{20, 20}));
    EXPECT_EQ(o["filled"].toInt(), 11 * 30 - 1);
    EXPECT_EQ(o["lowest"].toDouble(), 0.0);
    EXPECT_EQ(o["highest"].toDouble(), 5.0);
    const QJsonArray ranks = o["ranks"].toArray();
    ASSERT_EQ(ranks.size(), 2);
    EXPECT_EQ(ranks[0].toObject()["cells"].toInt(), 3 * 30 - 1);  // ground 0 .. 1 m
    EXPECT_EQ(ranks[1].toObject()["cells"].toInt(), 4 * 30);      // 2 .. 3 m
    EXPECT_EQ(o["unranked"].toInt(), 4 * 30);                     // 4 and 5 m

    // The water cell lets the flood through with --water-passes and then counts as unranked;
    // the whole area has no start, no statistics and ranks over every cell.
    o = floodJson("--level 5 --from -7897.5,-35900 --ranks 1,3 --water-passes --json");
    EXPECT_EQ(o["filled"].toInt(), 11 * 30);
    EXPECT_EQ(o["unranked"].toInt(), 4 * 30 + 1);
    o = floodJson("--level 5 --ranks 1 --json");
    EXPECT_TRUE(o["start"].isNull());
    EXPECT_TRUE(o["filled"].isNull());
    EXPECT_EQ(o["ranks"].toArray()[0].toObject()["cells"].toInt(), 3 * 30 - 1);
}

TEST_F(KovtoolFloodTest, NonSquareCellsAndRunsThatAreRefused) {
    // A second tile 2.6 m east of the first: the grid's 81 columns span 402.6 m.
    test::TileSpec east = tile;
    east.xmin = -8000.0 + 200.0 + 2.6;
    test::writeTile(east, dir.file("W.kov"));
    const std::string both = dir.file("W.kov") + " --level 5 --ranks 5 ";
    const QJsonObject o = floodJson(both + "--from -7897.5,-35900 --json");
    const double width = 402.6 / 81;
    EXPECT_NEAR(o["cellSize"].toArray()[0].toDouble(), width, 1e-9);
    EXPECT_EQ(o["cellSize"].toArray()[1].toDouble(), 5.0);
    const QJsonObject rank = o["ranks"].toArray()[0].toObject();
    EXPECT_NEAR(rank["area"].toDouble(), rank["cells"].toInt() * width * 5.0, 1e-6);

    // A tile 250 km away: 50,040 x 50,030 cells of 5 m, more than 2^31.
    test::TileSpec far = tile;
    far.xmin = 242000.0;
    far.ymin = 214000.0;
    test::writeTile(far, dir.file("F.kov"));
    const std::string tooFar = dir.file("F.kov") + " --level 5";
    const std::string tooMany = "50040 x 50030 cells, more than 2^31";
    // A tile 100 km east and 40 km north: 20,040 x 8,030 cells, whose working state (a bit a
    // cell, 20 MiB) a budget of 16 MiB cannot hold.
    test::TileSpec mid = tile;
    mid.xmin = 92000.0;
    mid.ymin = 4000.0;
    test::writeTile(mid, dir.file("M.kov"));
    const std::string tight = dir.file("M.kov") + " --level 5 --from -7897.5,-35900 --memory ";

    // Refused, saying why and writing nothing: a start in the gap between the tiles, on ground
    // above the level (the valley's rim), ranks no cell falls into, tiles too far apart for one
    // grid (exit 1); equal ranks, water passing without a flood (exit 2). (The other bad flood
    // options are with the command lines.)
    const std::string png = " -o " + dir.file("f.png");
    const std::tuple<std::string, int, std::string> refused[] = {
        {both + "--from -7798.7,-35900", 1, "outside the data"},
        {tooFar, 1, tooMany},
        {tooFar + " --from -7897.5,-35900", 1, tooMany},
        {both + "--from -7997.5,-35900", 1, "nothing is flooded"},
        {"--level 5 --ranks -1", 1, "no cell falls into a rank"},
        {"--level 5 --ranks -1 --from -7897.5,-35900", 1, "no flooded cell"},
        {"--level 5 --ranks 1,1", 2, "--ranks"},
        {"--level 5 --water-passes", 2, "--water-passes"},
        {tight + "16", 1, "needs at least 20 MiB of working memory"},
        {tight + "15", 2, "--memory needs a budget from 16"},
        {tight + "lots", 2, "--memory needs a budget from 16"},
    };
    for (const auto& [args, exitCode, reason] : refused) {
        EXPECT_EQ(onValley("flood", args + " --json" + png), "");
        EXPECT_EQ(code, exitCode) << args;
        EXPECT_NE(lastError().find(reason), std::string::npos) << args;
        EXPECT_FALSE(std::filesystem::exists(dir.file("f.png"))) << args;
    }
    // With a budget that holds the working state, the flood is the valley's.
    EXPECT_EQ(floodJson(tight + "64 --json")["filled"].toInt(), 11 * 30 - 1);
    // Under a Japanese locale in the window's words.
    locale = "ja_JP.UTF-8";
    onValley("flood", tooFar + " --json");
    EXPECT_NE(lastError().find("（50040 × 50030 セル、上限 2^31 セル）"), std::string::npos)
        << lastError();
}

// The depths cell by cell are r.lake's (the conformance cases), the volume the terrain's
// (FloodWater's tests); here the files as GDAL and OGR describe them.
TEST_F(KovtoolFloodTest, DepthRasterAndPolygonsReadBackThroughGdal) {
    const std::string depth = dir.file("d.tif"), polygons = dir.file("f.gpkg");
    const QJsonObject o = floodJson("--level 5.05 --from -7897.5,-35900 --ranks 1,3 --json -o " +
                                    polygons + " --depth-raster " + depth);
    int status = -1;
    const std::string info = test::runCommand("gdalinfo " + depth, &status);
    EXPECT_NE(info.find("\"EPSG\",6677"), std::string::npos);
    EXPECT_NE(info.find("Description = depth"), std::string::npos);  // one band, as r.lake's
    EXPECT_EQ(info.find("Band 2"), std::string::npos);

    // One feature per rank: OGR's measure of the polygons, the numbers of the JSON.
    const std::string rows = test::runCommand(
        "ogr2ogr -f CSV /vsistdout/ " + polygons +
            " -dialect OGRSQL -sql 'SELECT rank, lower, upper, area, volume, OGR_GEOM_AREA "
            "FROM flood ORDER BY rank'",
        &status);
    const QJsonArray ranks = o["ranks"].toArray();
    const auto row = [&](int r, const char* range) {
        const QJsonObject rank = ranks[r].toObject();
        return QString("\"%1\",%2,%3,%4,%3\n")
            .arg(r + 1)
            .arg(range)
            .arg(rank["area"].toDouble())
            .arg(rank["volume"].toDouble())
            .toStdString();
    };
    EXPECT_EQ(rows, "rank,lower,upper,area,volume,OGR_GEOM_AREA\n" + row(0, ",1") + row(1, "1,3"));
    EXPECT_NE(test::runCommand("ogrinfo -so " + polygons + " flood", &status).find("6677"),
              std::string::npos);

    // Bad names are refused before any work (exit 2), unwritable targets fail (exit 1).
    for (const auto& [args, exitCode] : {std::pair{"-o " + dir.file("f.xyz"), 2},
                                         {"--depth-raster " + dir.file("no/d.tif"), 1},
                                         {"-o " + dir.file("no/f.shp"), 1}}) {
        onValley("flood", "--level 5 --from -7897.5,-35900 " + args);
        EXPECT_EQ(code, exitCode) << args << lastError();
        EXPECT_FALSE(std::filesystem::exists(dir.file("no"))) << args;
    }
}

}  // namespace
}  // namespace kov
