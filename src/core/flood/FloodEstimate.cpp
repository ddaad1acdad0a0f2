#include "core/flood/FloodEstimate.h"

#include <QImage>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "core/data/ZarHImage.h"

namespace kov {
namespace {

bool isFloodName(const std::string& name) {
    return name.find("FloodFill") != std::string::npos;
}

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

// The rank image as an 8-bit palette picture, row 0 the northern edge.
QImage pictureOf(const FloodRankImage& image) {
    QImage picture(image.width, image.height, QImage::Format_Indexed8);
    if (picture.isNull()) return picture;
    QVector<QRgb> table(16);
    for (int k = 0; k < 16; ++k) {
        const uint32_t c = image.palette[k];
        table[k] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    }
    picture.setColorTable(table);
    for (int j = 0; j < image.height; ++j)
        std::copy_n(image.pixels.data() + static_cast<size_t>(j) * image.width, image.width,
                    picture.scanLine(image.height - 1 - j));
    return picture;
}

// Sorts the meshes and answers the metres per raw unit of the last (finest) one.
double unitOf(HMeshProject& project) {
    project.SortMeshes();
    return project.GetMesh(project.meshCount() - 1)->scale;
}

std::optional<FloodOutcome> finish(HMeshProject& project, const FloodParameters& p,
                                   HMeshFloodFill& fill, FloodRanks ranks, FloodRankImage image,
                                   bool fromStart) {
    FloodOutcome out;
    out.unit = fill.unit();
    out.cellWidth = (fill.gridRect().xmax - fill.gridRect().xmin) / fill.gridWidth();
    out.cellHeight = (fill.gridRect().ymax - fill.gridRect().ymin) / fill.gridHeight();
    auto layer = std::make_unique<ZarHImage>();
    layer->bitmap = pictureOf(image);
    if (layer->bitmap.isNull()) return std::nullopt;
    const ZarHMesh& last = *project.GetMesh(project.meshCount() - 1);
    layer->name = nextFloodLayerName(fromStart);
    layer->xmin = fill.gridRect().xmin;
    layer->ymin = fill.gridRect().ymin;
    layer->xmax = fill.gridRect().xmax;
    layer->ymax = fill.gridRect().ymax;
    layer->zone = project.planeZone;
    layer->flagC = last.flagA;
    layer->floodLowest = image.lowest * out.unit;
    layer->floodHighest = image.highest * out.unit;
    layer->floodDepthMode = p.depthMode ? 1 : 0;
    layer->rankCount = static_cast<int32_t>(ranks.levels.size());
    for (size_t r = 0; r < ranks.heights.size(); ++r) {
        layer->rankHeights[r] = ranks.heights[r];
        layer->rankColors[r] = r < p.rankColors.size() ? p.rankColors[r] & 0xFFFFFF : 0xFFFFFF;
    }
    out.layer = std::move(layer);
    out.image = std::move(image);
    out.ranks = std::move(ranks);
    return out;
}

std::vector<uint32_t> colorsFor(const FloodParameters& p, size_t count) {
    std::vector<uint32_t> colors(count, 0xFFFFFF);
    for (size_t r = 0; r < count && r < p.rankColors.size(); ++r)
        colors[r] = p.rankColors[r];
    return colors;
}

std::nullopt_t refused(FloodRefusal* refusal, FloodRefusal why) {
    if (refusal) *refusal = why;
    return std::nullopt;
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

std::optional<FloodOutcome> floodWholeArea(HMeshProject& project, const FloodParameters& p,
                                           FloodRefusal* refusal) {
    const auto refuse = [refusal](FloodRefusal why) { return refused(refusal, why); };
    if (project.meshCount() == 0) return refuse(FloodRefusal::kCannotMake);
    const double unit = unitOf(project);
    FloodRanks ranks = parseRanks(p.rankTexts, unit);
    HMeshFloodFill fill;
    if (!fill.SetCollection(project)) return refuse(FloodRefusal::kCannotMake);
    auto image = fill.RankAll(ranks.levels, colorsFor(p, ranks.levels.size()),
                              waterLevelOf(p.height, unit), p.depthMode);
    if (!image) return refuse(FloodRefusal::kCannotMake);
    const auto ranked = [&](uint8_t pixel) { return pixel < ranks.levels.size(); };
    if (std::none_of(image->pixels.begin(), image->pixels.end(), ranked))
        return refuse(FloodRefusal::kNothingRanked);
    auto out = finish(project, p, fill, std::move(ranks), std::move(*image), false);
    if (!out) return refuse(FloodRefusal::kCannotMake);
    return out;
}

std::optional<FloodOutcome> floodFromPoint(HMeshProject& project, const FloodParameters& p,
                                           const FPoint& start, const std::vector<FPoint>* wall,
                                           FloodRefusal* refusal) {
    const auto refuse = [refusal](FloodRefusal why) { return refused(refusal, why); };
    if (project.meshCount() == 0) return refuse(FloodRefusal::kCannotMake);
    const double unit = unitOf(project);
    FloodRanks ranks = parseRanks(p.rankTexts, unit);
    HMeshFloodFill fill;
    if (!fill.SetCollection(project)) return refuse(FloodRefusal::kCannotMake);
    // A start between the meshes is as much outside the data as one beyond the grid.
    int si = 0, sj = 0;
    if (!fill.cellOf(start.x, start.y, si, sj) || fill.GetPixel(si, sj) == kFloodOutside)
        return refuse(FloodRefusal::kOutsideData);
    fill.SetFlags((p.waterPasses ? HMeshFloodFill::kWaterPasses : 0) |
                  (p.noDataPasses ? HMeshFloodFill::kNoDataPasses : 0));
    fill.SetRange(p.rangeOn, p.range);
    if (wall) fill.SetWall(*wall);
    auto image = fill.Run(ranks.levels, colorsFor(p, ranks.levels.size()), start,
                          waterLevelOf(p.height, unit), p.depthMode);
    if (!image) return refuse(FloodRefusal::kCannotMake);
    // The start cell is filled whatever its ground; without ground at or below the level
    // reached, nothing is flooded.
    if (!fill.statsStarted) return refuse(FloodRefusal::kNothingFlooded);
    if (image->filled == image->unranked) return refuse(FloodRefusal::kNothingRanked);
    auto out = finish(project, p, fill, std::move(ranks), std::move(*image), true);
    if (!out) return refuse(FloodRefusal::kCannotMake);
    return out;
}

bool addFloodLayer(HMeshProject& project, std::unique_ptr<ZarHImage>& layer) {
    return project.AddImage(layer, true) == 1;
}

bool hasFloodLayer(const HMeshProject& project) {
    for (int i = 0; i < project.imageCount(); ++i)
        if (isFloodName(project.GetImage(i)->name)) return true;
    return false;
}

int clearFloodLayers(HMeshProject& project) {
    int removed = 0;
    for (int i = project.imageCount() - 1; i >= 0; --i) {
        if (!isFloodName(project.GetImage(i)->name)) continue;
        project.RemoveImage(i);
        ++removed;
    }
    return removed;
}

}  // namespace kov
