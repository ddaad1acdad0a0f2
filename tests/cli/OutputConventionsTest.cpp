// SPDX-License-Identifier: MIT
// What kovtool writes for scripts and people: JSON that parses, numbers without binary noise,
// the system as gdalinfo names it, and messages in the reader's language only.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <sstream>

#include "cli/Kovtool.h"

namespace kov {
namespace {

// The first number outside strings with more than fifteen significant digits: binary noise
// such as 55.800000000000004.
std::string noisyNumber(const QString& json) {
    QString bare = json;
    bare.remove(QRegularExpression(R"("(?:[^"\\]|\\.)*")"));
    const QRegularExpression number(R"(\d[\d.]*)");
    for (const auto& match : number.globalMatch(bare)) {
        QString digits = match.captured().remove('.');
        digits.remove(QRegularExpression("^0+"));
        if (digits.size() > 15) return match.captured().toStdString();
    }
    return {};
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

class KovtoolOutputTest : public ::testing::Test, protected test::KovtoolRuns {
protected:
    void SetUp() override {
        // 4 x 3 cells of 5 m in zone 9 (JGD2011 assumed); code 558 is 55.8 m, which the
        // product 558 * 0.1 carries as 55.800000000000004.
        test::TileSpec tile;
        tile.xmin = -7000.0;
        tile.ymin = -35000.0;
        tile.codes = {{558, 558, 300, 300}, {558, 558, 200, 100}, {400, 300, 20, 10}};
        project = test::writeTileProject(tile, dir.file("t"));
    }
    std::string project;
};

TEST_F(KovtoolOutputTest, EveryJsonOutputParsesWithoutBinaryNoise) {
    const std::string line = " --line -6997.5,-34997.5 -6992.5,-34987.5 -6982.5,-34987.5";
    // Each command, and the file it writes (empty: its standard output).
    const std::pair<std::string, std::string> outputs[] = {
        {"info --json " + project, ""},
        {"measure --json " + project + line, ""},
        {"flood --json --level 56 --ranks 2,30 " + project, ""},
        {"measure " + project + line + " -o " + dir.file("m.geojson"), "m.geojson"},
        {"profile " + project + line + " -o " + dir.file("p.geojson"), "p.geojson"},
        {"flood --level 56 --ranks 2,30 " + project + " -o " + dir.file("f.geojson"), "f.geojson"},
        {"contour --interval 0.7 " + project + " -o " + dir.file("c.geojson"), "c.geojson"},
    };
    for (const auto& [args, file] : outputs) {
        SCOPED_TRACE(args);
        std::string out = ok(args);
        if (!file.empty()) out = test::readFile(dir.file(file));
        QJsonParseError error;
        QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_EQ(noisyNumber(QString::fromStdString(out)), "") << out;
    }
    const QJsonObject root = json("info --json " + project);
    EXPECT_EQ(root["meshes"][0]["maxElevation"].toDouble(), 55.8);
    // Truth values are true or false, never 1 or 0.
    const QJsonDocument contours =
        QJsonDocument::fromJson(QByteArray::fromStdString(test::readFile(dir.file("c.geojson"))));
    EXPECT_TRUE(contours["features"][0]["properties"]["index"].isBool());
    EXPECT_TRUE(root["showSheetInfo"].isBool() && root["imageVisible"].isBool());
    EXPECT_TRUE(root["colorMap"]["stops"][0]["reverse"].isBool());
}

TEST_F(KovtoolOutputTest, InfoJsonNamesTheSystemAndItsPlaceAsGdalinfoDoes) {
    const QJsonObject root = json("info --json " + project);
    const QJsonObject system = root["coordinateSystem"].toObject();
    EXPECT_EQ(system["epsg"].toInt(), 6677);
    const auto squeezed = [](QString text) { return text.remove(QRegularExpression(R"(\s)")); };
    EXPECT_EQ(
        squeezed(system["wkt"].toString()),
        squeezed(QString::fromStdString(test::runCommand("gdalsrsinfo -o wkt2_2019 EPSG:6677"))));

    // The mesh's geotransform: north-up from its top-left corner, over its extent.
    const QJsonObject mesh = root["meshes"][0].toObject();
    const QJsonArray e = mesh["extent"].toArray(), gt = mesh["geoTransform"].toArray();
    EXPECT_EQ(e, QJsonArray({-7000.0, -35000.0, -6980.0, -34985.0}));
    EXPECT_EQ(gt,
              QJsonArray({e[0], (e[2].toDouble() - e[0].toDouble()) / mesh["cols"].toInt(), 0, e[3],
                          0, (e[1].toDouble() - e[3].toDouble()) / mesh["rows"].toInt()}));

    // The extent in WGS 84: a closed counter-clockwise ring of the corners, from the top left,
    // each where PROJ's cs2cs puts it (cs2cs takes the system's order: northing first).
    const QJsonArray ring = root["wgs84Extent"]["coordinates"][0].toArray();
    ASSERT_EQ(ring.size(), 5);
    EXPECT_EQ(root["wgs84Extent"]["type"].toString(), "Polygon");
    EXPECT_EQ(ring[0], ring[4]);
    double twiceArea = 0.0;
    for (int i = 0; i < 4; ++i)
        twiceArea += ring[i][0].toDouble() * ring[i + 1][1].toDouble() -
                     ring[i + 1][0].toDouble() * ring[i][1].toDouble();
    EXPECT_GT(twiceArea, 0.0) << "counter-clockwise";
    const std::pair<QJsonValue, QJsonValue> corners[] = {{e[0], e[3]}, {e[0], e[1]}, {e[2], e[1]}};
    for (int i = 0; i < 3; ++i) {
        const auto& [east, north] = corners[i];
        std::istringstream theirs(test::runCommand("echo " + std::to_string(north.toDouble()) +
                                                   " " + std::to_string(east.toDouble()) +
                                                   " | cs2cs -f %.10f EPSG:6677 EPSG:4326"));
        double lat = 0.0, lon = 0.0;
        theirs >> lat >> lon;
        EXPECT_NEAR(ring[i][0].toDouble(), lon, 1e-7) << i;
        EXPECT_NEAR(ring[i][1].toDouble(), lat, 1e-7) << i;
    }
}

TEST_F(KovtoolOutputTest, MessagesAndHeadingsFollowTheLocaleWithoutMixing) {
    test::writeFile(dir.file("bad.kovv5"), "not a project");
    const std::string render = "render " + project + " -o " + dir.file("r.png");
    // Failures of the work (1), and arguments refused by the option reader, by the commands'
    // own checks and by kovtool itself (2).
    const std::pair<std::string, int> failures[] = {
        {"info " + dir.file("missing.kov"), 1},
        {"info " + dir.file("bad.kovv5"), 1},
        {"export " + project + " -o " + dir.file("no/such/e.tif"), 1},
        {"flood --json --level 56 --from 0,0 " + project, 1},
        {"render " + project + " -o " + dir.file("no/such/r.png"), 1},
        {render + " --bogus", 2},
        {render + " --size=big", 2},
        {render + " --size", 2},
        {"flood --json --level 56 --ranks 3,2 " + project, 2},
        {"flood --json --level 56 --from 0,0 --wall 1,1 " + project, 2},
        {"elev --at 1 " + project, 2},
        {"geo --zone 20 1 2", 2},
        {"sample " + dir.file("s") + " --block 0", 2},
        {"nosuch", 2},
    };
    for (const auto& [args, status] : failures) {
        SCOPED_TRACE(args);
        locale = "C.UTF-8";
        EXPECT_EQ(exitOf(args), status);
        const std::string english = lastError();
        EXPECT_FALSE(english.empty());
        EXPECT_TRUE(isAscii(english)) << english;
        locale = "ja_JP.UTF-8";
        EXPECT_EQ(exitOf(args), status);
        // Every line of it Japanese, but the blank and indented lines of kovtool's usage.
        std::istringstream japanese(lastError());
        for (std::string message; std::getline(japanese, message);)
            if (!message.empty() && message[0] != ' ') {
                EXPECT_FALSE(isAscii(message)) << message;
            }
    }
    // The headings of results (on stdout).
    int code = -1;
    locale = "C.UTF-8";
    EXPECT_TRUE(isAscii(kovtool("measure " + project + " --line 0,0 3,4 0,4", &code)));
    EXPECT_TRUE(isAscii(kovtool("info " + dir.file("t/tile.kov"), &code)));  // no title
    locale = "ja_JP.UTF-8";
    EXPECT_EQ(kovtool("measure " + project + " --line 0,0 3,4", &code).rfind("区間距離", 0), 0u);
}

}  // namespace
}  // namespace kov
