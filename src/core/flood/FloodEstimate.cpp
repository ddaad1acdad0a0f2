// SPDX-License-Identifier: MIT
#include "core/flood/FloodEstimate.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/data/ZarHImage.h"

namespace kov {
namespace {

std::string trimmed(const std::string& text) {
    const size_t a = text.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    const size_t b = text.find_last_not_of(" \t\r\n");
    return text.substr(a, b - a + 1);
}

int32_t clampedLevel(double v) {
    if (!std::isfinite(v)) return v < 0 ? INT32_MIN + 16 : INT32_MAX;
    return static_cast<int32_t>(std::clamp(v, -2.0e9, 2.0e9));
}

// The colours asked for, white for ranks without one.
std::vector<uint32_t> colorsFor(const FloodParameters& p, size_t count) {
    std::vector<uint32_t> colors(count, 0xFFFFFF);
    for (size_t r = 0; r < count && r < p.rankColors.size(); ++r)
        colors[r] = p.rankColors[r];
    return colors;
}

FloodResult resultOf(const FloodParameters& p, const FloodRanks& ranks, const FloodRankImage& image,
                     double unit) {
    FloodResult result;
    result.lowest = image.lowest * unit;
    result.highest = image.highest * unit;
    result.depthMode = p.depthMode;
    const std::vector<uint32_t> colors = colorsFor(p, ranks.heights.size());
    for (size_t r = 0; r < ranks.heights.size(); ++r)
        result.ranks.push_back({ranks.heights[r], colors[r] & 0xFFFFFF});
    return result;
}

std::optional<FloodOutcome> finish(HMeshProject& project, const FloodParameters& p,
                                   HMeshFloodFill& fill, FloodRanks ranks, FloodRankImage image,
                                   bool fromStart) {
    FloodOutcome out;
    out.unit = fill.unit();
    out.grid = fill.gridRect();
    out.level = p.height;
    out.levelCode = waterLevelOf(p.height, out.unit);
    out.cellWidth = (fill.gridRect().xmax - fill.gridRect().xmin) / fill.gridWidth();
    out.cellHeight = (fill.gridRect().ymax - fill.gridRect().ymin) / fill.gridHeight();
    auto layer = std::make_unique<ZarHImage>();
    layer->indexedCells = image.cells;
    layer->palette = image.palette;
    const ZarHMesh& last = *project.GetMesh(project.meshCount() - 1);
    layer->name = nextFloodLayerName(fromStart);
    layer->xmin = fill.gridRect().xmin;
    layer->ymin = fill.gridRect().ymin;
    layer->xmax = fill.gridRect().xmax;
    layer->ymax = fill.gridRect().ymax;
    layer->zone = project.planeZone;
    layer->flagC = last.flagA;
    layer->flood = resultOf(p, ranks, image, out.unit);
    out.layer = std::move(layer);
    out.image = std::move(image);
    out.ranks = std::move(ranks);
    return out;
}

std::nullopt_t refused(const HMeshFloodFill& fill, FloodRefusal* refusal) {
    if (refusal) {
        refusal->cause = fill.failure();
        refusal->columns = fill.wantedColumns();
        refusal->rows = fill.wantedRows();
        refusal->budgetLeft = fill.rankImageLimit;
    }
    return std::nullopt;
}

// Lays the grid over the project with the rank image limited to what the memory budget has
// left, and reads the ranks; none (refusal filled in) when there is no grid.
std::optional<FloodRanks> prepare(HMeshProject& project, const FloodParameters& p,
                                  HMeshFloodFill& fill, FloodRefusal* refusal) {
    fill.rankImageLimit = project.memoryBudget - project.memoryInUse();
    if (!fill.SetCollection(project)) {
        refused(fill, refusal);
        return std::nullopt;
    }
    return parseRanks(p.rankTexts, fill.unit());
}

std::nullopt_t refusedFor(FloodFailure cause, FloodRefusal* refusal) {
    if (refusal) *refusal = FloodRefusal{cause};
    return std::nullopt;
}

// The fill's working state over the refused grid: one bit a cell, rounded up to whole MiB.
int64_t workingMemoryMiB(const FloodRefusal& refusal) {
    const auto words = static_cast<int64_t>(std::ceil(refusal.columns / 64.0));
    return (static_cast<int64_t>(refusal.rows) * words * 8 + (1 << 20) - 1) >> 20;
}

// What the memory budget had left, in whole MiB (none when it was overdrawn).
long long budgetLeftMiB(const FloodRefusal& refusal) {
    return static_cast<long long>(std::max<int64_t>(refusal.budgetLeft, 0) >> 20);
}

}  // namespace

FloodRanks parseRanks(const std::vector<std::string>& texts, double unit) {
    FloodRanks ranks;
    for (const std::string& raw : texts) {
        if (ranks.levels.size() >= static_cast<size_t>(kMaxRanks)) break;
        const std::string text = trimmed(raw);
        char* end = nullptr;
        const double height = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !std::isfinite(height)) break;
        const int32_t level = clampedLevel(std::round(height / unit));  // half away from zero
        if (!ranks.levels.empty() && level < ranks.levels.back()) break;
        ranks.levels.push_back(level);
        ranks.heights.push_back(height);
    }
    return ranks;
}

