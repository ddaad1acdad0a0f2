// SPDX-License-Identifier: MIT
#include "core/display/MeshRenderer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "core/base/SettingsStore.h"
#include "core/data/MeshNeighbourIndex.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/display/ZarHShade.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::makeFlatMesh;
using test::makeMesh;

constexpr uint32_t rgb32(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}
uint32_t packed(const Rgb& c) {
    return rgb32(c.red, c.green, c.blue);
}
uint32_t shaded(const Rgb& c, int shade) {
    return rgb32(c.red * shade / 256, c.green * shade / 256, c.blue * shade / 256);
}

// Tests run with the colour map defaults (an empty settings file): ramp 0 m .. 200 m, light
// from the north-east 45 degrees up, ambient 0.7, no-data not painted, water painted.
class MeshRendererTest : public ::testing::Test {
protected:
    void SetUp() override { settings::setLocation(dir_.file("absent.ini")); }

    static void add(HMeshProject& p, std::unique_ptr<ZarHMesh> m) { ASSERT_EQ(p.AddMesh(m), 1); }
    static Dib24 render(HMeshProject& p, int w, int h, const MapRect& view, int mode, double step) {
        Dib24 dib(w, h);
        EXPECT_EQ(renderMeshes(p, dib, &view, nullptr, nullptr, mode, step), 1);
        return dib;
    }
    static int differingPixels(const Dib24& a, const Dib24& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    }

    // A mesh of 6 x 5 cells drawn alone on 24 x 20 pixels; answers the shade samples, a row of 8
    // for each of the 7 rows (one sample beyond the cells all round), from the south.
    static std::vector<uint8_t> drawAlone(const ZarHMesh& mesh, const ZarHColorMap& map,
                                          Dib24& dib) {
        MeshNeighbours nb;
        nb.mesh[MeshNeighbours::Centre] = &mesh;
        std::vector<uint8_t> shade;
        EXPECT_EQ(renderOneMesh(dib, {0, 0, 1, 1}, &shade, map, nb, 0, 0.0), 1);
        EXPECT_EQ(shade.size(), 8u * 7u);
        return shade;
    }

    test::TempDir dir_;
};

TEST_F(MeshRendererTest, ShadeValuesOfKnownNormals) {
    const ZarHShade light(45.0, 45.0, 0.5, 0.7);
    // Flat ground: the reflection meets the view, full brightness.
    EXPECT_EQ(light.shadeValue(0, 0, -1), 255);

    // Values worked out by hand for slopes of gradient 0.75 without ambient light.
    const ZarHShade dark(45.0, 45.0, 0.5, 0.0);
    // (Facing west and north: checked on drawn meshes below.)
    EXPECT_EQ(dark.shadeValue(-0.6, 0, -0.8), 255) << "facing east";
    EXPECT_EQ(ZarHShade(45.0, 45.0, 0.5, 0.3).shadeValue(0.6, 0, -0.8), 144);

    // Ambient 0.7: no normal, however steep or turned away, falls below 179 (178.5 rounded up).
    int darkest = 255;
    for (double az = 0; az < 360; az += 7.5) {
        for (double tilt = 0; tilt <= 180; tilt += 7.5) {
            const double a = az * std::numbers::pi / 180, t = tilt * std::numbers::pi / 180;
            darkest = std::min(darkest, light.shadeValue(std::sin(t) * std::sin(a),
                                                         std::sin(t) * std::cos(a), -std::cos(t)));
        }
    }
    EXPECT_EQ(darkest, 179);
}

TEST_F(MeshRendererTest, FlatCellsTakeTableColoursAndStepThresholds) {
    HMeshProject p;
    add(p, makeFlatMesh(6, 4, 5.0, 0, 0, 5388));
    p.GetMesh(0)->scale = 0.01;
    // A grey ramp over 50..60 m, so that 53.88 m, 53.84 m and 53.8 m have different colours.
    ZarHColorMap& map = *p.GetColorMap(0);
    ColorStop stops[2];
    stops[0].height = 50.0;
    stops[1].height = 60.0;
    stops[1].color = rgb32(255, 255, 255);
    map.setStops(stops, 2);
    const Rgb exact = map.tableColor(53.88);
    ASSERT_NE(packed(exact), packed(map.tableColor(53.84)));
    ASSERT_NE(packed(exact), packed(map.tableColor(53.8)));
    // Gradient (the step does not count) and steps up to 0.09 m: shaded (flat ground has shade
    // 255), not quantised; larger steps: flat bands without shading (mode 2 with 0.5 m: no
    // band edges either).
    for (const auto& [mode, step, expected] : {std::tuple{0, 10.0, shaded(exact, 255)},
                                               {1, 0.08, shaded(exact, 255)},
                                               {1, 0.1, packed(map.tableColor(53.8))},
                                               {1, 10.0, packed(map.tableColor(50.0))},
                                               {2, 0.5, packed(map.tableColor(53.5))}}) {
        const Dib24 dib = render(p, 12, 8, {0, 0, 30, 20}, mode, step);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(dib.pixel(x, y), expected) << mode << " " << step;
    }
}

