// SPDX-License-Identifier: MIT
// Elevation sources placed in the project's zone, through the loaders a user's load takes:
// the registry's judgement by content, the zone rules, project files moved with their zips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>

#include "core/data/HMeshProject.h"
#include "core/data/cache/TileCache.h"
#include "core/data/dem/ZonePlacement.h"
#include "core/project/LayerLoader.h"
#include "core/project/LayerRegistry.h"
#include "core/project/ProjectFile.h"
#include "sample/SampleDem.h"
#include "support/MeshFixtures.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

class DemLoadingTest : public test::SampleSetSuite {
protected:
    static std::string zip() { return dir->file(sample::kSampleDemZipPath); }
    static std::string tiff() { return dir->file(sample::kSampleDemTiffPath); }

    static int load(HMeshProject& project, const std::vector<std::string>& paths,
                    const DemSettings& dem = {}) {
        LoadReport report;
        LoadOptions options;
        options.dem = dem;
        const int added = loadLayerPaths(paths, project, report, options);
        EXPECT_TRUE(report.ok()) << (report.unreadable.empty() ? "" : report.unreadable[0].reason);
        return added;
    }
    static DemSettings inZone(int zone, double cellSize = 0) {
        DemSettings settings;
        settings.zone = zone;
        if (cellSize > 0) settings.cellSize = cellSize;
        return settings;
    }
};

TEST_F(DemLoadingTest, ContentDecidesWhatAFileIs) {
    const std::string member = zip() + "/FG-GML-5339-46-11-DEM5A-20161001.xml";
    test::writeFile(dir->file("other.xml"), "<?xml version=\"1.0\"?><Dataset/>");
    std::filesystem::copy_file(tiff(), dir->file("dem.jpg"));  // a misleading name
    struct {
        std::string path;
        LayerKind kind;
    } cases[] = {{zip(), LayerKind::DemSource},
                 {member, LayerKind::DemSource},
                 {tiff(), LayerKind::DemSource},
                 {dir->file("dem.jpg"), LayerKind::DemSource},
                 {dir->file("other.xml"), LayerKind::Image}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(layerKindOfPath(c.path), c.kind);
    }
    // What it is not is named, not a "damaged" picture.
    const LoadedLayer other = loadLayer(dir->file("other.xml"), LayerKind::Image, 5.0, nullptr);
    EXPECT_NE(other.reason.find("not an FG-GML DEM"), std::string::npos) << other.reason;
    ASSERT_EQ(std::system(("gdal_translate -q -ot UInt32 '" + tiff() + "' '" +
                           dir->file("uint32.tif") + "'")
                              .c_str()),
              0);
    const LoadedLayer unsigned32 =
        loadLayer(dir->file("uint32.tif"), LayerKind::Image, 5.0, nullptr);
    EXPECT_NE(unsigned32.reason.find("data type UInt32"), std::string::npos) << unsigned32.reason;
}

TEST_F(DemLoadingTest, ZoneIsTheTilesThenTheChoiceThenTheNearest) {
    HMeshProject withTiles;
    ASSERT_GT(load(withTiles, {dir->path(), tiff()}, inZone(2)), 0);
    const ZarHMesh* placed = firstPlacedMesh(withTiles);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->zone, 9);  // the tiles' zone, whatever was chosen
    // A point of the tiles answers the same from the placed raster (both are the terrain).
    double fromTiles = 0, fromRaster = 0;
    bool tileAnswered = false;
    for (int i = 0; i < withTiles.meshCount(); ++i)
        if (withTiles.GetMesh(i) != placed)
            tileAnswered |= withTiles.GetMesh(i)->GetElevation(-5800, -35200, fromTiles) != 0;
    ASSERT_TRUE(tileAnswered);
    ASSERT_TRUE(placed->GetElevation(-5800, -35200, fromRaster));
    EXPECT_NEAR(fromRaster, fromTiles, 1.0);

    HMeshProject chosen, nearest;
    ASSERT_EQ(load(chosen, {zip()}, inZone(8)), 4);
    ASSERT_EQ(load(nearest, {zip()}), 4);
    EXPECT_EQ(chosen.GetMesh(0)->zone, 8);
    EXPECT_EQ(nearest.GetMesh(0)->zone, 9);  // Tokyo Bay: zone 9's origin is nearest
    EXPECT_EQ(chosen.GetMesh(0)->cellSize, 5.0);
}

TEST_F(DemLoadingTest, ProjectFindsItsZipMembersAfterTheMove) {
    const std::string before = dir->file("move/before"), after = dir->file("move/after");
    std::filesystem::create_directories(before);
    std::filesystem::copy_file(zip(), before + "/dem.zip");
    HMeshProject project;
    ASSERT_EQ(load(project, {before + "/dem.zip"}, inZone(10, 10.0)), 4);
    ASSERT_TRUE(SaveProjectFile(project, before + "/p.kovv5"));
    const std::string text = test::readFile(before + "/p.kovv5");
    EXPECT_NE(text.find("<Mesh UPP=\"10\">" + before + "/dem.zip/FG-GML-5339-46-00-DEM5A"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<Zone Datum=\"JGD2011\">10</Zone>"), std::string::npos) << text;

    std::filesystem::rename(before, after);
    HMeshProject reopened;
    ProjectLoadReport report;
    ASSERT_TRUE(LoadProjectFile(reopened, after + "/p.kovv5", nullptr, &report));
    EXPECT_TRUE(report.missing.empty() && report.unreadable.empty());
    ASSERT_EQ(reopened.meshCount(), 4);
    for (int i = 0; i < 4; ++i) {
        const ZarHMesh &a = *project.GetMesh(i), &b = *reopened.GetMesh(i);
        EXPECT_EQ(std::tuple(b.zone, b.cellSize, b.xmin, b.ymax, b.path.substr(0, after.size())),
                  std::tuple(10, 10.0, a.xmin, a.ymax, after));
        EXPECT_TRUE(test::allCodes(b) == test::allCodes(a)) << i;
    }
}

