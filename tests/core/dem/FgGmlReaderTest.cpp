// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/TextCodec.h"
#include "core/data/dem/FgGmlReader.h"
#include "sample/SampleFgGml.h"

namespace kov {
namespace {

using sample::FgGmlCell;
using sample::FgGmlDocument;

// A 4 x 3 grid whose list starts at cell (1, 0) and ends two cells early.
FgGmlDocument smallDocument() {
    FgGmlDocument document;
    document.cols = 4;
    document.rows = 3;
    document.envelope = {35.0, 139.0, 35.003, 139.004};
    document.startX = 1;
    document.cells = {{"地表面", 12.34},   {"表層面", -0.5},   {"その他", 100.25},
                      {"海水面", -9999.0}, {"内水面", 3.0},    {"データなし", 7.0},
                      {"地表面", -9999.0}, {"地表面", 1234.5}, {"地表面", 0.004}};
    return document;
}

// Replaces the first occurrence of from in text.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(FgGmlReader, PlacesCellsFromTheStartPointAndFillsTheRestWithNoData) {
    // Four decimals round half away from zero.
    const std::string text =
        replaced(sample::fgGmlDemText(smallDocument()), "1234.50", "-123.4565");
    // Through libxml2 alone too: a comment inside the list leaves the fast route.
    const std::string commented = replaced(text, "<gml:tupleList>", "<gml:tupleList><!-- -->");
    const std::vector<int32_t> expected = {MESH_NODATA, 12340,      -500,        100250,
                                           MESH_WATER,  MESH_WATER, MESH_NODATA, MESH_NODATA,
                                           -123457,     0,          MESH_NODATA, MESH_NODATA};
    // A list's tags inside a comment are no list: the fast route must not take them for one.
    const std::string decoy =
        replaced(text, "<DEM ", "<!-- <gml:tupleList>地表面,1</gml:tupleList> --><DEM ");
    for (const std::string& document : {text, commented, decoy}) {
        GeoGrid grid;
        std::string error;
        ASSERT_TRUE(readFgGmlDem(document, grid, &error)) << error;
        EXPECT_EQ(grid.codes, expected);
        EXPECT_EQ(std::tuple(grid.counts.ground, grid.counts.water, grid.counts.noData, grid.kind,
                             grid.nominalSpacing, grid.west),
                  std::tuple(5, 2, 5, "FG-GML DEM5", 5.0, 139.0));
        EXPECT_DOUBLE_EQ(grid.north, 35.003);
        EXPECT_NEAR(grid.stepX, 0.001, 1e-12);
        EXPECT_NEAR(grid.stepY, 0.001, 1e-12);
    }
}

std::string inShiftJis(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(utf8ToCp932(utf8, out));
    return out;
}

// The encoding the document declares decides what its bytes say, on the fast route too.
TEST(FgGmlReader, ReadsTheDeclaredEncoding) {
    const std::string text = sample::fgGmlDemText(smallDocument());
    GeoGrid utf8, shiftJis, latin1;
    std::string error;
    ASSERT_TRUE(readFgGmlDem(text, utf8, &error)) << error;
    const std::string declared = replaced(text, "UTF-8", "Shift_JIS");
    ASSERT_TRUE(readFgGmlDem(inShiftJis(declared), shiftJis, &error)) << error;
    EXPECT_EQ(shiftJis.codes, utf8.codes);
    // UTF-8 bytes read as Latin-1 are no cell types.
    EXPECT_FALSE(readFgGmlDem(replaced(text, "UTF-8", "ISO-8859-1"), latin1, &error));
    EXPECT_NE(error.find("unknown cell type"), std::string::npos) << error;
}

TEST(FgGmlReader, TakesTheDatumFromTheSrsName) {
    struct Case {
        const char* srsName;
        int epsg;
        const char* datum;
        const char* crsName;
    } cases[] = {
        {"fguuid:jgd2000.bl", 4612, "JGD2000", "JGD2000 (latitude, longitude)"},
        {"fguuid:jgd2011.bl", 6668, "JGD2011", "JGD2011 (latitude, longitude)"},
        {"fguuid:jgd2024.bl", 6668, "JGD2024", "JGD2011 (latitude, longitude)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.srsName);
        FgGmlDocument document = smallDocument();
        document.srsName = c.srsName;
        GeoGrid grid;
        ASSERT_TRUE(readFgGmlDem(sample::fgGmlDemText(document), grid, nullptr));
        EXPECT_TRUE(grid.crs.geographic);
        EXPECT_EQ(std::tuple(grid.crs.epsg, grid.datumName, grid.crs.name),
                  std::tuple(c.epsg, c.datum, c.crsName));
    }
}

TEST(FgGmlReader, RefusesDamageWithAReasonAndLeavesTheGridAlone) {
    const std::string good = sample::fgGmlDemText(smallDocument());
    FgGmlDocument longer = smallDocument();
    longer.cells.resize(12, {"地表面", 1.0});
    FgGmlDocument outside = smallDocument();
    outside.envelope = {50.0, 139.0, 50.003, 139.004};
    const std::string badValue = replaced(good, "1234.50", "12e");
    const auto lineOfBadValue =
        1 + std::count(good.begin(), good.begin() + good.find("1234.50"), '\n');
    struct Case {
        const char* what;
        std::string text;
        std::string reason;
    } cases[] = {
        {"cut off", good.substr(0, good.size() - 40), "malformed XML"},
        {"unclosed tag", replaced(good, "</mesh>", "</mash>"), "malformed XML at line"},
        {"unknown datum", replaced(good, "jgd2011.bl", "tokyo.bl"), "fguuid:tokyo.bl"},
        {"list longer than the grid", sample::fgGmlDemText(longer), "longer than the grid"},
        {"value not a number", replaced(good, "-0.50", "-0.5x"), "\"-0.5x\" is not a number"},
        {"the bad value's line", badValue, "at line " + std::to_string(lineOfBadValue)},
        {"unknown type", replaced(good, "表層面", "表層"), "unknown cell type"},
        {"outside Japan", sample::fgGmlDemText(outside), "not in Japan"},
        {"10^9 cells", replaced(good, "<gml:high>3 2", "<gml:high>99999 9999"),
         "larger than 16777216 cells"},
        {"start point off the grid", replaced(good, "<gml:startPoint>1 0", "<gml:startPoint>4 0"),
         "not a cell"},
        {"document type",
         replaced(good, "<Dataset", "<!DOCTYPE Dataset [<!ENTITY a \"b\">]>\n<Dataset"),
         "document type declaration"},
        {"not FG-GML", "<?xml version=\"1.0\"?><root/>", "not an FG-GML document"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeoGrid grid;
        grid.kind = "untouched";
        std::string error;
        EXPECT_FALSE(readFgGmlDem(c.text, grid, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(grid.kind, "untouched");
    }
}

// A 1 m file is larger than the parser's first piece: the list is cut between pieces.
TEST(FgGmlReader, ReadsAOneMetreFileOnBothRoutes) {
    FgGmlDocument document;
    document.demType = "1A";
    document.cols = 1125;
    document.rows = 750;
    document.startX = 17;
    auto terrain = [](double lat, double lon) {
        return FgGmlCell{"地表面", std::round((lat - 35) * 1e6 + (lon - 139) * 1e5) / 100};
    };
    document.cells = sample::terrainCells(document, terrain, 800000);
    const std::string text = sample::fgGmlDemText(document);
    const std::string commented = replaced(text, "<gml:tupleList>", "<gml:tupleList><!-- -->");
    GeoGrid fast, full;
    std::string error;
    ASSERT_TRUE(readFgGmlDem(text, fast, &error)) << error;
    ASSERT_TRUE(readFgGmlDem(commented, full, &error)) << error;
    EXPECT_EQ(fast.codes, full.codes);
    ASSERT_EQ(fast.codes.size(), 1125u * 750);
    EXPECT_EQ(std::tuple(fast.kind, fast.nominalSpacing, fast.counts.ground),
              std::tuple("FG-GML DEM1", 1.0, 800000));
    const int col = 500, row = 300;
    const FgGmlCell cell =
        terrain(fast.north - (row + 0.5) * fast.stepY, fast.west + (col + 0.5) * fast.stepX);
    EXPECT_EQ(fast.code(col, row), std::lround(cell.metres * 1000));
    EXPECT_EQ(fast.code(16, 0), MESH_NODATA);
}

TEST(FgGmlReader, ReadsTheHeaderFromTheFirstKilobytes) {
    FgGmlDocument document;
    document.cells = sample::terrainCells(document, [](double, double) {
        return FgGmlCell{"地表面", 1};
    });
    const std::string text = sample::fgGmlDemText(document);
    const std::string head = text.substr(0, 4096);
    ASSERT_LT(head.size(), text.size());
    EXPECT_TRUE(looksLikeFgGmlDem(head));
    EXPECT_FALSE(looksLikeFgGmlDem("<?xml version=\"1.0\"?><Dataset><DEM/></Dataset>"));
    FgGmlHeader header;
    std::string error;
    ASSERT_TRUE(readFgGmlHeader(head, header, &error)) << error;
    EXPECT_EQ(std::tuple(header.meshCode, header.demType, header.datumName, header.cols,
                         header.rows, header.south),
              std::tuple(document.meshCode, "5", "JGD2011", 225, 150, 35.0));
    EXPECT_DOUBLE_EQ(header.east, 139.0125);
    EXPECT_FALSE(readFgGmlHeader(replaced(head, "jgd2011", "wgs84"), header, &error));
    EXPECT_NE(error.find("fguuid:wgs84.bl"), std::string::npos) << error;
    EXPECT_FALSE(readFgGmlHeader(text.substr(0, 600), header, &error));

    EXPECT_EQ(std::tuple(fgGmlDemTypeOfName("FG-GML-5339-45-28-DEM5A-20161001.xml"),
                         fgGmlDemTypeOfName("FG-GML-533945-DEM10B-20090201.xml"),
                         fgGmlDemTypeOfName("FG-GML-533945-ALL-20090201.xml")),
              std::tuple("5A", "10B", ""));
}

TEST(SampleFgGml, MeshCodesGiveTheirSquares) {
    struct Case {
        const char* code;
        sample::MeshEnvelope expected;
    } cases[] = {
        {"5339", {35.0 + 20.0 / 60, 139.0, 36.0, 140.0}},
        {"533945", {35.0 + 40.0 / 60, 139.625, 35.75, 139.75}},
        {"53394528", {35.0 + 41.0 / 60, 139.725, 35.0 + 41.5 / 60, 139.7375}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        sample::MeshEnvelope e;
        ASSERT_TRUE(sample::meshEnvelope(c.code, e));
        EXPECT_NEAR(e.south, c.expected.south, 1e-12);
        EXPECT_NEAR(e.west, c.expected.west, 1e-12);
        EXPECT_NEAR(e.north, c.expected.north, 1e-12);
        EXPECT_NEAR(e.east, c.expected.east, 1e-12);
    }
    sample::MeshEnvelope e;
    EXPECT_FALSE(sample::meshEnvelope("533985", e));  // a second mesh has rows 0..7
    EXPECT_FALSE(sample::meshEnvelope("53394", e));
}

}  // namespace
}  // namespace kov
