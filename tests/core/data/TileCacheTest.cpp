// SPDX-License-Identifier: MIT
#include "core/data/cache/TileCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "core/data/HMeshProject.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/data/ZarVeyMeshDSM.h"
#include "core/data/dem/DemSource.h"
#include "core/data/dem/RasterDem.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

int32_t at(const ZarHMesh& mesh, int col, int row) {
    return mesh.cell(col, row);  // read as consumers read, never widened for writing
}

std::vector<int32_t> cellsOf(const ZarHMesh& mesh) {
    std::vector<int32_t> out(mesh.cells.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = mesh.cells[i];
    return out;
}

// The record and the cells of a mesh are those of the source.
void expectSame(const ZarHMesh& mesh, const ZarHMesh& source) {
    EXPECT_EQ(
        std::tie(mesh.name, mesh.cols, mesh.rows, mesh.minRaw, mesh.maxRaw, mesh.xmax, mesh.ymax),
        std::tie(source.name, source.cols, source.rows, source.minRaw, source.maxRaw, source.xmax,
                 source.ymax));
    EXPECT_EQ(cellsOf(mesh), cellsOf(source));
}

// Tiles read through a cache in the test's folder.
class TileCacheTest : public ::testing::Test {
protected:
    void SetUp() override { TileCache::setActive(cache); }
    void TearDown() override { TileCache::setActive(nullptr); }

    std::string writeSample(const std::string& name, std::vector<std::vector<int>> codes) {
        test::TileSpec tile;
        tile.name = name;
        tile.rows = static_cast<int>(codes.size());
        tile.cols = static_cast<int>(codes[0].size());
        tile.codes = std::move(codes);
        const std::string path = dir.file(name + ".kov");
        test::writeTile(tile, path);
        return path;
    }
    std::unique_ptr<ZarVeyMesh5> load(const std::string& path) {
        auto mesh = std::make_unique<ZarVeyMesh5>();
        EXPECT_EQ(mesh->Load(path), 1) << mesh->errorText;
        return mesh;
    }
    // The first load writes the entry; answers the entry's path.
    std::string cached(const std::string& tile) {
        load(tile);
        std::vector<std::string> entries;
        for (const auto& item : fs::directory_iterator(cache->folder()))
            entries.push_back(item.path());
        EXPECT_FALSE(entries.empty());
        return entries.empty() ? "" : entries.back();
    }

    // The indexes written and the cache opened anew, as by the next process.
    void reopen() {
        cache->saveIndexes();
        cache = std::make_shared<TileCache>(cache->folder());
        TileCache::setActive(cache);
    }
    // The one file of the cache with this extension.
    std::string cacheFile(const char* extension) {
        std::vector<std::string> found;
        for (const auto& item : fs::directory_iterator(cache->folder()))
            if (item.path().extension() == extension) found.push_back(item.path());
        EXPECT_EQ(found.size(), 1u) << extension;
        return found.empty() ? "" : found[0];
    }

    test::TempDir dir;
    std::shared_ptr<TileCache> cache = std::make_shared<TileCache>(dir.file("cache"));
    const std::vector<std::vector<int>> codes = {
        {-9999, 120, 131, -1111}, {0, 5, 99, 1500}, {7, 7, -9999, 3}};
};

TEST_F(TileCacheTest, EntryGivesTheSourcesRecordAndCells) {
    // 16-bit cells and cells whose range needs 32 bits.
    for (const auto& grid : {codes, std::vector<std::vector<int>>{{0, 1, 99999, -1111}}}) {
        SCOPED_TRACE(grid.size());
        fs::remove_all(cache->folder());
        const std::string path = writeSample("t" + std::to_string(grid.size()), grid);
        ZarVeyMesh5 source;
        ASSERT_EQ(source.LoadSource(path), 1);
        load(path);
        const std::unique_ptr<ZarVeyMesh5> fromCache = load(path);
        EXPECT_FALSE(fromCache->cells.isResident());  // the record alone was read
        expectSame(*fromCache, source);
        EXPECT_FALSE(cache->takeWarning());
    }
}

TEST_F(TileCacheTest, ChangedSourceIsReadAgain) {
    const std::string path = writeSample("t", codes);
    // Both files at one fixed time, so that only what the case changes differs.
    auto setTime = [&](int64_t seconds) {
        for (const std::string& file : {path, dir.file("t.csv")})
            test::setModified(file, seconds);
    };
    setTime(1);
    load(path);
    reopen();  // the record in the folder's index
    auto changed = codes;
    changed[0][1] = 121;  // same size, another time (and another highest cell)
    changed[1][3] = 1501;
    writeSample("t", changed);
    setTime(2);
    EXPECT_EQ(at(*load(path), 1, 2), 121);
    reopen();
    changed[0][1] = 122;  // the same time, another size (a blank line more)
    changed[1][3] = 1502;
    writeSample("t", changed);
    std::ofstream(path, std::ios::app) << "\n";
    setTime(2);
    EXPECT_EQ(at(*load(path), 1, 2), 122);
    reopen();
    EXPECT_EQ(at(*load(path), 1, 2), 122);
}

TEST_F(TileCacheTest, IndexGivesRecordsWithoutEntriesAndADamagedOneIsRebuilt) {
    const std::string path = writeSample("t", codes);
    ZarVeyMesh5 source;
    ASSERT_EQ(source.LoadSource(path), 1);
    // The record from the index alone: the entry is gone, the cells come from the source.
    auto expectFromIndex = [&] {
        reopen();
        fs::remove(cacheFile(".kce"));
        const std::unique_ptr<ZarVeyMesh5> mesh = load(path);
        EXPECT_FALSE(mesh->cells.isResident());
        expectSame(*mesh, source);
        EXPECT_TRUE(cache->takeWarning());
    };
    load(path);
    expectFromIndex();

    const std::pair<const char*, std::function<void(std::string&)>> damages[] = {
        {"a flipped byte of the tile's name", [](std::string& b) { b.back() ^= 2; }},
        {"cut short", [](std::string& b) { b.resize(b.size() - 5); }},
        {"another version", [](std::string& b) { ++b[8]; }},
    };
    for (const auto& [what, damage] : damages) {
        SCOPED_TRACE(what);
        reopen();
        const std::string index = cacheFile(".kci");
        std::string bytes = test::readFile(index);
        damage(bytes);
        test::writeFile(index, bytes);
        reopen();
        expectSame(*load(path), source);  // from its entry
        const std::optional<CacheProblem> warning = cache->takeWarning();
        EXPECT_TRUE(warning && warning->kind == CacheProblem::Kind::IndexDamaged);
        expectFromIndex();  // rebuilt
    }
}

TEST_F(TileCacheTest, DamagedEntriesAreRefusedAndRebuilt) {
    struct Case {
        const char* what;
        std::function<void(std::string& bytes)> damage;  // empty: the entry is deleted
    };
    const Case cases[] = {
        {"a flipped cell byte", [](std::string& b) { b[b.size() - 3] ^= 4; }},
        {"cut short", [](std::string& b) { b.resize(b.size() - 2); }},
        {"another version", [](std::string& b) { ++b[8]; }},
        {"a flipped key byte", [](std::string& b) { b[70] ^= 1; }},
        {"deleted", {}},
    };
    const std::string path = writeSample("t", codes);
    ZarVeyMesh5 source;
    ASSERT_EQ(source.LoadSource(path), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string entry = cached(path);
        // Damaged before the load (refused at once) and after it (refused when the cells come).
        const std::unique_ptr<ZarVeyMesh5> loadedBefore = load(path);
        std::string bytes = test::readFile(entry);
        if (c.damage) c.damage(bytes);
        c.damage ? test::writeFile(entry, bytes) : void(fs::remove(entry));
        EXPECT_EQ(cellsOf(*loadedBefore), cellsOf(source));
        EXPECT_EQ(cellsOf(*load(path)), cellsOf(source));
        EXPECT_TRUE(cache->takeWarning());
        EXPECT_EQ(cellsOf(*load(path)), cellsOf(source));  // from the rebuilt entry
        EXPECT_FALSE(cache->takeWarning());
    }
}

TEST_F(TileCacheTest, UnusableFolderFallsBackToTheSourcesWithOneWarning) {
    const std::string path = writeSample("t", codes);
    const std::string other = writeSample("u", codes);
    test::writeFile(dir.file("file"), "");
    TileCache::setActive(std::make_shared<TileCache>(dir.file("file")));  // cannot be a folder
    EXPECT_EQ(at(*load(path), 0, 2), MESH_WATER);
    EXPECT_EQ(at(*load(other), 0, 2), MESH_WATER);
    const auto warning = TileCache::active()->takeWarning();
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->kind, CacheProblem::Kind::FolderUnwritable);

    // The folder deleted while cells are let go: they come from the source.
    TileCache::setActive(cache);
    load(path);
    const std::unique_ptr<ZarVeyMesh5> mesh = load(path);
    fs::remove_all(cache->folder());
    EXPECT_EQ(at(*mesh, 1, 2), 120);
    EXPECT_TRUE(cache->takeWarning());
    EXPECT_TRUE(fs::exists(cache->folder()));  // written again
}