TEST_F(MeshRendererTest, PixelBlocksFollowTheCellsAndTheViewEdges) {
    // Four columns of 10 m at 0, 50, 100, 150 m; view from 2 m to 42 m on 30 px: the mesh
    // covers floor(30 x 0.95) = 28 px, 7.37 px per cell, the first cell cut at 0.2. Block
    // edges are truncated: trunc(0.8 x 7.37) = 5, trunc(1.8 x 7.37) = 13, trunc(2.8 x 7.37) = 20.
    HMeshProject p;
    add(p, makeMesh(4, 2, 10.0, 0, 0, [](int c, int) { return c * 500; }));
    const Dib24 dib = render(p, 30, 20, {2, 0, 42, 20}, 1, 10.0);
    const ZarHColorMap& map = *p.GetColorMap(0);
    for (int x = 0; x < 30; ++x) {
        const int column = x < 5 ? 0 : x < 13 ? 1 : x < 20 ? 2 : x < 28 ? 3 : 4;
        const uint32_t expected =
            column < 4 ? packed(map.tableColor(column * 50.0)) : dib.pixel(29, 10);
        EXPECT_EQ(dib.pixel(x, 10), expected) << x;
    }
    EXPECT_NE(dib.pixel(29, 10), packed(map.tableColor(150.0)));

    // More cells than pixels: one sample per pixel, the whole width still covered.
    HMeshProject fine;
    add(fine, makeMesh(400, 3, 1.0, 0, 0, [](int c, int) { return c < 200 ? 0 : 1000; }));
    const Dib24 thin = render(fine, 10, 3, {0, 0, 400, 3}, 1, 10.0);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(thin.pixel(x, 1), packed(map.tableColor(x < 5 ? 0.0 : 100.0))) << x;
    }
}

TEST_F(MeshRendererTest, BandEdgesAreMarkedLitOrShadedOnTheBlockSides) {
    // Terraces 20 m high rising eastward every 2 columns and northward every 2 rows; 10 px per
    // cell. Edge colours are set apart from everything else.
    HMeshProject p;
    // Cell (1, 4) holds no data: no edge is marked next to it.
    add(p, makeMesh(6, 6, 10.0, 0, 0, [](int c, int r) {
            return c == 1 && r == 4 ? MESH_NODATA : 200 * (c / 2) + 200 * (r / 2);
        }));
    ZarHColorMap& map = *p.GetColorMap(0);
    map.edgeLightColor = rgb32(255, 255, 255);
    map.edgeShadowColor = rgb32(0, 0, 0);
    const MapRect view{0, 0, 60, 60};
    const uint32_t lit = rgb32(255, 255, 255), shaded = 0, ground = packed(map.tableColor(0.0));
    // Expected on the east column of block column 1 (between terrace columns, rising east) and
    // on the top row of block row 1 (rising north), away from the corners.
    for (const auto& [azimuth, vertical, horizontal] : {std::tuple{45.0, lit, shaded},
                                                        {92.0, lit, ground},
                                                        {0.0, ground, shaded},
                                                        {180.0, ground, lit},
                                                        {270.0, shaded, ground}}) {
        map.lightAzimuth = azimuth;
        const Dib24 dib = render(p, 60, 60, view, 2, 10.0);
        EXPECT_EQ(dib.pixel(19, 5), vertical) << azimuth;
        EXPECT_EQ(dib.pixel(5, 19), horizontal) << azimuth;
        // Elsewhere inside the blocks there are no lines, nor beside the cell without data.
        EXPECT_EQ(dib.pixel(15, 5), ground) << azimuth;
        EXPECT_EQ(dib.pixel(5, 18), ground) << azimuth;
        EXPECT_EQ(dib.pixel(19, 35), packed(map.tableColor(20.0))) << azimuth;
    }

    // Steps up to 0.9 m draw no edges.
    map.lightAzimuth = 45;
    const Dib24 fine = render(p, 60, 60, view, 2, 0.9);
    EXPECT_EQ(fine.pixel(19, 5), ground);

    // Azimuths are taken round the circle; "near" an axis means within 5 degrees either side.
    for (const auto& [azimuth, gx, gy] :
         {std::tuple{-45.0, 1, 1}, {405.0, -1, 1}, {357.0, 0, 1}, {175.5, 0, -1}, {200.0, 1, -1}}) {
        int senseX = 9, senseY = 9;
        bandEdgeSenses(azimuth, senseX, senseY);
        EXPECT_EQ(senseX, gx) << azimuth;
        EXPECT_EQ(senseY, gy) << azimuth;
    }
}

