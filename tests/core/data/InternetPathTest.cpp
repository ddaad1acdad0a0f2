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
    void SetUp() override { saved = GetFetchLimits(); }
    void TearDown() override { SetFetchLimits(saved); }
    FetchLimits saved;
    test::LocalHttpServer server;
};

TEST(InternetPathRule, PrefixesInAnyCaseFromFiveCharacters) {
    EXPECT_TRUE(IsInternetPath("http:"));
    EXPECT_TRUE(IsInternetPath("HTTP://host/a.kov"));
    EXPECT_TRUE(IsInternetPath("Ftp://host/a.kov"));
    EXPECT_TRUE(IsInternetPath("https://host/a.kov"));
    EXPECT_FALSE(IsInternetPath("ftp:"));
    EXPECT_FALSE(IsInternetPath("http"));
    EXPECT_FALSE(IsInternetPath("/data/http:/a.kov"));
    EXPECT_FALSE(IsInternetPath("file:///a.kov"));
}

TEST_F(InternetPathTest, TileAndItsSiblingHeaderAreFetched) {
    test::TileSpec tile;
    tile.xmin = 300.0;
    tile.codes = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    server.Put("/set/Data/T.kov", test::dataText(tile));
    server.Put("/set/Header/T.csv", test::headerText(tile));
    ZarVeyMesh5 mesh;
    const std::string url = server.Url("/set/Data/T.kov");
    ASSERT_EQ(mesh.Load(url), 1);
    EXPECT_EQ(mesh.path, url);
    EXPECT_DOUBLE_EQ(mesh.xmin, 300.0);
    EXPECT_EQ(mesh.Cell(0, 2), 1);
    EXPECT_EQ(server.RequestCount(), 3) << "data, header beside (404), header in ../Header";
}

TEST_F(InternetPathTest, FailedFetchesAreFilesThatCannotBeOpened) {
    server.Put("/big", std::string(5000, 'x'));
    EXPECT_EQ(OpenFile(server.Url("/missing.kov")), nullptr);
    auto file = OpenFile(server.Url("/big"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Contents().size(), 5000u);

    FetchLimits tight = saved;
    tight.maxBytes = 4000;
    tight.stallSeconds = 1;
    SetFetchLimits(tight);
    EXPECT_EQ(OpenFile(server.Url("/big")), nullptr) << "larger than allowed";

    server.Stall("/slow.kov");
    EXPECT_EQ(OpenFile(server.Url("/slow.kov")), nullptr) << "a stalled transfer times out";

    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.Load("http://127.0.0.1:1/T.kov"), 0) << "no server listening";
}

}  // namespace
}  // namespace kov