TEST_F(TileCacheTest, ResidencyLetsTheLeastRecentlyUsedGoAndTheyComeBack) {
    HMeshProject project;
    project.memoryBudget = 2 * 12 * sizeof(uint16_t);  // two of the three tiles' cells
    std::vector<const ZarHMesh*> meshes;
    for (int i = 0; i < 3; ++i) {
        test::TileSpec tile;
        tile.codes = codes;
        tile.xmin = 100.0 * i;
        tile.codes[0][1] = 200 + i;
        const std::string path = dir.file("t" + std::to_string(i) + ".kov");
        test::writeTile(tile, path);
        // A first read, which writes the entry: the cells it holds can go and come back too, so
        // that the budget takes the tiles of a first load as it takes those of a later one.
        std::unique_ptr<ZarHMesh> mesh = load(path);
        meshes.push_back(mesh.get());
        ASSERT_EQ(project.AddMesh(mesh), 1);
    }
    // Each read between two trims, as the pieces of work run: the first read is the oldest.
    auto residents = [&] {
        std::string out;
        for (const ZarHMesh* mesh : meshes)
            out += mesh->cells.isResident() ? 'R' : '-';
        return out;
    };
    for (const int i : {0, 1, 2, 0}) {
        EXPECT_EQ(at(*meshes[static_cast<size_t>(i)], 1, 2), 200 + i);
        project.trimCells();
    }
    EXPECT_EQ(residents(), "R-R");
    EXPECT_FALSE(cache->takeWarning());
}

