// SPDX-License-Identifier: MIT
#include "core/project/TileReadAhead.h"

#include <gtest/gtest.h>

#include "core/data/ZarHMesh.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// Tiles read ahead come back in the loop's order, each the tile of its own path, with a bad
// tile's reason; other kinds and skipped positions are left to the loop.
TEST(TileReadAhead, HandsBackEachTileInOrderAndLeavesOtherKindsToTheLoop) {
    test::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        test::TileSpec tile;
        tile.xmin = i * 20.0;
        const std::string path = dir.file("t" + std::to_string(i) + ".kov");
        test::writeTile(tile, path);
        paths.push_back(path);
    }
    paths[5] = dir.file("points.txt");
    paths[7] = dir.file("missing.kov");
    TileReadAhead ahead(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        if (i == 20) i = 25;  // a stretch the loop skips
        std::optional<LoadedLayer> layer = ahead.take(i);
        if (i == 5) {
            EXPECT_FALSE(layer);
            continue;
        }
        ASSERT_TRUE(layer) << i;
        if (i == 7) {
            EXPECT_FALSE(layer->loaded());
            EXPECT_FALSE(layer->reason.empty());
            continue;
        }
        ASSERT_TRUE(layer->mesh) << i;
        EXPECT_DOUBLE_EQ(layer->mesh->xmin, i * 20.0) << i;
    }
}

}  // namespace
}  // namespace kov
