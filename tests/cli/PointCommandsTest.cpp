// SPDX-License-Identifier: MIT
// kovtool info, elev, measure and geo on made-up tiles, run as a user runs them, the tile cache
// they use, and geo's number formatter.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cli/FixedFormat.h"
#include "cli/Kovtool.h"

namespace kov {
namespace {

using test::TempDir;
using test::TileSpec;

class KovtoolDataTest : public ::testing::Test, protected test::KovtoolRuns {
protected:
    void SetUp() override {
        // Two 5 m tiles side by side in Data/ + Header/, and a finer 2.5 m tile over the west one.
        TileSpec west;
        west.xmin = 100.0;
        west.ymin = 200.0;
        west.name = "\x90\xbc";  // Shift_JIS "西"
        west.codes = {{10, 20, 30, 40}, {-9999, -1111, 50, 60}, {70, 80, 90, 100}};
        test::writeTile(west, dir.file("set/Data/W.kov"), dir.file("set/Header/W.csv"));
        TileSpec east = west;
        east.xmin = 120.0;
        east.name = "east";
        east.codes = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
        test::writeTile(east, dir.file("set/Data/E.kov"), dir.file("set/Header/E.csv"));
        TileSpec fine;
        fine.cols = 2;
        fine.rows = 2;
        fine.cellSize = fine.cellSize2 = "2.5";
        fine.xmin = 100.0;
        fine.ymin = 210.0;
        fine.codes = {{555, -1111}, {-9999, 444}};
        test::writeTile(fine, dir.file("fine/F.kov"));
    }
    // The entries "kovtool cache" counts.
    std::string cacheEntries() {
        const std::string out = ok("cache");
        const size_t at = out.find("entries: ");
        return at == std::string::npos ? out : out.substr(at + 9, out.find('\n', at) - at - 9);
    }
};

TEST_F(KovtoolDataTest, InfoJsonDescribesEveryMeshAndTheCollection) {
    const QJsonObject root = json("info --json " + dir.file("set") + " " + dir.file("fine/F.kov"));
    EXPECT_EQ(root["zone"].toInt(), 9);
    EXPECT_EQ(root["extent"].toArray(), QJsonArray({100.0, 200.0, 140.0, 215.0}));
    const QJsonArray meshes = root["meshes"].toArray();
    ASSERT_EQ(meshes.size(), 3);
    // Sorted coarsest first: the two 5 m tiles in name order, then the 2.5 m tile.
    const QJsonObject e = meshes[0].toObject();
    EXPECT_EQ(e["name"].toString(), "east");
    EXPECT_DOUBLE_EQ(e["minElevation"].toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(e["maxElevation"].toDouble(), 1.2);
    EXPECT_EQ(meshes[1].toObject()["name"].toString(), QString::fromUtf8("西"));
    EXPECT_EQ(meshes[2].toObject()["cellSize"].toDouble(), 2.5);

    const std::string text = ok("info " + dir.file("set"));
    EXPECT_NE(text.find("collection: 2 meshes, zone 9"), std::string::npos) << text;
}

TEST_F(KovtoolDataTest, InfoNamesFilesByteExactWhenTheirPathIsNotUtf8) {
    // The same tile in a folder named "西" in UTF-8 and in Shift_JIS bytes (a zip unpacked
    // without conversion).
    TileSpec tile;
    const std::string utf8 = dir.file("西/T.kov"), sjis = dir.file("\x90\xbc/T.kov");
    test::writeTile(tile, utf8);
    tile.xmin += 100.0;
    test::writeTile(tile, sjis);
    const std::string out = ok("info --json " + utf8 + " " + sjis);
    std::set<std::string> named;
    for (const QJsonValue mesh :
         QJsonDocument::fromJson(QByteArray::fromStdString(out))["meshes"].toArray()) {
        const QJsonObject m = mesh.toObject();
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(m["pathBytes"].toString().toLatin1());
        named.insert(m["path"].isNull() ? bytes.toStdString() : m["path"].toString().toStdString());
    }
    EXPECT_EQ(named, (std::set<std::string>{utf8, sjis})) << out;

    // A terminal gets UTF-8: the Shift_JIS name read as such.
    const std::string text = ok("info " + sjis);
    EXPECT_NE(text.find("西/T.kov"), std::string::npos) << text;
    EXPECT_EQ(text.find("\x90\xbc"), std::string::npos);
}

TEST_F(KovtoolDataTest, ElevAnswersElevationWaterNoDataAndNone) {
    const std::string out = ok("elev " + dir.file("set") + " " + dir.file("fine/F.kov") +
                               " --at 102,213 --at 102,211 --at 101,207 --at 106,207"
                               " --at 121.5,201 --at 99,201 --at=101,214");
    EXPECT_EQ(out,
              "102 213 55.50\n"   // the fine tile wins where it has data
              "102 211 1.00\n"    // water in the fine tile falls through to the coarse one
              "101 207 water\n"   // water cell of the coarse tile
              "106 207 nodata\n"  // no-data cell of the coarse tile
              "121.5 201 0.90\n"
              "99 201 none\n"
              "101 214 55.50\n");

    // A hand-made project that lists the fine tile first answers as the window does: from the
    // fine tile where it has data.
    test::writeFile(dir.file("fineFirst.kovv5"),
                    "<?xml version='1.0'?>\n<MeshProject><Mesh>" + dir.file("fine/F.kov") +
                        "</Mesh><Mesh>" + dir.file("set/Data/W.kov") + "</Mesh></MeshProject>");
    EXPECT_EQ(ok("elev " + dir.file("fineFirst.kovv5") + " --at 102,213"), "102 213 55.50\n");
}

// (Reading the lines, across read blocks and in every spelling, is shared with geo: its tests.)
TEST_F(KovtoolDataTest, ElevStreamsPointsFromStdinUpToABadLine) {
    // More answers than one write of them holds (64 KiB), then a bad line after a blank one.
    std::string input, expected;
    for (int i = 0; i < 6000; ++i) {
        input += i % 2 ? "121 201\n" : "  130.5,\t214.9\r\n";
        expected += i % 2 ? "121 201 0.90\n" : "130.5 214.9 0.30\n";
    }
    test::writeFile(dir.file("points.txt"), input + "\n121 x\n7 8\n");
    int code = -1;
    const std::string out =
        kovtool("elev " + dir.file("set") + " < " + dir.file("points.txt"), &code);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
    EXPECT_NE(lastError().find("line 6002"), std::string::npos) << lastError();
}

// Input that needs more memory than kovtool can have ends the command with a message and a
// failing exit status, never with an abort. (FIFOs and oversized files are refused by the readers
// themselves; their tests are with the readers.)
TEST_F(KovtoolDataTest, MemoryThatCannotBeHadEndsTheCommandWithAMessage) {
#ifdef KOV_SANITIZED_BUILD
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit an address-space limit";
#endif
    // A 200 MB line on stdin under a 400 MB address space: its buffer cannot grow.
    int code = -1;
    kovtool("elev '" + dir.file("set") + "'", &code,
            "ulimit -v 400000; perl -e 'print \"1\" x 200000000' | ");
    EXPECT_EQ(code, 1) << lastError();
    EXPECT_NE(lastError().find("kovtool elev: out of memory"), std::string::npos) << lastError();
}

TEST_F(KovtoolDataTest, NoCacheWritesNothingAndClearEmptiesTheCache) {
    const std::string elev = "elev '" + dir.file("set") + "' --at 122,212";
    const std::string fromFiles = ok(elev + " --no-cache");
    EXPECT_FALSE(std::filesystem::exists(dir.file("cache/kovview")));

    // The first run writes the entries, the second reads them: the same answers.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(ok(elev), fromFiles);
        EXPECT_EQ(lastError(), "");
        EXPECT_EQ(cacheEntries(), "2");
    }
    // A tile changed since the runs: read again, not taken from the index they wrote.
    TileSpec changed;
    changed.xmin = 120.0;
    changed.ymin = 200.0;
    changed.codes = {{11, 21, 31, 41}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    const std::string east = dir.file("set/Data/E.kov");
    const auto written = std::filesystem::last_write_time(east);
    test::writeTile(changed, east, dir.file("set/Header/E.csv"));
    std::filesystem::last_write_time(east, written + std::chrono::seconds(10));
    const std::string changedFiles = ok(elev + " --no-cache");
    EXPECT_NE(changedFiles, fromFiles);
    EXPECT_EQ(ok(elev), changedFiles);
    EXPECT_EQ(exitOf("cache --clear"), 0);
    EXPECT_EQ(cacheEntries(), "0");
    EXPECT_EQ(exitOf("cache stray"), 2);
}

// ---- kovtool measure on a tile whose ground rises 0.5 m per 5 m cell eastwards ----------------

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

// ---- kovtool geo ----------------------------------------------------------------------------

TEST(FormatFixed10, SameDigitsAsPrintf) {
    using limits = std::numeric_limits<double>;
    // Rounding edges, the end of the fast path at 2^30, and printf's own cases.
    std::vector<double> values({0.0, -0.0, -1.0, 139.8333333333333, 1e-11, 5e-11, 6e-11,
                                0.99999999995, 0.999999999949999, 9.99999999995, 1073741823.5,
                                1073741824.0, -1073741825.0, 1e300, limits::max(),
                                limits::denorm_min(), limits::infinity(), limits::quiet_NaN()});
    const double tie = std::ldexp(1.0, -11);  // exact ties in the 11th decimal: to even
    for (int k : {1, 3, -7, 2049})
        values.push_back(k * tie);
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> degrees(-180.0, 180.0);
    std::uniform_real_distribution<double> exponent(-14.0, 12.0);
    std::uniform_int_distribution<int> k(0, 1 << 24);
    for (int i = 0; i < 30000; ++i) {
        values.push_back(degrees(rng));
        values.push_back(std::pow(10.0, exponent(rng)) * (i % 2 ? -1 : 1));
        values.push_back(k(rng) * tie);
    }
    char text[cli::kFixed10MaxChars], printed[400];
    for (double v : values) {
        std::snprintf(printed, sizeof printed, "%.10f", v);
        ASSERT_EQ(std::string(text, cli::formatFixed10(text, v)), printed) << v;
    }
}

// kovtool geo, its exit status in `status`.
class GeoCommand : public ::testing::Test, protected test::KovtoolRuns {
protected:
    // Runs "kovtool geo ARGS" with the input on stdin.
    std::string geo(const std::string& args, const std::string& input = {}) {
        test::writeFile(dir.file("stdin.txt"), input);
        return kovtool("geo " + args + " < '" + dir.file("stdin.txt") + "'", &status);
    }
    int status = -1;
};

TEST_F(GeoCommand, PointsOnTheCommandLineOrStreamedFromStdin) {
    // The origin of zone 9 lies at 36 N, 139 50 E.
    EXPECT_EQ(geo("--zone 9 0 0"), "36.0000000000 139.8333333333\n");
    EXPECT_EQ(geo("0 --dms 0 --zone 9"), "36:00:00.0 139:50:00.0\n");
    const std::string a = geo("-100000.5 --zone=3 +25000"), b = geo("--zone 3 5000.25 -33000");
    EXPECT_EQ(status, 0) << lastError();
    EXPECT_NE(a, b);

    // Enough lines to cross several read blocks, in varied spellings.
    const char* spellings[] = {"-100000.5 25000\n", "  -100000.50\t+25000  \r\n",
                               "5000.25,-33000\n", "5.00025e3 , -3.3e4\n", "\n5000.25    -33000\n"};
    std::string input, expected;
    for (int i = 0; i < 150000; ++i) {
        input += spellings[i % 5];
        expected += i % 5 < 2 ? a : b;
    }
    input += "+5000.25 -33000";  // the last line without a line end
    expected += b;
    const std::string out = geo("--zone 3", input);
    EXPECT_EQ(std::tuple(status, lastError()), std::tuple(0, ""));
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);

    const std::string longLine = std::string(3 << 20, ' ') + "-100000.5 25000\n";  // > a block
    EXPECT_EQ(geo("--zone 3", longLine), a);
}

// The lines before a bad one are still converted.
TEST_F(GeoCommand, UnreadableLinesFailWithAMessage) {
    const std::string one = geo("--zone 9 1 2"), two = geo("--zone 9 3 4");
    const struct {
        std::string input;
        const char* message;
        std::string convertedBefore;
    } cases[] = {
        {"1 2\n\n3 4\n5 north\n7 8\n", "line 4: expected \"E N\", got '5 north'", one + two},
        {"1 2 3\n", "line 1:", ""},
        {"1 2\n12,,3\n", "line 2:", one},
        {"1 2\n3 4\n5x 6", "line 3:", one + two},  // last line, no line end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(geo("--zone 9", c.input), c.convertedBefore) << c.input;
        EXPECT_EQ(status, 1) << c.input;
        EXPECT_NE(lastError().find(c.message), std::string::npos) << c.input << lastError();
    }
}

}  // namespace
}  // namespace kov
