// SPDX-License-Identifier: MIT
#include "core/data/dem/ZonePlacement.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <optional>
#include <sstream>
#include <tuple>

#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/display/MeshRenderer.h"
#include "support/ImagePixels.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

constexpr double kStep = 0.2 / 3600;                          // a DEM5A cell in degrees
constexpr int32_t kWaterValue = -5000, kNoDataValue = -9999;  // class sentinels in text grids

using Terrain = std::function<int32_t(int col, int row)>;  // millimetre codes

// Hills in millimetres over global cell indices, so that neighbouring grids share one surface.
int32_t hills(int col, int row) {
    return static_cast<int32_t>(std::lround(80000 + 25000 * std::sin(col * 0.11) +
                                            17000 * std::cos(row * 0.07 + col * 0.03) +
                                            4000 * std::sin(col * 0.6) * std::cos(row * 0.5)));
}

GeoGrid latLonGrid(double west, double north, int cols, int rows, const Terrain& terrain,
                   int epsg = 6668) {
    GeoGrid g;
    g.cols = cols, g.rows = rows, g.west = west, g.north = north;
    g.stepX = g.stepY = kStep;
    g.crs.epsg = epsg;
    g.crs.geographic = true;
    g.crs.name = "JGD latitude and longitude";
    g.kind = "FG-GML DEM5A";
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            g.codes.push_back(terrain(c, r));
    return g;
}

std::vector<std::unique_ptr<ZarDemMesh>> place(const std::vector<const GeoGrid*>& grids,
                                               const ZoneGrid& target = {}) {
    std::vector<std::string> errors;
    auto meshes = placeGrids(grids, target, errors);
    for (size_t k = 0; k < meshes.size(); ++k)
        EXPECT_TRUE(meshes[k]) << errors[k];
    return meshes;
}

// The code of the lattice cell whose centre is (x, y) in mesh m; nullopt outside it.
std::optional<int32_t> codeAt(const ZarHMesh& m, double x, double y) {
    if (!m.contains(x, y)) return std::nullopt;
    return m.cell(static_cast<int>((x - m.xmin) / m.cellSize),
                  static_cast<int>((y - m.ymin) / m.cellSize));
}

TEST(ZonePlacement, ZoneNearestToCities) {
    const struct {
        const char* city;
        double lat, lon;
        int zone;
    } cases[] = {{"Tokyo", 35.68, 139.69, 9},   {"Sapporo", 43.06, 141.35, 12},
                 {"Osaka", 34.69, 135.50, 6},   {"Naha", 26.21, 127.68, 15},
                 {"Fukuoka", 33.59, 130.40, 2}, {"Kushiro", 42.98, 144.38, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.city);
        EXPECT_EQ(zoneNearest(c.lat, c.lon), c.zone);
    }
}

// ---- the cross-check with gdalwarp ----

// An ESRI ASCII grid of the codes (metres; class cells as sentinels or, with indicator, 1 for
// ground and 0 for the rest).
void writeAsciiGrid(const GeoGrid& g, const std::string& path, bool indicator) {
    std::ofstream out(path);
    out << std::setprecision(17) << "ncols " << g.cols << "\nnrows " << g.rows << "\nxllcorner "
        << g.west << "\nyllcorner " << g.south() << "\ncellsize " << g.stepX << '\n'
        << std::fixed << std::setprecision(3);
    for (int r = 0; r < g.rows; ++r, out << '\n')
        for (int c = 0; c < g.cols; ++c) {
            const int32_t code = g.code(c, r);
            out << (indicator             ? !isSpecialCode(code)
                    : code == MESH_WATER  ? kWaterValue
                    : code == MESH_NODATA ? kNoDataValue
                                          : code / 1000.0)
                << ' ';
        }
}

