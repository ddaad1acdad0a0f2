// SPDX-License-Identifier: MIT
#include "core/data/ZarVeyMesh5.h"
#include "support/MeshFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace kov {
namespace {

using test::TempDir;
using test::TileSpec;

TileSpec smallTile() {
    TileSpec t;
    t.xmin = -10000.0;
    t.ymin = -37500.0;
    t.codes = {{100, 200, 300, 400}, {-9999, -1111, 0, 5}, {7, 8, 9, 10}};  // north row first
    return t;
}

// The header text with value n replaced.
std::string headerWith(std::vector<std::pair<int, std::string>> changes) {
    std::string header = test::headerText(smallTile());
    for (const auto& [n, value] : changes) {
        const std::string label = "item" + std::to_string(n) + ",";
        const size_t at = header.find(label) + label.size();
        header.replace(at, header.find('\n', at) - at, value);
    }
    return header;
}

// The sample data tests read whole tiles (extent, zone, Shift_JIS names, every cell, CR LF);
// these cases are the rules at the edges.
TEST(ZarVeyMesh5Read, HeaderIsSearchedBesideThenInTheSiblingHeaderFolderIgnoringCase) {
    TempDir dir;
    TileSpec sibling = smallTile();
    sibling.xmin = 5000.0;
    test::writeTile(sibling, dir.file("DATA/t1.kov"), dir.file("HEADER/T1.CSV"));
    ZarVeyMesh5 fromSibling, fromBeside, headless, missing;
    ASSERT_EQ(fromSibling.Load(dir.file("DATA/t1.kov")), 1);
    EXPECT_EQ(fromSibling.xmin, 5000.0);

    test::writeFile(dir.file("DATA/T1.Csv"), test::headerText(smallTile()));
    ASSERT_EQ(fromBeside.Load(dir.file("DATA/t1.kov")), 1);
    EXPECT_EQ(fromBeside.xmin, -10000.0) << "the header beside the data file wins";

    test::writeFile(dir.file("Lone/T2.kov"), test::dataText(smallTile()));
    EXPECT_EQ(headless.Load(dir.file("Lone/T2.kov")), 0);
    EXPECT_EQ(
        std::pair(headless.path, headless.errorText),
        std::pair(dir.file("Lone/T2.kov"),
                  std::string("its header T2.csv is found neither beside it nor in ../Header")));
    EXPECT_EQ(missing.Load(dir.file("Nowhere/T3.kov")), 0);
    // The path is kept unchanged when the data file cannot be opened.
    EXPECT_EQ(std::pair(missing.errorText, missing.path),
              std::pair(std::string("No such file or directory"), std::string()));

    // A tile reached through a link finds the header beside the link, not beside its target.
    test::writeFile(dir.file("store/blob.kov"), test::dataText(smallTile()));
    test::writeFile(dir.file("set/T4.csv"), test::headerText(smallTile()));
    std::filesystem::create_symlink(dir.file("store/blob.kov"), dir.file("set/T4.kov"));
    ZarVeyMesh5 mesh;
    ASSERT_EQ(mesh.Load(dir.file("set/T4.kov")), 1);
    EXPECT_EQ(mesh.cell(3, 2), 400);
}

TEST(ZarVeyMesh5Read, HeaderRejectionsSayWhy) {
    const std::string data = test::dataText(smallTile());
    const struct {
        std::vector<std::pair<int, std::string>> changes;
        const char* reason;
    } rejected[] = {
        {{{6, "5.01"}}, "not square"},
        {{{5, "0"}, {6, "0"}}, "cell size"},
        {{{5, "1000.5"}, {6, "1000.5"}}, "cell size"},
        {{{5, "nan"}, {6, "nan"}}, "cell size"},  // read as 0
        {{{3, "0"}}, "grid of 0 x 3"},
        {{{4, "-3"}}, "grid of 4 x -3"},
        {{{3, "2000000000"}, {4, "2000000000"}}, "cells"},  // cannot be allocated
        // A corner beyond the range of doubles would make an infinite extent.
        {{{18, "1e400"}}, "line 18"},
        {{{21, "-1e400"}}, "line 21"},
    };
    for (const auto& c : rejected) {
        ZarVeyMesh5 mesh;
        EXPECT_EQ(mesh.ReadTileFiles(headerWith(c.changes), data), 0) << c.changes[0].second;
        EXPECT_NE(mesh.errorText.find(c.reason), std::string::npos) << mesh.errorText;
    }
    std::string twentyLines = test::headerText(smallTile());
    twentyLines.resize(twentyLines.rfind("item21"));
    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.ReadTileFiles(twentyLines, data), 0);
    EXPECT_EQ(mesh.errorText, "the header has 20 lines, 21 are needed");
    EXPECT_EQ(mesh.ReadTileFiles(headerWith({{6, "5.0000"}}), data), 1) << "numerically equal";
    EXPECT_EQ(mesh.errorText, "");
    EXPECT_EQ(mesh.ReadTileFiles(headerWith({{5, "1000"}, {6, "1000.0"}}), data), 1);
}

