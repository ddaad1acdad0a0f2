// SPDX-License-Identifier: MIT
#include "core/measure/MeasureGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "support/MeshFixtures.h"

namespace kov {
namespace {

TEST(MeasureNumbers, TheSquareCornerLineGivesSegmentTotalAndArea) {
    // The texts of a full measure are checked where kovtool and the window print them.
    const std::vector<FPoint> clicks = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}};
    const Measures m = ComputeMeasures(clicks, {0, 100, 0});
    EXPECT_EQ(std::tuple(m.flags, m.segment, m.total, m.area), std::tuple(7, 100.0, 300.0, 1e4));

    // One vertex: lengths only, no area; no vertex: nothing.
    const Measures one = ComputeMeasures({{0, 0, 0}}, {3, 4, 0});
    EXPECT_EQ(std::tuple(one.flags, one.total, distanceAreaReport(one)),
              std::tuple(1, 5.0, "5.0 (m)"));
    EXPECT_EQ(ComputeMeasures({}, {3, 4, 0}).flags, 0);
}

TEST(MeasureNumbers, DirectionAnglesCoverEveryQuadrant) {
    const double pi = std::acos(-1.0);
    EXPECT_DOUBLE_EQ(directionAngle(0, -1), 3 * pi / 2);
    EXPECT_DOUBLE_EQ(directionAngle(1, -1), 7 * pi / 4);
    EXPECT_DOUBLE_EQ(directionAngle(-1, -1), 5 * pi / 4);
}

TEST(MeasureNumbers, SlopesRiseAndFallWithTheGround) {
    // Ground rising 1 m per 10 m eastwards from 100 m.
    const auto owner = test::projectOf(
        test::makeMesh(40, 4, 5.0, 0.0, 0.0, [](int c, int) { return 1000 + c * 5; }));
    const HMeshProject& project = *owner;
    const std::vector<FPoint> start = {{2.5, 2.5, 0}};
    // Up and down are measured where the window and kovtool show them. The same ramp as the
    // second segment of a line: still 10 %, over the segment alone.
    const auto second = segmentSlope(project, {{2.5, 12.5, 0}, {2.5, 2.5, 0}}, {102.5, 2.5, 0});
    ASSERT_TRUE(second);
    EXPECT_EQ(slopeText(*second), "5.71(Deg) 10.00(%)");

    // On the last vertex, or off the data: no slope.
    EXPECT_FALSE(segmentSlope(project, start, {2.5, 2.5, 7}));
    EXPECT_FALSE(segmentSlope(project, start, {900, 2.5, 0}));
    EXPECT_FALSE(segmentSlope(project, {}, {2.5, 2.5, 0}));
}

TEST(MeasureTicks, IntervalsFollowTheSegmentsPixelLengthInsideTheRepaintedRectangle) {
    // 1,234 m over 400 px: a tick every 100 m (13 ticks), every 10th long.
    const auto ticks = scaleTicks({0, 0}, {400, 0}, 1234.0);
    ASSERT_EQ(ticks.size(), 13u);
    EXPECT_EQ(std::pair(ticks[0].from, ticks[0].to), std::pair(QPoint(0, -12), QPoint(0, 12)));
    const auto height = [&](int k) { return ticks[k].to.y() - ticks[k].from.y(); };
    EXPECT_EQ(std::tuple(height(1), height(5), height(10), ticks[12].from.x()),
              std::tuple(16, 16, 24, static_cast<int>(1200 / 1234.0 * 400)));
    // The rubber line's repaint rectangle holds every tick end, however thin the line.
    const QRect repainted = rubberLineRect({{400, 0}, {0, 0}}, 1);
    for (const TickLine& tick : ticks)
        EXPECT_TRUE(repainted.contains(tick.from) && repainted.contains(tick.to));

    // Shorter on screen: 1,234 m over 100 px (n = 2) → every 1,000 m, every 2nd long.
    EXPECT_EQ(scaleTicks({0, 0}, {100, 0}, 1234.0).size(), 2u);
    // Too short on screen, or under a metre: none.
    EXPECT_TRUE(scaleTicks({0, 0}, {30, 0}, 1234.0).empty());
    EXPECT_TRUE(scaleTicks({0, 0}, {400, 0}, 0.9).empty());
    // A vertical segment gets horizontal ticks.
    const auto across = scaleTicks({0, 0}, {0, 400}, 1234.0);
    ASSERT_FALSE(across.empty());
    EXPECT_EQ(across[0].from.y(), across[0].to.y());
}

}  // namespace
}  // namespace kov
