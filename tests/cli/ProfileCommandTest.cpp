// SPDX-License-Identifier: MIT
// kovtool profile, run as a user runs it: the samples against our own sampling of the line, the
// pictures, and bad arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/OgrReadBack.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

class ProfileCommandTest : public test::SampleSetSuite {
protected:
    // Runs kovtool profile on the sample tiles; answers the exit code.
    static int run(const std::string& args) {
        return exitOf("profile '" + dir->file("tiles") + "' '" + dir->file("Data") + "' " + args);
    }
    struct Row {
        double distance = 0, east = 0, north = 0;
        std::string elevation, found;
    };
    static std::vector<Row> csvRows(const std::string& path) {
        std::istringstream in(test::readFile(path));
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "distance,easting,northing,elevation,found");
        std::vector<Row> rows;
        for (Row row; std::getline(in, line); rows.push_back(row)) {
            EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
            const char* text = line.c_str();
            EXPECT_EQ(std::sscanf(text, "%lf,%lf,%lf", &row.distance, &row.east, &row.north), 3)
                << line;
            const size_t found = line.rfind(',');
            const size_t elevation = line.rfind(',', found - 1) + 1;
            row.elevation = line.substr(elevation, found - elevation);
            row.found = line.substr(found + 1);
        }
        return rows;
    }
};

const std::string kLine = "--line -9500,-37000 -7000,-34000 -4500,-33200";
const std::string kSeaLine = "--line -9500,-37000 -7000,-34000 -4200,-37300 -4198,-37300";

// The CSV rows and the GIS file's samples along the line out to sea; the CSV leaves the
// elevation empty where the GIS file has null.
TEST_F(ProfileCommandTest, CsvAndVectorSamplesFollowTheLineOutToSea) {
    // The last leg shorter than a step and at an angle to the one before.
    const std::string csv = dir->file("p.csv"), gpkg = dir->file("p.gpkg");
    ASSERT_EQ(run(kSeaLine + " --step 7.5 -o '" + csv + "'"), 0);
    ASSERT_EQ(run(kSeaLine + " --step 7.5 -o '" + gpkg + "'"), 0) << lastError();
    const auto rows = csvRows(csv);
    const test::OgrLayer samples = test::readOgrLayer(gpkg, "profile_samples");
    ASSERT_EQ(samples.features.size(), qsizetype(rows.size()));
    EXPECT_EQ(samples.crs, "urn:ogc:def:crs:EPSG::6677");
    EXPECT_EQ(rows.back().found, "water");

    // Our own sampling: every 7.5 m along the line, the last row at its end.
    const double px[] = {-9500, -7000, -4200, -4198}, py[] = {-37000, -34000, -37300, -37300};
    std::vector<double> at = {0};
    for (int s = 1; s < 4; ++s)
        at.push_back(at.back() + std::hypot(px[s] - px[s - 1], py[s] - py[s - 1]));
    const double length = at.back();
    ASSERT_EQ(rows.size(), static_cast<size_t>(std::floor(length / 7.5)) + 2);
    for (size_t i = 0; i < rows.size(); ++i) {
        const double d = std::min(i * 7.5, length);
        size_t s = 0;
        while (s < 2 && d > at[s + 1])
            ++s;
        const double t = (d - at[s]) / (at[s + 1] - at[s]);
        EXPECT_NEAR(rows[i].distance, d, 1e-3) << i;
        EXPECT_NEAR(rows[i].east, px[s] + t * (px[s + 1] - px[s]), 1e-3) << i;
        EXPECT_NEAR(rows[i].north, py[s] + t * (py[s + 1] - py[s]), 1e-3) << i;
        const QJsonObject p = test::propertiesOf(samples.features, qsizetype(i));
        EXPECT_NEAR(p["distance"].toDouble(), rows[i].distance, 1e-3) << i;
        EXPECT_EQ(p["found"].toString().toStdString(), rows[i].found) << i;
        EXPECT_EQ(p["elevation"].isNull(), rows[i].elevation.empty()) << i;
        if (!rows[i].elevation.empty()) {
            EXPECT_NEAR(p["elevation"].toDouble(), std::stod(rows[i].elevation), 0.005) << i;
        }
    }
}

TEST_F(ProfileCommandTest, WritesEveryPictureKind) {
    // (The metafile is read back by emf2svg in the conformance cases.)
    for (const char* kind : {"png", "pdf", "svg"}) {
        const std::string out = dir->file(std::string("p.") + kind);
        ASSERT_EQ(run(kLine + " --size 500x300 --no-marks -o '" + out + "'"), 0) << kind;
        const std::string bytes = test::readFile(out);
        ASSERT_GT(bytes.size(), 100u) << kind;
        if (std::string(kind) == "png") {
            int code = -1;
            EXPECT_EQ(test::runCommand("identify -format '%w %h' '" + out + "'", &code), "500 300");
        } else if (std::string(kind) == "svg") {
            EXPECT_NE(bytes.find("断面図"), std::string::npos);
        }
    }
}

TEST_F(ProfileCommandTest, UnusableLinesAndDataWriteNothing) {
    const std::string out = " -o '" + dir->file("x.csv") + "'";
    // A line without length (a bad argument), and data without a mesh: errors, no file.
    EXPECT_EQ(run("--line 5,5 5,5" + out), 2);
    EXPECT_EQ(run("--line 1e308,0 -1e308,0" + out), 2);
    EXPECT_NE(lastError().find("length is beyond the range of numbers"), std::string::npos)
        << lastError();
    EXPECT_EQ(exitOf("profile '" + dir->file("shape") + "' " + kLine + out), 1);
    EXPECT_FALSE(std::ifstream(dir->file("x.csv")).good());
    // A shapefile holds lines or points, not both: a bad argument, nothing written.
    EXPECT_EQ(run(kLine + " -o '" + dir->file("v.shp") + "'"), 2);
    EXPECT_NE(lastError().find("not both"), std::string::npos) << lastError();
    EXPECT_FALSE(std::ifstream(dir->file("v.shp")).good());
}

}  // namespace
}  // namespace kov
