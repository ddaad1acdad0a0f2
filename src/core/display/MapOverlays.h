// SPDX-License-Identifier: MIT
// Vector drawing over the relief bitmap of the map: map-sheet boundaries with their codes, the
// shapefile layers of a project, and the grey measurement line. All of them draw through a
// QPainter in the device pixels of a MapViewport, without antialiasing.
#pragma once

#include <vector>

#include "core/data/HMeshProject.h"

class QFont;
class QPainter;

namespace kov {

class MapViewport;

// Sheet boundaries every 2000 m east and 1500 m north inside the view, each a navy line over a
// white one a pixel up and left, round(ppi / 96) pixels wide; each sheet is labelled with its
// code (zone `zone`) in white over a grey shadow, centred in the sheet when the label fits in it.
// Nothing is drawn when the boundaries would lie closer than a pixel apart.
void drawMapSheets(QPainter& painter, const MapViewport& view, int zone, int pixelsPerInch,
                   const QFont& font);

// Pen width in device pixels of a shape outline pen width in millimetres, rounded half away
// from zero.
int shapePenPixels(double penWidthMm, int pixelsPerInch);
// Radius in device pixels of the circle that marks a point shape (1.5 mm).
int shapePointRadius(int pixelsPerInch);

// The shapefile layers of the project in three passes over all layers: the fills of every
// polyline (alternate filling, so inner rings stay open) in the fill colour with the fill alpha,
// then the outlines of every part, then the points as black circles.
void drawShapes(QPainter& painter, const HMeshProject& project, const MapViewport& view,
                int pixelsPerInch);

// A grey line through map points (nothing for fewer than two); the width is clamped to 0..7,
// and 0 draws a dotted line one pixel wide.
void drawTraceLine(QPainter& painter, const MapViewport& view, const std::vector<FPoint>& points,
                   int width);

}  // namespace kov
