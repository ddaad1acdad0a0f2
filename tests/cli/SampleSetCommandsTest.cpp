// SPDX-License-Identifier: MIT
// kovtool compose, info, elev, render, print, convert, export and contour on the sample set and
// its project.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gdal_priv.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/data/HMeshProject.h"
#include "core/project/LayerLoader.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

class KovtoolSampleTest : public test::SampleSetSuite {
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
    static void load(const std::vector<std::string>& paths, HMeshProject& project) {
        LoadReport report;
        loadLayerPaths(paths, project, report, LoadOptions{});
        ASSERT_TRUE(report.ok());
        ASSERT_GT(project.meshCount(), 0);
    }
    static std::string print(const std::string& name, const std::string& options) {
        const std::string out = dir->file(name);
        int code = -1;
        kovtool("print " + dir->file("sample.kovv5") + " -o " + out + " " + options, &code);
        EXPECT_EQ(code, 0) << lastError();
        return out;
    }
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
    test::writeFile(dir->file("refused/photo.jgw"), "1\n0\n0\n-1\n0\n0\n");
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

// kovtool convert.

// Every 5 m cell centre of a source's extent answers the same from the written tiles (loaded as
// a folder, as kovtool info and the program load it): ground to 0.1 m, water, or nothing. All
// go into one folder, so the later conversions replace the tiles of the earlier ones.
TEST_F(KovtoolSampleTest, TilesReadBackAsTheCollectionAnswers) {
    const std::string out = dir->file("converted");
    for (const std::vector<std::string>& source : std::vector<std::vector<std::string>>{
             {"Data", "tiles"}, {"dem/FG-GML-5339-46-DEM5A.zip"}, {"dem/sample-dem-jgd2011.tif"}}) {
        SCOPED_TRACE(source[0]);
        std::vector<std::string> paths;
        std::string command = "convert -q -o " + out;
        for (const auto& part : source)
            command += " " + paths.emplace_back(dir->file(part));
        ASSERT_EQ(exitOf(command), 0) << lastError();
        HMeshProject original, converted;
        load(paths, original);
        load({out}, converted);
        EXPECT_EQ(converted.GetMesh(0)->datum, GeodeticDatum::kJgd2011);
        const MapRect e = original.extent;
        long long ground = 0, mismatches = 0;
        for (double y = std::floor(e.ymin / 5) * 5 + 2.5; y < e.ymax; y += 5)
            for (double x = std::floor(e.xmin / 5) * 5 + 2.5; x < e.xmax; x += 5) {
                const auto answer = [x, y](const HMeshProject& p, WaterCells water) {
                    return p.queryElevation(x, y, water);
                };
                const PointElevation want = answer(original, WaterCells::LookBelow);
                const PointElevation got = answer(converted, WaterCells::LookBelow);
                const bool wantWater = answer(original, WaterCells::Answer).kind == CellKind::Water;
                const bool gotWater = answer(converted, WaterCells::Answer).kind == CellKind::Water;
                ground += want.kind == CellKind::Elevation;
                const bool same =
                    want.kind == CellKind::Elevation
                        ? got.kind == CellKind::Elevation && std::abs(got.z - want.z) <= 0.05 + 1e-9
                        : got.kind != CellKind::Elevation && gotWater == wantWater;
                if (!same && ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << " " << y << ": " << want.z << " vs " << got.z;
            }
        EXPECT_GT(ground, 100000);
        EXPECT_EQ(mismatches, 0);
    }
}

// A conversion that cannot write says so, fails, and claims no more tiles than it wrote: the
// north-east sheet, written last, meets a folder where its data file should go.
TEST_F(KovtoolSampleTest, RefusesWhatItCannotDo) {
    test::writeFile(dir->file("plain-file"), "x");
    std::filesystem::create_directories(dir->file("blocked/Data/09LD182.kov"));
    const std::string convert = "convert " + dir->file("Data") + " " + dir->file("tiles");
    const struct {
        std::string args;
        int exit;
        const char* says;
    } cases[] = {
        {convert, 2, "-o FOLDER is required"},
        {convert + " -o " + dir->file("plain-file"), 1, "not a folder"},
        {convert + " -o " + dir->file("plain-file/sub"), 1, "no tile was written"},
        {convert + " -o " + dir->file("blocked"), 1, "incomplete: 8 tiles written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(exitOf(c.args), c.exit);
        EXPECT_NE(lastError().find(c.says), std::string::npos) << lastError();
    }
}

// kovtool export, contour and placed pictures.

TEST_F(KovtoolSampleTest, BadRequestsFailWithTheirExitCodeAndLeaveNoFile) {
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
// written and placed; what needs GDAL fails with one line that says so. The same holds for a PDF
// without the PDF module.
TEST_F(KovtoolSampleTest, WithoutAModuleOnlyWhatNeedsItFailsInOneLine) {
    const std::string notALibrary = dir->file("notgdal.so");
    test::writeFile(notALibrary, "not a library\n");
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

    // A PDF needs qpdf, "kovtool print" the printer module, a zip the zip module; a PNG of the
    // tiles needs none of them.
    const struct {
        const char* variable;
        std::string command;
        const char* library;
    } needs[] = {{"KOV_PDF_MODULE",
                  "render " + data() + " --size 40x30 -q -o " + dir->file("page.pdf"), "qpdf"},
                 {"KOV_PRINTER_MODULE", "print " + data() + " -o " + dir->file("page.pdf"),
                  "Qt Print Support"},
                 {"KOV_ZIP_MODULE",
                  "render " + dir->file("dem/FG-GML-5339-46-DEM5A.zip") + " --size 40x30 -q -o " +
                      dir->file("page.pdf"),
                  "libzip"}};
    for (const auto& need : needs) {
        SCOPED_TRACE(need.variable);
        setenv(need.variable, notALibrary.c_str(), 1);
        EXPECT_EQ(exitOf("render " + data() + " --size 40x30 -q -o " + dir->file("page.png")), 0);
        EXPECT_EQ(exitOf(need.command), 1);
        const std::string said = lastError();
        EXPECT_NE(said.find(std::string("cannot load ") + need.library), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_FALSE(fs::exists(dir->file("page.pdf")));
        unsetenv(need.variable);
    }
}

// GDAL's messages (here libtiff's, which GDAL takes over) pass the program's filter from inside
// the module: dropped, or as "kovtool: GDAL: ..." lines with KOV_LIBRARY_MESSAGES set.
TEST_F(KovtoolSampleTest, GdalMessagesPassTheProgramsFilter) {
    const std::string damaged = dir->file("damaged.tif");
    test::writeFile(damaged, std::string("II*\0garbage after the header", 29));
    EXPECT_EQ(exitOf("info " + damaged), 1);
    const std::string quiet = lastError();
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), '\n'), 1) << quiet;
    setenv("KOV_LIBRARY_MESSAGES", "1", 1);
    // Without the cache, whose index now answers what the file is without asking GDAL.
    EXPECT_EQ(exitOf("info --no-cache " + damaged), 1);
    unsetenv("KOV_LIBRARY_MESSAGES");
    EXPECT_NE(lastError().find("kovtool: GDAL: "), std::string::npos) << lastError();
}

// The requested rectangle has the picture's proportions and lies on the 5 m cells, so the map
// shows it: 2.5 m a pixel, to the view's rounding of its edges (millimetres).
constexpr double kViewRounding = 0.005;

TEST_F(KovtoolSampleTest, RenderedMapsArePlacedOnTheirRectangle) {
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

// kovtool print.

constexpr double kPixelsPerMm = 10.0;  // the page is rasterised at 254 dpi

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;  // millimetres from the page's top left
};

// The bounding box of the coloured pixels above the given depth (the map: the relief fills
// its whole rectangle; the legend strip starts lower).
Box mapBox(const std::string& pdf, double aboveMm) {
    test::runCommand("pdftoppm -r 254 -singlefile -png " + pdf + " " + pdf);
    const QImage page =
        QImage(QString::fromStdString(pdf + ".png")).convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(page.isNull());
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    const int lowest = std::min(page.height(), int(aboveMm * kPixelsPerMm));
    for (int y = 0; y < lowest; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (qRed(row[x]) > 235 && qGreen(row[x]) > 235 && qBlue(row[x]) > 235) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return {left / kPixelsPerMm, top / kPixelsPerMm, (right + 1) / kPixelsPerMm,
            (bottom + 1) / kPixelsPerMm};
}
// The footer's box from pdftotext -bbox, in millimetres.
Box footerBox(const std::string& pdf) {
    const QString xml = QString::fromStdString(test::runCommand("pdftotext -bbox " + pdf + " -"));
    static const QRegularExpression word(
        "xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\"");
    Box box{1e9, 1e9, -1, -1};
    for (auto it = word.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        const double pt = 25.4 / 72.0;
        box.left = std::min(box.left, m.captured(1).toDouble() * pt);
        box.top = std::min(box.top, m.captured(2).toDouble() * pt);
        box.right = std::max(box.right, m.captured(3).toDouble() * pt);
        box.bottom = std::max(box.bottom, m.captured(4).toDouble() * pt);
    }
    return box;
}

TEST_F(KovtoolSampleTest, ModeZeroPrintsTheMapAtScaleCentredWithTheFooterBelow) {
    // 1500 x 1000 m at 1:10000 is 150 x 100 mm on A4 portrait (210 x 297 mm).
    const std::string pdf = print("scale.pdf",
                                  "--mode 0 --scale 10000 --rect -9500,-34000,-8000,-33000 "
                                  "--size 1500x1000 --scale-text --comment footer-note");
    EXPECT_NE(test::runCommand("pdfinfo " + pdf).find("595 x 842 pts (A4)"), std::string::npos);
    const Box footer = footerBox(pdf);
    const Box map = mapBox(pdf, footer.top - 0.2);
    EXPECT_NEAR(map.right - map.left, 150.0, 0.5);
    EXPECT_NEAR(map.bottom - map.top, 100.0, 0.5);
    EXPECT_NEAR((map.left + map.right) / 2, 105.0, 0.5);   // centred across the page
    EXPECT_NEAR((map.top + map.bottom) / 2, 148.5, 0.75);  // and down it (no legend band)

    const std::string text = test::runCommand("pdftotext " + pdf + " -");
    EXPECT_NE(text.find("SCALE: 1/10,000"), std::string::npos) << text;
    EXPECT_NE(text.find("footer-note"), std::string::npos) << text;
    // Its top 5/72 inch (1.8 mm) below the map, centred on the page.
    EXPECT_NEAR(footer.top - map.bottom, 25.4 * 5 / 72, 0.75);
    EXPECT_NEAR((footer.left + footer.right) / 2, 105.0, 1.0);
}

TEST_F(KovtoolSampleTest, AMapLargerThanThePaperIsRefusedOrCutWithClip) {
    // 1500 x 1000 m at 1:2 would be 750 x 500 m of paper.
    const std::string over =
        " --mode 0 --scale 2 --rect -9500,-34000,-8000,-33000 --size 1500x1000";
    EXPECT_EQ(exitOf("print " + dir->file("sample.kovv5") + " -o " + dir->file("over.pdf") + over),
              1);
    EXPECT_NE(lastError().find("exceeds the largest printable size"), std::string::npos)
        << lastError();
    EXPECT_FALSE(std::filesystem::exists(dir->file("over.pdf")));
    // With --clip the part around the centre that fits the paper: a page a PDF reader draws.
    const Box map = mapBox(print("clip.pdf", over + " --clip"), 297.0);
    EXPECT_GT(map.right - map.left, 190.0);
    EXPECT_GT(map.bottom - map.top, 250.0);
}

}  // namespace
}  // namespace kov
