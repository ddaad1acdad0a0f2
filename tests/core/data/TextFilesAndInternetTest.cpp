// SPDX-License-Identifier: MIT
// Text scanning and codecs, and the file service with local and internet paths (the latter
// against a server on 127.0.0.1).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "core/base/TextCodec.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "core/data/InternetFetch.h"
#include "core/data/ZarVeyMesh5.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

TEST(TextScan, LinesDropTheirTerminatorAndSplitPastTheLimit) {
    std::vector<std::string> lines;
    forEachLine("a\r\nbb\n\nccccc\r\nend", 3, [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "bb", "", "ccc", "cc", "end"}));
}

TEST(TextScan, NumbersReadLikeTheCLibraryWithoutLocaleOrSpecialForms) {
    const std::pair<const char*, double> cases[] = {
        {"-3412.5cm", -3412.5}, {".5", 0.5},  {"1e3", 1000.0}, {"2e", 2.0}, {"1,5", 1.0},
        {"nan", 0.0},           {"inf", 0.0}, {"0x10", 0.0},   {"-", 0.0},  {"1e999", HUGE_VAL}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseLeadingDouble(text), value) << text;
}

TEST(TextCodec, Utf8StaysAndCp932Converts) {
    EXPECT_TRUE(isValidUtf8("標高 abc"));
    for (const char* bad : {"\x83\x54", "\xC0\xAF", "\xED\xA0\x80", "\xE6\xA8"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;  // Shift_JIS, overlong, surrogate, cut
    EXPECT_EQ(legacyTextToUtf8("標高"), "標高");
    EXPECT_EQ(legacyTextToUtf8("\x95\x57\x8d\x82"), "標高");
    EXPECT_EQ(legacyTextToUtf8("\xb1\xb2"), "ｱｲ") << "half-width katakana";
    EXPECT_EQ(legacyTextToUtf8("a\x83"), "a\xEF\xBF\xBD") << "a cut lead byte becomes U+FFFD";
    std::string sjis, back;
    ASSERT_TRUE(utf8ToCp932("無効領域", sjis));
    ASSERT_TRUE(cp932ToUtf8(sjis, back));
    EXPECT_EQ(back, "無効領域");
    EXPECT_FALSE(utf8ToCp932("😀", sjis)) << "no CP932 form";
}

TEST(FileService, OpensRegularFilesMatchesPathsWithoutCaseAndSaysWhyNot) {
    test::TempDir dir;
    test::writeFile(dir.file("Data/Tile.KOV"), "contents");
    auto file = openFile(dir.file("Data/Tile.KOV"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents(), "contents");
    EXPECT_EQ(findPathIgnoringCase(dir.file("data/tile.kov")), dir.file("Data/Tile.KOV"));
    EXPECT_EQ(findPathIgnoringCase(dir.file("DATA/other.kov")), "");
    // The same through a cache that lists each folder once, also where names differ only in
    // case: the one written wins.
    test::writeFile(dir.file("Data/tile.kov"), "lower");
    FolderListingCache cache;
    for (const char* name : {"tile.kov", "Tile.KOV"})
        EXPECT_EQ(findPathIgnoringCase(dir.file("DATA/") + name, &cache), dir.file("Data/") + name);
    EXPECT_EQ(findPathIgnoringCase(dir.file("DATA/other.kov"), &cache), "");

    // Refusals say why.
    std::string reason;
    EXPECT_EQ(openFile(dir.file("Data"), {}, &reason), nullptr);
    EXPECT_EQ(reason, "not a regular file");
    EXPECT_EQ(openFile(dir.file("none"), {}, &reason), nullptr);
    EXPECT_EQ(reason, "No such file or directory");
    // A file reached through a link keeps the link's name and folder.
    std::filesystem::create_directories(dir.file("linked"));
    std::filesystem::create_symlink(dir.file("Data/Tile.KOV"), dir.file("linked/L.kov"));
    const auto linked = openFile(dir.file("linked/../linked/L.kov"));
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->fullPath(), dir.file("linked/L.kov"));
}

class InternetPathTest : public ::testing::Test {
protected:
    void SetUp() override { saved = getFetchLimits(); }
    void TearDown() override { setFetchLimits(saved); }
    FetchLimits saved;
    test::LocalHttpServer server;
};

TEST_F(InternetPathTest, TileAndItsSiblingHeaderAreFetched) {
    test::TileSpec tile;
    tile.xmin = 300.0;
    tile.codes = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    server.put("/set/Data/T.kov", test::dataText(tile));
    server.put("/set/Header/T.csv", test::headerText(tile));
    ZarVeyMesh5 mesh;
    const std::string url = server.url("/set/Data/T.kov");
    ASSERT_EQ(mesh.Load(url), 1);
    EXPECT_EQ(std::tuple(mesh.path, mesh.xmin, mesh.cell(0, 2)), std::tuple(url, 300.0, 1));
    EXPECT_EQ(server.requestCount(), 3) << "data, header beside (404), header in ../Header";
}

TEST_F(InternetPathTest, FailedFetchesAreFilesThatCannotBeOpened) {
    server.put("/big", std::string(5000, 'x'));
    std::string reason;
    EXPECT_EQ(openFile(server.url("/missing.kov"), {}, &reason), nullptr);
    EXPECT_EQ(reason, "HTTP status 404");

    FetchLimits tight = saved;
    tight.maxBytes = 4000;
    tight.stallSeconds = 1;
    setFetchLimits(tight);
    EXPECT_EQ(openFile(server.url("/big"), {}, &reason), nullptr) << "larger than allowed";
    EXPECT_EQ(reason, "larger than the limit of 4000 bytes");

    server.stall("/slow.kov");
    EXPECT_EQ(openFile(server.url("/slow.kov")), nullptr) << "a stalled transfer times out";

    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.Load("http://127.0.0.1:1/T.kov"), 0) << "no server listening";
}

TEST_F(InternetPathTest, ATrickleEndsByTheTotalLimitAndACancelEndsAnyFetch) {
    using Clock = std::chrono::steady_clock;
    server.trickle("/trickle.kov", 60, 100);  // six seconds, never below the stall rule's rate
    FetchLimits limits = saved;
    limits.totalSeconds = 1;
    setFetchLimits(limits);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(openFile(server.url("/trickle.kov")), nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));

    setFetchLimits(saved);
    server.trickle("/long.kov", 1000, 100);
    int asked = 0;
    setFetchCancelCheck([&asked] { return ++asked == 3; });  // Esc after a few looks
    start = Clock::now();
    EXPECT_EQ(openFile(server.url("/long.kov")), nullptr);
    setFetchCancelCheck({});
    EXPECT_EQ(asked, 3);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    // The fetches of one load share its time: once it is used up, the next asks nothing.
    limits.totalSeconds = 600;
    limits.loadSeconds = 1;
    setFetchLimits(limits);
    const FetchLoadScope load;
    EXPECT_EQ(openFile(server.url("/trickle.kov")), nullptr);
    const int requests = server.requestCount();
    std::string reason;
    EXPECT_EQ(openFile(server.url("/trickle.kov"), {}, &reason), nullptr);
    EXPECT_NE(reason.find("used up"), std::string::npos) << reason;
    EXPECT_EQ(server.requestCount(), requests);
}