// Warps source onto the mesh's cells; answers the values north row first, empty on failure.
std::vector<double> gdalwarp(const std::string& tool, const std::string& source, const ZarHMesh& m,
                             const char* method, const std::string& output) {
    QStringList args = QString(
                           "-q -overwrite -s_srs EPSG:6668 -t_srs EPSG:6677 -tr 5 5 -et 0 "
                           "-dstnodata -99999 -of AAIGrid -r")
                           .split(' ');
    args << method << "-te";
    for (double v : {m.xmin, m.ymin, m.xmax, m.ymax})
        args << QString::number(v, 'f', 3);
    args << QString::fromStdString(source) << QString::fromStdString(output);
    QProcess p;
    p.start(QString::fromStdString(tool), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return {};
    }
    std::istringstream in(test::readFile(output));
    std::string header[12];  // six lines of a key and a value
    for (std::string& word : header)
        in >> word;
    std::vector<double> values;
    for (double v; in >> v;)
        values.push_back(v);
    EXPECT_EQ(values.size(), static_cast<size_t>(m.cols) * m.rows);
    return values;
}

TEST(ZonePlacement, AgreesWithGdalwarp) {
    const QString tool = QStandardPaths::findExecutable("gdalwarp");
    if (tool.isEmpty()) GTEST_SKIP() << "gdalwarp is not installed";
    // A ring of no data, a bay of water and a hole of no data in hills near Tokyo: cells near the
    // coast take the nearest class, as gdalwarp -r near does, and never blend the water code.
    const GeoGrid g = latLonGrid(139.70, 35.70, 90, 60, [](int c, int r) {
        if (c == 0 || r == 0 || c == 89 || r == 59) return MESH_NODATA;
        if (std::hypot(c - 20, r - 40) < 12) return MESH_WATER;
        if (c > 60 && c < 66 && r > 10 && r < 30) return MESH_NODATA;
        return hills(c, r);
    });
    const auto meshes = place({&g});
    ASSERT_TRUE(meshes[0]);
    const ZarDemMesh& m = *meshes[0];
    test::TempDir dir;
    writeAsciiGrid(g, dir.file("dem.asc"), false);
    writeAsciiGrid(g, dir.file("ground.asc"), true);
    const std::string exe = tool.toStdString();
    const auto bilinear = gdalwarp(exe, dir.file("dem.asc"), m, "bilinear", dir.file("b.asc"));
    const auto ground = gdalwarp(exe, dir.file("ground.asc"), m, "bilinear", dir.file("g.asc"));
    const auto nearest = gdalwarp(exe, dir.file("dem.asc"), m, "near", dir.file("n.asc"));
    ASSERT_FALSE(bilinear.empty() || ground.empty() || nearest.empty());

    int interpolated = 0, classed = 0, water = 0;
    double worst = 0;
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c) {
            SCOPED_TRACE(testing::Message() << "cell " << c << ", " << r);
            const size_t k = static_cast<size_t>(m.rows - 1 - r) * m.cols + c;
            const int32_t code = m.cell(c, r);
            if (ground[k] > 1 - 1e-6) {  // all four neighbours hold ground
                ASSERT_FALSE(isSpecialCode(code));
                worst = std::max(worst, std::abs(code / 1000.0 - bilinear[k]));
                ++interpolated;
                continue;
            }
            const double n = nearest[k];
            const int32_t expected = n == kWaterValue                   ? MESH_WATER
                                     : n == kNoDataValue || n == -99999 ? MESH_NODATA
                                                                        : std::lround(n * 1000);
            ASSERT_EQ(code, expected);
            ++classed;
            water += code == MESH_WATER;
        }
    EXPECT_LE(worst, 0.01);
    EXPECT_GT(interpolated, m.cols * m.rows / 2);
    EXPECT_GT(classed, 500);
    EXPECT_GT(water, 100) << "the bay stays water";
}

// ---- neighbouring grids ----

