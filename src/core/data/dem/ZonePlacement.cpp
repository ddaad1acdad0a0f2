// SPDX-License-Identifier: MIT
#include "core/data/dem/ZonePlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <thread>

#include "core/base/PlaneConverter.h"
#include "core/data/dem/CrsTransform.h"
#include "core/data/dem/SourceMosaic.h"

namespace kov {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
// A footprint further than this from the zone's origin (in x or y) is not placed in the zone.
constexpr double kZoneReachMetres = 1'000'000.0;
// Cells interpolated between exactly transformed control points, per block side.
constexpr int kBlockCells = 16;
// The most a source position interpolated in a block may be off, in source cells.
constexpr double kMostPositionError = 1e-3;
// The cell sizes a grid may be placed at, in metres.
constexpr double kFinestCell = 0.001, kCoarsestCell = 100'000.0;
// Segments of each edge of a footprint's outline (edges are curves in the zone).
constexpr int kMostOutlineSegments = 256;

// ---- zone of a point ----

double originLatitude(const ZoneOrigin& o) {
    return o.latDegrees + o.latMinutes / 60.0 + o.latSeconds / 3600.0;
}
double originLongitude(const ZoneOrigin& o) {
    return o.lonDegrees + o.lonMinutes / 60.0 + o.lonSeconds / 3600.0;
}

// The central angle between two points (haversine), in radians.
double centralAngle(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = (lat2 - lat1) * kDegToRad, dLon = (lon2 - lon1) * kDegToRad;
    const double h = std::pow(std::sin(dLat / 2), 2) + std::cos(lat1 * kDegToRad) *
                                                           std::cos(lat2 * kDegToRad) *
                                                           std::pow(std::sin(dLon / 2), 2);
    return 2 * std::asin(std::sqrt(std::min(1.0, h)));
}

// ---- PROJ through the GDAL module ----

// Both ways between a source's coordinate system and the zone.
struct ZoneTransforms {
    std::unique_ptr<CrsTransform> toZone;
    std::unique_ptr<CrsTransform> toSource;
    std::string why;  // why there are none
};

ZoneTransforms makeTransforms(const SourceCrs& crs, int zoneEpsg) {
    ZoneTransforms t;
    CrsTransform::createZonePair(crs, zoneEpsg, t.toZone, t.toSource, t.why);
    return t;
}

std::string crsKey(const SourceCrs& crs) {
    return crs.epsg != 0 ? "EPSG:" + std::to_string(crs.epsg) : crs.wkt;
}

// ---- the rectangle in the zone ----

// Lattice cells [col0, col0 + cols) x [row0, row0 + rows); cell (i, j) has its centre at
// ((i + 0.5) * cellSize, (j + 0.5) * cellSize).
struct LatticeRect {
    int64_t col0 = 0;
    int64_t row0 = 0;
    int64_t cols = 0;
    int64_t rows = 0;
};

// The grid's outer edges, densified, as source coordinates.
void footprintOutline(const GeoGrid& g, std::vector<double>& xs, std::vector<double>& ys) {
    const int nx = std::clamp(g.cols, 1, kMostOutlineSegments);
    const int ny = std::clamp(g.rows, 1, kMostOutlineSegments);
    auto add = [&](double x, double y) {
        xs.push_back(x);
        ys.push_back(y);
    };
    for (int k = 0; k < nx; ++k) {
        const double x = g.west + (g.east() - g.west) * k / nx;
        add(x, g.north);
        add(g.east() - (g.east() - g.west) * k / nx, g.south());
    }
    for (int k = 0; k < ny; ++k) {
        add(g.east(), g.north - (g.north - g.south()) * k / ny);
        add(g.west, g.south() + (g.north - g.south()) * k / ny);
    }
}

// The bounding box of the footprint in the zone, snapped outward to the lattice; the reason
// when there is none.
std::optional<LatticeRect> zoneRectangle(const GeoGrid& g, const CrsTransform& toZone,
                                         const ZoneGrid& target, std::string& why) {
    std::vector<double> xs, ys;
    footprintOutline(g, xs, ys);
    std::vector<int> ok(xs.size(), 0);
    toZone.apply(xs.data(), ys.data(), xs.size(), ok.data());
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (size_t k = 0; k < xs.size(); ++k) {
        if (!ok[k] || !std::isfinite(xs[k]) || !std::isfinite(ys[k])) {
            why = "its footprint cannot be transformed to zone " + std::to_string(target.zone);
            return std::nullopt;
        }
        x0 = std::min(x0, xs[k]), x1 = std::max(x1, xs[k]);
        y0 = std::min(y0, ys[k]), y1 = std::max(y1, ys[k]);
    }
    const double reach = std::max({std::abs(x0), std::abs(x1), std::abs(y0), std::abs(y1)});
    if (reach > kZoneReachMetres) {
        why = "it lies " + std::to_string(std::lround(reach / 1000)) +
              " km from the origin of zone " + std::to_string(target.zone) +
              ", more than 1000 km: it does not belong in that zone";
        return std::nullopt;
    }
    // Bounds within rounding noise of a lattice line stay on it.
    constexpr double kSnap = 1e-7;
    const double cs = target.cellSize;
    const double i0 = std::floor(x0 / cs + kSnap), i1 = std::ceil(x1 / cs - kSnap);
    const double j0 = std::floor(y0 / cs + kSnap), j1 = std::ceil(y1 / cs - kSnap);
    const double cols = std::max(i1 - i0, 1.0), rows = std::max(j1 - j0, 1.0);
    if (cols * rows > static_cast<double>(ZarHMesh::kMaxCells)) {
        char size[32];
        std::snprintf(size, sizeof size, "%g", cs);
        why = "at " + std::string(size) + " m it needs " + std::to_string(std::llround(cols)) +
              " x " + std::to_string(std::llround(rows)) + " cells, more than " +
              std::to_string(ZarHMesh::kMaxCells);
        return std::nullopt;
    }
    return LatticeRect{static_cast<int64_t>(i0), static_cast<int64_t>(j0),
                       static_cast<int64_t>(cols), static_cast<int64_t>(rows)};
}

// ---- cells of the placed mesh ----

// A fractional cell-centre position in the mosaic; ok false where the transformation failed.
struct SourcePosition {
    double col = 0;
    double row = 0;
    bool ok = false;
};

SourcePosition lerp(const SourcePosition& a, const SourcePosition& b, double t) {
    return {a.col + t * (b.col - a.col), a.row + t * (b.row - a.row), true};
}

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Fills a mesh from a mosaic. Source positions are transformed exactly at control points of a
// lattice of blocks aligned to whole multiples of kBlockCells lattice cells and interpolated
// bilinearly inside a block, unless that is more than kMostPositionError off at the block's
// centre: then the block is halved, down to exact positions for every cell. Every decision
// depends only on the block's place in the zone, so two meshes compute identical codes for a
// lattice cell they share.
class LatticeFiller {
public:
    LatticeFiller(const CrsTransform& toSource, const SourceMosaic& mosaic, double cellSize,
                  const LatticeRect& rect, ZarHMesh& mesh)
        : toSource_(toSource), mosaic_(mosaic), cellSize_(cellSize), rect_(rect), mesh_(mesh) {}