TEST_F(TileCacheTest, DsmFilesAreCachedPerCellSizeAndReadAgainWhenChangedOrDamaged) {
    const std::string path = dir.file("points.txt");
    auto writePoints = [&](const char* z, int64_t seconds) {
        test::writeFile(path,
                        std::string("1,100.5,200.5,") + z + "\n2,103,201,-9999\n3,1999,1,7\n");
        test::setModified(path, seconds);
    };
    auto loadDsm = [&](double cellSize) {
        auto mesh = std::make_unique<ZarVeyMeshDSM>(cellSize);
        EXPECT_EQ(mesh->Load(path), 1) << mesh->errorText;
        return mesh;
    };
    auto withoutCache = [&](double cellSize) {
        TileCache::setActive(nullptr);
        std::unique_ptr<ZarVeyMeshDSM> mesh = loadDsm(cellSize);
        TileCache::setActive(cache);
        return mesh;
    };
    writePoints("12.25", 1);
    for (const double cellSize : {2.0, 1.0}) {  // the grid depends on the cell size
        SCOPED_TRACE(cellSize);
        const std::unique_ptr<ZarVeyMeshDSM> source = withoutCache(cellSize);
        loadDsm(cellSize);
        const std::unique_ptr<ZarVeyMeshDSM> cached = loadDsm(cellSize);
        EXPECT_FALSE(cached->cells.isResident());
        expectSame(*cached, *source);
    }
    ZarVeyMeshDSM limited(2.0);  // a lower cell limit refuses the file, cached or not
    limited.setCellLimit(1000);
    EXPECT_EQ(limited.Load(path), 0);

    writePoints("13.25", 2);  // the same size, another time
    EXPECT_EQ(at(*loadDsm(2.0), 50, 100), 13250);

    // An entry damaged under a mesh whose cells were let go: they come from the file again.
    const std::unique_ptr<ZarVeyMeshDSM> released = loadDsm(2.0);
    ASSERT_FALSE(released->cells.isResident());
    test::damageEveryFile(cache->folder());
    expectSame(*released, *withoutCache(2.0));
    EXPECT_TRUE(cache->takeWarning());
}

