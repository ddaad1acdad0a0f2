#include "data/ZarVeyMesh5.h"

#include <gtest/gtest.h>

#include <functional>

#include "data/HxFile.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::TempDir;
using test::TileSpec;

TileSpec smallTile() {
    TileSpec t;
    t.cols = 4;
    t.rows = 3;
    t.xmin = -10000.0;
    t.ymin = -37500.0;
    t.codes = {{100, 200, 300, 400}, {-9999, -1111, 0, 5}, {7, 8, 9, 10}};  // north row first
    return t;
}

TEST(ZarVeyMesh5Read, HeaderAndRecordsFillTheGrid) {
    TempDir dir;
    const std::string path = dir.file("T1.kov");
    test::writeTile(smallTile(), path);
    ZarVeyMesh5 mesh;
    ASSERT_EQ(mesh.Load(path), 1);
    EXPECT_EQ(mesh.path, path);
    EXPECT_EQ(mesh.cols, 4);
    EXPECT_EQ(mesh.rows, 3);
    EXPECT_DOUBLE_EQ(mesh.cellSize, 5.0);
    EXPECT_DOUBLE_EQ(mesh.scale, 0.1);
    EXPECT_EQ(mesh.zone, 9);
    EXPECT_DOUBLE_EQ(mesh.xmin, -10000.0);
    EXPECT_DOUBLE_EQ(mesh.ymin, -37500.0);
    EXPECT_DOUBLE_EQ(mesh.xmax, -9980.0);
    EXPECT_DOUBLE_EQ(mesh.ymax, -37485.0);
    EXPECT_EQ(mesh.name, "tile");
    // Record row 1 is the northern row, stored as row rows - 1.
    EXPECT_EQ(mesh.Cell(0, 2), 100);
    EXPECT_EQ(mesh.Cell(3, 2), 400);
    EXPECT_EQ(mesh.Cell(0, 1), MESH_WATER);
    EXPECT_EQ(mesh.Cell(1, 1), MESH_NODATA);
    EXPECT_EQ(mesh.Cell(0, 0), 7);
    EXPECT_EQ(mesh.minRaw, 0);
    EXPECT_EQ(mesh.maxRaw, 400);
    double z = 0;
    ASSERT_EQ(mesh.GetElevation(-9999.0, -37499.0, z), 1);
    EXPECT_DOUBLE_EQ(z, 0.7);
}

TEST(ZarVeyMesh5Read, HeaderIsSearchedBesideThenInTheSiblingHeaderFolder) {
    TempDir dir;
    TileSpec beside = smallTile();
    TileSpec sibling = smallTile();
    sibling.xmin = 5000.0;
    test::writeTile(sibling, dir.file("Data/T1.kov"), dir.file("Header/T1.csv"));
    ZarVeyMesh5 fromSibling;
    ASSERT_EQ(fromSibling.Load(dir.file("Data/T1.kov")), 1);
    EXPECT_DOUBLE_EQ(fromSibling.xmin, 5000.0);

    test::writeFile(dir.file("Data/T1.csv"), test::headerText(beside));
    ZarVeyMesh5 fromBeside;
    ASSERT_EQ(fromBeside.Load(dir.file("Data/T1.kov")), 1);
    EXPECT_DOUBLE_EQ(fromBeside.xmin, -10000.0) << "the header beside the data file wins";

    test::writeFile(dir.file("Lone/T2.kov"), test::dataText(beside));
    ZarVeyMesh5 headless;
    EXPECT_EQ(headless.Load(dir.file("Lone/T2.kov")), 0);
    EXPECT_EQ(headless.path, dir.file("Lone/T2.kov"));

    ZarVeyMesh5 missing;
    EXPECT_EQ(missing.Load(dir.file("Nowhere/T3.kov")), 0);
    EXPECT_EQ(missing.path, "") << "path is kept unchanged when the data file cannot be opened";
}

TEST(ZarVeyMesh5Read, HeaderFoundWhenOnlyLetterCaseDiffers) {
    TempDir dir;
    test::writeTile(smallTile(), dir.file("DATA/t1.kov"), dir.file("HEADER/T1.CSV"));
    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.Load(dir.file("DATA/t1.kov")), 1);
}

TEST(ZarVeyMesh5Read, HeaderRejections) {
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    auto replaceValue = [](std::string& header, int n, const std::string& value) {
        const std::string label = "item" + std::to_string(n) + ",";
        const size_t at = header.find(label);
        const size_t end = header.find('\n', at);
        header.replace(at + label.size(), end - at - label.size(), value);
    };
    const std::vector<Case> cases = {
        {"20 lines", [](std::string& h) { h.resize(h.rfind("item21")); }},
        {"unequal cell sizes", [&](std::string& h) { replaceValue(h, 6, "5.01"); }},
        {"zero cell size",
         [&](std::string& h) { replaceValue(h, 5, "0"), replaceValue(h, 6, "0"); }},
        {"cell size over 1000",
         [&](std::string& h) { replaceValue(h, 5, "1000.5"), replaceValue(h, 6, "1000.5"); }},
        {"no columns", [&](std::string& h) { replaceValue(h, 3, "0"); }},
        {"negative rows", [&](std::string& h) { replaceValue(h, 4, "-3"); }},
        {"unallocatable grid",
         [&](std::string& h) {
             replaceValue(h, 3, "2000000000"), replaceValue(h, 4, "2000000000");
         }},
        {"not a number",
         [&](std::string& h) { replaceValue(h, 5, "nan"), replaceValue(h, 6, "nan"); }},
    };
    const std::string data = test::dataText(smallTile());
    for (const Case& c : cases) {
        std::string header = test::headerText(smallTile());
        c.damage(header);
        ZarVeyMesh5 mesh;
        EXPECT_EQ(mesh.ReadTileFiles(header, data), 0) << c.what;
    }
    std::string header = test::headerText(smallTile());
    replaceValue(header, 6, "5.0000");
    ZarVeyMesh5 numericallyEqual;
    EXPECT_EQ(numericallyEqual.ReadTileFiles(header, data), 1);
    replaceValue(header, 5, "1000");
    replaceValue(header, 6, "1000.0");
    ZarVeyMesh5 largest;
    EXPECT_EQ(largest.ReadTileFiles(header, data), 1);
}

