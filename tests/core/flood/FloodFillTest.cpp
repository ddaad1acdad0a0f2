// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <tuple>

#include "core/data/HMeshProject.h"
#include "core/data/MeshCells.h"
#include "core/data/ZarHImage.h"
#include "core/display/FloodLegend.h"
#include "core/flood/FloodEstimate.h"
#include "core/flood/FloodWater.h"
#include "core/flood/HMeshFloodFill.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

// A project of one mesh of 1 m cells whose codes are metres (scale 1).
std::unique_ptr<HMeshProject> projectOf(int cols, int rows,
                                        const std::function<int(int, int)>& code) {
    return test::projectOf(test::makeMesh(cols, rows, 1.0, 0.0, 0.0, code, 1.0));
}

FloodParameters heightAndRanks(double height, std::vector<std::string> ranks) {
    FloodParameters p;
    p.height = height;
    p.rankTexts = std::move(ranks);
    p.rankColors.assign(p.rankTexts.size(), 0x00FF00);
    return p;
}

// ---- ranks and the whole-area classification

TEST(FloodRanks, ParsedWithTheMeshScale) {
    // Ranks stop at the first empty text and before a falling one.
    EXPECT_EQ(parseRanks({"1.0", "3.0", "2.0", "4.0"}, 0.1).levels, (std::vector<int32_t>{10, 30}));
    EXPECT_TRUE(parseRanks({"", "3.0"}, 0.1).levels.empty());
    EXPECT_EQ(parseRanks({"1", "2", "", "3"}, 1.0).levels.size(), 2u);
    // Levels round half away from zero; a text that is no finite number ends the list.
    EXPECT_EQ(parseRanks({"-0.25", "0.25", "nan", "4"}, 0.1).levels, (std::vector<int32_t>{-3, 3}));
    EXPECT_EQ(parseRanks({"1", "inf"}, 0.1).levels.size(), 1u);
    std::vector<std::string> ten(10, "1");
    EXPECT_EQ(parseRanks(ten, 1.0).levels.size(), 9u);
}

TEST(FloodWaterLevel, IsTheHighestCodeAtOrBelowTheWater) {
    // Every level typed to the unit's precision is exactly its code (4.1 / 0.1 = 40.999...).
    char typed[32];
    for (int k = -1000; k <= 1000; ++k) {
        std::snprintf(typed, sizeof typed, "%.1f", k / 10.0);
        ASSERT_EQ(waterLevelOf(std::strtod(typed, nullptr), 0.1), k) << typed;
    }
    // Finer than the unit, ground just above the water stays dry.
    EXPECT_EQ(waterLevelOf(5.09, 0.1), 50);
    EXPECT_EQ(waterLevelOf(-0.15, 0.1), -2);

    // Ground at exactly 4.1 m is flooded by water at 4.1 m.
    auto project = projectOf(3, 1, [](int c, int) { return 40 + c; });
    project->GetMesh(0)->scale = 0.1;
    auto out = floodFromPoint(*project, heightAndRanks(4.1, {"4.1"}), {0.5, 0.5});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->image.filled, 2);
    EXPECT_DOUBLE_EQ(out->layer->flood->highest, 4.1);
}

TEST(FloodWholeArea, DefaultsPaintEveryCellUpToFiveMetresBlue) {
    auto project = test::projectOf(test::makeMesh(20, 10, 5.0, 0.0, 0.0, [](int c, int r) {
        return r == 9 ? MESH_WATER : c * 5;  // 0.0 .. 9.5 m
    }));
    auto out = floodWholeArea(*project, FloodParameters{});
    ASSERT_TRUE(out);
    ASSERT_EQ(out->image.width, 20);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 20; ++c)
            EXPECT_EQ(out->image.at(c, r), r < 9 && c <= 10 ? 0 : kNoRank) << c << "," << r;
    // The layer draws the rank image, blue for rank 0 and white for the rest, and is a flood
    // result of that one rank.
    const ZarHImage& layer = *out->layer;
    EXPECT_EQ(layer.indexedCells, out->image.cells);
    EXPECT_EQ(std::pair(layer.palette[0], layer.palette[kNoRank]), std::pair(0xFF0000u, 0xFFFFFFu));
    EXPECT_EQ(layer.xmax, 100.0);
    ASSERT_TRUE(layer.isFloodResult());
    ASSERT_EQ(layer.flood->ranks.size(), 1u);
    EXPECT_EQ(std::pair(layer.flood->ranks[0].height, layer.flood->ranks[0].color),
              std::pair(5.0, 0xFF0000u));
}

