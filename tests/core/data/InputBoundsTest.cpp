// SPDX-License-Identifier: MIT
// Hostile inputs: files that are no regular files, and small files that claim huge amounts of
// memory. Every reader answers at once and within its documented bound; the project refuses a
// layer past its memory budget.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <functional>

#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHImage.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/data/ZarVeyMeshDSM.h"
#include "core/data/image/PictureDecoder.h"
#include "core/project/LayerLoader.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::TempDir;

TEST(NonRegularFiles, FifosAndDevicesAreRefusedWithoutBlocking) {
    TempDir dir;
    test::TileSpec tile;
    test::writeFile(dir.file("t.kov"), test::dataText(tile));
    test::writeFile(dir.file("s.shp"), std::string(100, '\0'));
    for (const char* name : {"f.kov", "t.csv", "s.shx", "f.png", "f.shp"})
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0) << name;

    const struct {
        const char* fifo;
        std::function<void()> work;
    } cases[] = {
        {"f.kov",
         [&] {
             EXPECT_EQ(openFile(dir.file("f.kov")), nullptr);
             EXPECT_FALSE(isReadableFile(dir.file("f.kov")));
             EXPECT_EQ(openFile("/dev/zero"), nullptr) << "a device";
         }},
        {"t.csv", [&] { EXPECT_EQ(ZarVeyMesh5().Load(dir.file("t.kov")), 0) << "header"; }},
        {"s.shx", [&] { EXPECT_EQ(ShpImport().Load(dir.file("s.shp"), nullptr), 0); }},
        {"f.png", [&] { EXPECT_EQ(ZarHImage().Load(dir.file("f.png")), 0); }},
        {"f.shp", [&] { EXPECT_EQ(ShpImport().Load(dir.file("f.shp"), nullptr), 0); }},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(test::endsWithoutBlocking(dir.file(c.fifo), c.work)) << c.fifo;
    EXPECT_TRUE(isReadableFile(dir.file("t.kov")));
}

// The bytes this process has read from files so far ("rchar" of /proc/self/io).
uint64_t bytesRead() {
    const std::string io = test::readFile("/proc/self/io");
    const size_t at = io.find("rchar: ");
    return at == std::string::npos ? 0 : std::stoull(io.substr(at + 7));
}

TEST(FileSizeBound, LargerDisqualifiedAndGrowingFilesAreRefusedUnread) {
    TempDir dir;
    test::writeFile(dir.file("f"), std::string(100, 'x'));
    EXPECT_EQ(openFile(dir.file("f"), {}, nullptr, 99), nullptr);
    const auto file = openFile(dir.file("f"), {}, nullptr, 100);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents().size(), 100u);

    // A gigabyte of zeros (sparse): the first bytes already tell it is no picture and no
    // shapefile, and a picture file beyond the largest decoded picture is not read at all.
    for (const auto& [name, bytes] : {std::pair{"zeros.png", uint64_t{1} << 30},
                                      {"zeros.shp", uint64_t{1} << 30},
                                      {"huge.png", uint64_t{3} << 30}}) {
        test::writeFile(dir.file(name), "");
        std::filesystem::resize_file(dir.file(name), bytes);
    }
    const uint64_t before = bytesRead();
    ZarHImage picture, tooLarge;
    EXPECT_EQ(picture.Load(dir.file("zeros.png")), 0);
    EXPECT_NE(picture.errorText.find("first bytes"), std::string::npos) << picture.errorText;
    EXPECT_EQ(tooLarge.Load(dir.file("huge.png")), 0);
    EXPECT_NE(tooLarge.errorText.find("larger than"), std::string::npos) << tooLarge.errorText;
    ShpImport shapes;
    EXPECT_EQ(shapes.Load(dir.file("zeros.shp"), nullptr), 0);
    EXPECT_NE(shapes.errorText.find("not a shapefile"), std::string::npos) << shapes.errorText;
    EXPECT_LT(bytesRead() - before, uint64_t{1} << 20);

    // A file that holds more than its size when opened (as one that grows while it is read)
    // is refused after one byte beyond that size.
    std::string reason;
    EXPECT_EQ(openFile("/proc/self/status", {}, &reason), nullptr);
    EXPECT_NE(reason.find("grew"), std::string::npos) << reason;
}