int32_t waterLevelOf(double height, double unit) {
    // The highest code whose height lies at or below the water. A level given to the unit's
    // precision divides a hair short of its code (4.1 / 0.1 = 40.999...), hence the tolerance.
    const double codes = height / unit;
    return clampedLevel(std::floor(codes + 1e-9 * std::max(1.0, std::abs(codes))));
}

std::string nextFloodLayerName(bool fromStartPoint) {
    static std::atomic<int> wholeArea{0};
    static std::atomic<int> startPoint{0};
    const int n = fromStartPoint ? ++startPoint : ++wholeArea;
    return (fromStartPoint ? "FloodFillEx-" : "FloodFill-") + std::to_string(n);
}

std::string refusalText(const FloodRefusal& refusal) {
    char text[200];
    switch (refusal.cause) {
        case FloodFailure::GridTooLarge:
            std::snprintf(text, sizeof text,
                          "the flood grid over the data would be %.0f x %.0f cells, more than "
                          "2^31: the tiles lie too far apart for one flood",
                          refusal.columns, refusal.rows);
            return text;
        case FloodFailure::LayerLimit:
            std::snprintf(text, sizeof text,
                          "the flood layer does not fit in the %lld MiB the memory budget has "
                          "left",
                          budgetLeftMiB(refusal));
            return text;
        case FloodFailure::BudgetTooSmall:
            std::snprintf(text, sizeof text,
                          "a flood over %.0f x %.0f cells needs at least %lld MiB of working "
                          "memory, more than the %lld MiB the memory budget has left",
                          refusal.columns, refusal.rows,
                          static_cast<long long>(workingMemoryMiB(refusal)),
                          budgetLeftMiB(refusal));
            return text;
        case FloodFailure::OutOfMemory:
            return "memory ran out while the flood layer was made";
        case FloodFailure::NoGrid:
            return "the data have no area to flood";
        default:
            return {};
    }
}

