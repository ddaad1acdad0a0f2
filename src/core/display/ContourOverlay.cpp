// SPDX-License-Identifier: MIT
#include "core/display/ContourOverlay.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/base/SettingsStore.h"
#include "core/data/ZarHMesh.h"
#include "core/data/gis/CollectionRaster.h"
#include "core/display/MapViewport.h"

namespace kov {
namespace {

constexpr char kSection[] = "Contour";
constexpr double kMinLinePixels = 8.0;
constexpr double kTypicalSlope = 0.15;
constexpr int kIndexEvery = 5;
// Dark brown, as contours are printed on topographic maps; slightly transparent so that the
// relief shows through where lines crowd.
const QColor kLineColor(110, 55, 15, 220);
const QColor kLabelColor(90, 45, 10);
const QColor kHaloColor(255, 255, 255, 180);
constexpr double kLabelPixels = 11.0;
// A label needs a line at least this many times its own width.
constexpr double kLabelRoom = 3.0;

// The smallest 1, 2 or 5 x 10^n that is at least value.
double roundUpToNiceStep(double value) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(value)));
    for (double mantissa : {1.0, 2.0, 5.0, 10.0}) {
        if (mantissa * magnitude >= value * (1.0 - 1e-9)) return mantissa * magnitude;
    }
    return 10.0 * magnitude;
}

QPolygonF devicePolyline(const MapViewport& view, const ContourLine& line) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(line.points.size()));
    for (const VectorVertex& v : line.points)
        polygon << view.mapToDevice(v.x, v.y);
    return polygon;
}

QString elevationLabel(double elevation) {
    // base + k x interval carries rounding noise in the last digits.
    return QLocale::c().toString(std::round(elevation * 100.0) / 100.0, 'g', 10);
}

// The middle of the polyline by length and the direction there (degrees, kept upright);
// empty when the line is shorter than minLength.
std::optional<std::pair<QPointF, double>> labelAnchor(const QPolygonF& line, double minLength) {
    double total = 0.0;
    for (qsizetype i = 1; i < line.size(); ++i)
        total += QLineF(line[i - 1], line[i]).length();
    if (total < minLength) return std::nullopt;
    double rest = total / 2.0;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QLineF segment(line[i - 1], line[i]);
        if (segment.length() < rest) {
            rest -= segment.length();
            continue;
        }
        double angle = -segment.angle();  // QLineF counts counter-clockwise, the painter clockwise
        while (angle > 90.0)
            angle -= 180.0;
        while (angle < -90.0)
            angle += 180.0;
        return std::pair{segment.pointAt(rest / segment.length()), angle};
    }
    return std::nullopt;
}

void drawLabels(QPainter& painter, const MapViewport& view, const std::vector<ContourLine>& lines,
                const ContourStyle& style) {
    QFont font = style.font;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(kLabelPixels * style.pixelScale))));
    font.setBold(true);  // thin strokes vanish in the halo
    const QFontMetricsF metrics(font);
    const QRectF area(view.left, view.top, view.clientWidth(), view.clientHeight());
    std::vector<QRectF> placed;
    for (const ContourLine& line : lines) {
        if (!line.index) continue;
        const QString text = elevationLabel(line.elevation);
        const double width = metrics.horizontalAdvance(text);
        const auto anchor = labelAnchor(devicePolyline(view, line), width * kLabelRoom);
        if (!anchor || !area.contains(anchor->first)) continue;
        // A rotated label stays inside the circle of its width around the anchor.
        const QRectF box(anchor->first - QPointF(width / 2, width / 2), QSizeF(width, width));
        if (std::any_of(placed.begin(), placed.end(),
                        [&](const QRectF& other) { return other.intersects(box); }))
            continue;
        placed.push_back(box);
        QPainterPath path;
        path.addText(-width / 2.0, (metrics.ascent() - metrics.descent()) / 2.0, font, text);
        painter.save();
        painter.translate(anchor->first);
        painter.rotate(anchor->second);
        painter.strokePath(path, QPen(kHaloColor, 2.0 * style.pixelScale));
        painter.fillPath(path, kLabelColor);
        painter.restore();
    }
}

}  // namespace

ContourDisplay readContourDisplay() {
    ContourDisplay display;
    display.show = settings::readInt(kSection, "Show", 0) != 0;
    display.interval = settings::readRealIn(kSection, "Interval", 0.0, 0.0, 1e6);
    if (display.interval > 0.0) display.interval = std::max(display.interval, kMinContourInterval);
    display.indexLines = settings::readInt(kSection, "IndexLines", 1) != 0;
    return display;
}

