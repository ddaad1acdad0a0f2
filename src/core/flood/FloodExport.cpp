// SPDX-License-Identifier: MIT
#include "core/flood/FloodExport.h"

#include <algorithm>
#include <new>

#include "core/data/BlockGrid.h"
#include "core/data/gis/Contours.h"

namespace kov {
namespace {

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Calls f(i, j, rank) for every cell of the rank image holding one of the first rankCount
// ranks; only the stored blocks are read.
template <class F>
void forEachRankedCell(const BlockGrid& cells, int rankCount, F&& f) {
    const int blocks = (cells.width() + BlockGrid::kBlockSide - 1) >> BlockGrid::kBlockBits;
    for (int j = 0; j < cells.height(); ++j)
        for (int bi = 0; bi < blocks; ++bi) {
            const uint8_t* row = cells.blockRow(bi, j);
            if (!row) continue;
            const int x = bi << BlockGrid::kBlockBits;
            const int n = std::min(BlockGrid::kBlockSide, cells.width() - x);
            for (int k = 0; k < n; ++k)
                if (row[k] < rankCount) f(x + k, j, row[k]);
        }
}

// The heights bounding rank r: ground mode runs from above the previous rank's height up to its
// own; depth mode from its own up to below the next rank's. Open ends are missing.
std::pair<FieldValue, FieldValue> rankRange(const FloodResult& result, size_t r) {
    const auto height = [&](size_t k) { return FieldValue{result.ranks[k].height}; };
    if (result.depthMode)
        return {height(r), r + 1 < result.ranks.size() ? height(r + 1) : FieldValue{}};
    return {r > 0 ? height(r - 1) : FieldValue{}, height(r)};
}

}  // namespace

bool floodPolygonLayer(const ZarHImage& layer, const std::vector<double>* rankVolumes,
                       VectorLayer& out, std::string* error, int64_t maxCells) {
    if (!layer.flood || !layer.indexedCells)
        return fail(error, "the layer is no flood result with its ranks");
    const FloodResult& result = *layer.flood;
    const BlockGrid& cells = *layer.indexedCells;
    const int rankCount = static_cast<int>(result.ranks.size());
    int i0 = cells.width(), j0 = cells.height(), i1 = -1, j1 = -1;
    forEachRankedCell(cells, rankCount, [&](int i, int j, uint8_t) {
        i0 = std::min(i0, i), i1 = std::max(i1, i), j0 = std::min(j0, j), j1 = std::max(j1, j);
    });
    if (i1 < i0) return fail(error, "no cell of the flood result falls into a rank");
    const int cols = i1 - i0 + 1, rows = j1 - j0 + 1;
    if (int64_t{cols} * rows > maxCells)
        return fail(error, "the ranked cells span " + std::to_string(cols) + " x " +
                               std::to_string(rows) + " cells, more than the " +
                               std::to_string(maxCells) + " made into polygons at once");
    const double cellWidth = (layer.xmax - layer.xmin) / cells.width();
    const double cellHeight = (layer.ymax - layer.ymin) / cells.height();
    const RasterPlacement placement{cols,
                                    rows,
                                    layer.xmin + i0 * cellWidth,
                                    layer.ymin + (j1 + 1) * cellHeight,
                                    cellWidth,
                                    cellHeight,
                                    0};
    std::vector<ClassPolygons> polygons;
    try {
        // Class r + 1 for rank r, 0 for no rank; row 0 north.
        std::vector<uint8_t> classes(static_cast<size_t>(cols) * static_cast<size_t>(rows), 0);
        forEachRankedCell(cells, rankCount, [&](int i, int j, uint8_t rank) {
            if (i < i0 || i > i1 || j < j0 || j > j1) return;
            classes[static_cast<size_t>(j1 - j) * cols + static_cast<size_t>(i - i0)] =
                static_cast<uint8_t>(rank + 1);
        });
        if (!polygonizeClasses(classes, placement, polygons, error)) return false;
    } catch (const std::bad_alloc&) {
        return fail(error, "memory ran out while the flood's polygons were made");
    }
    out = VectorLayer{};
    out.name = "flood";
    out.geometry = GeometryType::MultiPolygon;
    out.fields = {{"rank", FieldType::Integer}, {"basis", FieldType::Text},
                  {"lower", FieldType::Real},   {"upper", FieldType::Real},
                  {"area", FieldType::Real},    {"volume", FieldType::Real}};
    for (ClassPolygons& p : polygons) {
        const size_t r = static_cast<size_t>(p.value - 1);
        if (r >= result.ranks.size()) continue;
        const auto [lower, upper] = rankRange(result, r);
        const FieldValue volume =
            rankVolumes && r < rankVolumes->size() ? FieldValue{(*rankVolumes)[r]} : FieldValue{};
        VectorFeature feature = std::move(p.shape);
        feature.values = {static_cast<int64_t>(r + 1),
                          std::string(result.depthMode ? "depth" : "ground"),
                          lower,
                          upper,
                          p.area,
                          volume};
        out.features.push_back(std::move(feature));
    }
    return true;
}

bool writeFloodPolygons(const ZarHImage& layer, const std::vector<double>* rankVolumes, int epsg,
                        const std::string& path, std::string* error) {
    if (!vectorFormatOfPath(path))
        return fail(error, "unknown vector file extension (use .gpkg, .geojson, .shp or .kml)");
    VectorLayer polygons;
    return floodPolygonLayer(layer, rankVolumes, polygons, error) &&
           writeVectorFile({polygons}, epsg, path, error);
}

bool writeFloodDepths(HMeshProject& project, const FloodOutcome& outcome, const FloodWater& water,
                      int epsg, const std::string& path, std::string* error) {
    const auto format = rasterFormatOfPath(path);
    if (!format) return fail(error, "unknown raster file extension (use .tif, .asc or .vrt)");
    ElevationRaster depths;
    return floodDepthRaster(project, outcome, water, epsg, depths, error) &&
           writeElevationRaster(depths, path, *format, error, kFloodDepthQuantity);
}

}  // namespace kov