TEST(ReaderBounds, TileHeadersCannotClaimMoreCellsThanTheirDataCanFill) {
    test::TileSpec huge;
    huge.cols = 16000;
    huge.rows = 16000;
    huge.codes = {{1, 2}};
    std::string data = "000001   1    1    2";
    ZarVeyMesh5 mesh;
    EXPECT_EQ(mesh.ReadTileFiles(test::headerText(huge), data), 0) << "a gigabyte for 20 bytes";
    EXPECT_EQ(mesh.cells.size(), 0u) << "unchanged";

    // A full 400 x 300 tile, and any grid up to 1024 x 1024 even without data.
    test::TileSpec full;
    full.cols = 400;
    full.rows = 300;
    full.codes.assign(300, std::vector<int>(400, 7));
    ASSERT_EQ(mesh.ReadTileFiles(test::headerText(full), test::dataText(full)), 1);
    EXPECT_EQ(mesh.cell(399, 299), 7);
    test::TileSpec empty;
    empty.cols = empty.rows = 1024;
    EXPECT_EQ(mesh.ReadTileFiles(test::headerText(empty), ""), 1);
    EXPECT_EQ(ZarVeyMesh5::cellBound(5'000'000), 4'000'000);
}

TEST(ReaderBounds, DsmGridsCannotSpanMoreThanTheirPointsCanFill) {
    // Two points 10 km apart: 5000 x 3750 cells of 2 m (94 MB) for 40 bytes.
    const std::string text = "1,0,0,5\n2,9999,7499,6\n";
    ZarVeyMeshDSM far(2.0);
    EXPECT_EQ(far.readDsm(HxFile("/dsm/far.txt", std::string_view(text)), nullptr), 0);
    ZarVeyMeshDSM near(2.0);
    ASSERT_EQ(near.readDsm(HxFile("/dsm/near.txt", std::string_view("1,0,0,5\n2,1999,1499,6\n")),
                           nullptr),
              1);
    EXPECT_EQ(near.cols, 1000) << "one sheet";
    EXPECT_GE(ZarVeyMeshDSM::cellBound(10'000'000 * size_t{30}), int64_t{1} << 31)
        << "a 10 M-point file may fill any grid the reader builds";
}

TEST(ReaderBounds, PicturesAreCheckedAgainstWhatTheirFileCanHold) {
    // 8000 x 8000 pixels of one colour: a PNG of some kilobytes that decodes to 256 MB.
    QImage mono(8000, 8000, QImage::Format_Mono);
    mono.fill(0);
    const std::string png = test::encodedImage(mono, "PNG");
    ASSERT_FALSE(png.empty());
    ASSERT_LT(png.size(), 1u << 20);
    EXPECT_TRUE(decodePicture(png, ".png", nullptr).isNull());

    // An aerial photograph of 20,000 x 15,000 pixels in a file of tens of megabytes fits.
    EXPECT_TRUE(fitsLimits(20000, 15000, limitsForFile(size_t{40} << 20)));
    EXPECT_FALSE(fitsLimits(20000, 15000, limitsForFile(size_t{300} << 10)));
}

// The collection's own refusals are in its tests; the loader names the file that did not fit.
TEST(MemoryBudget, TheLoaderNamesLayersPastTheBudget) {
    TempDir dir;
    test::TileSpec tile;
    test::writeTile(tile, dir.file("one.kov"));
    tile.xmin = 20;
    test::writeTile(tile, dir.file("two.kov"));
    HMeshProject small;
    small.memoryBudget = 30;  // one 4 x 3 tile's grid, 2 bytes a cell
    LoadReport report;
    EXPECT_EQ(loadLayerPaths({dir.file("one.kov"), dir.file("two.kov")}, small, report), 1);
    EXPECT_EQ(report.overBudget, std::vector<std::string>{dir.file("two.kov")});
    EXPECT_TRUE(report.duplicates.empty());
    EXPECT_FALSE(report.ok());
}

TEST(FolderListings, TilesFindTheirHeadersWithoutListingTheDataFolderEachTime) {
    TempDir dir;
    test::TileSpec tile;
    for (int i = 0; i < 30; ++i) {
        tile.xmin = 20.0 * i;
        const std::string name = "T" + std::to_string(i);
        test::writeTile(tile, dir.file("set/Data/" + name + ".kov"),
                        dir.file("set/Header/" + name + ".csv"));
        test::writeTile(tile, dir.file("other/Data/" + name + ".kov"),
                        dir.file("other/HEADER/" + name + ".CSV"));
    }
    for (const char* set : {"set", "other"}) {
        HMeshProject project;
        LoadReport report;
        const uint64_t before = folderListingsRead();
        EXPECT_EQ(loadLayerPaths({dir.file(set)}, project, report), 30) << set;
        // Exact names need no listing; names in another letter case list each folder once.
        EXPECT_LE(folderListingsRead() - before, set[0] == 's' ? 0u : 3u) << set;
    }
}

}  // namespace
}  // namespace kov