// A varied terrain with a no-data and a water cell, in whole-mesh cell coordinates.
int terrain(int x, int y) {
    if (x == 5 && y == 3) return MESH_NODATA;
    if (x == 11 && y == 8) return MESH_WATER;
    return 500 + 37 * ((x * 7 + y * 13) % 11) + 3 * x * x - 5 * x * y + 40 * y;
}

TEST_F(MeshRendererTest, NeighbouringTilesJoinWithoutSeams) {
    // Four tiles of 8 x 6 cells of 4 m against one tile of 16 x 12 holding the same cells.
    HMeshProject tiles;
    for (int tr = 0; tr < 2; ++tr) {
        for (int tc = 0; tc < 2; ++tc) {
            add(tiles, makeMesh(8, 6, 4.0, 32.0 * tc, 24.0 * tr,
                                [=](int c, int r) { return terrain(c + 8 * tc, r + 6 * tr); }));
        }
    }
    HMeshProject whole;
    add(whole, makeMesh(16, 12, 4.0, 0, 0, terrain));
    // The whole extent at 2 px per metre, and a view that starts half a cell inside the tiles
    // and reaches beyond them (all tile borders on whole pixels).
    for (const auto& [view, h] : {std::pair{MapRect{0, 0, 64, 48}, 96}, {{2, -6, 66, 58}, 128}}) {
        for (const auto& [mode, step] : {std::pair{0, 0.0}, {2, 2.0}, {1, 2.0}}) {
            const Dib24 a = render(tiles, 128, h, view, mode, step);
            const Dib24 b = render(whole, 128, h, view, mode, step);
            EXPECT_EQ(differingPixels(a, b), 0) << mode << " view " << view.xmin;
        }
    }
}

TEST_F(MeshRendererTest, TileWithoutNeighboursCopiesItsOuterShading) {
    // 6 x 5 cells whose slope changes from cell to cell, 4 px per cell, drawn alone.
    auto mesh =
        makeMesh(6, 5, 5.0, 0, 0, [](int c, int r) { return c * c * 3 + r * r * 2 + c * r * 2; });
    HMeshProject owner;  // supplies the colour map; a light from the south-east, low
    ZarHColorMap& map = *owner.GetColorMap(0);
    map.lightAzimuth = 120;
    map.lightElevation = 30;
    map.shadowLevel = 0.2;
    Dib24 dib(24, 20);
    const std::vector<uint8_t> shade = drawAlone(*mesh, map, dib);
    const int nx = 8, ny = 7;
    ASSERT_EQ(shade.size(), static_cast<size_t>(nx * ny));
    auto s = [&](int i, int j) { return shade[static_cast<size_t>(j) * nx + i]; };
    // The top painted row has no sample north of it: it takes the row below; the east painted
    // column takes the column two to the west.
    for (int i = 1; i <= nx - 3; ++i) {
        EXPECT_EQ(s(i, ny - 2), s(i, ny - 3)) << i;
        EXPECT_NE(s(i, ny - 2), 255) << i;
    }
    for (int j = 1; j <= ny - 2; ++j)
        EXPECT_EQ(s(nx - 2, j), s(nx - 4, j)) << j;
    EXPECT_NE(s(nx - 4, 2), s(nx - 3, 2)) << "the copied column differs from its neighbour";

    // The pixels use those shades: top-right block = cell (5, 4).
    const Rgb top = map.tableColor((5 * 5 * 3 + 4 * 4 * 2 + 5 * 4 * 2) * 0.1);
    EXPECT_EQ(dib.pixel(22, 18), shaded(top, s(nx - 4, ny - 3)));
}