TEST_F(DemLoadingTest, MembersNamedOneByOneReadTheirZipOnce) {
    // A project of single members, one of them gone from the zip: the others load, the missing
    // one is named.
    const std::string member = zip() + "/FG-GML-5339-46-01-DEM5A-20161001.xml";
    test::writeFile(dir->file("members.kovv5"),
                    "<?xml version='1.0' encoding='UTF-8'?>\n<MeshProject>\n<Mesh UPP=\"5\">" +
                        member + "</Mesh>\n<Mesh UPP=\"5\">" + zip() +
                        "/FG-GML-5339-46-99-DEM5A-20161001.xml</Mesh>\n</MeshProject>\n");
    HMeshProject project;
    ProjectLoadReport report;
    ASSERT_TRUE(LoadProjectFile(project, dir->file("members.kovv5"), nullptr, &report));
    ASSERT_EQ(project.meshCount(), 1);
    EXPECT_EQ(project.GetMesh(0)->path, member);
    ASSERT_EQ(report.unreadable.size(), 1u);
    EXPECT_NE(report.unreadable[0].path.find("-99-"), std::string::npos);
}

TEST_F(DemLoadingTest, CacheGivesTheVeryPlacedMeshesAndFallsBackToTheSources) {
    namespace fs = std::filesystem;
    // Copies of their own, changed below.
    const std::string folder = dir->file("cached");
    fs::create_directories(folder);
    const std::vector<std::string> paths = {folder + "/dem.zip", folder + "/dem.tif"};
    fs::copy_file(zip(), paths[0], fs::copy_options::overwrite_existing);
    fs::copy_file(tiff(), paths[1], fs::copy_options::overwrite_existing);
    HMeshProject fresh;
    ASSERT_EQ(load(fresh, paths), 5);

    // Outside the sources' folder, whose time a raster's key holds.
    auto cache = std::make_shared<TileCache>(dir->file("placed-cache"));
    TileCache::setActive(cache);
    struct Inactive {
        ~Inactive() { TileCache::setActive(nullptr); }
    } inactive;
    // A load through the cache: the meshes of the load without it, cell for cell.
    auto expectLoad = [&](const HMeshProject& expected, bool fromCache) {
        SCOPED_TRACE(fromCache ? "from the cache" : "from the sources");
        HMeshProject project;
        ASSERT_EQ(load(project, paths), expected.meshCount());
        for (int i = 0; i < expected.meshCount(); ++i) {
            SCOPED_TRACE(i);
            const auto& a = dynamic_cast<const ZarDemMesh&>(*expected.GetMesh(i));
            const auto* b = dynamic_cast<const ZarDemMesh*>(project.GetMesh(i));
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->cells.isResident(), !fromCache);
            EXPECT_EQ(std::tie(b->path, b->name, b->zone, b->xmin, b->ymax, b->sourceKind,
                               b->sourceCounts.ground),
                      std::tie(a.path, a.name, a.zone, a.xmin, a.ymax, a.sourceKind,
                               a.sourceCounts.ground));
            EXPECT_TRUE(test::allCodes(*b) == test::allCodes(a));
        }
    };
    expectLoad(fresh, false);
    expectLoad(fresh, true);
    HMeshProject elsewhere;  // other settings: another placement
    ASSERT_EQ(load(elsewhere, paths, inZone(8)), 5);
    EXPECT_EQ(elsewhere.GetMesh(0)->zone, 8);
    EXPECT_FALSE(cache->takeWarning());

    // Every entry damaged under meshes whose cells were let go: the sources are placed again.
    {
        HMeshProject released;
        ASSERT_EQ(load(released, paths), 5);
        test::damageEveryFile(cache->folder());
        for (int i = 0; i < fresh.meshCount(); ++i)
            EXPECT_TRUE(test::allCodes(*released.GetMesh(i)) == test::allCodes(*fresh.GetMesh(i)));
        EXPECT_TRUE(cache->takeWarning());
    }
    expectLoad(fresh, false);  // the damaged list of meshes is refused, and rebuilt
    EXPECT_TRUE(cache->takeWarning());
    expectLoad(fresh, true);

    // A changed source is read again: the raster cut to its north-western corner.
    const std::string cut = folder + "/cut.tif";
    ASSERT_EQ(std::system(
                  ("gdal_translate -q -srcwin 0 0 20 20 '" + paths[1] + "' '" + cut + "'").c_str()),
              0);
    fs::rename(cut, paths[1]);
    TileCache::setActive(nullptr);
    HMeshProject changed;
    ASSERT_EQ(load(changed, paths), 5);
    auto rasterWidth = [&](const HMeshProject& project) {
        for (int i = 0; i < project.meshCount(); ++i)
            if (project.GetMesh(i)->path == paths[1]) return project.GetMesh(i)->cols;
        return 0;
    };
    ASSERT_LT(rasterWidth(changed), rasterWidth(fresh));
    TileCache::setActive(cache);
    expectLoad(changed, false);
    expectLoad(changed, true);
    test::writeFile(folder + "/notes.txt", "");  // a companion may have come: read again
    expectLoad(changed, false);
    test::setModified(paths[0], 1);  // the zip: another time alone
    expectLoad(changed, false);
}

}  // namespace
}  // namespace kov