// Quadrants of one grid, placed together, against the whole grid placed alone.
struct Quadrants {
    static constexpr int kCols = 120, kRows = 80;
    GeoGrid whole = latLonGrid(139.70, 35.70, kCols, kRows, hills);
    std::vector<GeoGrid> parts;
    Quadrants() {
        for (int qr = 0; qr < 2; ++qr)
            for (int qc = 0; qc < 2; ++qc) {
                const int c0 = qc * kCols / 2, r0 = qr * kRows / 2;
                parts.push_back(latLonGrid(139.70 + c0 * kStep, 35.70 - r0 * kStep, kCols / 2,
                                           kRows / 2,
                                           [=](int c, int r) { return hills(c0 + c, r0 + r); }));
            }
    }
    std::vector<const GeoGrid*> pointers() const {
        std::vector<const GeoGrid*> p;
        for (const GeoGrid& g : parts)
            p.push_back(&g);
        return p;
    }
};

TEST(ZonePlacement, NeighboursMeetWithoutSeam) {
    const Quadrants q;
    const auto whole = place({&q.whole});
    const auto parts = place(q.pointers());
    ASSERT_TRUE(whole[0] && parts[3]);
    const ZarDemMesh& w = *whole[0];
    // Every cell of every part equals the whole's: overlaps agree, and no row is lost or doubled.
    for (const auto& part : parts) {
        for (int r = 0; r < part->rows; ++r)
            for (int c = 0; c < part->cols; ++c) {
                const double x = part->xmin + (c + 0.5) * 5, y = part->ymin + (r + 0.5) * 5;
                ASSERT_EQ(std::optional(part->cell(c, r)), codeAt(w, x, y)) << x << ", " << y;
            }
    }
    // No gap: each ground cell of the whole is held by a part.
    for (int r = 0; r < w.rows; ++r)
        for (int c = 0; c < w.cols; ++c) {
            if (isSpecialCode(w.cell(c, r))) continue;
            const double x = w.xmin + (c + 0.5) * 5, y = w.ymin + (r + 0.5) * 5;
            bool held = false;
            for (const auto& part : parts)
                held = held || codeAt(*part, x, y).has_value();
            ASSERT_TRUE(held) << x << ", " << y;
        }
    // A point on or near a boundary answers the same whichever part is asked first.
    HMeshProject forward, backward;
    auto partsInOrder = place(q.pointers()), partsReversed = place(q.pointers());
    for (size_t k = 0; k < 4; ++k) {
        std::unique_ptr<ZarHMesh> a = std::move(partsInOrder[k]),
                                  b = std::move(partsReversed[3 - k]);
        ASSERT_TRUE(forward.AddMesh(a) && backward.AddMesh(b));
    }
    for (double y = w.ymin; y < w.ymax; y += 1.7)
        for (double x = w.xmin; x < w.xmax; x += 1.7) {
            const PointElevation a = forward.queryElevation(x, y, WaterCells::Answer);
            const PointElevation b = backward.queryElevation(x, y, WaterCells::Answer);
            ASSERT_EQ(a.kind, b.kind);
            ASSERT_EQ(a.z, b.z) << x << ", " << y;
        }
}

TEST(ZonePlacement, ReliefDrawnWithoutSeamLine) {
    settings::setLocation(test::TempDir().file("absent.ini"));
    const Quadrants q;
    auto render = [](std::vector<std::unique_ptr<ZarDemMesh>> meshes, const MapRect& rect) {
        HMeshProject project;
        for (auto& m : meshes) {
            std::unique_ptr<ZarHMesh> base = std::move(m);
            EXPECT_EQ(project.AddMesh(base), 1);
        }
        project.UpdateExtent();
        Dib24 dib(600, 500);
        renderMeshes(project, dib, &rect, nullptr, nullptr, 0, 0.0);
        return dib;
    };
    auto whole = place({&q.whole});
    // A view whose edges lie off the lattice, so that no mesh edge falls exactly on a pixel
    // edge (where rounding may hand the pixel before it to the mesh).
    const MapRect rect{whole[0]->xmin + 2.1, whole[0]->ymin + 0.7, whole[0]->xmax, whole[0]->ymax};
    const Dib24 one = render(std::move(whole), rect);
    const Dib24 four = render(place(q.pointers()), rect);
    // The parts hold their neighbours' cells beyond their edges, so their hill shading is the
    // whole's but for the renderer's own rounding: each mesh rounds its cell edges to pixels
    // (a pixel may show the next one's colour) and its outermost cells copy the shade from
    // further in (a few levels off). A gap or a shifted row is far more.
    const int w = one.width(), h = one.height();
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            int best = 255;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    best = std::min(
                        best, test::channelDifference(four.pixel(x, y), one.pixel(x + dx, y + dy)));
            ASSERT_LE(best, 8) << "pixel " << x << ", " << y;
        }
}

