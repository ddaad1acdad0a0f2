// SPDX-License-Identifier: MIT
#include <cpl_minixml.h>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <filesystem>

#include "core/data/gis/GisRaster.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// The sidecars GDAL itself writes for a PNG placed on p.
void writeGdalSidecars(const RasterPlacement& p, const std::string& png) {
    OGRSpatialReference srs;
    ASSERT_EQ(srs.importFromEPSG(p.epsg), OGRERR_NONE);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    CPLXMLNode* root = CPLCreateXMLNode(nullptr, CXT_Element, "PAMDataset");
    CPLXMLNode* node = CPLCreateXMLElementAndValue(root, "SRS", wkt);
    CPLAddXMLAttributeAndValue(node, "dataAxisToSRSAxisMapping", "1,2");
    EXPECT_TRUE(CPLSerializeXMLTreeToFile(root, (png + ".aux.xml").c_str()));
    CPLDestroyXMLNode(root);
    CPLFree(wkt);
    double gt[6] = {p.west, p.cellWidth, 0.0, p.north, 0.0, -p.cellHeight};
    EXPECT_TRUE(GDALWriteWorldFile(png.c_str(), "pgw", gt));
}

// Every zone of the three datums (from the table made at build time) and a system outside it
// (asked of the GDAL module): the world file and .aux.xml are GDAL's, byte for byte.
TEST(ImageGeoreference, SidecarsAreThoseGdalWritesByteForByte) {
    const test::TempDir dir;
    std::vector<int> codes = {3857};
    for (const auto& [first, last] : {std::pair{2443, 2461}, {6669, 6687}, {30161, 30179}})
        for (int code = first; code <= last; ++code)
            codes.push_back(code);
    for (const int epsg : codes) {
        SCOPED_TRACE(epsg);
        const RasterPlacement p{400, 300, -12345.5, 67890.0625, 2.5, 1.0 / 3.0, epsg};
        std::string error;
        ASSERT_TRUE(writeGeoreferencedPng("picture", p, dir.file("ours.png"), &error)) << error;
        writeGdalSidecars(p, dir.file("gdal.png"));
        EXPECT_EQ(test::readFile(dir.file("ours.png.aux.xml")),
                  test::readFile(dir.file("gdal.png.aux.xml")));
        EXPECT_EQ(test::readFile(dir.file("ours.pgw")), test::readFile(dir.file("gdal.pgw")));
    }
    std::string error;
    EXPECT_FALSE(
        writeGeoreferencedPng("picture", {4, 3, 0, 0, 1, 1, 1}, dir.file("x.png"), &error));
    EXPECT_NE(error.find("EPSG:1"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.png"))) << "nothing without its companions";
    // Through a link the picture replaces the linked file; the companions lie beside the link.
    std::filesystem::create_symlink("real.png", dir.file("link.png"));
    ASSERT_TRUE(
        writeGeoreferencedPng("picture", {4, 3, 0, 0, 1, 1, 6677}, dir.file("link.png"), &error))
        << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.png")));
    EXPECT_EQ(test::readFile(dir.file("real.png")), "picture");
    EXPECT_TRUE(std::filesystem::exists(dir.file("link.pgw")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("link.png.aux.xml")));
}

}  // namespace
}  // namespace kov
