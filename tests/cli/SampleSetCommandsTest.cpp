// SPDX-License-Identifier: MIT
// kovtool compose, info, elev and render on the sample set and its project.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/SampleSuite.h"

namespace kov {
namespace {

class KovtoolSampleTest : public test::SampleSetSuite {
protected:
    static QJsonObject infoJson(const std::string& args) {
        int code = -1;
        const std::string out = kovtool("info --json " + args, &code);
        EXPECT_EQ(code, 0) << lastError();
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
    static int render(const std::string& args) {
        return exitOf("render " + dir->file("sample.kovv5") + " " + args);
    }
};

TEST_F(KovtoolSampleTest, ComposeWritesAProjectThatInfoReads) {
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
}

TEST_F(KovtoolSampleTest, RefusalsNameTheirCause) {
    const std::string project = dir->file("sample.kovv5");
    test::writeFile(dir->file("bad.kovv5"), "<?xml version='1.0'?><Other/>");
    // (Project files that are folders, FIFOs or devices are refused by the reader: its tests.)
    // A project none of whose tiles can be read: one without a header, one whose header is
    // there but cannot be read (a folder).
    for (const char* tile : {"refused/lonely/L", "refused/unread/U"}) {
        std::filesystem::create_directories(dir->file(tile).substr(0, dir->file(tile).rfind('/')));
        std::filesystem::copy_file(dir->file("Data/09LD281.kov"), dir->file(tile) + ".kov");
    }
    std::filesystem::create_directories(dir->file("refused/unread/U.csv"));
    std::filesystem::create_symlink("/dev/full", dir->file("refused/full.kovv5"));
    test::writeFile(dir->file("refused/nothing.kovv5"),
                    "<?xml version='1.0'?><MeshProject><Mesh>" + dir->file("refused/lonely/L.kov") +
                        "</Mesh><Mesh>" + dir->file("refused/unread/U.kov") +
                        "</Mesh></MeshProject>");
    test::writeFile(dir->file("refused/far.txt"), "1,0,0,1\n2,100000,100000,1\n");
    test::writeFile(dir->file("refused/photo.jpg"), "\x89PNG not a picture");
    test::writeFile(dir->file("refused/cut.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    for (const char* world : {"photo.jgw", "cut.pgw"})
        test::writeFile(dir->file(std::string("refused/") + world), "1\n0\n0\n-1\n0\n0\n");
    const struct {
        std::string args;
        int code;
        const char* message;
    } cases[] = {
        {"compose -o " + dir->file("none.kovv5") + " " + dir->file("shape/roads.shp"), 1, ""},
        {"compose -o " + dir->file("no/such/dir.kovv5") + " " + dir->file("tiles"), 1,
         "cannot be saved: cannot create a file in its folder: No such file"},
        {"compose -o " + dir->file("refused/full.kovv5") + " " + dir->file("tiles"), 1,
         "cannot be saved: not a regular file"},
        {"info " + dir->file("shape/roads.shp"), 0, ""},  // not a project: plain layers
        {"info " + dir->file("bad.kovv5"), 1,
         "is not an elevation mesh project file: no <MeshProject> element"},
        {"info " + dir->file("none.kovv5"), 1, "No such file or directory"},
        {"info " + dir->file("Data/none.kov"), 1, "Data/none.kov: no such file or folder"},
        {"info " + dir->file("refused/lonely/L.kov"), 1,
         "L.kov: cannot be read as a 5 m mesh tile (data file or header): its header L.csv is "
         "found neither"},
        {"info " + dir->file("refused/nothing.kovv5"), 1,
         "U.csv cannot be read: not a regular file"},
        {"info " + dir->file("refused/nothing.kovv5"), 1, "L.csv is found neither beside it"},
        {"render " + project + " -o " + dir->file("x.png") + " --rect -1e308,0,1e308,1", 1,
         "nothing to draw: the extent is not finite"},
        {"info --dsm-cell 0.1 " + dir->file("refused/far.txt"), 1,
         "cannot be read as a DSM point file: its grid of 1000000 x 1005000 cells of 0.1 m exceeds "
         "the limit of"},
        {"info http://127.0.0.1:1/T.kov", 1, "(data file or header): Failed to connect"},
        {"info " + dir->file("refused/photo.jpg"), 1,
         "georeferenced image: the picture cannot be decoded"},
        {"info " + dir->file("refused/cut.png"), 1,
         "georeferenced image: the PNG file ends at byte 16 before its IEND chunk"},
        {"print " + project + " --printer no-such-queue-here", 1, "no-such-queue-here"},
    };
    // (No permission cannot be shown here: the tests run as root, who reads every file.)
    // Every line of a failure's message is kovtool's own: the libraries' never reach stderr.
    for (const auto& c : cases) {
        EXPECT_EQ(exitOf(c.args), c.code) << c.args;
        const std::string error = lastError();
        EXPECT_NE(error.find(c.message), std::string::npos) << c.args << error;
        for (size_t start = 0; c.code == 1 && start < error.size();
             start = error.find('\n', start) + 1)
            EXPECT_EQ(error.compare(start, 7, "kovtool"), 0) << error;
    }
    EXPECT_FALSE(std::filesystem::exists(dir->file("none.kovv5")));
}

// kovtool on the overlay layers of the sample set: DSM points, shapefiles, images.

TEST_F(KovtoolSampleTest, InfoJsonDescribesDsmShapesAndImages) {
    const QJsonObject root = infoJson(
        "--dsm-cell 2 " + dir->file("dsm/09LD281.txt") + " " + dir->file("shape/areas.shp") + " " +
        dir->file("shape/points.shp") + " " + dir->file("image/aerial.png"));
    const QJsonObject dsm = root["meshes"].toArray()[0].toObject();
    EXPECT_EQ(dsm["kind"].toString(), "dsm");
    EXPECT_EQ(dsm["cols"].toInt(), 1000) << "the sheet's 2000 m at 2 m cells";
    EXPECT_EQ(dsm["extent"][0].toDouble(), -8000.0);

    const QJsonArray shapes = root["shapes"].toArray();
    ASSERT_EQ(shapes.size(), 2);
    const QJsonObject areas = shapes[0].toObject();
    EXPECT_EQ(areas["polylines"].toInt(), 3);
    EXPECT_GT(areas["parts"].toInt(), 3) << "a polygon with a hole has two parts";
    EXPECT_EQ(shapes[1].toObject()["points"].toInt(), 5);

    const QJsonObject image = root["images"].toArray()[0].toObject();
    EXPECT_EQ(image["width"].toInt(), 1000);
    EXPECT_EQ(image["extent"][0].toDouble(), -9000.0);
    EXPECT_EQ(image["zone"].toInt(), 9);
}

TEST_F(KovtoolSampleTest, ElevationSourcesArePlacedInTheChosenZone) {
    const std::string zip = dir->file("dem/FG-GML-5339-46-DEM5A.zip");
    const QJsonObject root = infoJson("--zone 6 --cell 10 " + zip);
    const QJsonArray meshes = root["meshes"].toArray();
    ASSERT_EQ(meshes.size(), 4);
    const QJsonObject first = meshes[0].toObject();
    EXPECT_EQ(first["kind"].toString(), "dem");
    EXPECT_EQ(first["epsg"].toInt(), 6674);  // JGD2011, zone VI
    EXPECT_EQ(first["cellSize"].toDouble(), 10.0);
    const QJsonObject source = first["source"].toObject();
    EXPECT_EQ(source["kind"].toString(), "FG-GML DEM5A");
    EXPECT_EQ(source["ground"].toInt() + source["water"].toInt() + source["noData"].toInt(),
              225 * 150);
    EXPECT_GT(source["water"].toInt(), 0) << "the file holds the coast";
    // Placed in the tiles' zone, the national DEM answers the tiles' ground (both are the
    // terrain, the DEM resampled twice).
    const auto elevationAt = [&](const std::string& path) {
        int code = -1;
        std::istringstream out(kovtool("elev -q --at -5800,-35200 " + path, &code));
        EXPECT_EQ(code, 0) << lastError();
        double east = 0, north = 0, z = -1;
        out >> east >> north >> z;
        return z;
    };
    EXPECT_NEAR(elevationAt(zip), elevationAt(dir->path()), 0.5);
    EXPECT_EQ(exitOf("elev -q --zone 20 " + zip), 2);
    EXPECT_NE(lastError().find("--zone needs a plane rectangular zone"), std::string::npos);
    EXPECT_EQ(exitOf("info --cell 0 " + zip), 2);
}

TEST_F(KovtoolSampleTest, FinerDsmAnswersOverTheTiles) {
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
    std::istringstream b(both), d(dsmOnly), t(tileOnly);
    int lines = 0, fromDsm = 0, differentFromTile = 0;
    for (std::string bl, dl, tl; std::getline(b, bl) && std::getline(d, dl) && std::getline(t, tl);
         ++lines) {
        // The finer DSM is asked first; where it holds no height the tile answers.
        const bool dsmKnows = dl.find_first_of("0123456789", dl.rfind(' ')) != std::string::npos;
        EXPECT_EQ(bl, dsmKnows ? dl : tl) << lines;
        fromDsm += dsmKnows;
        differentFromTile += bl != tl;
    }
    EXPECT_EQ(lines, 400);
    EXPECT_GT(fromDsm, 20);
    EXPECT_GT(differentFromTile, 0) << "buildings stand out of the terrain";

    EXPECT_NE(exitOf("elev " + dir->file("shape/areas.shp") + " --at 0,0"), 0) << "no mesh";
}

// A project whose layers cannot all be read opens with what can be read; every layer left out
// is a warning with its reason and is listed by info --json.
TEST_F(KovtoolSampleTest, ProjectLayersThatCannotBeReadAreWarningsWithTheirReason) {
    test::TempDir extra;
    std::string header = test::readFile(dir->file("Header/09LD281.csv"));
    // The southern corner (line 18) overflows to infinity.
    header.replace(header.find(",-3750000") + 1, 8, "1e400");
    test::writeFile(extra.file("inf/09LD281.kov"), test::readFile(dir->file("Data/09LD281.kov")));
    test::writeFile(extra.file("inf/09LD281.csv"), header);
    test::writeFile(extra.file("lone/L.kov"), test::readFile(dir->file("Data/09LD281.kov")));
    std::string project = test::readFile(dir->file("sample.kovv5"));
    project.insert(project.find("<MeshProject>") + 13, "<Mesh>" + extra.file("inf/09LD281.kov") +
                                                           "</Mesh><Mesh>" +
                                                           extra.file("lone/L.kov") + "</Mesh>");
    const std::string path = extra.file("p.kovv5");
    test::writeFile(path, project);

    const QJsonObject root = infoJson(path);
    const QJsonArray unreadable = root["unreadable"].toArray();
    ASSERT_EQ(unreadable.size(), 2) << lastError();
    EXPECT_EQ(unreadable[0].toObject()["path"].toString().toStdString(),
              extra.file("inf/09LD281.kov"));
    EXPECT_TRUE(unreadable[0].toObject()["reason"].toString().contains("not a finite number"));
    EXPECT_TRUE(unreadable[1].toObject()["reason"].toString().contains("header L.csv"));
    EXPECT_TRUE(root["extent"].toArray()[0].isDouble()) << "the extent stays finite";
    EXPECT_NE(lastError().find(extra.file("lone/L.kov") + ": layer of the project cannot be read"),
              std::string::npos)
        << lastError();

    EXPECT_EQ(exitOf("render " + path + " -o " + extra.file("p.png") + " --size 64x48"), 0)
        << lastError();
}

// kovtool render on the sample project.

TEST_F(KovtoolSampleTest, WritesTheRequestedPicture) {
    ASSERT_EQ(render("-o " + dir->file("a.png") + " --size 320x200 --no-sheets"), 0) << lastError();
    const QImage plain(QString::fromStdString(dir->file("a.png")));
    EXPECT_EQ(plain.size(), QSize(320, 200));
    // The view's background gradient runs from the top colour to the bottom colour beside the
    // data (the project is wider than tall, so the sides are background).
    EXPECT_EQ(plain.pixel(0, 0) & 0xFFFFFF, qRgb(128, 128, 255) & 0xFFFFFF);

    // The legend band is 9/4 of 7.5 mm at the resolution, which the PNG states.
    ASSERT_EQ(render("-o " + dir->file("b.png") + " --size 320x200 --legend --dpi 300"), 0);
    const QImage withLegend(QString::fromStdString(dir->file("b.png")));
    EXPECT_EQ(withLegend.size(), QSize(320, 400));
    EXPECT_EQ(std::pair(withLegend.dotsPerMeterX(), withLegend.dotsPerMeterY()),
              std::pair(11811, 11811));

    // A zoomed rectangle fills the picture with data.
    ASSERT_EQ(render("-o " + dir->file("c.png") +
                     " --size 200x200 --rect -9000,-36000,-8000,-35000"
                     " --no-sheets --no-scalebar --step-mode 1 --step 10"),
              0);
    const QImage zoomed(QString::fromStdString(dir->file("c.png")));
    EXPECT_NE(zoomed.pixel(0, 0) & 0xFFFFFF, qRgb(128, 128, 255) & 0xFFFFFF);

    ASSERT_EQ(render("-o " + dir->file("d.pdf") + " --size 320x200"), 0);
    const std::string info = test::runCommand("pdfinfo " + dir->file("d.pdf"));
    EXPECT_NE(info.find("Title:           サンプル地区"), std::string::npos) << info;
}

// kovtool never reports a result it could not write as written.
TEST_F(KovtoolSampleTest, FullDiskFailsAndKeepsThePreviousFile) {
    const std::string project = dir->file("sample.kovv5");
    for (const char* name : {"out.png", "out.pdf"}) {
        test::TempDir out;
        const std::string target = out.file(name);
        test::writeFile(target, "previous");
        int exitCode = 0;
        // A 64 KiB file-size limit stands in for a full disk; SIGXFSZ is ignored as a shell
        // would have it, so the writes fail instead of killing the program.
        test::runCommand("trap '' XFSZ; ulimit -f 64; " + std::string(KOVTOOL_PATH) + " render '" +
                             project + "' -o '" + target + "' --size 800x600 2>" +
                             out.file("stderr"),
                         &exitCode);
        EXPECT_NE(exitCode, 0) << name;
        EXPECT_NE(test::readFile(out.file("stderr")).find("cannot be written"), std::string::npos);
        EXPECT_EQ(test::readFile(target), "previous") << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 2)
            << "only the previous file and stderr remain";
    }
}

TEST_F(KovtoolSampleTest, UnwritableStandardOutputIsAFailure) {
    const std::string project = "'" + dir->file("sample.kovv5") + "'";
    for (const std::string& args :
         {"info " + project, "info --json " + project, "elev " + project + " --at -5000,-35500"}) {
        int exitCode = 0;
        kovtool(args + " >/dev/full", &exitCode);
        EXPECT_NE(exitCode, 0) << args;
        EXPECT_NE(lastError().find("cannot write the output"), std::string::npos) << args;
    }
}

// Long runs show their progress as GDAL's tools do, on a terminal only: never in pipes, nor
// with -q.
TEST_F(KovtoolSampleTest, ProgressOnATerminalOnly) {
    const std::string info = std::string(KOVTOOL_PATH) + " info '" + dir->file("tiles") + "'";
    const auto onTerminal = [](const std::string& command) {
        // script(1) gives the command a terminal; standard output is dropped, stderr is seen.
        return test::runCommand("script -qec \"" + command + " >/dev/null\" /dev/null");
    };
    const std::string reading = "0...10...20...30...40...50...60...70...80...90...100 - done.";
    EXPECT_NE(onTerminal(info).find(reading), std::string::npos);
    EXPECT_EQ(onTerminal(info + " -q").find(reading), std::string::npos);
    int exitCode = -1;
    kovtool("info '" + dir->file("tiles") + "'", &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(lastError().find(reading), std::string::npos) << "not in a pipe";
}

// As every GDAL tool: --version and COMMAND --help answer on stdout with exit 0, without a display.
TEST(CommandLines, HelpAndVersionNeedNoDisplay) {
    const std::string tool = KOVTOOL_PATH, view = KOVVIEW_PATH;
    // The command line, its exit status and how its output starts.
    std::vector<std::tuple<std::string, int, std::string>> cases = {
        {tool + " --version", 0, "kovtool (Kov View5) 2."},
        {view + " --version", 0, "kovview (Kov View5) 2."},
        {view + " --help", 0, "usage: kovview"},
        {view + " --bogus", 2, "kovview: unknown option --bogus\nusage: kovview"},
    };
    for (const char* command : {"info", "elev", "geo", "compose", "render", "sample"})
        cases.emplace_back(tool + " " + command + " --dsm-cell 2 --help", 0,
                           std::string("usage: kovtool ") + command + " ");
    for (const auto& [args, status, start] : cases) {
        int exitCode = -1;
        const std::string out = test::runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + args + " 2>&1", &exitCode);
        EXPECT_EQ(exitCode, status) << args;
        EXPECT_EQ(out.rfind(start, 0), 0u) << out;
    }
}

}  // namespace
}  // namespace kov
