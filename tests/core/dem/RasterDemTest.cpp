// SPDX-License-Identifier: MIT
#include "core/data/dem/RasterDem.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <functional>
#include <tuple>

#include "support/TestSupport.h"

namespace kov {
namespace {

using test::TempDir;
using test::writeFile;

// A grid in JGD2011 / Japan Plane Rectangular CS IX: elevations of whole and fractional
// millimetres, below sea level, and no-data cells.
GeoGrid zoneGrid(int cols, int rows) {
    GeoGrid grid;
    grid.cols = cols;
    grid.rows = rows;
    grid.west = -5000.0;
    grid.north = 12000.0;
    grid.stepX = grid.stepY = 5.0;
    grid.crs.epsg = 6677;
    for (int i = 0; i < cols * rows; ++i)
        grid.codes.push_back(i % 7 == 3 ? MESH_NODATA : (i * 1237) % 90000 - 2500);
    return grid;
}

std::string written(const GeoGrid& grid, const std::string& path) {
    std::string error;
    EXPECT_TRUE(writeRasterDem(grid, path, "GTiff", &error)) << error;
    return path;
}

// A VRT of one band over band 1 of source; band holds the band's extra elements.
std::string vrtOver(const std::string& source, int cols, int rows, const std::string& type,
                    const std::string& srs, const std::string& geoTransform,
                    const std::string& band = "") {
    const std::string size =
        "xSize=\"" + std::to_string(cols) + "\" ySize=\"" + std::to_string(rows) + "\"";
    return "<VRTDataset rasterXSize=\"" + std::to_string(cols) + "\" rasterYSize=\"" +
           std::to_string(rows) + "\">" + (srs.empty() ? "" : "<SRS>" + srs + "</SRS>") +
           "<GeoTransform>" + geoTransform + "</GeoTransform><VRTRasterBand dataType=\"" + type +
           "\" band=\"1\">" + band + "<SimpleSource><SourceFilename>" + source +
           "</SourceFilename><SourceBand>1</SourceBand><SrcRect xOff=\"0\" yOff=\"0\" " + size +
           "/><DstRect xOff=\"0\" yOff=\"0\" " + size +
           "/></SimpleSource></VRTRasterBand></VRTDataset>";
}

TEST(RasterDem, WrittenRastersReadBackWithValuesNoDataAndPlace) {
    GeoGrid grid = zoneGrid(300, 270);  // more than one 256 × 256 tile each way
    grid.codes[5] = MESH_WATER;         // a raster has no water class: it comes back as no data
    GeoGrid expected = grid;
    expected.codes[5] = MESH_NODATA;
    const struct {
        const char* format;
        const char* file;
        const char* driver;
        size_t files;  // the raster and its companions, nothing left of the scratch folder
    } cases[] = {{"GTiff", "dem.tif", "GeoTIFF", 1},
                 {"AAIGrid", "dem.asc", "Arc/Info ASCII Grid", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        TempDir dir;
        const std::string path = dir.file(c.file);
        std::string error;
        ASSERT_TRUE(writeRasterDem(grid, path, c.format, &error)) << error;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), c.files);
        const RasterProbe probe = probeRaster(path);
        EXPECT_EQ(probe.role, RasterRole::Elevation) << probe.why;
        ASSERT_TRUE(probe.hasCentre);
        // About 11.3 km north and 4.3 km west of zone IX's origin, 36° N 139° 50' E.
        EXPECT_NEAR(probe.centreLatitude, 36.0 + 11325.0 / 110990.0, 0.001);
        EXPECT_NEAR(probe.centreLongitude, 139.0 + 50.0 / 60.0 - 4250.0 / 90180.0, 0.001);
        GeoGrid read;
        ASSERT_TRUE(readRasterDem(path, read, &error)) << error;
        EXPECT_EQ(read.codes, expected.codes);
        EXPECT_EQ(std::tie(read.cols, read.rows, read.west, read.north, read.stepX, read.stepY),
                  std::tie(grid.cols, grid.rows, grid.west, grid.north, grid.stepX, grid.stepY));
        EXPECT_EQ(
            std::tuple(read.crs.epsg, read.crs.name, read.datumName, read.nominalSpacing, read.kind,
                       read.counts.noData),
            std::tuple(6677, "JGD2011 / Japan Plane Rectangular CS IX", "JGD2011", 5.0, c.driver,
                       std::count(expected.codes.begin(), expected.codes.end(), MESH_NODATA)));
    }
    std::string error;
    EXPECT_FALSE(writeRasterDem(grid, TempDir().file("dem.png"), "PNGX", &error));
    EXPECT_EQ(error, "GDAL writes no raster of format \"PNGX\"");
}

TEST(RasterDem, AsciiGridInLatitudeAndLongitude) {
    TempDir dir;
    writeFile(dir.file("dem.asc"),
              "ncols 4\nnrows 3\nxllcorner 139.0\nyllcorner 35.0\ncellsize 0.01\n"
              "NODATA_value -9999\n1 2 3 4\n5.5 -9999 7 8\n9 10 11 -0.25\n");
    writeFile(dir.file("dem.prj"),
              "GEOGCS[\"JGD2011\",DATUM[\"Japanese_Geodetic_Datum_2011\","
              "SPHEROID[\"GRS 1980\",6378137,298.257222101]],PRIMEM["
              "\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]");
    const RasterProbe probe = probeRaster(dir.file("dem.asc"));
    EXPECT_EQ(probe.role, RasterRole::Elevation) << probe.why;
    EXPECT_EQ(probe.driver, "Arc/Info ASCII Grid");
    ASSERT_TRUE(probe.hasCentre);
    EXPECT_NEAR(probe.centreLatitude, 35.015, 1e-9);
    EXPECT_NEAR(probe.centreLongitude, 139.02, 1e-9);
    GeoGrid grid;
    std::string error;
    ASSERT_TRUE(readRasterDem(dir.file("dem.asc"), grid, &error)) << error;
    EXPECT_EQ(grid.codes, (std::vector<int32_t>{1000, 2000, 3000, 4000, 5500, MESH_NODATA, 7000,
                                                8000, 9000, 10000, 11000, -250}));
    // The code from a .prj that names none.
    EXPECT_EQ(std::tuple(grid.crs.geographic, grid.crs.epsg, grid.datumName),
              std::tuple(true, 6668, "JGD2011"));
    EXPECT_DOUBLE_EQ(grid.north, 35.03);
    EXPECT_DOUBLE_EQ(grid.nominalSpacing, 911.7);  // the shorter side: east-west at 35° N
}

// Runs a GDAL command-line tool; the arguments are split at spaces.
int gdal(const std::string& command) {
    QStringList arguments = QProcess::splitCommand(QString::fromStdString(command));
    const QString program = arguments.takeFirst();
    return QProcess::execute(program, arguments);
}

TEST(RasterDem, StoredValuesBecomeMillimetresInTheGridsRows) {
    TempDir dir;
    const GeoGrid grid = zoneGrid(7, 3);
    const std::string source = written(grid, dir.file("source.tif"));
    // The source's values as stored: no-data cells hold -9999.
    const auto stored = [&](int c, int r) {
        return grid.code(c, r) == MESH_NODATA ? -9999.0 : grid.code(c, r) / 1000.0;
    };
    const double noData = std::nan("");
    const double usFoot = 1200.0 / 3937.0;
    const std::string gt = "-5000, 5, 0, 12000, 0, -5";
    // The mask of masked.tif is the value made a byte: values below half a metre are masked.
    ASSERT_EQ(
        gdal("gdal_translate -q -a_nodata none -mask 1 --config GDAL_TIFF_INTERNAL_MASK YES " +
             source + " " + dir.file("masked.tif")),
        0);
    const struct {
        const char* name;
        std::string vrt;                         // empty: masked.tif
        std::function<double(int, int)> metres;  // NaN: no data
    } cases[] = {
        {"Int16 in feet, scale and offset",
         vrtOver(source, 7, 3, "Int16", "EPSG:6677", gt,
                 "<UnitType>ft</UnitType><Scale>0.5</Scale><Offset>10</Offset>"),
         [&](int c, int r) { return (std::round(stored(c, r)) * 0.5 + 10) * 0.3048; }},
        {"Int32 in US survey feet",
         vrtOver(source, 7, 3, "Int32", "EPSG:6677", gt, "<UnitType>US survey foot</UnitType>"),
         [&](int c, int r) { return std::round(stored(c, r)) * usFoot; }},
        {"a vertical CRS in US survey feet", vrtOver(source, 7, 3, "Float64", "EPSG:6677+6360", gt),
         [&](int c, int r) { return stored(c, r) * usFoot; }},
        {"south-up rows",
         vrtOver(source, 7, 3, "Float32", "EPSG:6677", "-5000, 5, 0, 11985, 0, 5",
                 "<NoDataValue>-9999</NoDataValue>"),
         [&](int c, int r) { return stored(c, 2 - r) == -9999 ? noData : stored(c, 2 - r); }},
        {"the band's own mask", "",
         [&](int c, int r) { return stored(c, r) >= 0.5 ? stored(c, r) : noData; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.vrt.empty() ? dir.file("masked.tif") : dir.file("dem.vrt");
        if (!c.vrt.empty()) writeFile(path, c.vrt);
        GeoGrid read;
        std::string error;
        ASSERT_TRUE(readRasterDem(path, read, &error)) << error;
        EXPECT_EQ(read.crs.epsg, 6677);
        EXPECT_DOUBLE_EQ(read.north, 12000.0);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 7; ++col) {
                const double metres = c.metres(col, r);
                if (std::isnan(metres))
                    EXPECT_EQ(read.code(col, r), MESH_NODATA) << col << "," << r;
                else
                    EXPECT_NEAR(read.code(col, r), metres * 1000.0, 0.51) << col << "," << r;
            }
    }
}

TEST(RasterDem, RefusesWithTheReason) {
    TempDir dir;
    const std::string source = written(zoneGrid(3, 2), dir.file("source.tif"));
    const std::string damaged = written(zoneGrid(600, 600), dir.file("damaged.tif"));
    std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) / 2);
    writeFile(dir.file("notes.txt"), "not a raster\n");
    for (const std::string bands : {"1", "3"})
        ASSERT_EQ(gdal("gdal_create -q -outsize 4 4 -ot Byte -a_srs EPSG:6677 -bands " + bands +
                       " " + dir.file(bands + ".tif")),
                  0);
    const std::string gt = "-5000, 5, 0, 12000, 0, -5";
    const struct {
        std::string file;
        std::string vrt;  // written to file when not empty
        const char* why;
    } cases[] = {
        {"no-crs.vrt", vrtOver(source, 3, 2, "Float32", "", gt), "no coordinate system"},
        {"rotated.vrt", vrtOver(source, 3, 2, "Float32", "EPSG:6677", "-5000, 5, 1, 12000, 0, -5"),
         "a rotated or sheared raster"},
        {"furlongs.vrt",
         vrtOver(source, 3, 2, "Float32", "EPSG:6677", gt, "<UnitType>furlong</UnitType>"),
         "the vertical unit \"furlong\""},
        {"huge-values.vrt", vrtOver(source, 3, 2, "Float32", "EPSG:6677", gt, "<Scale>1e6</Scale>"),
         "beyond ±100,000 m"},
        {"huge-grid.vrt", vrtOver(source, 70000, 70000, "Float32", "EPSG:6677", gt),
         "more than the 268435456"},
        {"damaged.tif", "", "cannot read the cells"},
        {"notes.txt", "", "not a raster GDAL reads"},
        {"missing.tif", "", "no such file"},
        {".", "", "not a regular file"},
        // Pictures are no elevation rasters.
        {"1.tif", "", "not an elevation raster: data type Byte"},
        {"3.tif", "", "not an elevation raster: 3 bands"},
        {"uint16-palette.vrt",
         "<VRTDataset rasterXSize=\"2\" rasterYSize=\"2\"><VRTRasterBand dataType=\"UInt16\" "
         "band=\"1\"><ColorInterp>Palette</ColorInterp><ColorTable><Entry c1=\"0\" c2=\"0\" "
         "c3=\"0\" c4=\"255\"/></ColorTable></VRTRasterBand></VRTDataset>",
         "not an elevation raster: a palette"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.vrt.empty()) writeFile(dir.file(c.file), c.vrt);
        GeoGrid grid;
        std::string error;
        EXPECT_FALSE(readRasterDem(dir.file(c.file), grid, &error));
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
    EXPECT_EQ(probeRaster(dir.file("notes.txt")).role, RasterRole::NotRaster);
    for (const char* picture : {"1.tif", "3.tif", "uint16-palette.vrt"})
        EXPECT_EQ(probeRaster(dir.file(picture)).role, RasterRole::Picture) << picture;
}

}  // namespace
}  // namespace kov
