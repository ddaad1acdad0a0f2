// SPDX-License-Identifier: MIT
#include "core/display/MapViewport.h"

#include <gtest/gtest.h>

#include <QSize>
#include <tuple>

#include "support/MeshFixtures.h"

namespace kov {
namespace {

// A project of one flat mesh: cols x rows cells of `cell` metres from the origin.
std::unique_ptr<HMeshProject> flatProject(int cols, int rows, double cell) {
    return test::projectOf(test::makeFlatMesh(cols, rows, cell, 0, 0, 100));
}

double widthOf(const MapViewport& v) {
    return v.x1 - v.x0;
}
std::tuple<double, double, double, double> edges(const MapViewport& v) {
    return {v.x0, v.y0, v.x1, v.y1};
}

TEST(MapViewport, SetViewFitsCapsAndSnaps) {
    MapViewport v;
    // 1 m requested: widened to 10 m, then the 5 pixels per metre cap gives 160 m x 120 m
    // around the centre (100.5, 100.5), snapped down to multiples of 5 m.
    ASSERT_TRUE(v.setView({100, 100, 101, 101}, 800, 600, 5.0));
    EXPECT_EQ(edges(v), std::tuple(20.0, 40.0, 180.001, 160.001));

    // A large request is shown whole: here its height decides the scale (0.6 pixels per metre).
    ASSERT_TRUE(v.setView({0, 0, 1000, 1000}, 800, 600, 0.0));
    EXPECT_NEAR(v.x0, 500 - 800 / 0.6 / 2, 1e-9);
    EXPECT_NEAR(v.x1, 500 + 800 / 0.6 / 2, 1e-9);
    EXPECT_NEAR(v.y0, 0.0, 1e-9);
    EXPECT_NEAR(v.y1, 1000.0, 1e-9);

    // No client area: nothing changes.
    const MapViewport before = v;
    EXPECT_FALSE(v.setView({0, 0, 10, 10}, 0, 600, 5.0));
    EXPECT_EQ(edges(v), edges(before));
}

TEST(MapViewport, DeviceAndMapConvertBothWays) {
    MapViewport v;
    ASSERT_TRUE(v.setView({1000, 2000, 1400, 2300}, 400, 300, 0.0));
    // The top-left pixel corner is the north-west corner of the view.
    const FPoint nw = v.deviceToMap(QPointF(0, 0)), se = v.deviceToMap(QPointF(400, 300));
    EXPECT_EQ(std::tuple(nw.x, nw.y, se.x, se.y), std::tuple(1000.0, 2300.0, 1400.0, 2000.0));
    for (const QPointF d : {QPointF(12.25, 7.5), QPointF(-30, 450)}) {
        const FPoint m = v.deviceToMap(d);
        const QPointF back = v.mapToDevice(m.x, m.y);
        EXPECT_NEAR(back.x(), d.x(), 1e-9);
        EXPECT_NEAR(back.y(), d.y(), 1e-9);
    }
    // One pixel per metre: drawing positions round half away from zero.
    EXPECT_EQ(v.mapToPixel(1002.5, 2300), QPoint(3, 0));
    EXPECT_EQ(v.mapToPixel(999.5, 2300.5), QPoint(-1, -1));
    EXPECT_EQ(v.mapToPixel(1002.4, 2297.6), QPoint(2, 2));
}

TEST(MapViewport, ZoomStopsAtTheScaleLimitAndBeyondTheWidenedExtent) {
    auto project = flatProject(10, 10, 100.0);  // extent 0..1000 both ways
    MapViewport v;
    // Exactly 4.9 pixels per metre is already too close.
    ASSERT_TRUE(v.setView({0, 0, 100, 100}, 490, 490, 0.0));
    EXPECT_FALSE(v.canZoomIn());
    ASSERT_TRUE(v.setView({0, 0, 100.5, 100.5}, 490, 490, 0.0));
    EXPECT_TRUE(v.canZoomIn());

    ASSERT_TRUE(v.setView({400, 400, 600, 600}, 200, 200, *project));
    int levels = 0;
    while (v.zoom(kZoomAtCentre, -1, std::nullopt, *project).zoomed)
        ASSERT_LT(++levels, 30);
    // Stopped only once every side reaches beyond the extent plus 1000 m.
    EXPECT_TRUE(v.x0 < -1000.0 && v.x1 > 2000.0 && v.y0 < -1000.0 && v.y1 > 2000.0);
    ASSERT_TRUE(v.zoom(kZoomAtCentre, 1, std::nullopt, *project).zoomed);
    EXPECT_TRUE(v.canZoomOut(*project)) << "one level in and it may zoom out again";
    EXPECT_FALSE(v.canZoomOut(HMeshProject())) << "without meshes there is no extent";
}

TEST(MapViewport, ZoomAnchors) {
    auto project = flatProject(10, 10, 100.0);
    MapViewport v;
    const MapRect start{0, 0, 8000, 6000};
    const QPointF cursor(200, 150);

    // Mode 1, and mode 0 with the cursor outside the window: the centre stays.
    for (const auto& c : {std::optional<QPointF>(), std::optional<QPointF>(QPointF(900, 10))}) {
        ASSERT_TRUE(v.setView(start, 800, 600, *project));
        const ZoomResult r = v.zoom(c ? kZoomAtCursor : kZoomAtCentre, 1, c, *project);
        ASSERT_TRUE(r.zoomed);
        EXPECT_FALSE(r.moveCursor);
        EXPECT_NEAR((v.x0 + v.x1) / 2, 4000.0, 100.0);
        EXPECT_NEAR((v.y0 + v.y1) / 2, 3000.0, 100.0);
    }

    // Mode 2: the point under the cursor becomes the centre; the window is told where the
    // cursor goes (within the 100 m grid snapping of the largest cell).
    ASSERT_TRUE(v.setView(start, 800, 600, *project));
    const FPoint before = v.deviceToMap(cursor);
    const ZoomResult r = v.zoom(kZoomToCursor, 1, cursor, *project);
    ASSERT_TRUE(r.zoomed && r.moveCursor);
    EXPECT_EQ(r.cursorTarget, QPoint(400, 300));
    EXPECT_NEAR((v.x0 + v.x1) / 2, before.x, 100.0);
    EXPECT_NEAR((v.y0 + v.y1) / 2, before.y, 100.0);
}

TEST(MapViewport, ResizeKeepsTheScale) {
    auto project = flatProject(10, 10, 5.0);
    MapViewport v;
    ASSERT_TRUE(v.setView({0, 0, 800, 600}, 800, 600, *project));
    const MapViewport start = v;

    // A larger and a smaller window show more or less of the map at the same scale around the
    // same centre (within the 5 m grid).
    const double cx = (v.x0 + v.x1) / 2, cy = (v.y0 + v.y1) / 2;
    for (const QSize size : {QSize(1000, 700), QSize(300, 200)}) {
        ASSERT_TRUE(v.resize(size.width(), size.height(), *project));
        EXPECT_NEAR(v.unitsPerPixel, start.unitsPerPixel, 10.0 / size.width());
        EXPECT_NEAR((v.x0 + v.x1) / 2, cx, 7.5);
        EXPECT_NEAR((v.y0 + v.y1) / 2, cy, 7.5);
        EXPECT_EQ(v.right, size.width() - 1);
    }
    EXPECT_FALSE(v.resize(1, 200, *project));
    EXPECT_EQ(v.right, 299);
}

TEST(MapViewport, WheelStepsKeepTheRemainderAndZoomOneLevel) {
    int remainder = 0;
    for (const auto& [delta, steps, left] :
         {std::tuple{60, 0, 60}, {60, 1, 0}, {-130, -1, -10}, {250, 2, 0}}) {
        EXPECT_EQ(takeWheelSteps(remainder, delta), steps) << delta;
        EXPECT_EQ(remainder, left) << delta;
    }

    EXPECT_EQ(wheelZoomMode(false, false, true), kZoomAtCursor);
    EXPECT_EQ(wheelZoomMode(false, false, false), kZoomAtCentre);
    EXPECT_EQ(wheelZoomMode(true, true, true), kZoomAtCentre);
    EXPECT_EQ(wheelZoomMode(false, true, true), kZoomToCursor);

    auto project = flatProject(10, 10, 100.0);
    MapViewport v;
    ASSERT_TRUE(v.setView({0, 0, 8000, 6000}, 800, 600, 0.0));
    // Half a step does nothing yet; 240 units are one level in, not two.
    EXPECT_FALSE(v.wheel(60, false, false, QPointF(400, 300), *project).zoomed);
    EXPECT_DOUBLE_EQ(widthOf(v), 8000.0);
    EXPECT_TRUE(v.wheel(240, false, false, QPointF(400, 300), *project).zoomed);
    EXPECT_NEAR(widthOf(v), 4000.0, 100.0);
    EXPECT_EQ(v.wheelRemainder, 60);
    EXPECT_TRUE(v.wheel(-180, false, false, QPointF(400, 300), *project).zoomed);
    EXPECT_NEAR(widthOf(v), 8000.0, 200.0);
}

TEST(MapViewport, ElevationUnderTheCursor) {
    // Coarse 10 m mesh over 0..40 m with 12.3 m everywhere; on top, a 5 m mesh over 0..10 m:
    // (0,0) no data, (1,0) water, (0,1) 45.6 m, (1,1) no data.
    const auto owner = test::projectOf(
        test::makeFlatMesh(4, 4, 10.0, 0, 0, 123),
        test::makeMesh(2, 2, 5.0, 0, 0, [](int c, int r) {
            return c == 1 && r == 0 ? MESH_WATER : c == 0 && r == 1 ? 456 : MESH_NODATA;
        }));
    const HMeshProject& project = *owner;
    EXPECT_DOUBLE_EQ(elevationAtMapPoint(project, 2, 2), 12.3);  // the coarse mesh shows through
    EXPECT_EQ(elevationAtMapPoint(project, 7, 2), kElevationWater);
    EXPECT_DOUBLE_EQ(elevationAtMapPoint(project, 2, 7), 45.6);
    EXPECT_EQ(elevationAtMapPoint(project, 40, 5), kElevationNoData);  // east edge is outside
}

}  // namespace
}  // namespace kov