// ---- datums, zones and refusals ----

TEST(ZonePlacement, DatumsGoToTheirZones) {
    // The origin of zone 9 (36° N, 139° 50' E) is (0, 0) of the zone on either datum.
    const struct {
        int epsg;
        GeodeticDatum datum;
    } cases[] = {{6668, GeodeticDatum::kJgd2011}, {4612, GeodeticDatum::kJgd2000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.epsg);
        const GeoGrid g = latLonGrid(139.0 + 50.0 / 60, 36.0 + 20 * kStep, 30, 20, hills, c.epsg);
        const auto meshes = place({&g}, {9, c.datum, 5.0});
        ASSERT_TRUE(meshes[0]);
        EXPECT_EQ(std::tuple(meshes[0]->datum, meshes[0]->zone, meshes[0]->xmin, meshes[0]->ymin),
                  std::tuple(c.datum, 9, 0.0, 0.0));
    }
}

TEST(ZonePlacement, GridOnTheZoneLatticeKeepsItsCells) {
    // A raster already in zone 9 on the 5 m lattice: every cell lands on itself, rows flipped.
    GeoGrid g = latLonGrid(-1000.0, 2000.0, 40, 30, hills);
    g.stepX = g.stepY = 5.0;
    g.crs = {6677, "", false, "JGD2011 / Japan Plane Rectangular CS IX"};
    const auto meshes = place({&g});
    ASSERT_TRUE(meshes[0]);
    const ZarDemMesh& m = *meshes[0];
    EXPECT_EQ(std::vector<double>({m.xmin, m.ymin, m.xmax, m.ymax}),
              std::vector<double>({-1000.0, 1850.0, -800.0, 2000.0}));
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c)
            ASSERT_EQ(m.cell(c, m.rows - 1 - r), g.code(c, r)) << c << ", " << r;
}

TEST(ZonePlacement, RefusalsSayWhy) {
    GeoGrid unknown = latLonGrid(139.70, 35.70, 10, 10, hills, 999999);
    GeoGrid far = latLonGrid(155.0, 36.0, 10, 10, hills);  // 1400 km east of zone 9
    GeoGrid huge = latLonGrid(139.0, 36.0, 10, 10, hills);
    huge.stepX = huge.stepY = 0.5;  // 5° square at 0.05 m
    GeoGrid wild = latLonGrid(1e300, 36.0, 10, 10, hills);
    GeoGrid empty;
    const struct {
        const GeoGrid* grid;
        ZoneGrid target;
        const char* why;
    } cases[] = {{&unknown, {}, "EPSG:999999"},
                 {&far, {}, "more than 1000 km"},
                 {&huge, {9, GeodeticDatum::kJgd2011, 0.05}, "cells, more than"},
                 {&empty, {}, "no cells"},
                 {&wild, {}, "cannot be transformed"},
                 {&far, {20, GeodeticDatum::kJgd2011, 5}, "zone 20"},
                 {&far, {9, GeodeticDatum::kJgd2011, NAN}, "between 1 mm and 100 km"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> errors;
        const auto meshes = placeGrids({c.grid}, c.target, errors);
        ASSERT_EQ(meshes.size(), 1u);
        EXPECT_FALSE(meshes[0]);
        EXPECT_NE(errors[0].find(c.why), std::string::npos) << errors[0];
    }
}

}  // namespace
}  // namespace kov