TEST(ZarVeyMesh5Read, RecordRules) {
    const std::string header = test::headerText(smallTile());
    ZarVeyMesh5 mesh;
    // Row 2 twice (the later wins), row 0 and row 4 ignored, row 3 never mentioned,
    // a short record, a blank field and a field cut by the line end.
    const std::string data =
        "ABCDEF   2  100  200  300  400\n"
        "ABCDEF   0  900  900  900  900\n"
        "ABCDEF   4  900  900  900  900\n"
        "ABCDEF   2   11       -22  3\r\n"
        "ABCDEF   1   42\n";
    ASSERT_EQ(mesh.ReadTileFiles(header, data), 1);
    EXPECT_EQ(mesh.Cell(0, 1), 11);
    EXPECT_EQ(mesh.Cell(1, 1), 0) << "a blank field is code 0";
    EXPECT_EQ(mesh.Cell(2, 1), -22);
    EXPECT_EQ(mesh.Cell(3, 1), 3) << "a field cut by the line end reads what is there";
    EXPECT_EQ(mesh.Cell(0, 2), 42);
    EXPECT_EQ(mesh.Cell(1, 2), MESH_NODATA) << "fields past a short record are no data";
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(mesh.Cell(c, 0), MESH_NODATA) << "unmentioned row";
    EXPECT_EQ(mesh.minRaw, -22);
    EXPECT_EQ(mesh.maxRaw, 400) << "an overwritten record still counted when it was read";
}

TEST(ZarVeyMesh5Read, WaterOnlyTileKeepsZeroMinMax) {
    TileSpec t = smallTile();
    for (auto& row : t.codes)
        row.assign(4, -9999);
    t.codes[1][2] = -1111;
    ZarVeyMesh5 mesh;
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(t), test::dataText(t)), 1);
    EXPECT_EQ(mesh.minRaw, 0);
    EXPECT_EQ(mesh.maxRaw, 0);
    EXPECT_EQ(mesh.Cell(2, 1), MESH_NODATA);
}

TEST(ZarVeyMesh5Read, CrLfFilesAndOverlongLines) {
    TileSpec t = smallTile();
    t.lineEnd = "\r\n";
    ZarVeyMesh5 mesh;
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(t), test::dataText(t)), 1);
    EXPECT_EQ(mesh.Cell(3, 2), 400);
    EXPECT_DOUBLE_EQ(mesh.xmax, -9980.0);

    // A record line past 262143 characters continues as another record.
    std::string longLine = "ABCDEF   1" + std::string(262143 - 10, '1') + "ABCDEF   3  555";
    ZarVeyMesh5 split;
    ASSERT_EQ(split.ReadTileFiles(test::headerText(smallTile()), longLine), 1);
    EXPECT_EQ(split.Cell(0, 0), 555);
}

TEST(ZarVeyMesh5Fields, FixedWidthIntegerRule) {
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("  123"), 123);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt(" -12"), -12);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("12 34"), 12);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("     "), 0);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("1-2"), 1);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("x 7y"), 7);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt("--5"), -5);
    EXPECT_EQ(ZarVeyMesh5::ParseFixedInt(""), 0);
}

TEST(ZarVeyMesh5Header, CsvValuesAndDisplayName) {
    const std::string header =
        "a,1\n"
        "\n"                                  // a blank line still counts
        "  b ,\t \"q,\"\"x\"\" y\" tail,z\n"  // quoted with comma and doubled quote
        "only-a-label\n"
        "\x96\xbc,\x83\x54\x83\x93\x83\x76\x83\x8b\r\n";  // Shift_JIS "サンプル"
    const auto values = ZarVeyMesh5::ReadHeaderValues(header);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values[0], "");
    EXPECT_EQ(values[1], "1");
    EXPECT_EQ(values[2], "");
    EXPECT_EQ(values[3], "q,\"x\" y");
    EXPECT_EQ(values[4], "");
    EXPECT_EQ(values[5], "\x83\x54\x83\x93\x83\x76\x83\x8b");

    TileSpec sjis = smallTile();
    sjis.name = "\x83\x54\x83\x93\x83\x76\x83\x8b 09LD351";
    ZarVeyMesh5 mesh;
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(sjis), test::dataText(sjis)), 1);
    EXPECT_EQ(mesh.name, "サンプル 09LD351");
    TileSpec utf8 = smallTile();
    utf8.name = "標高 タイル";
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(utf8), test::dataText(utf8)), 1);
    EXPECT_EQ(mesh.name, "標高 タイル");
}

}  // namespace
}  // namespace kov
