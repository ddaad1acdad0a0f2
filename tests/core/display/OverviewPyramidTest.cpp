// SPDX-License-Identifier: MIT
#include "core/data/OverviewPyramid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "core/base/SettingsStore.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/cache/TileCache.h"
#include "core/display/MeshRenderer.h"
#include "support/ImagePixels.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// 20 x 15 tiles of 40 x 28 cells of 5 m: a plane rising east and north across the colour ramp,
// a lake of water cells and a patch of no-data cells, each spanning several tiles and lying on
// the 20 m lattice of the coarser levels.
constexpr int kTilesX = 20, kTilesY = 15, kCols = 40, kRows = 28;
constexpr double kCell = 5.0;

int32_t terrainCode(int gc, int gr) {
    if (gc >= 100 && gc < 180 && gr >= 60 && gr < 120) return MESH_WATER;
    if (gc >= 500 && gc < 600 && gr >= 200 && gr < 260) return MESH_NODATA;
    return 100 + gc * 2 + gr * 1;  // 0.1 m units: 10 m .. 205 m
}

void addTerrain(HMeshProject& project) {
    for (int ty = 0; ty < kTilesY; ++ty)
        for (int tx = 0; tx < kTilesX; ++tx) {
            auto mesh = test::makeMesh(
                kCols, kRows, kCell, tx * kCols * kCell, ty * kRows * kCell,
                [&](int c, int r) { return terrainCode(tx * kCols + c, ty * kRows + r); });
            mesh->path = "tile-" + std::to_string(tx) + "-" + std::to_string(ty);
            mesh->compactCells();
            mesh->UpdateMinMax();
            ASSERT_EQ(project.AddMesh(mesh), 1);
        }
    project.UpdateExtent();
}

Dib24 render(HMeshProject& project, int w, int h, bool overviews) {
    project.drawOverviews = overviews;
    Dib24 dib(w, h);
    const MapRect view = project.extent;
    EXPECT_EQ(renderMeshes(project, dib, &view, nullptr, nullptr, 0, 0.0), 1);
    return dib;
}

// Seams: on a plane, colours change by the same amount from pixel to pixel, so the second
// difference of every channel along rows (dx 1) or columns (dy 1) stays within rounding. The
// largest one over x0..x1, y0..y1.
int largestSecondDifference(const Dib24& dib, int x0, int x1, int y0, int y1, int dx, int dy) {
    int largest = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            for (int shift : {0, 8, 16}) {
                auto at = [&](int k) {
                    return int((dib.pixel(x + k * dx, y + k * dy) >> shift) & 0xFF);
                };
                largest = std::max(largest, std::abs(at(1) - 2 * at(0) + at(-1)));
            }
    return largest;
}

// One step of the colour table: the largest change of a channel between neighbouring entries,
// plus the rounding of a shaded channel (255 * shade / 256).
int colourStep(const ZarHColorMap& map) {
    int step = 0;
    const auto& t = map.table();
    for (size_t i = 1; i < t.size(); ++i) {
        step =
            std::max({step, std::abs(t[i].red - t[i - 1].red),
                      std::abs(t[i].green - t[i - 1].green), std::abs(t[i].blue - t[i - 1].blue)});
    }
    return step + 1;
}

class OverviewPyramidTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::setLocation(dir_.file("absent.ini"));
        addTerrain(project_);
    }
    test::TempDir dir_;
    HMeshProject project_;
};

TEST_F(OverviewPyramidTest, OneToOneAndCloserIsTheMeshesOwnPicture) {
    // 800 x 420 cells: at 1 and 1.5 px per cell every one of the 300 meshes is in view.
    for (int width : {800, 1200}) {
        SCOPED_TRACE(width);
        const int height = width * 420 / 800;
        const Dib24 plain = render(project_, width, height, false);
        const Dib24 withPyramid = render(project_, width, height, true);
        const size_t bytes = static_cast<size_t>(plain.stride()) * plain.height();
        EXPECT_EQ(std::memcmp(plain.bits(), withPyramid.bits(), bytes), 0);
    }
}

