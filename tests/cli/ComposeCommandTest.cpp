// kovtool compose, and info / elev on project files, with the sample set and its project.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

#include "support/SampleSuite.h"

namespace kov {
namespace {

class KovtoolComposeTest : public test::SampleSetSuite {
protected:
    static QJsonObject infoJson(const std::string& path) {
        int code = -1;
        const std::string out = kovtool("info --json '" + path + "'", &code);
        EXPECT_EQ(code, 0) << lastError();
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
};

TEST_F(KovtoolComposeTest, ComposeWritesAProjectThatInfoAndElevRead) {
    const std::string out = dir->file("composed.kovv5");
    int code = -1;
    kovtool("compose -o " + out + " --title '河川 <調査>' " + dir->path() + " " +
                dir->file("tiles") + " " + dir->file("shape/roads.shp"),
            &code);
    ASSERT_EQ(code, 0) << lastError();
    const QJsonObject root = infoJson(out);
    EXPECT_EQ(root["title"].toString(), QString::fromUtf8("河川 <調査>"));
    const QJsonArray meshes = root["meshes"].toArray();
    ASSERT_EQ(meshes.size(), 9);  // the set's folder contributes the six tiles of its Data folder
    EXPECT_EQ(root["shapes"].toArray().size(), 1);

    // Moved with its data (the same layout below the project), the project still opens.
    const char* layerFolders[] = {"Data", "Header", "tiles", "shape"};
    for (const char* folder : layerFolders) {
        std::filesystem::create_directories(dir->file("moved"));
        std::filesystem::copy(dir->file(folder), dir->file(std::string("moved/") + folder),
                              std::filesystem::copy_options::recursive);
        std::filesystem::rename(dir->file(folder), dir->file(std::string(folder) + "-away"));
    }
    std::filesystem::copy(out, dir->file("moved/composed.kovv5"));
    const QJsonObject moved = infoJson(dir->file("moved/composed.kovv5"));
    for (const char* folder : layerFolders)
        std::filesystem::rename(dir->file(std::string(folder) + "-away"), dir->file(folder));
    EXPECT_EQ(moved["meshes"].toArray().size(), 9);
    EXPECT_TRUE(moved["missing"].toArray().isEmpty());

    const std::string elevation =
        kovtool("elev " + out + " --at -9000,-35000 --at 99999,99999", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(elevation.find("none"), std::string::npos);
}

TEST_F(KovtoolComposeTest, ComposeRefusesWhatItCannotUse) {
    int code = -1;
    kovtool("compose " + dir->path(), &code);
    EXPECT_EQ(code, 2);  // no -o
    kovtool("compose -o " + dir->file("x.txt") + " " + dir->path(), &code);
    EXPECT_EQ(code, 2);
    kovtool("compose -o " + dir->file("none.kovv5") + " " + dir->file("shape/roads.shp"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir->file("none.kovv5")));
    kovtool("compose -o " + dir->file("no/such/dir.kovv5") + " " + dir->file("tiles"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(lastError().find("への保存に失敗しました"), std::string::npos);
    kovtool("info " + dir->file("shape/roads.shp"), &code);  // not a project: plain layers
    EXPECT_EQ(code, 0);
    test::writeFile(dir->file("bad.kovv5"), "<?xml version='1.0'?><Other/>");
    kovtool("info " + dir->file("bad.kovv5"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(lastError().find("標高メッシュプロジェクトファイルと識別できません"),
              std::string::npos);
}

}  // namespace
}  // namespace kov
