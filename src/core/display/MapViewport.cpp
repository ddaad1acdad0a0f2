// SPDX-License-Identifier: MIT
#include "core/display/MapViewport.h"

#include <Qt>
#include <algorithm>
#include <cmath>

#include "core/base/CommandIds.h"
#include "core/data/ZarHMesh.h"

namespace kov {

namespace {

// Pixel coordinates stay well inside int for any view; points far outside are clamped.
constexpr double kPixelLimit = 1.0e9;

// The edge rounded half away from zero to a multiple of the grid step.
double roundToGrid(double value, double grid) {
    return grid > 0.0 ? std::round(value / grid) * grid : value;
}

int roundPixel(double value) {
    if (!(value == value)) return 0;  // NaN
    return static_cast<int>(std::lround(std::clamp(value, -kPixelLimit, kPixelLimit)));
}

}  // namespace

double elevationAtMapPoint(const HMeshProject& project, double x, double y) {
    const PointElevation answer = project.queryElevation(x, y, WaterCells::Answer);
    switch (answer.kind) {
        case CellKind::Elevation:
            return answer.z;
        case CellKind::Water:
            return kElevationWater;
        case CellKind::None:
        case CellKind::NoData:
            break;
    }
    return kElevationNoData;
}

int takeWheelSteps(int& remainder, int delta) {
    // Kept in 64 bits so that no turn of the wheel can overflow the sum.
    const long long total = static_cast<long long>(remainder) + delta;
    const long long steps = total / kWheelStep;
    remainder = static_cast<int>(total - steps * kWheelStep);
    return static_cast<int>(steps);
}

int wheelZoomMode(bool shift, bool ctrl, bool cursorInside) {
    if (shift) return kZoomAtCentre;
    if (ctrl) return kZoomToCursor;
    return cursorInside ? kZoomAtCursor : kZoomAtCentre;
}

std::optional<QPointF> scrollCommandPan(int commandId) {
    switch (commandId) {
        case kCmdScrollNorthWest:
            return QPointF(-0.5, 0.5);
        case kCmdScrollNorth:
            return QPointF(0.0, 0.5);
        case kCmdScrollNorthEast:
            return QPointF(0.5, 0.5);
        case kCmdScrollWest:
            return QPointF(-0.5, 0.0);
        case kCmdScrollEast:
            return QPointF(0.5, 0.0);
        case kCmdScrollSouthWest:
            return QPointF(-0.5, -0.5);
        case kCmdScrollSouth:
            return QPointF(0.0, -0.5);
        case kCmdScrollSouthEast:
            return QPointF(0.5, -0.5);
        default:
            return std::nullopt;
    }
}

std::optional<QPointF> arrowKeyPan(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left:
            return QPointF(-0.5, 0.0);
        case Qt::Key_Up:
            return QPointF(0.0, 0.5);
        case Qt::Key_Right:
            return QPointF(0.5, 0.0);
        case Qt::Key_Down:
            return QPointF(0.0, -0.5);
        default:
            return std::nullopt;
    }
}

bool MapViewport::setView(const MapRect& request, int w, int h, double grid) {
    if (w < 1 || h < 1) return false;
    const double width = std::max(request.xmax - request.xmin, kMinViewSize);
    const double height = std::max(request.ymax - request.ymin, kMinViewSize);
    // Pixels per metre that show the whole request.
    const double scale = std::min({w / width, h / height, kMaxPixelsPerMetre});
    const double cx = (request.xmin + request.xmax) / 2.0;
    const double cy = (request.ymin + request.ymax) / 2.0;
    const double halfWidth = w / scale / 2.0;
    const double halfHeight = h / scale / 2.0;
    x0 = cx - halfWidth;
    x1 = cx + halfWidth;
    y0 = cy - halfHeight;
    y1 = cy + halfHeight;
    if (grid > 0.0) {
        x0 = std::floor(x0 / grid) * grid;
        x1 = std::floor(x1 / grid) * grid + 0.001;
        y0 = std::floor(y0 / grid) * grid;
        y1 = std::floor(y1 / grid) * grid + 0.001;
    }
    left = 0.0;
    top = 0.0;
    right = w - 1.0;
    bottom = h - 1.0;
    unitsPerPixel = (x1 - x0) / w;
    return true;
}