TEST(FloodWholeArea, DepthModeRanksByDepthBelowTheWaterLevel) {
    // Ground 8.7 m under 10 m of water: 1.3 m deep, the 1.0 m rank; 8.0 m: 2.0 m deep.
    auto project = projectOf(3, 1, [](int c, int) { return c == 0 ? 87 : c == 1 ? 80 : 120; });
    project->GetMesh(0)->scale = 0.1;
    FloodParameters p = heightAndRanks(10.0, {"0.5", "1.0", "2.0", "5.0"});
    p.depthMode = true;
    auto out = floodWholeArea(*project, p);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->image.at(0, 0), 1);
    EXPECT_EQ(out->image.at(1, 0), 2);
    EXPECT_EQ(out->image.at(2, 0), kNoRank);  // above the water
    // The result keeps the ranks in metres and the mode they were made in.
    const FloodResult& result = *out->layer->flood;
    EXPECT_TRUE(result.depthMode);
    std::vector<double> heights;
    for (const FloodRank& rank : result.ranks)
        heights.push_back(rank.height);
    EXPECT_EQ(heights, (std::vector<double>{0.5, 1.0, 2.0, 5.0}));
}

TEST(FloodLayers, NamesTheLegendsRanksAndClearingRemovesOnlyFloodResults) {
    auto project = projectOf(4, 4, [](int, int) { return 1; });
    auto other = std::make_unique<ZarHImage>();
    other->name = "photo.png";
    project->AddImage(other, false);
    const std::string first = nextFloodLayerName(true);
    const std::string second = nextFloodLayerName(true);
    EXPECT_EQ(first.substr(0, 12), "FloodFillEx-");
    EXPECT_EQ(std::stoi(second.substr(12)), std::stoi(first.substr(12)) + 1);
    for (const char* rank : {"5.0", "3"}) {
        auto out = floodFromPoint(*project, heightAndRanks(5.0, {rank}), FPoint{1.5, 1.5});
        ASSERT_TRUE(out);
        EXPECT_TRUE(addFloodLayer(*project, out->layer));  // same extent: duplicates allowed
    }
    // On top, a result saved as a picture and loaded again: a flood result without ranks. The
    // legends show the topmost result that has ranks.
    auto saved = std::make_unique<ZarHImage>();
    saved->flood.emplace();
    project->AddImage(saved, true);
    const FloodResult* shown = rankedFloodResult(*project);
    ASSERT_TRUE(shown && shown->ranks.size() == 1u);
    EXPECT_EQ(shown->ranks[0].height, 3.0);

    auto whole = floodWholeArea(*project, FloodParameters{});
    EXPECT_EQ(whole->layer->name.substr(0, 10), "FloodFill-");
    addFloodLayer(*project, whole->layer);
    EXPECT_EQ(project->imageCount(), 5);
    EXPECT_TRUE(hasFloodLayer(*project));
    EXPECT_EQ(clearFloodLayers(*project), 4);
    ASSERT_EQ(project->imageCount(), 1);
    EXPECT_EQ(project->GetImage(0)->name, "photo.png");
    EXPECT_FALSE(hasFloodLayer(*project));
}

// ---- boundary rules of the start-point flood

