// kovtool profile, run as a user runs it: the samples against our own sampling of the line, the
// pictures, and bad arguments.
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
        std::string error;
        ASSERT_TRUE(sample::writeSampleDataSet(dir->path(), {}, &error)) << error;
        data = "'" + dir->file("tiles") + "' '" + dir->file("Data") + "'";
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    // The exit code; what the command said goes to `said`.
    static int run(const std::string& args, std::string* said = nullptr) {
        int code = -1;
        const std::string error = dir->file("stderr");
        test::runCommand(std::string(KOVTOOL_PATH) + " profile " + args + " 2>'" + error + "'",
                         &code);
        if (said) *said = test::readFile(error);
        return code;
    }
    struct Row {
        double distance, east, north;
        std::string elevation, found;
    };
    static std::vector<Row> csvRows(const std::string& path) {
        std::istringstream in(test::readFile(path));
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "distance,easting,northing,elevation,found");
        std::vector<Row> rows;
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, ',');)
                f.push_back(field);
            EXPECT_EQ(f.size(), 5u) << line;
            if (f.size() == 5)
                rows.push_back({std::stod(f[0]), std::stod(f[1]), std::stod(f[2]), f[3], f[4]});
        }
        return rows;
    }
    static inline test::TempDir* dir = nullptr;
    static inline std::string data;
};

constexpr const char* kLine = "--line -9500,-37000 -7000,-34000 -4500,-33200";
constexpr const char* kSeaLine = "--line -9500,-37000 -7000,-34000 -4200,-37300 -4198,-37300";

TEST_F(ProfileCommandTest, CsvFollowsTheLineOutToSea) {
    // Out to sea, the last leg shorter than a step and at an angle to the one before.
    const std::string csv = dir->file("p.csv");
    ASSERT_EQ(run(data + " " + kSeaLine + " --step 7.5 -o '" + csv + "'"), 0);
    const auto rows = csvRows(csv);

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
    }
    EXPECT_EQ(rows.back().found, "water");
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

TEST_F(ProfileCommandTest, UnusableLinesAndDataWriteNothing) {
    const std::string out = " -o '" + dir->file("x.csv") + "'";
    std::string said;
    // A line without length, and data without a mesh: errors, no file.
    EXPECT_EQ(run(data + " --line 5,5 5,5" + out), 1);
    EXPECT_EQ(run(data + " --line 1e308,0 -1e308,0" + out, &said), 1);
    EXPECT_NE(said.find("length is beyond the range of numbers"), std::string::npos) << said;
    EXPECT_EQ(run("'" + dir->file("shape") + "' " + kLine + out), 1);
    EXPECT_FALSE(std::ifstream(dir->file("x.csv")).good());
}

}  // namespace
}  // namespace kov
