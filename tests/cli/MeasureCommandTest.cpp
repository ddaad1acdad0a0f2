// SPDX-License-Identifier: MIT
// kovtool measure on a made-up tile whose ground rises 0.5 m per 5 m cell eastwards.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/Kovtool.h"

namespace kov {
namespace {

class KovtoolMeasureTest : public ::testing::Test, protected test::KovtoolRuns {
protected:
    void SetUp() override {
        // 30 x 24 cells of 5 m from (1000, 2000): 100 m in column 0, 105 m in 10, 110 m in 20.
        test::TileSpec tile;
        tile.cols = 30;
        tile.rows = 24;
        tile.xmin = 1000.0;
        tile.ymin = 2000.0;
        tile.codes.assign(tile.rows, std::vector<int>(tile.cols));
        for (auto& row : tile.codes)
            for (int col = 0; col < tile.cols; ++col)
                row[col] = 1000 + 5 * col;
        test::writeTile(tile, dir.file("t/A.kov"));
    }
    std::string measure(const std::string& args, int* exitCode) {
        return kovtool("measure " + dir.file("t") + " " + args, exitCode);
    }
};

// East 100 m uphill, then back 50 m west and 10 m north downhill.
constexpr char kTriangle[] = "--line 1002.5,2002.5 1102.5,2002.5 1052.5,2012.5";

TEST_F(KovtoolMeasureTest, TextShowsTheWindowRowsAndSlopeLinesJsonTheNumbers) {
    int code = -1;
    std::string out = measure("--line 1000,2000 1100,2000 1100,2100 1000,2100", &code);
    EXPECT_EQ(out, "segment:    100.0 (m)\ntotal:      300.0 (m)\narea:    10,000.0 (m2)\n");
    out = measure("--line 1000,2000 1000,2000.94", &code);
    EXPECT_EQ(out, "segment:      0.9 (m)\n") << "two points: the segment alone";
    locale = "ja_JP.UTF-8";  // the window's rows
    out = measure("--line 1000,2000 1100,2000 1100,2100 1000,2100", &code);
    EXPECT_EQ(out, "区間距離:    100.0 (m)\n延長距離:    300.0 (m)\n面　　積: 10,000.0 (㎡)\n");
    locale = "C.UTF-8";

    // The window's copied slope lines, their points named E and N.
    out = measure(std::string(kTriangle) + " --slope", &code);
    ASSERT_EQ(code, 0) << lastError();
    EXPECT_EQ(out,
              "segment:     51.0 (m)\ntotal:      151.0 (m)\narea:       500.0 (m2)\n"
              "E 1002.5 N 2002.5 (100.000 m) - E 1102.5 N 2002.5 (110.000 m)  100.000 (m)  "
              "5.711 (Deg)  10.000 (%)\n"
              "E 1102.5 N 2002.5 (110.000 m) - E 1052.5 N 2012.5 (105.000 m)  50.990 (m)  "
              "-5.600 (Deg)  -9.806 (%)\n");
    out = measure("--slope --line 1002.5,2002.5 1102.5,2002.5 1300,2002.5", &code);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << "no slope off the tile: " << out;
    EXPECT_NE(lastError().find("segment 2"), std::string::npos) << lastError();
    measure("--slope --line 1002.5,2002.5 1002.5,2002.5", &code);
    EXPECT_NE(lastError().find("segment 1 (E,N 1002.5,2002.5 to 1002.5,2002.5): the segment has "
                               "no length"),
              std::string::npos)
        << lastError();
    // JSON: slope keys only where both ends have an elevation.
    out = measure(std::string(kTriangle) + " 2000,3000 --json", &code);
    ASSERT_EQ(code, 0) << lastError();
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    const double back = std::hypot(1052.5 - 2000.0, 2012.5 - 3000.0);
    EXPECT_NEAR(root["segment"].toDouble(), back, 1e-9) << out;
    EXPECT_NEAR(root["total"].toDouble(), 100.0 + std::hypot(50.0, 10.0) + back, 1e-9);
    const QJsonArray segments = root["segments"].toArray();
    ASSERT_EQ(segments.size(), 3);
    const QJsonObject up = segments[0].toObject();
    EXPECT_EQ(up["to"].toArray(), QJsonArray({1102.5, 2002.5, 110.0}));
    EXPECT_NEAR(up["slopeDegrees"].toDouble(), 5.7106, 1e-4);
    EXPECT_NEAR(up["slopePercent"].toDouble(), 10.0, 1e-9);
    const QJsonObject off = segments[2].toObject();
    EXPECT_TRUE(off["to"].toArray()[2].isNull());
    EXPECT_FALSE(off.contains("slopeDegrees") || off.contains("slopePercent"));
}

TEST_F(KovtoolMeasureTest, OverflowAndBadOutputsFailWithAMessage) {
    for (const auto& [args, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {"--line 1e308,0 -1e308,0", "length of the line is beyond the range of numbers"},
             {"--line 1e200,0 -1e200,0 0,1e200", "enclosed area is beyond"},
             {"--line 1,2 3,4 -o m.txt", "the name must end in .geojson, .gpkg, .shp or .kml"},
             {"--line 1,2 3,4 -o " + dir.file("no/m.gpkg"), "m.gpkg cannot be written"}}) {
        int code = 0;
        EXPECT_EQ(measure(args, &code), "") << args;
        EXPECT_NE(code, 0) << args;
        EXPECT_NE(lastError().find(message), std::string::npos) << args << ": " << lastError();
    }
}

}  // namespace
}  // namespace kov