// A flood that would show nothing is refused, with the reason: no ground at or below the level
// reached (a start high on the slope, water below every cell), or no flooded cell in a rank; by
// area, no cell in a rank.
TEST(FloodRefusal, FloodsThatWouldShowNothing) {
    // A valley: ground rises 1 m per column away from column 5.
    auto project = projectOf(11, 3, [](int c, int) { return std::abs(c - 5); });
    const struct {
        double level;
        const char* rank;
        double x;  // the start's easting; none for the whole area
        bool depth;
        FloodFailure cause;
    } cases[] = {
        {3.0, "9", 0.5, false, FloodFailure::NothingFilled},
        {-1.0, "9", 5.5, false, FloodFailure::NothingFilled},
        {3.0, "-1", 5.5, false, FloodFailure::NothingRanked},
        {3.0, "-1", NAN, false, FloodFailure::NothingRanked},
        {-1.0, "0", NAN, true, FloodFailure::NothingRanked},
        {0.0, "0", NAN, true, FloodFailure::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.level << " " << c.rank << " " << c.x);
        FloodRefusal why;
        FloodParameters p = heightAndRanks(c.level, {c.rank});
        p.depthMode = c.depth;
        const bool made = std::isnan(c.x)
                              ? bool(floodWholeArea(*project, p, &why))
                              : bool(floodFromPoint(*project, p, {c.x, 1.5}, nullptr, &why));
        EXPECT_EQ(made, c.cause == FloodFailure::None);
        EXPECT_EQ(why.cause, c.cause);
    }
}

TEST(FloodFromPoint, OneCellWideWallAcrossTheValleyStopsIt) {
    // A valley along the x axis, flat 0 m; a diagonal wall from the north to the south slope.
    auto project = projectOf(40, 20, [](int, int r) { return r < 3 || r > 16 ? 50 : 0; });
    const std::vector<FPoint> wall{{15.5, 19.5}, {25.5, 0.5}};
    FloodParameters p = heightAndRanks(5.0, {"5"});
    auto free = floodFromPoint(*project, p, {2.5, 10.5});
    auto walled = floodFromPoint(*project, p, {2.5, 10.5}, &wall);
    ASSERT_TRUE(free && walled);
    EXPECT_EQ(free->image.filled, 40 * 14);
    EXPECT_LT(walled->image.filled, 40 * 14 / 2 + 40);
    for (int j = 3; j <= 16; ++j)
        EXPECT_EQ(walled->image.at(39, j), kNoRank);
}

TEST(FloodFromPoint, RangeLimit) {
    auto project = test::projectOf(test::makeFlatMesh(400, 400, 5.0, 0.0, 0.0, 0));
    FloodParameters p = heightAndRanks(5.0, {"5"});
    p.rangeOn = true;
    p.range = 500.0;
    const FPoint start{1000.0, 1000.0};
    auto out = floodFromPoint(*project, p, start);
    ASSERT_TRUE(out);
    int64_t ranked = 0;
    for (int j = 0; j < 400; ++j)
        for (int i = 0; i < 400; ++i) {
            if (out->image.at(i, j) == kNoRank) continue;
            ++ranked;
            EXPECT_LE(std::hypot(i * 5.0 - start.x, j * 5.0 - start.y), 500.0);
        }
    EXPECT_GT(ranked, 3.0 * 100 * 100 * 0.95);  // about pi r^2 of 100-cell radius
}

// ---- the size of the result layer

