// SPDX-License-Identifier: MIT
// The collection on a regular grid. The meshes are laid on the grid one after the other in the
// project's order, each over what the earlier ones left, with the rules of the point query: a
// later mesh's elevation wins, water never covers an elevation, no data changes nothing. A mesh
// that lies on the grid's lattice is copied cell by cell; any other is asked at each cell
// centre it covers.
#include "core/data/gis/CollectionRaster.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/base/GeodeticDatum.h"
#include "core/base/HxProgress.h"
#include "core/data/ZarHMesh.h"

namespace kov {
namespace {

bool fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// Edges within a micrometre of a lattice line count as on it.
constexpr double kLatticeTolerance = 1e-6;

// The nearest whole number when value is within the tolerance of one.
bool wholeNumber(double value, long long& whole) {
    const double rounded = std::round(value);
    whole = static_cast<long long>(rounded);
    return std::abs(value - rounded) < kLatticeTolerance;
}

// The cells a mesh hands to the grid, with how its cells map to the grid's.
struct Overlap {
    int colFirst = 0, colEnd = 0;  // grid columns [colFirst, colEnd)
    int rowFirst = 0, rowEnd = 0;  // grid rows [rowFirst, rowEnd), row 0 north
    long long colShift = 0;        // mesh column = grid column - colShift
    long long rowFlip = 0;         // mesh row = rowFlip - grid row (mesh row 0 is south)
};

// True when the mesh's cells are the grid's cells (same size, edges on the grid's lattice).
bool onLattice(const ZarHMesh& mesh, const RasterPlacement& p, Overlap& overlap) {
    const double cellX = mesh.width() / mesh.cols;
    const double cellY = mesh.height() / mesh.rows;
    if (std::abs(cellX - p.cellWidth) > kLatticeTolerance * p.cellWidth ||
        std::abs(cellY - p.cellHeight) > kLatticeTolerance * p.cellHeight)
        return false;
    long long rowsToTop = 0;
    if (!wholeNumber((mesh.xmin - p.west) / p.cellWidth, overlap.colShift) ||
        !wholeNumber((p.north - mesh.ymin) / p.cellHeight, rowsToTop))
        return false;
    overlap.rowFlip = rowsToTop - 1;
    overlap.colFirst = static_cast<int>(std::clamp<long long>(overlap.colShift, 0, p.cols));
    overlap.colEnd =
        static_cast<int>(std::clamp<long long>(overlap.colShift + mesh.cols, 0, p.cols));
    overlap.rowFirst = static_cast<int>(std::clamp<long long>(rowsToTop - mesh.rows, 0, p.rows));
    overlap.rowEnd = static_cast<int>(std::clamp<long long>(rowsToTop, 0, p.rows));
    return true;
}

// The grid cells whose centres may lie in the mesh (the point query decides at each).
Overlap coveredCells(const ZarHMesh& mesh, const RasterPlacement& p) {
    const auto clampedIndex = [](double v, int n) {
        return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(n)));
    };
    Overlap o;
    o.colFirst = clampedIndex(std::floor((mesh.xmin - p.west) / p.cellWidth - 0.5), p.cols);
    o.colEnd = clampedIndex(std::ceil((mesh.xmax - p.west) / p.cellWidth + 0.5), p.cols);
    o.rowFirst = clampedIndex(std::floor((p.north - mesh.ymax) / p.cellHeight - 0.5), p.rows);
    o.rowEnd = clampedIndex(std::ceil((p.north - mesh.ymin) / p.cellHeight + 0.5), p.rows);
    return o;
}

class GridLayers {
public:
    explicit GridLayers(ElevationRaster& out) : out_(out) {}

    void ground(size_t i, double z) {
        out_.metres[i] = static_cast<float>(z);
        out_.classes[i] = CellClass::Ground;
    }
    void water(size_t i) {
        if (out_.classes[i] != CellClass::Ground) out_.classes[i] = CellClass::Water;
    }

    void copyCells(const ZarHMesh& mesh, const Overlap& o) {
        const int cols = out_.placement.cols;
        std::vector<int32_t> scratch;
        for (int r = o.rowFirst; r < o.rowEnd; ++r) {
            const int32_t* codes = mesh.rowCodes(o.rowFlip - r, scratch);
            if (!codes) continue;
            for (int c = o.colFirst; c < o.colEnd; ++c) {
                const int32_t code = codes[c - o.colShift];
                const size_t i = static_cast<size_t>(r) * cols + c;
                if (code == MESH_WATER)
                    water(i);
                else if (code != MESH_NODATA)
                    ground(i, code * mesh.scale);
            }
        }
    }

