// SPDX-License-Identifier: MIT
// The scale bar drawn at the bottom of the map and of printed maps: a bar of 1, 2, 3, 4, 5 or 10
// equal segments with a round total length, "0" at its start and the total at its end.
#pragma once

#include <QRect>
#include <optional>
#include <string>

class QFont;
class QPainter;

namespace kov {

enum class ScaleUnit { Millimetre, Metre, Kilometre };

struct ScaleBarChoice {
    ScaleUnit unit = ScaleUnit::Metre;
    int mantissa = 1;        // also the number of segments
    double magnitude = 1.0;  // length of one segment in metres
    std::string totalText;   // mantissa x magnitude in the unit: "500 m", "1 km", "20 mm"
};

// The bar for a target length in metres: the unit is mm below 1 m, m from 1 m and km from
// 1000 m; the first digit of the length picks the mantissa (1, 2, 3, 4, 5 for 5 and 6, 10 from 7)
// and its number of digits the magnitude; a bar of one segment of 10 m or more is split into ten.
// Empty below 1 mm, beyond 1e15 m and for lengths that are not numbers.
std::optional<ScaleBarChoice> chooseScaleBar(double lengthMetres);

// Where the bar goes in a target: the bar area is the middle half of the target's width with its
// baseline 8 pixels above the bottom edge, 32 pixels high; the bar is centred in it.
struct ScaleBarLayout {
    ScaleBarChoice choice;
    QRect area;                // the bar area; its bottom row is the baseline
    double start = 0.0;        // x of the bar's start
    double segmentPixels = 0;  // length of one segment in pixels
    int tickHeight = 0;        // 5 pixels at 96 pixels per inch
    int baseline = 0;
    // x of segment boundary i (0 .. mantissa), whole pixels.
    int tickX(int i) const;
};

// Empty when the area is empty or its length on the map gives no bar.
std::optional<ScaleBarLayout> layoutScaleBar(const QRect& target, double unitsPerPixel,
                                             int pixelsPerInch);

// Draws the bar into the target, first in white one pixel up and left, then in navy, with the
// caller's font. false when there is no bar to draw.
bool drawScaleBar(QPainter& painter, const QRect& target, double unitsPerPixel, int pixelsPerInch,
                  const QFont& font);

}  // namespace kov
