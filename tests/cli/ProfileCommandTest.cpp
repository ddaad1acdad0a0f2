// kovtool profile, run as a user runs it: the samples against our own sampling of the line and
// against GDAL reading the same cells, the pictures, and bad arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "sample/SampleData.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

class ProfileCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        sample::SampleOptions options;
        options.esriAscii = true;
        std::string error;
        ASSERT_TRUE(sample::writeSampleDataSet(dir->path(), options, &error)) << error;
        data = "'" + dir->file("tiles") + "' '" + dir->file("Data") + "'";
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static int run(const std::string& args) {
        int code = -1;
        test::runCommand(std::string(KOVTOOL_PATH) + " profile " + args + " 2>/dev/null", &code);
        return code;
    }
    static std::vector<std::vector<double>> csvRows(const std::string& path) {
        std::istringstream in(test::readFile(path));
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "distance,easting,northing,elevation");
        std::vector<std::vector<double>> rows;
        while (std::getline(in, line)) {
            std::vector<double> row;
            std::istringstream fields(line);
            for (std::string f; std::getline(fields, f, ',');)
                row.push_back(std::stod(f));
            EXPECT_EQ(row.size(), 4u) << line;
            rows.push_back(row);
        }
        return rows;
    }
    static inline test::TempDir* dir = nullptr;
    static inline std::string data;
};

constexpr const char* kLine = "--line -9500,-37000 -7000,-34000 -4500,-33200";

TEST_F(ProfileCommandTest, CsvFollowsTheLineAndGdalReadsTheSameCells) {
    const std::string csv = dir->file("p.csv");
    ASSERT_EQ(run(data + " " + kLine + " --step 7.5 -o '" + csv + "'"), 0);
    const auto rows = csvRows(csv);

    // Our own sampling: every 7.5 m along the line, the last row at its end.
    const double px[] = {-9500, -7000, -4500}, py[] = {-37000, -34000, -33200};
    const double d1 = std::hypot(2500, 3000), length = d1 + std::hypot(2500, 800);
    const size_t count = static_cast<size_t>(std::floor(length / 7.5)) + 2;
    ASSERT_EQ(rows.size(), count);
    for (size_t i = 0; i < rows.size(); ++i) {
        const double d = std::min(i * 7.5, length);
        const int s = d <= d1 ? 0 : 1;
        const double t = s == 0 ? d / d1 : (d - d1) / (length - d1);
        EXPECT_NEAR(rows[i][0], d, 1e-3) << i;
        EXPECT_NEAR(rows[i][1], px[s] + t * (px[s + 1] - px[s]), 1e-3) << i;
        EXPECT_NEAR(rows[i][2], py[s] + t * (py[s + 1] - py[s]), 1e-3) << i;
    }

    // GDAL on a GeoTIFF of the same cells (the tiles' ASCII grids) at the sample points.
    const std::string tif = dir->file("mosaic.tif"), vrt = dir->file("mosaic.vrt");
    int code = -1;
    test::runCommand("gdalbuildvrt -q '" + vrt + "' '" + dir->file("asc") + "'/*.asc && " +
                         "gdal_translate -q -of GTiff '" + vrt + "' '" + tif + "'",
                     &code);
    ASSERT_EQ(code, 0);
    std::string points;
    for (const auto& r : rows) {
        char line[80];
        std::snprintf(line, sizeof line, "%.6f %.6f\n", r[1], r[2]);
        points += line;
    }
    test::writeFile(dir->file("points.txt"), points);
    std::istringstream values(test::runCommand(
        "gdallocationinfo -valonly -geoloc '" + tif + "' < '" + dir->file("points.txt") + "'",
        &code));
    ASSERT_EQ(code, 0);
    size_t compared = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string v;
        ASSERT_TRUE(std::getline(values, v)) << i;
        if (v.empty() || std::stod(v) <= -9999.0) continue;  // water, no data, outside
        // On a cell edge the two readers may pick either neighbour (GDAL counts rows from the
        // north): only points inside a cell are compared.
        auto onEdge = [](double c) { return std::fabs(c / 5.0 - std::round(c / 5.0)) < 1e-6; };
        if (onEdge(rows[i][1]) || onEdge(rows[i][2])) continue;
        EXPECT_NEAR(rows[i][3], std::stod(v), 0.0051) << "sample " << i;
        ++compared;
    }
    EXPECT_GT(compared, rows.size() * 9 / 10);
}

TEST_F(ProfileCommandTest, WritesEveryPictureKind) {
    for (const char* kind : {"png", "pdf", "svg", "emf"}) {
        const std::string out = dir->file(std::string("p.") + kind);
        ASSERT_EQ(run(data + " " + kLine + " --size 500x300 --no-marks -o '" + out + "'"), 0)
            << kind;
        const std::string bytes = test::readFile(out);
        ASSERT_GT(bytes.size(), 100u) << kind;
        if (std::string(kind) == "png") {
            int code = -1;
            EXPECT_EQ(test::runCommand("identify -format '%w %h' '" + out + "'", &code), "500 300");
        } else if (std::string(kind) == "emf") {
            EXPECT_EQ(bytes.substr(40, 4), " EMF");
        } else if (std::string(kind) == "svg") {
            EXPECT_NE(bytes.find("断面図"), std::string::npos);
        }
    }
}

TEST_F(ProfileCommandTest, BadArgumentsAndUnusableLines) {
    const std::string out = " -o '" + dir->file("x.csv") + "'";
    EXPECT_EQ(run(data + out), 2);                               // no line
    EXPECT_EQ(run(data + " --line 1,2" + out), 2);               // one point
    EXPECT_EQ(run(data + " " + kLine + " -o x.txt"), 2);         // unknown output
    EXPECT_EQ(run(data + " " + kLine + " --step -1" + out), 2);  // negative step
    EXPECT_EQ(run(data + " " + kLine + " --max-points x" + out), 2);
    EXPECT_EQ(run(data + " " + kLine + " --size 0x5" + out), 2);
    EXPECT_EQ(run(data + " " + kLine + " --bogus" + out), 2);
    // A line without length, and data without a mesh: errors, no file.
    EXPECT_EQ(run(data + " --line 5,5 5,5" + out), 1);
    EXPECT_EQ(run("'" + dir->file("shape") + "' " + kLine + out), 1);
    EXPECT_FALSE(std::ifstream(dir->file("x.csv")).good());
}

}  // namespace
}  // namespace kov
