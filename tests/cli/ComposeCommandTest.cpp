// kovtool compose, and info / elev on project files, with the sample set and its project.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

#include "sample/SampleData.h"
#include "sample/SampleProject.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

class KovtoolComposeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        std::string error;
        ASSERT_TRUE(sample::writeSampleDataSet(dir->file("set"), {}, &error)) << error;
    }
    static void TearDownTestSuite() { delete dir; }
    static std::string kovtool(const std::string& args, int* exitCode) {
        return test::runCommand(
            std::string(KOVTOOL_PATH) + " " + args + " 2>" + dir->file("stderr"), exitCode);
    }
    static QJsonObject infoJson(const std::string& path) {
        int code = -1;
        const std::string out = kovtool("info --json '" + path + "'", &code);
        EXPECT_EQ(code, 0) << test::readFile(dir->file("stderr"));
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
    static inline test::TempDir* dir = nullptr;
};

TEST_F(KovtoolComposeTest, SampleProjectDescribesItself) {
    const QJsonObject root = infoJson(dir->file("set/") + sample::kSampleProjectName);
    EXPECT_EQ(root["title"].toString().toStdString(), sample::kSampleProjectTitle);
    EXPECT_EQ(root["meshes"].toArray().size(), 9);
    EXPECT_EQ(root["images"].toArray().size(), 1);
    EXPECT_EQ(root["shapes"].toArray().size(), 3);
    EXPECT_TRUE(root["missing"].toArray().isEmpty());
    EXPECT_EQ(root["stepHeight"].toDouble(), 5.0);
    EXPECT_EQ(root["shapeFillColor"].toArray().size(), 3);
    // The colour map was fitted to the data on the first load.
    const QJsonArray stops = root["colorMap"].toObject()["stops"].toArray();
    ASSERT_EQ(stops.size(), 2);
    const double low = stops[0].toObject()["height"].toDouble();
    const double high = stops[1].toObject()["height"].toDouble();
    double lowest = 1e9, highest = -1e9;
    for (const auto& mesh : root["meshes"].toArray()) {
        lowest = std::min(lowest, mesh.toObject()["minElevation"].toDouble());
        highest = std::max(highest, mesh.toObject()["maxElevation"].toDouble());
    }
    EXPECT_EQ(low, lowest);
    EXPECT_EQ(high, highest);
}

TEST_F(KovtoolComposeTest, ComposeWritesAProjectThatInfoAndElevRead) {
    const std::string out = dir->file("composed.kovv5");
    int code = -1;
    kovtool("compose -o " + out + " --title '河川 <調査>' " + dir->file("set") + " " +
                dir->file("set/tiles") + " " + dir->file("set/shape/roads.shp"),
            &code);
    ASSERT_EQ(code, 0) << test::readFile(dir->file("stderr"));
    const QJsonObject root = infoJson(out);
    EXPECT_EQ(root["title"].toString(), QString::fromUtf8("河川 <調査>"));
    const QJsonArray meshes = root["meshes"].toArray();
    ASSERT_EQ(meshes.size(), 9);  // "set" contributes the six tiles of its Data folder
    EXPECT_EQ(root["shapes"].toArray().size(), 1);

    // Moved with its data (the same layout below the project), the project still opens.
    std::filesystem::create_directories(dir->file("moved"));
    std::filesystem::copy(dir->file("set"), dir->file("moved/set"),
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy(out, dir->file("moved/composed.kovv5"));
    std::filesystem::rename(dir->file("set"), dir->file("set-away"));
    const QJsonObject moved = infoJson(dir->file("moved/composed.kovv5"));
    std::filesystem::rename(dir->file("set-away"), dir->file("set"));
    EXPECT_EQ(moved["meshes"].toArray().size(), 9);
    EXPECT_TRUE(moved["missing"].toArray().isEmpty());

    const std::string elevation =
        kovtool("elev " + out + " --at -9000,-35000 --at 99999,99999", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(elevation.find("none"), std::string::npos);
}

TEST_F(KovtoolComposeTest, ComposeRefusesWhatItCannotUse) {
    int code = -1;
    kovtool("compose " + dir->file("set"), &code);
    EXPECT_EQ(code, 2);  // no -o
    kovtool("compose -o " + dir->file("x.txt") + " " + dir->file("set"), &code);
    EXPECT_EQ(code, 2);
    kovtool("compose -o " + dir->file("none.kovv5") + " " + dir->file("set/shape/roads.shp"),
            &code);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir->file("none.kovv5")));
    kovtool("compose -o " + dir->file("no/such/dir.kovv5") + " " + dir->file("set/tiles"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(test::readFile(dir->file("stderr")).find("への保存に失敗しました"),
              std::string::npos);
    kovtool("info " + dir->file("set/shape/roads.shp"), &code);  // not a project: plain layers
    EXPECT_EQ(code, 0);
    test::writeFile(dir->file("bad.kovv5"), "<?xml version='1.0'?><Other/>");
    kovtool("info " + dir->file("bad.kovv5"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(test::readFile(dir->file("stderr"))
                  .find("標高メッシュプロジェクトファイルと識別できません"),
              std::string::npos);
}

}  // namespace
}  // namespace kov