TEST(ZarVeyMesh5Read, RecordRules) {
    ZarVeyMesh5 mesh;
    // Row 2 twice (the later wins; a blank field is code 0, a field cut by the line end reads
    // what is there), row 0 and row 4 ignored, row 3 never mentioned (no data), a short record
    // (no data past its end).
    const std::string data =
        "ABCDEF   2  100  200  300  400\n"
        "ABCDEF   0  900  900  900  900\n"
        "ABCDEF   4  900  900  900  900\n"
        "ABCDEF   2   11       -22  3\r\n"
        "ABCDEF   1   42\n";
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(smallTile()), data), 1);
    const int32_t N = MESH_NODATA;
    EXPECT_EQ(test::allCodes(mesh), (std::vector<int32_t>{N, N, N, N, 11, 0, -22, 3, 42, N, N, N}));
    // An overwritten record still counts.
    EXPECT_EQ(std::pair(mesh.minRaw, mesh.maxRaw), std::pair(-22, 400));
    // A small tile costs its 12 cells in 16 bits, not the reader's default 400 x 300 grid.
    EXPECT_EQ(mesh.memoryBytes(), 12 * 2);
    // Past 262143 characters a line is split: the rest is read as another record.
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(smallTile()),
                                 "ABCDEF   1" + std::string(262143 - 10, '1') + "ABCDEF   3  555"),
              1);
    EXPECT_EQ(mesh.cell(0, 0), 555);

    TileSpec water = smallTile();
    for (auto& row : water.codes)
        row.assign(4, -9999);
    ZarVeyMesh5 waterOnly;
    ASSERT_EQ(waterOnly.ReadTileFiles(test::headerText(water), test::dataText(water)), 1);
    EXPECT_EQ(std::pair(waterOnly.minRaw, waterOnly.maxRaw), std::pair(0, 0)) << "no valid cell";
}

TEST(ZarVeyMesh5Fields, FixedWidthIntegersAndCsvValues) {
    const std::pair<const char*, int> fields[] = {
        {"  123", 123}, {" -12", -12}, {"12 34", 12}, {"     ", 0},
        {"1-2", 1},     {"x 7y", 7},   {"--5", -5},
    };
    for (const auto& [field, value] : fields)
        EXPECT_EQ(ZarVeyMesh5::parseFixedInt(field), value) << field;

    const std::string header =
        "a,1\n"
        "\n"                                  // a blank line still counts
        "  b ,\t \"q,\"\"x\"\" y\" tail,z\n"  // quoted with comma and doubled quote
        "only-a-label\n";
    EXPECT_EQ(ZarVeyMesh5::ReadHeaderValues(header),
              (std::vector<std::string>{"", "1", "", "q,\"x\" y", ""}));
}

}  // namespace
}  // namespace kov