    void fill() {
        const int64_t bi0 = floorDiv(rect_.col0, kBlockCells);
        const int64_t bi1 = floorDiv(rect_.col0 + rect_.cols - 1, kBlockCells);
        const int64_t bj0 = floorDiv(rect_.row0, kBlockCells);
        const int64_t bj1 = floorDiv(rect_.row0 + rect_.rows - 1, kBlockCells);
        const int64_t nbx = bi1 - bi0 + 1, nby = bj1 - bj0 + 1;
        // Corners of every block and their centres, transformed in two batches.
        std::vector<int64_t> is, js;
        for (int64_t b = 0; b <= nby; ++b)
            for (int64_t a = 0; a <= nbx; ++a) {
                is.push_back((bi0 + a) * kBlockCells);
                js.push_back((bj0 + b) * kBlockCells);
            }
        const std::vector<SourcePosition> corners = exactPositions(is, js);
        is.clear(), js.clear();
        for (int64_t b = 0; b < nby; ++b)
            for (int64_t a = 0; a < nbx; ++a) {
                is.push_back((bi0 + a) * kBlockCells + kBlockCells / 2);
                js.push_back((bj0 + b) * kBlockCells + kBlockCells / 2);
            }
        const std::vector<SourcePosition> centres = exactPositions(is, js);
        for (int64_t b = 0; b < nby; ++b)
            for (int64_t a = 0; a < nbx; ++a) {
                auto corner = [&](int64_t da, int64_t db) {
                    return corners[static_cast<size_t>((b + db) * (nbx + 1) + a + da)];
                };
                fillBlock((bi0 + a) * kBlockCells, (bj0 + b) * kBlockCells, kBlockCells,
                          {corner(0, 0), corner(1, 0), corner(0, 1), corner(1, 1)},
                          centres[static_cast<size_t>(b * nbx + a)]);
            }
    }

private:
    // Corners of a block: south-west, south-east, north-west, north-east (lattice rows run
    // north).
    struct Corners {
        SourcePosition sw, se, nw, ne;
    };