// What GDAL found of a raster is kept in its folder's index: a later load asks the index, until
// the file or its folder (a companion added) changes.
TEST_F(TileCacheTest, RasterProbesAreKeptUntilTheFileOrItsFolderChanges) {
    GeoGrid grid;
    grid.cols = 20;
    grid.rows = 10;
    grid.west = -5000.0;
    grid.north = 12000.0;
    grid.stepX = grid.stepY = 5.0;
    grid.crs.epsg = 6677;
    grid.codes.assign(200, 1500);
    fs::create_directories(dir.file("rasters"));  // a folder of its own: the cache's stays apart
    const std::string path = dir.file("rasters/dem.tif");
    std::string error;
    ASSERT_TRUE(writeRasterDem(grid, path, "GTiff", &error)) << error;
    const DemProbe first = probeDemFile(path);
    EXPECT_EQ(first.kind, DemFileKind::RasterDem);
    reopen();

    // The same size and time but no raster any more: the index still answers, as it should for
    // a file it cannot tell from the one probed.
    const auto time = fs::last_write_time(path);
    test::writeFile(path, std::string(fs::file_size(path), 'x'));
    fs::last_write_time(path, time);
    const DemProbe again = probeDemFile(path);
    EXPECT_EQ(std::tie(again.kind, again.hasCentre, again.latitude, again.longitude),
              std::tie(first.kind, first.hasCentre, first.latitude, first.longitude));
    test::writeFile(dir.file("rasters/dem.tif.aux.xml"), "<PAMDataset/>");
    EXPECT_EQ(probeDemFile(path).kind, DemFileKind::None);
    EXPECT_FALSE(cache->takeWarning());
}

TEST_F(TileCacheTest, BlobsAreVerifiedAndTheLimitEvictsTheOldest) {
    const std::vector<uint8_t> bytes(1000, 7);
    ASSERT_TRUE(cache->storeBlob("a", bytes));
    EXPECT_EQ(cache->loadBlob("a"), bytes);
    test::writeFile(cache->entryPath("a"), test::readFile(cache->entryPath("a")) + "x");
    EXPECT_FALSE(cache->loadBlob("a"));
    EXPECT_FALSE(cache->loadBlob("b"));

    const auto small = std::make_shared<TileCache>(dir.file("small"), 3500);
    for (const char* key : {"1", "2", "3", "4"}) {
        ASSERT_TRUE(small->storeBlob(key, bytes));
        test::setModified(small->entryPath(key), std::atoi(key) * 1000);
    }
    EXPECT_LE(small->usage().bytes, 3500);
    EXPECT_FALSE(small->loadBlob("1"));
    EXPECT_TRUE(small->loadBlob("4"));
}

}  // namespace
}  // namespace kov