void writeContourDisplay(const ContourDisplay& display) {
    settings::writeInt(kSection, "Show", display.show ? 1 : 0);
    settings::writeReal(kSection, "Interval", display.interval);
    settings::writeInt(kSection, "IndexLines", display.indexLines ? 1 : 0);
}

double autoContourInterval(double metresPerPixel96) {
    const double wanted = kMinLinePixels * metresPerPixel96 * kTypicalSlope;
    if (!(wanted > kMinContourInterval)) return kMinContourInterval;
    return roundUpToNiceStep(wanted);
}

double contourInterval(const ContourDisplay& display, double metresPerPixel96) {
    if (display.interval > 0.0) return std::max(display.interval, kMinContourInterval);
    return autoContourInterval(metresPerPixel96);
}

double finestMeshCellSize(const HMeshProject& project) {
    double finest = std::numeric_limits<double>::infinity();
    for (int i = 0; i < project.meshCount(); ++i)
        finest = std::min(finest, project.GetMesh(i)->cellSize);
    return std::isfinite(finest) ? finest : 0.0;
}

double contourCellSize(const HMeshProject& project, double metresPerPixel96) {
    return std::max(finestMeshCellSize(project), metresPerPixel96);
}

const std::vector<ContourLine>* ContourCache::linesFor(const HMeshProject& project,
                                                       const MapRect& rect, double cellSize,
                                                       const ContourSettings& settings,
                                                       std::string* error) {
    const Key key{
        &project, project.layerRevision(), rect.xmin,          rect.ymin, rect.xmax, rect.ymax,
        cellSize, settings.interval,       settings.indexEvery};
    if (key_ != key) {
        lines_.clear();
        error_.clear();
        ElevationRaster raster;
        // One cell more on every side, so that the lines run on to the edges of the area.
        const MapRect widened{rect.xmin - cellSize, rect.ymin - cellSize, rect.xmax + cellSize,
                              rect.ymax + cellSize};
        const RasterPlacement placement = collectionPlacement(project, widened, cellSize);
        traced_ = placement.cols > 0 && sampleCollection(project, placement, raster, &error_) &&
                  traceContours(raster, settings, lines_, &error_);
        if (!traced_) lines_.clear();
        key_ = key;
    }
    if (!traced_ && error) *error = error_;
    return traced_ ? &lines_ : nullptr;
}

void drawContours(QPainter& painter, const MapViewport& view, const std::vector<ContourLine>& lines,
                  const ContourStyle& style) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    // Ordinary lines first, so that an index line is never crossed out by a neighbour.
    for (bool index : {false, true}) {
        const bool thick = index && style.indexLines;
        const double width = thick ? kIndexContourPenWidth : kContourPenWidth;
        // Cosmetic pens take the rasteriser's fast path for thin lines; their width is in
        // device pixels, so the device's pixel ratio is applied here.
        QPen pen(kLineColor, width * style.pixelScale * painter.device()->devicePixelRatioF());
        pen.setCosmetic(true);
        painter.setPen(pen);
        for (const ContourLine& line : lines) {
            if (line.index == index && line.points.size() >= 2)
                painter.drawPolyline(devicePolyline(view, line));
        }
    }
    painter.setPen(Qt::NoPen);
    if (style.indexLines) drawLabels(painter, view, lines, style);
    painter.restore();
}

bool paintContours(QPainter& painter, const HMeshProject& project, const MapViewport& view,
                   const ContourDisplay& display, const ContourStyle& style, ContourCache& cache,
                   std::string* error) {
    const double metresPerPixel96 = view.unitsPerPixel * style.pixelScale;
    ContourSettings settings;
    settings.interval = contourInterval(display, metresPerPixel96);
    settings.indexEvery = kIndexEvery;
    settings.maxVertices = kMaxOverlayVertices;
    const std::vector<ContourLine>* lines = cache.linesFor(
        project, view.world(), contourCellSize(project, metresPerPixel96), settings, error);
    if (!lines) return false;
    ContourStyle drawn = style;
    drawn.indexLines = style.indexLines && display.indexLines;
    drawContours(painter, view, *lines, drawn);
    return true;
}

}  // namespace kov