TEST(FloodLayerSize, FarApartMeshesCostTheirOwnCellsWithinTheBudget) {
    // Two meshes of 300 x 300 cells of 1 m, 19.7 km apart: a grid of 20,000 x 20,000 cells,
    // 400 MB as one picture. Ground 1 m in the western half of each, 9 m in the eastern.
    HMeshProject project;
    for (const double corner : {0.0, 19700.0}) {
        auto mesh = test::makeMesh(
            300, 300, 1.0, corner, corner, [](int c, int) { return c < 150 ? 1 : 9; }, 1.0);
        ASSERT_EQ(project.AddMesh(mesh), 1);
    }
    const FloodParameters p = heightAndRanks(5.0, {"5.0"});
    // A mesh spans at most 3 x 3 blocks; the block table holds a pointer per block of the grid,
    // and blocks come in chunks of 2 MiB once a grid has more than a few.
    const int64_t perMesh = 9 * BlockGrid::kBlockBytes;
    const int64_t table =
        int64_t{79} * 79 * static_cast<int64_t>(sizeof(void*)) + (int64_t{2} << 20);

    auto whole = floodWholeArea(project, p);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->image.width, 20000);
    EXPECT_LE(whole->layer->memoryBytes(), 2 * perMesh + table);
    EXPECT_EQ(
        std::tuple(whole->image.at(19700 + 149, 19700 + 299), whole->image.at(19700 + 150, 19700),
                   whole->image.at(10000, 10000), whole->image.cells->histogram()[0]),
        std::tuple(0, kNoRank, kNoRank, 2 * 150 * 300));

    // From a point: the far mesh is ranked while its rows are read, and given back after.
    auto from = floodFromPoint(project, p, FPoint{10.5, 10.5});
    ASSERT_TRUE(from);
    EXPECT_EQ(from->image.filled, 150 * 300);
    EXPECT_LE(from->layer->memoryBytes(), perMesh + table);
    const int64_t before = project.memoryInUse();
    ASSERT_TRUE(addFloodLayer(project, from->layer));
    EXPECT_EQ(project.memoryInUse() - before, from->image.cells->memoryBytes());

    // A budget with less left than the layer needs: refused with its cause, nothing added.
    project.memoryBudget = project.memoryInUse() + BlockGrid::kBlockBytes;
    FloodRefusal refusal;
    EXPECT_FALSE(floodWholeArea(project, p, &refusal));
    EXPECT_EQ(refusal.cause, FloodFailure::LayerLimit);
    EXPECT_NE(refusalText(refusal).find("memory budget"), std::string::npos);
    // The fill's working state (a bit a cell, 50 MB here) does not fit either: refused before
    // it starts.
    EXPECT_FALSE(floodFromPoint(project, p, FPoint{10.5, 10.5}, nullptr, &refusal));
    EXPECT_EQ(refusal.cause, FloodFailure::BudgetTooSmall);
    EXPECT_NE(refusalText(refusal).find("needs at least 48 MiB"), std::string::npos);
    EXPECT_EQ(project.imageCount(), 1);
}

// 6 x 6 meshes of 64 x 48 cells of 1 m over a wavy ground, the flood winding through all of
// them; with sources, the cells can be let go.
HMeshProject& wavyBlock(HMeshProject& project,
                        std::vector<std::shared_ptr<test::CopySource>>* sources) {
    constexpr int kCols = 64, kRows = 48;
    for (int k = 0; k < 36; ++k) {
        const int x0 = k % 6 * kCols, y0 = k / 6 * kRows;
        auto mesh = test::makeMesh(
            kCols, kRows, 1.0, x0, y0,
            [&](int c, int r) {
                const int x = x0 + c, y = y0 + r;
                return static_cast<int>(20 + 12 * std::sin(x / 17.0) * std::cos(y / 13.0) +
                                        (x * 7 + y * 13) % 5);
            },
            1.0);
        if (sources) {
            sources->push_back(std::make_shared<test::CopySource>(test::allCodes(*mesh)));
            mesh->cells.setSource(sources->back());
        }
        EXPECT_EQ(project.AddMesh(mesh), 1);
    }
    return project;
}

TEST(FloodWithinBudget, CellsLetGoAndFetchedAgainGiveTheSameFloodAndWater) {
    HMeshProject whole, budgeted;
    std::vector<std::shared_ptr<test::CopySource>> sources;
    wavyBlock(whole, nullptr);
    wavyBlock(budgeted, &sources);
    // Room for the rank image and the flood mask over the whole grid, and the cells of a few
    // meshes beside the fill's working state.
    const int64_t images = 2 * 4 * BlockGrid::kBlockBytes;
    budgeted.memoryBudget = budgeted.memoryInUse() + images + 64 * 1024;
    FloodParameters p = heightAndRanks(24.0, {"12", "18", "22"});
    p.keepFloodMask = true;
    const FPoint start{200.5, 150.5};
    const auto expected = floodFromPoint(whole, p, start);
    const auto got = floodFromPoint(budgeted, p, start);
    ASSERT_TRUE(expected && got);
    EXPECT_GT(expected->image.filled, 384 * 288 / 3);
    EXPECT_EQ(
        std::tie(got->image.filled, got->image.unranked, got->image.lowest, got->image.highest),
        std::tie(expected->image.filled, expected->image.unranked, expected->image.lowest,
                 expected->image.highest));
    for (int j = 0; j < 288; ++j)
        for (int i = 0; i < 384; ++i)
            ASSERT_EQ(got->image.at(i, j), expected->image.at(i, j)) << i << "," << j;
    FloodWater a, b;
    ASSERT_TRUE(measureFloodWater(whole, *expected, a, nullptr));
    ASSERT_TRUE(measureFloodWater(budgeted, *got, b, nullptr));
    EXPECT_EQ(std::tie(b.volume, b.rankVolumes), std::tie(a.volume, a.rankVolumes));

    int fetches = 0;
    for (const auto& s : sources)
        fetches += s->fetches;
    EXPECT_GT(fetches, 36);  // cells were let go and read again, some more than once
}