    std::vector<SourcePosition> exactPositions(const std::vector<int64_t>& is,
                                               const std::vector<int64_t>& js) const {
        const size_t n = is.size();
        std::vector<double> xs(n), ys(n);
        std::vector<int> ok(n, 0);
        for (size_t k = 0; k < n; ++k) {
            xs[k] = (static_cast<double>(is[k]) + 0.5) * cellSize_;
            ys[k] = (static_cast<double>(js[k]) + 0.5) * cellSize_;
        }
        toSource_.apply(xs.data(), ys.data(), n, ok.data());
        std::vector<SourcePosition> out(n);
        for (size_t k = 0; k < n; ++k) {
            out[k] = {mosaic_.columnOf(xs[k]), mosaic_.rowOf(ys[k]),
                      ok[k] != 0 && std::isfinite(xs[k]) && std::isfinite(ys[k])};
        }
        return out;
    }
    SourcePosition exactPosition(int64_t i, int64_t j) const { return exactPositions({i}, {j})[0]; }

    static bool closeEnough(const Corners& c, const SourcePosition& centre) {
        if (!c.sw.ok || !c.se.ok || !c.nw.ok || !c.ne.ok || !centre.ok) return false;
        const SourcePosition mid = lerp(lerp(c.sw, c.se, 0.5), lerp(c.nw, c.ne, 0.5), 0.5);
        return std::abs(mid.col - centre.col) <= kMostPositionError &&
               std::abs(mid.row - centre.row) <= kMostPositionError;
    }

    // The part of the block (i0, j0, size) inside the mesh, as mesh cells [c0, c1) x [r0, r1).
    bool clip(int64_t i0, int64_t j0, int size, int& c0, int& c1, int& r0, int& r1) const {
        c0 = static_cast<int>(std::max<int64_t>(i0 - rect_.col0, 0));
        c1 = static_cast<int>(std::min<int64_t>(i0 + size - rect_.col0, rect_.cols));
        r0 = static_cast<int>(std::max<int64_t>(j0 - rect_.row0, 0));
        r1 = static_cast<int>(std::min<int64_t>(j0 + size - rect_.row0, rect_.rows));
        return c0 < c1 && r0 < r1;
    }

    void fillBlock(int64_t i0, int64_t j0, int size, const Corners& c,
                   const SourcePosition& centre) {
        int c0, c1, r0, r1;
        if (!clip(i0, j0, size, c0, c1, r0, r1)) return;
        if (closeEnough(c, centre)) return interpolate(i0, j0, size, c, c0, c1, r0, r1);
        if (size <= 2) return fillExactly(c0, c1, r0, r1);
        const int half = size / 2;
        for (int b = 0; b < 2; ++b)
            for (int a = 0; a < 2; ++a) {
                const int64_t si = i0 + a * half, sj = j0 + b * half;
                const Corners sub{exactPosition(si, sj), exactPosition(si + half, sj),
                                  exactPosition(si, sj + half),
                                  exactPosition(si + half, sj + half)};
                fillBlock(si, sj, half, sub, exactPosition(si + half / 2, sj + half / 2));
            }
    }

