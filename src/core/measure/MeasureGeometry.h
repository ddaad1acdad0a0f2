// SPDX-License-Identifier: MIT
// The numbers of the measuring tools: lengths, area, slope and the scale ticks of a segment, in
// plane metres (x and y; z is the elevation delivered with a click and never enters a length),
// and the texts they are shown and copied with.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov {

// Sum of the lengths of consecutive segments; 0 for fewer than two points.
double polylineLength(const std::vector<FPoint>& points);
// Area enclosed by the points, the last joined to the first; 0 for fewer than three points.
double polygonArea(const std::vector<FPoint>& points);
// Angle of the vector in [0, 2π), counter-clockwise from the positive x axis.
double directionAngle(double x, double y);

// What the measuring track shows for its vertices and the current mouse point.
struct Measures {
    int flags = 0;         // 0: nothing (no vertex); 1: lengths; 7: lengths and area
    double total = 0.0;    // vertices and the current point as one line
    double area = 0.0;     // that line closed
    double segment = 0.0;  // last vertex to the current point
};
Measures ComputeMeasures(const std::vector<FPoint>& vertices, const FPoint& current);

// The slope from elevation z1 to z2 over `length` metres: degrees in -90..90 (downhill
// negative) and percent.
struct Slope {
    double degrees = 0.0;
    double percent = 0.0;
};
Slope slopeOf(double z1, double z2, double length);
// The slope of the segment from the last vertex to the current point: none without a vertex,
// when the point lies on the last vertex, or when either end has no elevation in the project.
// The ratio is taken over that segment's length.
std::optional<Slope> segmentSlope(const HMeshProject& project, const std::vector<FPoint>& vertices,
                                  const FPoint& current);

// How far the scale ticks reach to each side of the segment (client pixels).
inline constexpr int kLongTickPixels = 12;
inline constexpr int kShortTickPixels = 8;

// One tick drawn across a segment (client pixels).
struct TickLine {
    QPoint from;
    QPoint to;
};
// The scale ticks on the segment a→b (client pixels) that is `metres` long: a tick at every
// round interval that fits the segment's pixel length (one per 36 px at most), long ticks at
// every 10th, 5th or 2nd interval, short ones between; none below 1 m.
std::vector<TickLine> scaleTicks(QPointF a, QPointF b, double metres);

// Where the rubber line through the points (client pixels) may paint: their box grown by half
// the line width with its round caps or by the long ticks across it, whichever reaches further,
// and two pixels for rounding. Empty without points.
QRect rubberLineRect(const std::vector<QPointF>& points, int lineWidth);

// "%8s (m)" / "%8s (㎡)" with the grouped one-decimal number ("   300.0 (m)").
QString lengthText(double metres);
QString areaText(double squareMetres);
// "%.2f(Deg) %.2f(%)"
QString slopeText(const Slope& slope);

// Clipboard text of a finished or extended distance-and-area line: the total length, and the
// area from three points on (flags 7), each line ended by "\r".
QString distanceAreaReport(const Measures& measures);
// Clipboard line of one slope segment from `from` to `to` (z: their elevations):
// "y x (z m) - y x (z m)  length (m)  degrees (Deg)  percent (%)\r\n".
QString slopeReport(const FPoint& from, const FPoint& to, double length, const Slope& slope);

}  // namespace kov
