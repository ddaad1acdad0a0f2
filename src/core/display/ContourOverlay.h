// SPDX-License-Identifier: MIT
// Contour lines over the map picture. The visible area is sampled from the collection at about a
// screen pixel (never finer than the finest mesh, so that a zoomed-out view costs no more than a
// zoomed-in one), traced at the chosen interval and drawn antialiased in brown, every 5th line
// (the index contour) thicker and labelled with its elevation. Drawn over the relief and under
// the shapes, the measuring line and the track feedback.
#pragma once

#include <QFont>
#include <optional>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/gis/Contours.h"

class QPainter;

namespace kov {

class MapViewport;

// What the user chose, kept in the settings section "Contour".
struct ContourDisplay {
    bool show = false;
    double interval = 0.0;   // metres; 0 chooses the interval by the scale
    bool indexLines = true;  // every 5th line thicker and labelled
};
ContourDisplay readContourDisplay();
void writeContourDisplay(const ContourDisplay& display);

// The smallest interval (metres) the overlay traces: the precision of the elevation data.
inline constexpr double kMinContourInterval = 0.1;
// The most vertices the overlay traces in one view (about a line through every pixel of a large
// screen); a denser choice is refused with a message rather than stalling the window.
inline constexpr int64_t kMaxOverlayVertices = 2'000'000;

// The interval by the scale: adjacent lines at least 8 pixels (of 96 per inch) apart on a slope
// of 15 %, rounded up to 1, 2 or 5 x 10^n metres. At 1:25 000 on a 96 ppi screen this gives the
// 10 m of the national topographic maps.
double autoContourInterval(double metresPerPixel96);
// The interval the overlay uses: the user's value, or the one by the scale.
double contourInterval(const ContourDisplay& display, double metresPerPixel96);
// The cell size of the finest mesh; 0 without meshes.
double finestMeshCellSize(const HMeshProject& project);
// The cell size at which the visible area is sampled: a pixel of 96 per inch, but never finer
// than the finest mesh.
double contourCellSize(const HMeshProject& project, double metresPerPixel96);

// The lines of one area, traced again only when the collection, the area, the cell size or the
// settings changed: repainting, toggling and recolouring the map reuse them.
class ContourCache {
public:
    // Null, with the reason in error, when the lines could not be traced (too dense, memory).
    const std::vector<ContourLine>* linesFor(const HMeshProject& project, const MapRect& rect,
                                             double cellSize, const ContourSettings& settings,
                                             std::string* error);
    void clear() { key_.reset(); }

private:
    struct Key {
        const HMeshProject* project;
        uint64_t revision;
        double xmin, ymin, xmax, ymax, cellSize, interval;
        int indexEvery;
        bool operator==(const Key&) const = default;
    };
    std::optional<Key> key_;
    std::vector<ContourLine> lines_;
    bool traced_ = false;
    std::string error_;
};

// How the lines are drawn: widths and label size in pixels of 96 per inch times pixelScale.
struct ContourStyle {
    double pixelScale = 1.0;
    bool indexLines = true;  // index lines thicker and labelled (else drawn as the others)
    QFont font;              // the label font (its pixel size is set here)
};
inline constexpr double kContourPenWidth = 1.0;
inline constexpr double kIndexContourPenWidth = 2.0;

// Draws the lines in the viewport's pixels: the ordinary ones, then the index lines, then their
// labels, each centred on the middle of a long enough index line, upright, over a white halo,
// and never over another label.
void drawContours(QPainter& painter, const MapViewport& view, const std::vector<ContourLine>& lines,
                  const ContourStyle& style);

// Traces (through the cache) and draws the contours of the viewport's area; a pixel of 96 per
// inch measures unitsPerPixel x pixelScale metres, which decides the interval by the scale and
// the sampling. False with the reason in error when the lines could not be traced (nothing is
// drawn then).
bool paintContours(QPainter& painter, const HMeshProject& project, const MapViewport& view,
                   const ContourDisplay& display, const ContourStyle& style, ContourCache& cache,
                   std::string* error);

}  // namespace kov
