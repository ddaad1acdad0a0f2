// SPDX-License-Identifier: MIT
// kovtool info and elev, run as a user runs them, and the tile cache they use.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <set>

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
        int code = -1;
        const std::string out = kovtool("cache", &code);
        EXPECT_EQ(code, 0) << lastError();
        const size_t at = out.find("entries: ");
        return at == std::string::npos ? out : out.substr(at + 9, out.find('\n', at) - at - 9);
    }
};

TEST_F(KovtoolDataTest, InfoJsonDescribesEveryMeshAndTheCollection) {
    int code = -1;
    const std::string out =
        kovtool("info --json " + dir.file("set") + " " + dir.file("fine/F.kov"), &code);
    ASSERT_EQ(code, 0) << lastError();
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    EXPECT_EQ(root["zone"].toInt(), 9) << out;
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

    const std::string text = kovtool("info " + dir.file("set"), &code);
    EXPECT_EQ(code, 0);
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
    int code = -1;
    const std::string out = kovtool("info --json " + utf8 + " " + sjis, &code);
    ASSERT_EQ(code, 0) << lastError();
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
    const std::string text = kovtool("info " + sjis, &code);
    EXPECT_NE(text.find("西/T.kov"), std::string::npos) << text;
    EXPECT_EQ(text.find("\x90\xbc"), std::string::npos);
}

TEST_F(KovtoolDataTest, ElevAnswersElevationWaterNoDataAndNone) {
    int code = -1;
    const std::string out = kovtool(
        "elev " + dir.file("set") + " " + dir.file("fine/F.kov") +
            " --at 102,213 --at 102,211 --at 101,207 --at 106,207 --at 121.5,201 --at 99,201"
            " --at=101,214",
        &code);
    ASSERT_EQ(code, 0) << lastError();
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
    EXPECT_EQ(kovtool("elev " + dir.file("fineFirst.kovv5") + " --at 102,213", &code),
              "102 213 55.50\n")
        << lastError();
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
    int code = -1;
    const std::string fromFiles = kovtool(elev + " --no-cache", &code);
    EXPECT_EQ(code, 0) << lastError();
    EXPECT_FALSE(std::filesystem::exists(dir.file("cache/kovview")));

    // The first run writes the entries, the second reads them: the same answers.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(kovtool(elev, &code), fromFiles);
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
    const std::string changedFiles = kovtool(elev + " --no-cache", &code);
    EXPECT_NE(changedFiles, fromFiles);
    EXPECT_EQ(kovtool(elev, &code), changedFiles);
    EXPECT_EQ(exitOf("cache --clear"), 0);
    EXPECT_EQ(cacheEntries(), "0");
    EXPECT_EQ(exitOf("cache stray"), 2);
}

}  // namespace
}  // namespace kov