// The peak of resident memory (kB) since it was last reset, and the resident memory now.
int64_t statusKb(const char* key) {
    const std::string status = test::readFile("/proc/self/status");
    const size_t at = status.find(key);
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + std::strlen(key) + 1);
}

// Resets the peak of resident memory; false where that cannot be done.
bool resetPeakMemory() {
    std::FILE* reset = std::fopen("/proc/self/clear_refs", "w");
    return reset && std::fputs("5", reset) >= 0 && std::fclose(reset) == 0;
}

TEST_F(InternetPathTest, TheBodyIsHeldOnceAndNothingIsHeldForWhatIsOnlyAnnounced) {
    constexpr int64_t kSize = int64_t{64} << 20;
    server.put("/big.tif", std::string(kSize, 'k'));
    if (!resetPeakMemory()) GTEST_SKIP() << "the peak of resident memory cannot be reset here";
    int64_t before = statusKb("VmRSS:");
    const auto file = openFile(server.url("/big.tif"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents().size(), static_cast<size_t>(kSize));
    const int64_t grown = statusKb("VmHWM:") - before;
    EXPECT_LT(grown, kSize / 1024 * 5 / 4) << "kB; the body is " << kSize / 1024 << " kB";

    // A server that announces 512 MB and sends three bytes costs no more than those.
    server.stall("/claims.kov", int64_t{512} << 20);
    ASSERT_TRUE(resetPeakMemory());
    before = statusKb("VmRSS:");
    int asked = 0;
    setFetchCancelCheck([&asked] { return ++asked == 3; });
    EXPECT_EQ(openFile(server.url("/claims.kov")), nullptr);
    setFetchCancelCheck({});
    EXPECT_LT(statusKb("VmHWM:") - before, 16 << 10) << "kB";
}

}  // namespace
}  // namespace kov