    void interpolate(int64_t i0, int64_t j0, int size, const Corners& c, int c0, int c1, int r0,
                     int r1) {
        const double inv = 1.0 / size;
        for (int r = r0; r < r1; ++r) {
            const double t = static_cast<double>(rect_.row0 + r - j0) * inv;
            const SourcePosition west = lerp(c.sw, c.nw, t), east = lerp(c.se, c.ne, t);
            int32_t* out = &mesh_.cell(0, r);
            for (int col = c0; col < c1; ++col) {
                const SourcePosition p =
                    lerp(west, east, static_cast<double>(rect_.col0 + col - i0) * inv);
                out[col] = mosaic_.sample(p.col, p.row);
            }
        }
    }

    void fillExactly(int c0, int c1, int r0, int r1) {
        std::vector<int64_t> is, js;
        for (int r = r0; r < r1; ++r)
            for (int col = c0; col < c1; ++col) {
                is.push_back(rect_.col0 + col);
                js.push_back(rect_.row0 + r);
            }
        const std::vector<SourcePosition> exact = exactPositions(is, js);
        size_t k = 0;
        for (int r = r0; r < r1; ++r)
            for (int col = c0; col < c1; ++col, ++k) {
                const SourcePosition& p = exact[k];
                mesh_.cell(col, r) = p.ok ? mosaic_.sample(p.col, p.row) : MESH_NODATA;
            }
    }

    const CrsTransform& toSource_;
    const SourceMosaic& mosaic_;
    double cellSize_;
    LatticeRect rect_;
    ZarHMesh& mesh_;
};

// ---- one load ----

bool usableGrid(const GeoGrid& g) {
    return g.cols > 0 && g.rows > 0 && std::isfinite(g.west) && std::isfinite(g.north) &&
           std::isfinite(g.stepX) && std::isfinite(g.stepY) && g.stepX > 0 && g.stepY > 0 &&
           g.codes.size() == static_cast<size_t>(g.cols) * static_cast<size_t>(g.rows);
}

// The mosaic each grid belongs to (grids that fit an earlier grid's mosaic join it).
std::vector<size_t> formMosaics(const std::vector<const GeoGrid*>& grids,
                                std::vector<std::unique_ptr<SourceMosaic>>& mosaics) {
    std::vector<size_t> mosaicOf(grids.size(), SIZE_MAX);
    for (size_t k = 0; k < grids.size(); ++k) {
        if (!grids[k] || !usableGrid(*grids[k])) continue;
        const GeoGrid& g = *grids[k];
        auto it =
            std::find_if(mosaics.begin(), mosaics.end(), [&](const auto& m) { return m->fits(g); });
        if (it == mosaics.end()) {
            mosaics.push_back(std::make_unique<SourceMosaic>(g));
            mosaicOf[k] = mosaics.size() - 1;
        } else {
            (*it)->add(g);
            mosaicOf[k] = static_cast<size_t>(it - mosaics.begin());
        }
    }
    return mosaicOf;
}

std::unique_ptr<ZarDemMesh> placedMesh(const GeoGrid& g, const ZoneGrid& target,
                                       const LatticeRect& rect) {
    auto mesh = std::make_unique<ZarDemMesh>();
    if (!mesh->allocateCells(rect.cols, rect.rows)) return nullptr;
    mesh->cellSize = target.cellSize;
    mesh->zone = target.zone;
    mesh->datum = target.datum == GeodeticDatum::kUnstated ? GeodeticDatum::kJgd2011 : target.datum;
    mesh->xmin = static_cast<double>(rect.col0) * target.cellSize;
    mesh->ymin = static_cast<double>(rect.row0) * target.cellSize;
    mesh->xmax = static_cast<double>(rect.col0 + rect.cols) * target.cellSize;
    mesh->ymax = static_cast<double>(rect.row0 + rect.rows) * target.cellSize;
    mesh->sourceKind = g.kind;
    mesh->sourceDatum = g.datumName;
    mesh->sourceCrs = g.crs.name;
    mesh->sourceCounts = g.counts;
    mesh->sourceSpacing = g.nominalSpacing;
    return mesh;
}

}  // namespace

int zoneNearest(double latitude, double longitude) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) return 9;
    int best = 1;
    double bestAngle = HUGE_VAL;
    for (int zone = 1; zone <= kZoneCount; ++zone) {
        const ZoneOrigin& o = kZoneOrigins[zone - 1];
        const double angle =
            centralAngle(latitude, longitude, originLatitude(o), originLongitude(o));
        if (angle < bestAngle) bestAngle = angle, best = zone;
    }
    return best;
}