bool MapViewport::canZoomIn() const {
    if (!(x1 > x0 && y1 > y0)) return false;
    const double sx = (right - left + 1.0) / (x1 - x0);
    const double sy = (bottom - top + 1.0) / (y1 - y0);
    return sx < kZoomInLimit && sy < kZoomInLimit;
}

bool MapViewport::canZoomOut(const HMeshProject& project) const {
    MapRect e;
    if (!project.GetExtent(e)) return false;
    const double w = e.xmax - e.xmin;
    const double h = e.ymax - e.ymin;
    if (!(w > 0.0 && h > 0.0)) return false;
    return x0 >= e.xmin - w || x1 <= e.xmax + w || y0 >= e.ymin - h || y1 <= e.ymax + h;
}

ZoomResult MapViewport::zoom(int mode, int steps, std::optional<QPointF> cursor,
                             const HMeshProject& project) {
    ZoomResult result;
    const bool in = steps >= 1;
    if (in ? !canZoomIn() : !canZoomOut(project)) return result;
    const double factor = in ? 0.5 : 2.0;

    if (cursor && !contains(*cursor)) cursor.reset();
    if (!cursor) mode = kZoomAtCentre;

    MapRect r;
    if (mode == kZoomAtCursor) {
        // Every edge keeps its distance to the anchor in proportion, so the anchor stays put.
        const FPoint a = deviceToMap(*cursor);
        r = {a.x + (x0 - a.x) * factor, a.y + (y0 - a.y) * factor, a.x + (x1 - a.x) * factor,
             a.y + (y1 - a.y) * factor};
    } else {
        double cx = (x0 + x1) / 2.0;
        double cy = (y0 + y1) / 2.0;
        if (mode == kZoomToCursor) {
            const FPoint a = deviceToMap(*cursor);
            cx = a.x;
            cy = a.y;
        }
        const double hw = (x1 - x0) / 2.0 * factor;
        const double hh = (y1 - y0) / 2.0 * factor;
        r = {cx - hw, cy - hh, cx + hw, cy + hh};
    }
    const int w = clientWidth();
    const int h = clientHeight();
    result.zoomed = setView(r, w, h, project);
    if (result.zoomed && mode == kZoomToCursor) {
        result.moveCursor = true;
        result.cursorTarget = QPoint(w / 2, h / 2);
    }
    return result;
}

ZoomResult MapViewport::wheel(int delta, bool shift, bool ctrl, std::optional<QPointF> cursor,
                              const HMeshProject& project) {
    const int steps = takeWheelSteps(wheelRemainder, delta);
    if (steps == 0) return {};
    const bool inside = cursor && contains(*cursor);
    return zoom(wheelZoomMode(shift, ctrl, inside), steps, cursor, project);
}

void MapViewport::pan(double fx, double fy) {
    const double dx = fx * (x1 - x0) / 2.0;
    const double dy = fy * (y1 - y0) / 2.0;
    x0 += dx;
    x1 += dx;
    y0 += dy;
    y1 += dy;
}

bool MapViewport::resize(int w, int h, const HMeshProject& project) {
    if (w <= 1 || h <= 1) return false;
    const double grid = project.GetMaxCellSize();
    const double cx = (x0 + x1) / 2.0;
    const double cy = (y0 + y1) / 2.0;
    const double hw = w * unitsPerPixel / 2.0;
    const double hh = h * unitsPerPixel / 2.0;
    const MapRect r{roundToGrid(cx - hw, grid), roundToGrid(cy - hh, grid),
                    roundToGrid(cx + hw, grid), roundToGrid(cy + hh, grid)};
    return setView(r, w, h, grid);
}

FPoint MapViewport::deviceToMap(QPointF device) const {
    FPoint p;
    p.x = x0 + (device.x() - left) / (right - left + 1.0) * (x1 - x0);
    p.y = y1 - (device.y() - top) / (bottom - top + 1.0) * (y1 - y0);
    return p;
}

QPointF MapViewport::mapToDevice(double x, double y) const {
    return QPointF(left + (x - x0) * (right - left + 1.0) / (x1 - x0),
                   top + (y1 - y) * (bottom - top + 1.0) / (y1 - y0));
}

QPoint MapViewport::mapToPixel(double x, double y) const {
    const QPointF p = mapToDevice(x, y);
    return QPoint(roundPixel(p.x()), roundPixel(p.y()));
}

}  // namespace kov
