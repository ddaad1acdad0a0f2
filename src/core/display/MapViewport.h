// SPDX-License-Identifier: MIT
// Which rectangle of the map the view shows at which scale, and the arithmetic of zooming,
// panning, resizing and converting between window pixels and map metres.
#pragma once

#include <QPoint>
#include <QPointF>
#include <optional>

#include "core/data/HMeshProject.h"

namespace kov {

// Elevations reported for points that have none.
inline constexpr double kElevationWater = -9999.0;
inline constexpr double kElevationNoData = -10000.0;

// Scale limits in pixels per metre.
inline constexpr double kMaxPixelsPerMetre = 5.0;
inline constexpr double kZoomInLimit = 4.9;
// The smallest width and height of a requested rectangle, metres.
inline constexpr double kMinViewSize = 10.0;
// Wheel units of one zoom step.
inline constexpr int kWheelStep = 120;

// Zoom anchors: the point under the cursor stays there, the centre stays, or the point under the
// cursor becomes the centre (and the cursor is moved to the centre of the window).
enum ZoomMode : int { kZoomAtCursor = 0, kZoomAtCentre = 1, kZoomToCursor = 2 };

// What a zoom did; the window moves the cursor when asked to.
struct ZoomResult {
    bool zoomed = false;
    bool moveCursor = false;
    QPoint cursorTarget;  // client coordinates of the window centre
};

// The elevation at a map point as the view shows it: the meshes are asked last first, as they
// are drawn last on top; a cell without data lets the mesh below show through, a water cell
// answers kElevationWater. kElevationNoData where no mesh has data.
double elevationAtMapPoint(const HMeshProject& project, double x, double y);

// Adds wheel units to the remainder and answers the whole steps they make (negative for
// backward rotation); the units left over stay in the remainder.
int takeWheelSteps(int& remainder, int delta);

// The zoom mode of a wheel turn: Shift keeps the centre, Ctrl zooms to the cursor, otherwise the
// point under the cursor stays (the centre when the cursor is outside the window).
int wheelZoomMode(bool shift, bool ctrl, bool cursorInside);

// Pan fractions (of half the view) of the scroll pad commands except the centre, which starts
// the zoom-and-move track instead; empty for any other id.
std::optional<QPointF> scrollCommandPan(int commandId);
// Pan fractions of the arrow keys (Qt::Key_Left, Key_Up, Key_Right, Key_Down); empty otherwise.
std::optional<QPointF> arrowKeyPan(int qtKey);

class MapViewport {
public:
    // Fits the requested rectangle into a w x h client: at least 10 m each way, at most 5 pixels
    // per metre, centred on the request, edges snapped to multiples of grid (the largest cell
    // size; no snapping when grid is not positive). false, and nothing changes, when the client
    // is smaller than 1 pixel.
    bool setView(const MapRect& request, int w, int h, double grid);
    bool setView(const MapRect& request, int w, int h, const HMeshProject& project) {
        return setView(request, w, h, project.GetMaxCellSize());
    }

    // Zoom in while the scale is below 4.9 pixels per metre both ways.
    bool canZoomIn() const;
    // Zoom out while the view does not reach beyond the project's extent widened by its own size
    // on some side; never without an extent.
    bool canZoomOut(const HMeshProject& project) const;

    // One zoom level in (steps >= 1) or out (steps < 1), whatever the number of steps; cursor is
    // the cursor in client coordinates, empty when it is outside the window (as is a point
    // outside the device rectangle). Nothing happens beyond the limits.
    ZoomResult zoom(int mode, int steps, std::optional<QPointF> cursor,
                    const HMeshProject& project);

    // A wheel turn of delta units with the keyboard modifiers of the event: whole steps of 120
    // units zoom one level, the rest is kept for the next turn.
    ZoomResult wheel(int delta, bool shift, bool ctrl, std::optional<QPointF> cursor,
                     const HMeshProject& project);

    // Moves the centre by (fx, fy) half-views; the size stays and nothing is snapped.
    void pan(double fx, double fy);

    // The client became w x h: the centre and the units per pixel stay, the edges are rounded to
    // multiples of the grid, then the view is set again. false for sizes of 1 pixel or less.
    bool resize(int w, int h, const HMeshProject& project);

    // Client pixel to map metres (x east, y north) and the exact inverse.
    FPoint deviceToMap(QPointF device) const;
    QPointF mapToDevice(double x, double y) const;
    // mapToDevice rounded half away from zero to whole pixels, for drawing.
    QPoint mapToPixel(double x, double y) const;

    bool contains(QPointF device) const {
        return device.x() >= left && device.x() <= right && device.y() >= top &&
               device.y() <= bottom;
    }
    int clientWidth() const { return static_cast<int>(right - left + 1.0); }
    int clientHeight() const { return static_cast<int>(bottom - top + 1.0); }
    MapRect world() const { return {x0, y0, x1, y1}; }

    // World rectangle in map metres (y grows northward).
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    // Device rectangle: 0, 0, client width - 1, client height - 1.
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double unitsPerPixel = 1.0;
    // Wheel units not yet turned into steps.
    int wheelRemainder = 0;
};

}  // namespace kov