TEST_F(OverviewPyramidTest, ZoomedOutDiffersByAtMostOneColourStep) {
    // 4 cells a pixel: drawn from the level of 20 m cells. The full render's own tile borders
    // differ from their rows inside by a shade level, hence the shade's rounding in the step.
    const Dib24 full = render(project_, 200, 105, false);
    const Dib24 overview = render(project_, 200, 105, true);
    const int step = colourStep(*project_.GetColorMap(0));
    int largest = 0, water = 0;
    const uint32_t sea = project_.GetColorMap(0)->seaColor;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            largest =
                std::max(largest, test::channelDifference(full.pixel(x, y), overview.pixel(x, y)));
            water += overview.pixel(x, y) == sea;
        }
    EXPECT_LE(largest, step);
    // No seams at the tile borders (every 10 px east, 7 px north), clear of the lake and the
    // no-data patch.
    EXPECT_LE(largestSecondDifference(overview, 155, 195, 1, 103, 0, 1), 2);
    EXPECT_LE(largestSecondDifference(overview, 1, 198, 70, 100, 1, 0), 2);
    EXPECT_EQ(water, 20 * 15);  // the lake's 400 x 300 m, no more, no less
}

TEST_F(OverviewPyramidTest, ZoomedOutFramesComeFromThePyramid) {
    // Cells edited behind the project's back stay out of a pyramid already built: only frames
    // drawn from it miss them.
    ASSERT_NE(project_.overviewPyramid(), nullptr);
    ZarHMesh& tile = *project_.GetMesh(0);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            tile.cell(c, r) = MESH_WATER;
    const uint32_t sea = project_.GetColorMap(0)->seaColor;
    EXPECT_EQ(render(project_, 200, 105, false).pixel(2, 2), sea);
    EXPECT_NE(render(project_, 200, 105, true).pixel(2, 2), sea);
}

TEST_F(OverviewPyramidTest, CellsLetGoAreReadOnceAndLetGoAgain) {
    // The same collection from cache entries, every mesh's cells let go: the build brings each
    // back for its own reading only, and the views' cells in memory stay as they were.
    auto cache = std::make_shared<TileCache>(dir_.file("cache"));
    HMeshProject cached;
    for (int i = 0; i < project_.meshCount(); ++i) {
        const ZarHMesh& source = *project_.GetMesh(i);
        ASSERT_TRUE(cache->storeMesh(source.path, source));
        auto mesh = std::make_unique<ZarHMesh>();
        ASSERT_TRUE(cache->loadMesh(source.path, *mesh, nullptr));
        mesh->path = source.path;
        ASSERT_EQ(cached.AddMesh(mesh), 1);
    }
    cached.UpdateExtent();
    ASSERT_EQ(cached.cellResidency().residentBytes(), 0);
    const auto fromMemory = OverviewPyramid::build(project_);
    const auto fromCache = OverviewPyramid::build(cached);
    ASSERT_TRUE(fromMemory && fromCache);
    EXPECT_EQ(cached.cellResidency().residentBytes(), 0);
    ASSERT_EQ(fromCache->levelCount(), fromMemory->levelCount());
    for (int i = 0; i < fromMemory->levelCount(); ++i)
        EXPECT_EQ(test::allCodes(fromCache->level(i)), test::allCodes(fromMemory->level(i)));
}

TEST_F(OverviewPyramidTest, StoredFormRoundTripsAndDamageIsRefused) {
    std::map<std::string, std::vector<uint8_t>> stored;
    int builds = 0;
    PyramidCache cache;
    cache.load = [&](const std::string& key) -> std::optional<std::vector<uint8_t>> {
        auto it = stored.find(key);
        if (it == stored.end()) return std::nullopt;
        return it->second;
    };
    cache.store = [&](const std::string& key, const std::vector<uint8_t>& bytes) {
        ++builds;
        stored[key] = bytes;
        return true;
    };
    auto built = OverviewPyramid::loadOrBuild(project_, cache);
    auto loaded = OverviewPyramid::loadOrBuild(project_, cache);
    ASSERT_TRUE(built && loaded);
    EXPECT_EQ(builds, 1);
    ASSERT_EQ(built->levelCount(), 2);  // 400 x 210 and 200 x 105 cells
    ASSERT_EQ(loaded->levelCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(built->level(i).xmax, loaded->level(i).xmax);
        EXPECT_EQ(test::allCodes(built->level(i)), test::allCodes(loaded->level(i)));
    }

    const std::vector<uint8_t> bytes = built->serialise();
    const std::string key = built->key();
    for (size_t at : {size_t{3}, size_t{60}, bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(at);
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x10;
        EXPECT_EQ(OverviewPyramid::deserialise(damaged, key), nullptr);
    }
    EXPECT_EQ(OverviewPyramid::deserialise({bytes.begin(), bytes.end() - 9}, key), nullptr);
    EXPECT_EQ(OverviewPyramid::deserialise(bytes, key + "x"), nullptr);

    // Any change of the collection names another pyramid.
    project_.GetMesh(7)->maxRaw += 1;
    EXPECT_NE(OverviewPyramid::collectionKey(project_), key);
}

}  // namespace
}  // namespace kov