std::string refusalTextJapanese(const FloodRefusal& refusal) {
    char text[400];
    switch (refusal.cause) {
        case FloodFailure::GridTooLarge:
            std::snprintf(text, sizeof text,
                          "データの範囲が広すぎるため（%.0f × %.0f セル、上限 2^31 セル）、"
                          "簡易浸水想定を実行できません。離れた地域は別々に読み込んでください。",
                          refusal.columns, refusal.rows);
            return text;
        case FloodFailure::LayerLimit:
            std::snprintf(text, sizeof text,
                          "簡易浸水想定の結果がメモリの上限（残り %lld MB）に収まらないため、"
                          "結果を作成できません。",
                          budgetLeftMiB(refusal));
            return text;
        case FloodFailure::BudgetTooSmall:
            std::snprintf(text, sizeof text,
                          "%.0f × %.0f セルの浸水には作業用メモリが %lld MB 以上必要ですが、"
                          "メモリの上限の残りは %lld MB です。",
                          refusal.columns, refusal.rows,
                          static_cast<long long>(workingMemoryMiB(refusal)),
                          budgetLeftMiB(refusal));
            return text;
        case FloodFailure::OutOfMemory:
        case FloodFailure::NoGrid:
            return "範囲が広すぎるか、メモリが不足しているため、簡易浸水想定の結果を作成できません"
                   "。";
        default:
            return {};
    }
}

std::optional<FloodOutcome> floodWholeArea(HMeshProject& project, const FloodParameters& p,
                                           FloodRefusal* refusal) {
    HMeshFloodFill fill;
    const auto ranks = prepare(project, p, fill, refusal);
    if (!ranks) return std::nullopt;
    auto image = fill.RankAll(ranks->levels, colorsFor(p, ranks->levels.size()),
                              waterLevelOf(p.height, fill.unit()), p.depthMode);
    if (!image) return refused(fill, refusal);
    const auto counts = image->cells->histogram();
    if (std::all_of(counts.begin(), counts.begin() + ranks->levels.size(),
                    [](int64_t n) { return n == 0; }))
        return refusedFor(FloodFailure::NothingRanked, refusal);
    return finish(project, p, fill, *ranks, std::move(*image), false);
}

std::optional<FloodOutcome> floodFromPoint(HMeshProject& project, const FloodParameters& p,
                                           const FPoint& start, const std::vector<FPoint>* wall,
                                           FloodRefusal* refusal) {
    HMeshFloodFill fill;
    const auto ranks = prepare(project, p, fill, refusal);
    if (!ranks) return std::nullopt;
    const double unit = fill.unit();
    // A start between the meshes is as much outside the data as one beyond the grid.
    int si = 0, sj = 0;
    if (!fill.cellOf(start.x, start.y, si, sj) || fill.GetPixel(si, sj) == kFloodOutside)
        return refusedFor(FloodFailure::Outside, refusal);
    fill.SetFlags((p.waterPasses ? HMeshFloodFill::kWaterPasses : 0) |
                  (p.noDataPasses ? HMeshFloodFill::kNoDataPasses : 0));
    fill.SetRange(p.rangeOn, p.range);
    fill.keepFloodMask = p.keepFloodMask;
    if (wall) fill.SetWall(*wall);
    auto image = fill.Run(ranks->levels, colorsFor(p, ranks->levels.size()), start,
                          waterLevelOf(p.height, unit), p.depthMode);
    if (!image) return refused(fill, refusal);
    // The start cell is filled whatever its ground; without ground at or below the level
    // reached, nothing is flooded.
    if (!fill.statsStarted) return refusedFor(FloodFailure::NothingFilled, refusal);
    if (image->filled == image->unranked) return refusedFor(FloodFailure::NothingRanked, refusal);
    return finish(project, p, fill, *ranks, std::move(*image), true);
}

bool addFloodLayer(HMeshProject& project, std::unique_ptr<ZarHImage>& layer) {
    return project.AddImage(layer, true) == 1;
}

bool hasFloodLayer(const HMeshProject& project) {
    for (int i = 0; i < project.imageCount(); ++i)
        if (project.GetImage(i)->isFloodResult()) return true;
    return false;
}

int clearFloodLayers(HMeshProject& project) {
    int removed = 0;
    for (int i = project.imageCount() - 1; i >= 0; --i) {
        if (!project.GetImage(i)->isFloodResult()) continue;
        project.RemoveImage(i);
        ++removed;
    }
    return removed;
}

}  // namespace kov