// One triangle per sample: the sample, the one north of it and the one north-east of it. A
// plane rising 3 in 4 eastward faces west, one rising southward faces north: with a light from the
// north-east 45 degrees up and no ambient light their shades are 97 and 99 (worked out by hand).
TEST_F(MeshRendererTest, EachSampleIsShadedByItsTriangleToTheNorth) {
    HMeshProject owner;
    ZarHColorMap& map = *owner.GetColorMap(0);
    map.lightAzimuth = map.lightElevation = 45;
    map.diffuseWeight = 0.5;
    map.shadowLevel = 0;
    // The shades of the samples that have all their neighbours, by (column, row) from 1.
    auto shades = [&](const std::function<int(int, int)>& code) {
        Dib24 dib(24, 20);
        const std::vector<uint8_t> shade = drawAlone(*makeMesh(6, 5, 10.0, 0, 0, code), map, dib);
        std::map<std::pair<int, int>, int> inner;
        for (int j = 1; j <= 4; ++j)
            for (int i = 1; i <= 5; ++i)
                inner[{i, j}] = shade[static_cast<size_t>(j * 8 + i)];
        return inner;
    };
    for (const auto& [east, north, expected] : {std::tuple{75, 0, 97}, {0, -75, 99}}) {
        const int dx = east, dy = north;  // clang 14 captures no structured binding
        for (const auto& [at, shade] : shades([&](int c, int r) { return dx * c + dy * r; }))
            EXPECT_EQ(shade, expected) << east << " " << at.first << "," << at.second;
    }
    // One raised sample changes exactly its own triangle and those of the samples south and
    // south-west of it (with diffuse light only, flat ground is no longer at full brightness).
    map.diffuseWeight = 100;
    const auto flat = shades([](int, int) { return 0; });
    std::set<std::pair<int, int>> changed;
    for (const auto& [at, shade] : shades([](int c, int r) { return c == 2 && r == 2 ? 50 : 0; }))
        if (shade != flat.at(at)) changed.insert(at);
    EXPECT_EQ(changed, (std::set<std::pair<int, int>>{{3, 3}, {3, 2}, {2, 2}}));
}

TEST_F(MeshRendererTest, NoDataShowsWhatLiesBelowAndWaterIsPainted) {
    HMeshProject p;
    // A fine mesh with holes, water cells and a cell below -30000 m over a coarse one (added
    // last: drawing sorts the meshes coarsest first).
    add(p, makeMesh(8, 8, 5.0, 0, 0, [](int c, int) {
            if (c < 2) return MESH_NODATA;
            if (c == 2) return MESH_WATER;
            if (c == 3) return -300010;  // -30001 m
            return 500;
        }));
    // A hole outside the coarse mesh shows the background gradient.
    add(p, makeMesh(8, 8, 5.0, 40, 0, [](int c, int) { return c < 4 ? MESH_NODATA : 500; }));
    add(p, makeFlatMesh(2, 2, 20.0, 0, 0, 1000));
    ZarHColorMap& map = *p.GetColorMap(0);
    map.seaColor = rgb32(10, 20, 30);
    map.topColor = rgb32(201, 100, 0);
    map.bottomColor = rgb32(0, 100, 201);
    const Dib24 dib = render(p, 100, 41, {0, 0, 100, 41}, 1, 10.0);
    EXPECT_EQ(dib.pixel(5, 20), packed(map.tableColor(100.0))) << "the coarse mesh shows through";
    EXPECT_EQ(dib.pixel(12, 20), rgb32(10, 20, 30));
    EXPECT_EQ(dib.pixel(17, 20), rgb32(10, 20, 30));
    EXPECT_EQ(dib.pixel(30, 20), packed(map.tableColor(50.0)));
    // Background: bottomColor at the bottom row, topColor at the top, rounded in between.
    EXPECT_EQ(dib.pixel(45, 0), rgb32(0, 100, 201));
    EXPECT_EQ(dib.pixel(45, 40), rgb32(201, 100, 0));
    EXPECT_EQ(dib.pixel(45, 20), rgb32(101, 100, 101));  // 100.5 rounds up
    EXPECT_EQ(dib.pixel(45, 1), rgb32(5, 100, 196));
    EXPECT_EQ(dib.pixel(90, 20), rgb32(101, 100, 101)) << "beyond every mesh";

    // Painted no-data and unpainted water.
    map.noDataColor = rgb32(1, 2, 3);
    map.seaColor |= kColorNotPainted;
    const Dib24 swapped = render(p, 100, 41, {0, 0, 100, 41}, 1, 10.0);
    EXPECT_EQ(swapped.pixel(5, 20), rgb32(1, 2, 3));
    EXPECT_EQ(swapped.pixel(45, 20), rgb32(1, 2, 3));
    EXPECT_EQ(swapped.pixel(12, 20), packed(map.tableColor(100.0)));
}