    void askCells(const ZarHMesh& mesh, const Overlap& o) {
        const RasterPlacement& p = out_.placement;
        for (int r = o.rowFirst; r < o.rowEnd; ++r) {
            const double y = p.north - (r + 0.5) * p.cellHeight;
            for (int c = o.colFirst; c < o.colEnd; ++c) {
                const double x = p.west + (c + 0.5) * p.cellWidth;
                const size_t i = static_cast<size_t>(r) * p.cols + c;
                double z = 0.0;
                if (mesh.GetElevation(x, y, z))
                    ground(i, z);
                else if (mesh.contains(x, y) &&
                         mesh.GetRawValue(x, y) == static_cast<double>(MESH_WATER))
                    water(i);
            }
        }
    }

private:
    ElevationRaster& out_;
};

bool allocate(ElevationRaster& out, int64_t cells, std::string* error) {
    try {
        out.metres.assign(static_cast<size_t>(cells), ElevationRaster::kRasterNoData);
        out.classes.assign(static_cast<size_t>(cells), CellClass::NoData);
        return true;
    } catch (const std::bad_alloc&) {
        out.metres = {};
        out.classes = {};
        return fail(error, "not enough memory for " + std::to_string(cells) + " cells");
    }
}

}  // namespace

GeodeticDatum collectionDatum(const HMeshProject& project, bool* mixedDatums) {
    GeodeticDatum datum = GeodeticDatum::kUnstated;
    bool differ = false;
    for (int i = 0; i < project.meshCount(); ++i) {
        const GeodeticDatum stated = project.GetMesh(i)->datum;
        if (stated == GeodeticDatum::kUnstated) continue;
        differ = differ || (datum != GeodeticDatum::kUnstated && stated != datum);
        datum = stated;
    }
    if (mixedDatums) *mixedDatums = differ;
    return datum;
}

int collectionEpsg(const HMeshProject& project, bool* mixedDatums) {
    return planeRectangularEpsg(collectionDatum(project, mixedDatums), project.planeZone);
}

RasterPlacement collectionPlacement(const HMeshProject& project, const MapRect& rect,
                                    double cellSize) {
    const bool finite = std::isfinite(rect.xmin) && std::isfinite(rect.ymin) &&
                        std::isfinite(rect.xmax) && std::isfinite(rect.ymax) &&
                        std::isfinite(cellSize);
    if (!finite || cellSize <= 0.0 || rect.xmax <= rect.xmin || rect.ymax <= rect.ymin) return {};
    // Edges already on the lattice (to rounding) stay there instead of taking one more cell.
    const double west = std::floor(rect.xmin / cellSize + kLatticeTolerance) * cellSize;
    const double south = std::floor(rect.ymin / cellSize + kLatticeTolerance) * cellSize;
    const double east = std::ceil(rect.xmax / cellSize - kLatticeTolerance) * cellSize;
    const double north = std::ceil(rect.ymax / cellSize - kLatticeTolerance) * cellSize;
    const double cols = std::round((east - west) / cellSize);
    const double rows = std::round((north - south) / cellSize);
    if (cols < 1 || rows < 1 || cols > INT32_MAX || rows > INT32_MAX) return {};
    RasterPlacement p;
    p.cols = static_cast<int>(cols);
    p.rows = static_cast<int>(rows);
    p.west = west;
    p.north = north;
    p.cellWidth = cellSize;
    p.cellHeight = cellSize;
    p.epsg = collectionEpsg(project);
    return p;
}

bool sampleCollection(const HMeshProject& project, const RasterPlacement& placement,
                      ElevationRaster& out, std::string* error, int64_t maxCells,
                      HxProgress* progress) {
    const int64_t cells = static_cast<int64_t>(placement.cols) * placement.rows;
    if (placement.cols <= 0 || placement.rows <= 0 || placement.cellWidth <= 0.0 ||
        placement.cellHeight <= 0.0)
        return fail(error, "the grid has no cells");
    if (cells > maxCells)
        return fail(error, "the grid would hold " + std::to_string(cells) +
                               " cells, more than the " + std::to_string(maxCells) + " allowed");
    out.placement = placement;
    if (!allocate(out, cells, error)) return false;
    GridLayers layers(out);
    const int meshes = project.meshCount();
    for (int m = 0; m < meshes; ++m) {
        if (progress && progress->SetPos(m, meshes)) return fail(error, "cancelled");
        const ZarHMesh& mesh = *project.GetMesh(m);
        if (mesh.cols <= 0 || mesh.rows <= 0 || mesh.cells.empty()) continue;
        Overlap overlap;
        if (onLattice(mesh, placement, overlap))
            layers.copyCells(mesh, overlap);
        else
            layers.askCells(mesh, coveredCells(mesh, placement));
    }
    if (progress) progress->SetPos(meshes, meshes);
    return true;
}

}  // namespace kov
