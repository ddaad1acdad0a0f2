// SPDX-License-Identifier: MIT
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "support/SampleSuite.h"

namespace kov::test {
namespace {

namespace fs = std::filesystem;

class GisExportCommands : public SampleSetSuite {
protected:
    static void SetUpTestSuite() {
        SampleSetSuite::SetUpTestSuite();
        GDALAllRegister();
    }
    static std::string data() { return dir->file("Data"); }
    static GDALDatasetUniquePtr open(const std::string& path) {
        return GDALDatasetUniquePtr(
            GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    }
};

TEST_F(GisExportCommands, BadRequestsFailWithTheirExitCodeAndLeaveNoFile) {
    const fs::path out = dir->file("out");
    fs::create_directories(out);
    struct Case {
        std::string args;
        int exit;
        const char* says;
    };
    const Case cases[] = {
        {"export " + data() + " -o " + (out / "x.png").string(), 2, "cannot write this format"},
        {"export " + data() + " --rect 0,0,100,100 -o " + (out / "x.tif").string(), 1,
         "outside the data"},
        {"export " + data() + " -o /nonexistent/x.tif", 1, "cannot write"},
        {"contour " + data() + " --interval 0 -o " + (out / "c.gpkg").string(), 2, "--interval"},
        {"contour " + data() + " --interval 5 -o " + (out / "c.dxf").string(), 2,
         "cannot write this format"},
        {"contour " + data() + " --interval 0.0001 -o " + (out / "c.gpkg").string(), 2, "vertices"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(exitOf(c.args), c.exit);
        EXPECT_NE(lastError().find(c.says), std::string::npos) << lastError();
        EXPECT_TRUE(fs::is_empty(out));
    }
}

// Without the GDAL module (no such file, or a file that is not one) a rendered PNG is still
// written and placed; what needs GDAL fails with one line that says so.
TEST_F(GisExportCommands, WithoutTheGdalModuleOnlyWhatNeedsItFailsInOneLine) {
    const std::string notALibrary = dir->file("notgdal.so");
    writeFile(notALibrary, "not a library\n");
    for (const std::string& module : {dir->file("nowhere/libkovgdal.so"), notALibrary}) {
        SCOPED_TRACE(module);
        setenv("KOV_GDAL_MODULE", module.c_str(), 1);
        EXPECT_EQ(exitOf("render " + data() + " --size 40x30 -q -o " + dir->file("bare.png")), 0)
            << lastError();
        EXPECT_TRUE(fs::exists(dir->file("bare.png.aux.xml")) && fs::exists(dir->file("bare.pgw")));
        for (const std::string& args :
             {"export " + data() + " -o " + dir->file("e.tif"), "info --json " + data(),
              "contour " + data() + " --interval 5 -o " + dir->file("e.gpkg")}) {
            SCOPED_TRACE(args);
            EXPECT_EQ(exitOf(args), 1);
            const std::string said = lastError();
            EXPECT_NE(said.find("cannot load GDAL"), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        }
        EXPECT_FALSE(fs::exists(dir->file("e.tif")) || fs::exists(dir->file("e.gpkg")));
    }
    unsetenv("KOV_GDAL_MODULE");
}

// GDAL's messages (here libtiff's, which GDAL takes over) pass the program's filter from inside
// the module: dropped, or as "kovtool: GDAL: ..." lines with KOV_LIBRARY_MESSAGES set.
TEST_F(GisExportCommands, GdalMessagesPassTheProgramsFilter) {
    const std::string damaged = dir->file("damaged.tif");
    writeFile(damaged, std::string("II*\0garbage after the header", 29));
    EXPECT_EQ(exitOf("info " + damaged), 1);
    const std::string quiet = lastError();
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), '\n'), 1) << quiet;
    setenv("KOV_LIBRARY_MESSAGES", "1", 1);
    EXPECT_EQ(exitOf("info " + damaged), 1);
    unsetenv("KOV_LIBRARY_MESSAGES");
    EXPECT_NE(lastError().find("kovtool: GDAL: "), std::string::npos) << lastError();
}

// The requested rectangle has the picture's proportions and lies on the 5 m cells, so the map
// shows it: 2.5 m a pixel, to the view's rounding of its edges (millimetres).
constexpr double kViewRounding = 0.005;

TEST_F(GisExportCommands, RenderedMapsArePlacedOnTheirRectangle) {
    const std::string rect = " --rect -9000,-35500,-8000,-35000 --size 400x200 --dpi 300 -q -o ";
    ASSERT_EQ(exitOf("render " + data() + rect + dir->file("map.png")), 0) << lastError();
    ASSERT_EQ(exitOf("render " + data() + rect + dir->file("map.tif")), 0) << lastError();
    // GDAL places the PNG by its world file and the TIFF by its own tags.
    for (const char* name : {"map.png", "map.tif"}) {
        SCOPED_TRACE(name);
        const GDALDatasetUniquePtr map = open(dir->file(name));
        ASSERT_TRUE(map);
        double gt[6] = {};
        ASSERT_EQ(map->GetGeoTransform(gt), CE_None);
        const double expectedGt[6] = {-9000, 2.5, 0, -35000, 0, -2.5};
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(gt[i], expectedGt[i], kViewRounding) << i;
        EXPECT_STREQ(map->GetSpatialRef()->GetAuthorityCode(nullptr), "6677");
        if (std::strcmp(name, "map.tif") == 0) {  // RGBA
            EXPECT_EQ(map->GetRasterBand(4)->GetColorInterpretation(), GCI_AlphaBand);
        }
    }
}

}  // namespace
}  // namespace kov::test