TEST_F(MeshRendererTest, ImagesProgressAndDrawKinds) {
    HMeshProject p;
    add(p, makeFlatMesh(4, 4, 10.0, 0, 0, 500));
    add(p, makeFlatMesh(4, 4, 10.0, 1000, 0, 500));  // far outside the view
    auto image = std::make_unique<ZarHImage>();
    image->bitmap = QImage(4, 4, QImage::Format_ARGB32_Premultiplied);
    image->bitmap.fill(qRgb(255, 0, 0));
    image->xmin = image->ymin = 10;
    image->xmax = image->ymax = 30;
    ASSERT_EQ(p.AddImage(image, false), 1);
    auto unready = std::make_unique<ZarHImage>();  // no picture: not drawn, not reported
    ASSERT_EQ(p.AddImage(unready, true), 1);

    const MapRect view{0, 0, 40, 40};
    std::vector<std::pair<int, int>> calls;
    Dib24 withImage(40, 40);
    p.imageTransparency = 30;
    renderMeshes(p, withImage, &view, nullptr, nullptr, 0, 0.0, 0,
                 [&](int i, int n) { calls.emplace_back(i, n); });
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {0, 2}}));

    // The same as drawing the image over the relief with opacity (100 - 30) * 255 / 100.
    p.imageVisible = 0;
    Dib24 expected = render(p, 40, 40, view, 0, 0.0);
    const Dib24 plain = expected;
    p.GetImage(0)->DrawImage(expected, view, 178);
    EXPECT_EQ(differingPixels(withImage, expected), 0);
    EXPECT_GT(differingPixels(withImage, plain), 0);

    // Draw kind 1 leaves the meshes out; a negative kind is kind 0.
    Dib24 kind1(40, 40), negative(40, 40);
    renderMeshes(p, kind1, &view, nullptr, nullptr, 0, 0.0, 1);
    renderMeshes(p, negative, &view, nullptr, nullptr, 0, 0.0, -3);
    EXPECT_NE(kind1.pixel(20, 20), plain.pixel(20, 20));
    EXPECT_EQ(differingPixels(negative, plain), 0);
}

// However the target is split into bands, the picture is the one a single band draws.
TEST_F(MeshRendererTest, BandsDrawTheSamePictureAsOne) {
    // 3 x 2 tiles of 16 x 12 cells of 4 m with holes and water, and a mesh of 2 m cells over
    // four of them (drawn last, being the finest).
    HMeshProject p;
    for (int tr = 0; tr < 2; ++tr) {
        for (int tc = 0; tc < 3; ++tc) {
            add(p, makeMesh(
                       16, 12, 4.0, 64.0 * tc, 48.0 * tr,
                       [=](int c, int r) { return terrain(c + 16 * tc, r + 12 * tr); }, 0.03));
        }
    }
    add(p, makeMesh(
               20, 20, 2.0, 50, 30, [](int c, int r) { return terrain(r, c) + 900; }, 0.03));
    p.UpdateExtent();
    struct View {
        const char* name;
        std::optional<MapRect> rect;
        int width, height;
    };
    const View views[] = {{"whole extent", std::nullopt, 150, 77},
                          {"more cells than pixels", std::nullopt, 37, 33},
                          {"1 px per 4 m cell", MapRect{-20, -14, 220, 110}, 60, 31},
                          {"cutting tiles", MapRect{13.3, 7.1, 68.8, 35.59}, 150, 77}};
    for (const View& v : views) {
        for (const auto& [mode, step] : {std::pair{0, 0.0}, {2, 1.5}, {1, 1.0}}) {
            const MapRect* rect = v.rect ? &*v.rect : nullptr;
            Dib24 one(v.width, v.height);
            renderMeshes(p, one, rect, nullptr, nullptr, mode, step, 0, {}, 1);
            for (int bands : {2, 3, 7}) {
                SCOPED_TRACE(testing::Message() << v.name << ", mode " << mode << ", " << bands);
                Dib24 split(v.width, v.height);
                renderMeshes(p, split, rect, nullptr, nullptr, mode, step, 0, {}, bands);
                EXPECT_EQ(differingPixels(split, one), 0);
            }
        }
    }

    // Progress hears of every mesh in order, on the calling thread only.
    std::vector<int> reported;
    bool elsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    Dib24 dib(150, 77);
    renderMeshes(
        p, dib, nullptr, nullptr, nullptr, 0, 0.0, 0,
        [&](int i, int n) {
            reported.push_back(i * 10 + n);
            elsewhere |= std::this_thread::get_id() != caller;
        },
        7);
    EXPECT_EQ(reported, (std::vector<int>{7, 17, 27, 37, 47, 57, 67}));
    EXPECT_FALSE(elsewhere);
}

