// SPDX-License-Identifier: MIT
#include "core/display/MapOverlays.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "core/base/MapSheet.h"
#include "core/data/ShpImport.h"
#include "core/display/MapViewport.h"

namespace kov {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);

// A colour stored as 0x00BBGGRR.
QColor colorOf(uint32_t bgr, int alpha = 255) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF, std::clamp(alpha, 0, 255));
}

bool hasArea(const MapViewport& view) {
    return view.x1 > view.x0 && view.y1 > view.y0 && view.right >= view.left &&
           view.bottom >= view.top;
}

}  // namespace

void drawMapSheets(QPainter& painter, const MapViewport& view, int zone, int pixelsPerInch,
                   const QFont& font) {
    if (!hasArea(view)) return;
    const double sheetW = static_cast<double>(kSheetWidth);
    const double sheetH = static_cast<double>(kSheetHeight);
    const double pixelsX = sheetW * (view.right - view.left + 1.0) / (view.x1 - view.x0);
    const double pixelsY = sheetH * (view.bottom - view.top + 1.0) / (view.y1 - view.y0);
    const int width = std::max(1, static_cast<int>(std::lround(pixelsPerInch / 96.0)));
    // A line covers its width and one pixel more (its white copy). Sheets closer than twice
    // that would hide more of the map than they leave of it, and at two pixels all of it: a view
    // zoomed out that far shows the map without them.
    const double minPitch = 2.0 * (width + 1);
    if (pixelsX < minPitch || pixelsY < minPitch) return;

    const long long firstColumn = static_cast<long long>(std::floor(view.x0 / sheetW));
    const long long lastColumn = static_cast<long long>(std::floor(view.x1 / sheetW));
    const long long firstRow = static_cast<long long>(std::floor(view.y0 / sheetH));
    const long long lastRow = static_cast<long long>(std::floor(view.y1 / sheetH));
    const int top = static_cast<int>(view.top);
    const int bottom = static_cast<int>(view.bottom);
    const int left = static_cast<int>(view.left);
    const int right = static_cast<int>(view.right);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    for (int pass = 0; pass < 2; ++pass) {
        // White first, a pixel up and left, then navy on top.
        const int shift = pass == 0 ? -1 : 0;
        painter.setPen(QPen(pass == 0 ? Qt::white : kNavy, width, Qt::SolidLine, Qt::FlatCap));
        for (long long c = firstColumn; c <= lastColumn; ++c) {
            const double x = c * sheetW;
            if (x < view.x0 || x > view.x1) continue;
            const int px = view.mapToPixel(x, view.y0).x() + shift;
            painter.drawLine(px, top, px, bottom);
        }
        for (long long r = firstRow; r <= lastRow; ++r) {
            const double y = r * sheetH;
            if (y < view.y0 || y > view.y1) continue;
            const int py = view.mapToPixel(view.x0, y).y() + shift;
            painter.drawLine(left, py, right, py);
        }
    }

    // Labels only where a code fits inside its sheet.
    const QFontMetrics metrics(font, painter.device());
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00AAA000"));
    if (labelWidth + 4 <= pixelsX && metrics.height() + 2 <= pixelsY) {
        painter.setFont(font);
        for (long long r = firstRow; r <= lastRow; ++r) {
            for (long long c = firstColumn; c <= lastColumn; ++c) {
                const long long sx = c * kSheetWidth;
                const long long sy = r * kSheetHeight;
                const QString code = QString::fromStdString(sheetCodeOfPoint(zone, sx, sy));
                const QPoint centre = view.mapToPixel(sx + sheetW / 2.0, sy + sheetH / 2.0);
                const int x = centre.x() - metrics.horizontalAdvance(code) / 2;
                const int y = centre.y() + (metrics.ascent() - metrics.descent()) / 2;
                painter.setPen(kGrey);
                painter.drawText(x + 1, y + 1, code);
                painter.setPen(Qt::white);
                painter.drawText(x, y, code);
            }
        }
    }
    painter.restore();
}

int shapePenPixels(double penWidthMm, int pixelsPerInch) {
    const double pixels = penWidthMm * pixelsPerInch / 25.4;
    if (!(std::fabs(pixels) < 1.0e6)) return 0;
    return std::max(0, static_cast<int>(std::lround(pixels)));
}

int shapePointRadius(int pixelsPerInch) {
    return static_cast<int>(pixelsPerInch * 0.05905511811023623 + 0.5);
}

void drawShapes(QPainter& painter, const HMeshProject& project, const MapViewport& view,
                int pixelsPerInch) {
    const int layers = project.shapeCount();
    if (layers == 0) return;
    auto pixel = [&view](const FPoint& p) { return view.mapToPixel(p.x, p.y); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Fills: each record as one polygon, its further parts each closed back to the record's very
    // first point, so that with alternate filling inner rings stay open.
    if (project.shapeFillAlpha > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colorOf(project.shapeFillColor, project.shapeFillAlpha));
        QPolygon polygon;
        for (int i = 0; i < layers; ++i) {
            const ShpImport* layer = project.GetShape(i);
            if (!layer) continue;
            for (const SHP_POLYLINE& record : layer->polylines) {
                polygon.clear();
                for (const FPoint& p : record.points)
                    polygon << pixel(p);
                for (const auto& part : record.parts) {
                    for (const FPoint& p : part)
                        polygon << pixel(p);
                    if (!record.points.empty()) polygon << pixel(record.points.front());
                }
                if (polygon.size() >= 3) painter.drawPolygon(polygon, Qt::OddEvenFill);
            }
        }
    }

    // Outlines: every part as an open line.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colorOf(project.shapePenColor),
                        shapePenPixels(project.shapePenWidth, pixelsPerInch), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    QPolygon line;
    auto drawPart = [&](const std::vector<FPoint>& part) {
        line.clear();
        for (const FPoint& p : part)
            line << pixel(p);
        if (line.size() >= 2) painter.drawPolyline(line);
    };
    for (int i = 0; i < layers; ++i) {
        const ShpImport* layer = project.GetShape(i);
        if (!layer) continue;
        for (const SHP_POLYLINE& record : layer->polylines) {
            drawPart(record.points);
            for (const auto& part : record.parts)
                drawPart(part);
        }
    }

    // Points: circles of 1.5 mm radius in the box from (x - r, y - r) to (x + r + 1, y + r + 1),
    // right and bottom edges outside, so the outline runs through pixels x - r .. x + r. A Qt
    // ellipse of a box w wide outlines pixels left .. left + w, hence a box 2r wide.
    painter.setPen(QPen(Qt::black, 1));
    const int r = shapePointRadius(pixelsPerInch);
    for (int i = 0; i < layers; ++i) {
        const ShpImport* layer = project.GetShape(i);
        if (!layer) continue;
        for (const SHP_POINT& point : layer->points) {
            const QPoint c = view.mapToPixel(point.x, point.y);
            painter.drawEllipse(QRect(c.x() - r, c.y() - r, 2 * r, 2 * r));
        }
    }
    painter.restore();
}

void drawTraceLine(QPainter& painter, const MapViewport& view, const std::vector<FPoint>& points,
                   int width) {
    if (points.size() < 2) return;
    width = std::clamp(width, 0, 7);
    QPolygon line;
    for (const FPoint& p : points)
        line << view.mapToPixel(p.x, p.y);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    if (width == 0) {
        painter.setPen(QPen(kGrey, 1, Qt::DotLine));
    } else {
        painter.setPen(QPen(kGrey, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    painter.drawPolyline(line);
    painter.restore();
}

}  // namespace kov
