// Internet paths read through the file service, against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include "core/data/HxFile.h"
#include "core/data/InternetFetch.h"
#include "core/data/ZarVeyMesh5.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

class InternetPathTest : public ::testing::Test {
protected:
    void SetUp() override { saved = getFetchLimits(); }
    void TearDown() override { setFetchLimits(saved); }
    FetchLimits saved;
    test::LocalHttpServer server;
};

TEST(InternetPathRule, PrefixesInAnyCaseFromFiveCharacters) {
    EXPECT_TRUE(isInternetPath("http:"));
    EXPECT_TRUE(isInternetPath("HTTP://host/a.kov"));
    EXPECT_TRUE(isInternetPath("Ftp://host/a.kov"));
    EXPECT_TRUE(isInternetPath("https://host/a.kov"));
    EXPECT_FALSE(isInternetPath("ftp:"));
    EXPECT_FALSE(isInternetPath("http"));
    EXPECT_FALSE(isInternetPath("/data/http:/a.kov"));
    EXPECT_FALSE(isInternetPath("file:///a.kov"));
}

TEST_F(InternetPathTest, TileAndItsSiblingHeaderAreFetched) {
    test::TileSpec tile;
    tile.xmin = 300.0;
    tile.codes = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    server.put("/set/Data/T.kov", test::dataText(tile));
    server.put("/set/Header/T.csv", test::headerText(tile));
    ZarVeyMesh5 mesh;
    const std::string url = server.url("/set/Data/T.kov");
    ASSERT_EQ(mesh.Load(url), 1);
    EXPECT_EQ(mesh.path, url);
    EXPECT_DOUBLE_EQ(mesh.xmin, 300.0);
    EXPECT_EQ(mesh.cell(0, 2), 1);
    EXPECT_EQ(server.requestCount(), 3) << "data, header beside (404), header in ../Header";
}

TEST_F(InternetPathTest, FailedFetchesAreFilesThatCannotBeOpened) {
    server.put("/big", std::string(5000, 'x'));
    EXPECT_EQ(openFile(server.url("/missing.kov")), nullptr);
    auto file = openFile(server.url("/big"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents().size(), 5000u);

    FetchLimits tight = saved;
    tight.maxBytes = 4000;
    tight.stallSeconds = 1;
    setFetchLimits(tight);
    EXPECT_EQ(openFile(server.url("/big")), nullptr) << "larger than allowed";

    server.stall("/slow.kov");
    EXPECT_EQ(openFile(server.url("/slow.kov")), nullptr) << "a stalled transfer times out";

    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.Load("http://127.0.0.1:1/T.kov"), 0) << "no server listening";
}

}  // namespace
}  // namespace kov
