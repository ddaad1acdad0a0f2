// SPDX-License-Identifier: MIT
// The tile cache as kovtool uses it: --no-cache and kovtool cache [--clear].
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "cli/Kovtool.h"

namespace kov {
namespace {

class KovtoolCacheTest : public ::testing::Test, protected test::KovtoolRuns {
protected:
    void SetUp() override {
        test::TileSpec tile;
        tile.codes = {{10, 20, 30, 40}, {-9999, -1111, 50, 60}, {70, 80, 90, 100}};
        test::writeTile(tile, dir.file("set/Data/W.kov"), dir.file("set/Header/W.csv"));
        tile.xmin = 20.0;
        test::writeTile(tile, dir.file("set/Data/E.kov"), dir.file("set/Header/E.csv"));
    }
    std::string entries() {
        int code = -1;
        const std::string out = kovtool("cache", &code);
        EXPECT_EQ(code, 0) << lastError();
        const size_t at = out.find("entries: ");
        return at == std::string::npos ? out : out.substr(at + 9, out.find('\n', at) - at - 9);
    }
};

TEST_F(KovtoolCacheTest, NoCacheWritesNothingAndClearEmptiesTheCache) {
    int code = -1;
    const std::string fromFiles =
        kovtool("elev --no-cache '" + dir.file("set") + "' --at 22,12", &code);
    EXPECT_EQ(code, 0) << lastError();
    EXPECT_FALSE(std::filesystem::exists(dir.file("cache/kovview")));

    // The first run writes the entries, the second reads them: the same answers.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(kovtool("elev '" + dir.file("set") + "' --at 22,12", &code), fromFiles);
        EXPECT_EQ(lastError(), "");
        EXPECT_EQ(entries(), "2");
    }
    // A tile changed since the runs: read again, not taken from the index they wrote.
    test::TileSpec changed;
    changed.codes = {{11, 21, 31, 41}, {-9999, -1111, 51, 61}, {71, 81, 91, 101}};
    changed.xmin = 20.0;
    const std::string east = dir.file("set/Data/E.kov");
    const auto written = std::filesystem::last_write_time(east);
    test::writeTile(changed, east, dir.file("set/Header/E.csv"));
    std::filesystem::last_write_time(east, written + std::chrono::seconds(10));
    const std::string changedFiles =
        kovtool("elev --no-cache '" + dir.file("set") + "' --at 22,12", &code);
    EXPECT_NE(changedFiles, fromFiles);
    EXPECT_EQ(kovtool("elev '" + dir.file("set") + "' --at 22,12", &code), changedFiles);
    EXPECT_EQ(exitOf("cache --clear"), 0);
    EXPECT_EQ(entries(), "0");
    EXPECT_EQ(exitOf("cache stray"), 2);
}

}  // namespace
}  // namespace kov