// ---- the fill itself

TEST(FloodFill, CompletesWhenMoreThanTheStackCapacityOfSpansPend) {
    // A comb: an open base row with 125,001 teeth one cell wide above it. Filling the base pushes
    // one span per tooth at once, more than the 100,000 the stack first holds.
    constexpr int kWidth = 250001;
    auto project = projectOf(
        kWidth, 3, [](int c, int r) { return r == 0 || (r == 1 && c % 2 == 0) ? 0 : 100; });
    HMeshFloodFill fill;
    ASSERT_TRUE(fill.SetCollection(*project));
    auto out = fill.Run({10}, {0xFF}, FPoint{0.5, 0.5}, 10, false);
    ASSERT_TRUE(out);
    EXPECT_GT(fill.peakPending(), HMeshFloodFill::kStackCapacity);
    EXPECT_EQ(out->filled, kWidth + (kWidth + 1) / 2);
    EXPECT_EQ(out->at(kWidth - 1, 1), 0);  // the last tooth
}

// The flood by a plain breadth-first search over the same rules, as a set of cells.
struct Reference {
    int w, h;
    std::vector<int> ground;  // INT_MIN: no mesh; codes as the mesh holds them
    std::vector<uint8_t> wall;
};

std::vector<uint8_t> breadthFirst(const Reference& ref, int si, int sj, int level, bool water,
                                  bool noData, double range, double sx, double sy) {
    const auto open = [&](int i, int j) {
        const int v = ref.ground[j * ref.w + i];
        const bool wet = v == MESH_WATER    ? water
                         : v == MESH_NODATA ? noData
                                            : v != INT_MIN && v <= level;
        const bool reached = !(range > 0 && std::hypot(i - sx, j - sy) > range);
        return wet && reached && !ref.wall[j * ref.w + i];
    };
    std::vector<uint8_t> seen(ref.ground.size(), 0);
    std::deque<std::pair<int, int>> queue{{si, sj}};
    seen[sj * ref.w + si] = 1;  // the start cell is always flooded
    while (!queue.empty()) {
        auto [i, j] = queue.front();
        queue.pop_front();
        const int next[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
        for (const auto& n : next) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= ref.w || n[1] >= ref.h) continue;
            uint8_t& s = seen[n[1] * ref.w + n[0]];
            if (s || !open(n[0], n[1])) continue;
            s = 1;
            queue.push_back({n[0], n[1]});
        }
    }
    return seen;
}

