// kovtool on the overlay layers of the sample set: DSM points, shapefiles, images.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/SampleSuite.h"

namespace kov {
namespace {

using KovtoolLayersTest = test::SampleSetSuite;

TEST_F(KovtoolLayersTest, InfoJsonDescribesDsmShapesAndImages) {
    int code = -1;
    const std::string out =
        kovtool("info --json --dsm-cell 2 " + dir->file("dsm/09LD281.txt") + " " +
                    dir->file("shape/areas.shp") + " " + dir->file("shape/points.shp") + " " +
                    dir->file("image/aerial.png"),
                &code);
    ASSERT_EQ(code, 0) << lastError();
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    const QJsonObject dsm = root["meshes"].toArray()[0].toObject();
    EXPECT_EQ(dsm["kind"].toString(), "dsm");
    EXPECT_EQ(dsm["cols"].toInt(), 1000) << "the sheet's 2000 m at 2 m cells";
    EXPECT_EQ(dsm["xmin"].toDouble(), -8000.0);

    const QJsonArray shapes = root["shapes"].toArray();
    ASSERT_EQ(shapes.size(), 2);
    const QJsonObject areas = shapes[0].toObject();
    EXPECT_EQ(areas["polylines"].toInt(), 3);
    EXPECT_GT(areas["parts"].toInt(), 3) << "a polygon with a hole has two parts";
    EXPECT_EQ(shapes[1].toObject()["points"].toInt(), 5);

    const QJsonObject image = root["images"].toArray()[0].toObject();
    EXPECT_EQ(image["width"].toInt(), 1000);
    EXPECT_EQ(image["xmin"].toDouble(), -9000.0);
    EXPECT_EQ(image["zone"].toInt(), 9);
}

TEST_F(KovtoolLayersTest, FinerDsmAnswersOverTheTilesAndBadLayersFail) {
    std::string points;
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j)
            points +=
                std::to_string(-7990 + 100 * i) + " " + std::to_string(-37490 + 75 * j) + "\n";
    test::writeFile(dir->file("points.txt"), points);
    const std::string tile = dir->file("Data/09LD281.kov");
    const std::string dsm = "--dsm-cell 1 " + dir->file("dsm/09LD281.txt");
    const std::string in = " < " + dir->file("points.txt");
    int code = -1;
    const std::string both = kovtool("elev " + tile + " " + dsm + in, &code);
    ASSERT_EQ(code, 0) << lastError();
    const std::string dsmOnly = kovtool("elev " + dsm + in, &code);
    const std::string tileOnly = kovtool("elev " + tile + in, &code);
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
            out.push_back(text.substr(start, end - start));
        return out;
    };
    const auto b = lines(both), d = lines(dsmOnly), t = lines(tileOnly);
    ASSERT_EQ(b.size(), 400u);
    int fromDsm = 0, differentFromTile = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        const bool dsmKnows =
            d[i].find_first_of("0123456789", d[i].rfind(' ')) != std::string::npos;
        if (dsmKnows) {
            ++fromDsm;
            EXPECT_EQ(b[i], d[i]) << "the finer DSM is asked first";
        } else {
            EXPECT_EQ(b[i], t[i]) << "without DSM data the tile answers";
        }
        differentFromTile += b[i] != t[i];
    }
    EXPECT_GT(fromDsm, 20);
    EXPECT_GT(differentFromTile, 0) << "buildings stand out of the terrain";

    kovtool("elev " + dir->file("shape/areas.shp") + " --at 0,0", &code);
    EXPECT_NE(code, 0) << "no mesh to ask";
    kovtool("info --dsm-cell 0 " + dir->file("dsm/09LD281.txt"), &code);
    EXPECT_EQ(code, 2);
    test::writeFile(dir->file("bad/photo.jpg"), "not a picture");
    kovtool("info " + dir->file("bad/photo.jpg"), &code);
    EXPECT_NE(code, 0);
    EXPECT_NE(lastError().find("georeferenced image"), std::string::npos) << lastError();
}

}  // namespace
}  // namespace kov
