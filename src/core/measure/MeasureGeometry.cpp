// SPDX-License-Identifier: MIT
#include "core/measure/MeasureGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/base/NumberFormat.h"

namespace kov {

double polylineLength(const std::vector<FPoint>& points) {
    double length = 0.0;
    for (size_t i = 1; i < points.size(); ++i)
        length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return length;
}

double polygonArea(const std::vector<FPoint>& points) {
    if (points.size() < 3) return 0.0;
    double twice = 0.0;
    for (size_t i = 0; i < points.size(); ++i) {
        const FPoint& p = points[i];
        const FPoint& q = points[(i + 1) % points.size()];
        twice += p.y * q.x - q.y * p.x;
    }
    return std::fabs(twice / 2.0);
}

double directionAngle(double x, double y) {
    constexpr double pi = std::numbers::pi;
    if (x == 0.0) return y > 0.0 ? pi / 2.0 : 3.0 * pi / 2.0;
    double angle = std::atan(y / x);
    if (x < 0.0)
        angle += pi;
    else if (y < 0.0)
        angle += 2.0 * pi;
    return angle;
}

Measures ComputeMeasures(const std::vector<FPoint>& vertices, const FPoint& current) {
    Measures measures;
    if (vertices.empty()) return measures;
    std::vector<FPoint> line = vertices;
    line.push_back(current);
    measures.total = polylineLength(line);
    measures.segment = polylineLength({line[line.size() - 2], line.back()});
    measures.area = polygonArea(line);
    measures.flags = line.size() >= 3 ? 7 : 1;
    return measures;
}

Slope slopeOf(double z1, double z2, double length) {
    const double ratio = (z2 - z1) / length;
    double degrees = directionAngle(1.0, ratio) * 180.0 / std::numbers::pi;
    if (degrees > 180.0) degrees -= 360.0;
    return {degrees, ratio * 100.0};
}

std::optional<Slope> segmentSlope(const HMeshProject& project, const std::vector<FPoint>& vertices,
                                  const FPoint& current) {
    if (vertices.empty()) return std::nullopt;
    const FPoint& last = vertices.back();
    if (last.x == current.x && last.y == current.y) return std::nullopt;
    double z1 = 0.0;
    double z2 = 0.0;
    if (!project.FindElevation(last.x, last.y, z1) ||
        !project.FindElevation(current.x, current.y, z2))
        return std::nullopt;
    // Over the segment's own length: the earlier segments lie elsewhere on the ground.
    return slopeOf(z1, z2, std::hypot(current.x - last.x, current.y - last.y));
}

std::vector<TickLine> scaleTicks(QPointF a, QPointF b, double metres) {
    std::vector<TickLine> ticks;
    if (!(metres >= 1.0)) return ticks;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double pixels = std::hypot(dx, dy);
    const long n = static_cast<long>(pixels / 36.0);
    const QString digits = QString::asprintf("%.0f", metres);
    const int d = digits.front().digitValue();
    const double base = std::pow(10.0, digits.size() - 1);
    double interval = 0.0;
    long longStep = 0;
    if (10L * d < n) {
        interval = base / 10.0;
        longStep = 10;
    } else if (5L * d < n) {
        interval = base / 10.0;
        longStep = 5;
    } else if (2L * d < n) {
        interval = base / 2.0;
        longStep = 2;
    } else if (d < n) {
        interval = base;
        longStep = 2;
    } else {
        return ticks;
    }
    // Unit vector across the segment.
    const double nx = -dy / pixels;
    const double ny = dx / pixels;
    for (long i = 0;; ++i) {
        const double t = i * interval / metres;
        if (t > 1.0) break;
        const QPoint at(static_cast<int>(a.x() + t * dx), static_cast<int>(a.y() + t * dy));
        const double reach = i % longStep == 0 ? kLongTickPixels : kShortTickPixels;
        const QPoint off(static_cast<int>(std::lround(nx * reach)),
                         static_cast<int>(std::lround(ny * reach)));
        ticks.push_back({at - off, at + off});
    }
    return ticks;
}

QRect rubberLineRect(const std::vector<QPointF>& points, int lineWidth) {
    if (points.empty()) return {};
    // Rectangles of no size cannot be united (Qt takes them for null and keeps only one), so
    // the box is gathered by hand.
    double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (const QPointF& p : points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    const int margin = std::max((lineWidth + 1) / 2, kLongTickPixels) + 2;
    return QRectF(QPointF(left, top), QPointF(right, bottom))
        .toAlignedRect()
        .adjusted(-margin, -margin, margin, margin);
}

QString lengthText(double metres) {
    return QString::asprintf("%8s (m)", formatGrouped(metres, 1).c_str());
}

QString areaText(double squareMetres) {
    return QString::asprintf("%8s (", formatGrouped(squareMetres, 1).c_str()) +
           QStringLiteral("㎡)");
}

QString slopeText(const Slope& slope) {
    return QString::asprintf("%.2f(Deg) %.2f(%%)", slope.degrees, slope.percent);
}

QString distanceAreaReport(const Measures& measures) {
    const QString total = QString::fromStdString(formatGrouped(measures.total, 1)) + " (m)";
    if (measures.flags != 7) return total;
    const QString area =
        QString::fromStdString(formatGrouped(measures.area, 1)) + QStringLiteral(" (㎡)");
    return total + "\r" + area + "\r";
}

QString slopeReport(const FPoint& from, const FPoint& to, double length, const Slope& slope) {
    return QString::asprintf(
        "%.1f %.1f (%.3f m) - %.1f %.1f (%.3f m)  %.3f (m)  %.3f (Deg)  %.3f (%%)\r\n", from.y,
        from.x, from.z, to.y, to.x, to.z, length, slope.degrees, slope.percent);
}

}  // namespace kov