// The flooded region, the rank image, the counts and the lowest and highest ground of a
// start-point run, cell by cell against the rules, on random terrains: a coarse mesh of 2 m cells
// (each read by four grid cells) over the southern rows and a fine one up to the northern edge,
// with cells beside it that no mesh covers; random ascending ranks in both modes, walls (a
// column and a diagonal through cell centres) and ranges.
TEST(FloodFill, RegionRanksAndGroundFiguresFollowTheRulesOnRandomTerrains) {
    std::mt19937 random(7031);
    const auto roll = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int trial = 0; trial < 300; ++trial) {
        // Widths on both sides of the fill's 64-cell words.
        const int w = 2 * (4 + roll(70)), h = 2 * (4 + roll(20)), ch = 2 * (1 + roll(h / 2));
        const int fx = 2 * roll(w / 2), fy = 2 * roll(h / 2);
        const int fw = 1 + roll(w - fx), fh = h - fy;
        const auto code = [&] {
            const int r = roll(100);
            return r < 5 ? MESH_WATER : r < 10 ? MESH_NODATA : roll(12);
        };
        std::vector<int> coarse(static_cast<size_t>(w / 2) * (ch / 2)),
            fine(static_cast<size_t>(fw) * fh);
        for (int& v : coarse)
            v = code();
        for (int& v : fine)
            v = code();
        Reference ref{w, h, std::vector<int>(static_cast<size_t>(w) * h),
                      std::vector<uint8_t>(static_cast<size_t>(w) * h, 0)};
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const bool inFine = i >= fx && i < fx + fw && j >= fy;
                ref.ground[j * w + i] = inFine   ? fine[(j - fy) * fw + (i - fx)]
                                        : j < ch ? coarse[(j / 2) * (w / 2) + i / 2]
                                                 : INT_MIN;
            }
        HMeshProject project;
        auto a = test::makeMesh(
            w / 2, ch / 2, 2.0, 0.0, 0.0, [&](int c, int r) { return coarse[r * (w / 2) + c]; },
            1.0);
        auto b = test::makeMesh(
            fw, fh, 1.0, fx, fy, [&](int c, int r) { return fine[r * fw + c]; }, 1.0);
        project.AddMesh(a);
        project.AddMesh(b);
        HMeshFloodFill fill;
        ASSERT_TRUE(fill.SetCollection(project));
        ASSERT_EQ(fill.gridWidth(), w);
        if (roll(2)) {
            const int c = roll(w), r0 = roll(h), r1 = r0 + roll(h - r0), n = roll(std::min(w, h));
            fill.SetWall({{c + 0.5, r0 + 0.5}, {c + 0.5, r1 + 0.5}});
            for (int r = r0; r <= r1; ++r)
                ref.wall[r * w + c] = 1;
            fill.SetWall({{0.5, 0.5}, {n + 0.5, n + 0.5}});
            for (int k = 0; k <= n; ++k)
                ref.wall[k * w + k] = 1;
        }
        const bool water = roll(2), noData = roll(2), depth = roll(2);
        fill.SetFlags((water ? 1 : 0) | (noData ? 2 : 0));
        const double range = roll(3) ? 0.0 : 3.0 + roll(20);
        fill.SetRange(range > 0, range);
        std::vector<int32_t> levels(static_cast<size_t>(roll(5)));
        for (size_t r = 0; r < levels.size(); ++r)
            levels[r] = (r ? levels[r - 1] : -2) + roll(4);
        const int level = roll(12);
        const double sx = roll(w) + 0.5, sy = roll(ch) + 0.5;
        auto out = fill.Run(levels, std::vector<uint32_t>(levels.size(), 0xFF), FPoint{sx, sy},
                            level, depth);
        ASSERT_TRUE(out);
        const auto flooded = breadthFirst(ref, static_cast<int>(sx), static_cast<int>(sy), level,
                                          water, noData, range, sx, sy);
        const auto rankOf = [&](int v) {
            if (v == MESH_WATER || v == MESH_NODATA) return kNoRank;
            const int n = static_cast<int>(levels.size());
            for (int r = 0; r < n; ++r) {
                const int k = depth ? n - 1 - r : r;
                if (depth ? level - v >= levels[k] : v <= levels[k]) return static_cast<uint8_t>(k);
            }
            return kNoRank;
        };
        int64_t filled = 0, unranked = 0;
        int lowest = INT_MAX, highest = INT_MIN;
        for (size_t k = 0; k < flooded.size(); ++k) {
            const int v = ref.ground[k];
            const uint8_t rank = flooded[k] ? rankOf(v) : kNoRank;
            ASSERT_EQ(out->at(k % w, k / w), rank)
                << "trial " << trial << " cell " << k % w << "," << k / w;
            filled += flooded[k];
            unranked += flooded[k] && rank == kNoRank;
            if (flooded[k] && v != MESH_WATER && v != MESH_NODATA && v <= level) {
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
        }
        EXPECT_EQ(out->filled, filled) << "trial " << trial;
        EXPECT_EQ(out->unranked, unranked) << "trial " << trial;
        EXPECT_EQ(out->lowest, lowest == INT_MAX ? 0 : lowest) << "trial " << trial;
        EXPECT_EQ(out->highest, highest == INT_MIN ? 0 : highest) << "trial " << trial;
    }
}

}  // namespace
}  // namespace kov