ZarDemMesh::ZarDemMesh() {
    scale = 0.001;
}

namespace {

// One worker's share of a placement: grids first, first + stride, ... With transformations of
// its own (PROJ's objects serve one thread) and its own copies of the mosaics' look-up state.
struct PlacementShare {
    const std::vector<const GeoGrid*>& grids;
    const ZoneGrid& target;
    int zoneEpsg;
    const std::vector<std::unique_ptr<SourceMosaic>>& mosaics;
    const std::vector<size_t>& mosaicOf;
    std::vector<std::unique_ptr<ZarDemMesh>>& placed;
    std::vector<std::string>& errors;

    void run(size_t first, size_t stride) const {
        std::vector<SourceMosaic> own;
        for (const auto& mosaic : mosaics)
            own.push_back(*mosaic);
        std::map<std::string, ZoneTransforms> transforms;  // by coordinate system
        for (size_t k = first; k < grids.size(); k += stride) {
            try {
                placed[k] =
                    placeOne(*grids[k], mosaicOf[k] == SIZE_MAX ? nullptr : &own[mosaicOf[k]],
                             transforms, errors[k]);
            } catch (const std::bad_alloc&) {
                errors[k] = "there is no memory to place it";
            }
        }
    }

    std::unique_ptr<ZarDemMesh> placeOne(const GeoGrid& g, const SourceMosaic* mosaic,
                                         std::map<std::string, ZoneTransforms>& transforms,
                                         std::string& why) const {
        if (!mosaic) {
            why = "the grid holds no cells or its steps are not positive";
            return nullptr;
        }
        auto [it, fresh] = transforms.try_emplace(crsKey(g.crs));
        if (fresh) it->second = makeTransforms(g.crs, zoneEpsg);
        const ZoneTransforms& t = it->second;
        if (!t.toZone) {
            why = t.why;
            return nullptr;
        }
        const std::optional<LatticeRect> rect = zoneRectangle(g, *t.toZone, target, why);
        if (!rect) return nullptr;
        std::unique_ptr<ZarDemMesh> mesh = placedMesh(g, target, *rect);
        if (!mesh) {
            why =
                "there is no memory for its " + std::to_string(rect->cols * rect->rows) + " cells";
            return nullptr;
        }
        LatticeFiller(*t.toSource, *mosaic, target.cellSize, *rect, *mesh).fill();
        mesh->UpdateMinMax();
        return mesh;
    }
};

}  // namespace

std::vector<std::unique_ptr<ZarDemMesh>> placeGrids(const std::vector<const GeoGrid*>& grids,
                                                    const ZoneGrid& target,
                                                    std::vector<std::string>& errors) {
    std::vector<std::unique_ptr<ZarDemMesh>> placed(grids.size());
    errors.assign(grids.size(), std::string());
    const int zoneEpsg = planeRectangularEpsg(target.datum, target.zone);
    if (zoneEpsg == 0 || !(target.cellSize >= kFinestCell && target.cellSize <= kCoarsestCell)) {
        const std::string why = zoneEpsg == 0
                                    ? "zone " + std::to_string(target.zone) + " is not one of 1..19"
                                    : "the cell size is not between 1 mm and 100 km";
        errors.assign(grids.size(), why);
        return placed;
    }
    std::vector<std::unique_ptr<SourceMosaic>> mosaics;
    const std::vector<size_t> mosaicOf = formMosaics(grids, mosaics);
    const PlacementShare share{grids, target, zoneEpsg, mosaics, mosaicOf, placed, errors};
    // The grids are shared out over the cores; each grid is placed by one of them alone.
    const size_t workers = std::clamp<size_t>(std::thread::hardware_concurrency(), 1,
                                              std::min<size_t>(grids.size(), 8));
    std::vector<std::thread> helpers;
    for (size_t w = 1; w < workers; ++w)
        helpers.emplace_back([&share, w, workers] { share.run(w, workers); });
    share.run(0, workers);
    for (std::thread& helper : helpers)
        helper.join();
    return placed;
}

}  // namespace kov