// The indexed neighbour lookup answers exactly as the plain scan over the list.
TEST(MeshNeighbourIndexTest, AnswersAsThePlainScan) {
    std::mt19937 random(20240401);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    HMeshProject p;
    auto add = [&](int cols, int rows, double cell, double x0, double y0) {
        auto m = makeFlatMesh(cols, rows, cell, x0, y0, 0);
        p.AddMesh(m);
    };
    // A 7 x 6 grid of 40 m x 30 m tiles whose edges are shifted now and then by amounts under
    // and over the tolerance, around a corner that lies on half a metre (where the index looks
    // into two buckets).
    const double offsets[] = {0, 0, 0, 0, 0, 4e-11, -6e-11, 3e-10, -2e-10, 1e-12};
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 7; ++c) {
            const double x = 100.5 + 40.0 * c + offsets[pick(10)];
            const double y = -20.5 + 30.0 * r + offsets[pick(10)];
            add(8, 6, 5.0, x, y);
            if (pick(4) == 0) add(16, 12, 2.5, x, y);                // same extent, finer cells
            if (pick(5) == 0) add(8, 6, 5.0, x + 1e-12, y);          // near-duplicate
            if (pick(6) == 0) add(8, 6, 5.0, x + 20.0, y + 15.0);    // overlapping half-way
            if (pick(6) == 0) add(16, 6, 5.0, x, y + 30.0 + 5e-11);  // double width
        }
    }
    // Far away and large coordinates, and a mesh whose extent is not finite.
    add(8, 6, 5.0, 1e7, 1e7);
    add(8, 6, 5.0, 1e7 + 40.0, 1e7);
    add(8, 6, 5.0, std::nan(""), 0);

    auto list = [&] {
        std::vector<const ZarHMesh*> l;
        for (int i = 0; i < p.meshCount(); ++i)
            l.push_back(p.GetMesh(i));
        return l;
    };
    // The neighbours found for m by both; answers the index's.
    auto compare = [&](const ZarHMesh& m, const char* when) {
        MeshNeighbours scanned, indexed;
        scanNeighbours(list(), m, scanned);
        p.FindNeighbours(m, indexed);
        for (int s = 0; s < 9; ++s)
            EXPECT_EQ(indexed.mesh[s], scanned.mesh[s]) << when << " slot " << s;
        return indexed;
    };
    auto compareAll = [&](const char* when) {
        int found = 0;
        for (const ZarHMesh* m : list()) {
            const MeshNeighbours indexed = compare(*m, when);
            for (int s = 0; s < 9; ++s)
                found += s != MeshNeighbours::Centre && indexed.mesh[s];
        }
        return found;
    };
    EXPECT_GT(compareAll("built"), 100);
    // A mesh outside the list is looked up by its extent.
    auto stranger = makeFlatMesh(8, 6, 5.0, 140.5, 9.5, 0);
    EXPECT_NE(compare(*stranger, "stranger").mesh[MeshNeighbours::East], nullptr);

    // The index follows the list through sorting, removal and addition.
    p.SortMeshes();
    compareAll("sorted");
    for (int k = 0; k < 10; ++k)
        p.RemoveMesh(pick(p.meshCount()));
    compareAll("removed");
    add(8, 6, 5.0, 100.5 + 40.0 * 3, -20.5 + 30.0 * 6);
    compareAll("added");
}

}  // namespace
}  // namespace kov
