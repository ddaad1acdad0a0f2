// SPDX-License-Identifier: MIT
// The cross-section: sampling a clicked line into a profile and drawing that profile (distance
// along the line across, elevation up) with a QPainter on any device: the window, a printer
// page, a metafile, a picture file.
#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"

class QPainter;

namespace kov {

// A sampled line: what the cross-section window keeps as its own copy.
struct ProfileData {
    std::vector<double> vertexDistances;  // each clicked vertex, metres along the line (0 first)
    // x, y and elevation of each sample, in line order. Where no ground answered, the elevation
    // is only filled in for drawing (0 at the ends, else the previous sample's): kinds says what
    // each sample found; a sample without a kind counts as ground.
    std::vector<FPoint> samples;
    std::vector<CellKind> kinds;
    double step = 0.0;    // metres between consecutive samples
    double length = 0.0;  // metres along the line to its end, where the last sample lies

    // Metres along the line of sample i: i × step, the last one the end of the line.
    double sampleDistance(size_t i) const;
    // What sample i found (ground where no kinds were kept).
    CellKind kindAt(size_t i) const;
};

// The sampling step of the setting text: its leading decimal value, or 0 for an empty text, a
// text that is no number, or a value not above zero (0 selects the coarsest cell size).
double stepFromSetting(const std::string& text);

// The most samples a profile takes, whatever the settings ask (about 240 MB of points).
inline constexpr int kMostProfileSamples = 10'000'000;

// Why a line gives no profile.
enum class ProfileRefusal { None, TooFewPoints, NoLength, LengthOverflow, NoMesh };

// Samples the line (map points in click order) over the collection: step from the setting
// text (else the coarsest cell size), at most maxPoints samples (below 3 taken as 3, above
// kMostProfileSamples as that). None, with the reason in `refusal`, when the line has fewer
// than two points, no length or a length beyond the range of numbers, or there is no mesh to
// give a step.
std::optional<ProfileData> buildProfile(const HMeshProject& project,
                                        const std::vector<FPoint>& line,
                                        const std::string& stepText, int maxPoints,
                                        ProfileRefusal* refusal = nullptr);

// The numbers the drawing is made of, for a rectangle of a device.
struct ProfileAxis {
    double zmin = 0.0, zmax = 0.0;  // sample range widened to at least 0 .. 10
    int unit = 1;                   // elevation label step
    int top = 0, bottom = 0;        // axis ends
};
ProfileAxis profileAxis(const std::vector<FPoint>& samples);
// The elevation label step for the highest elevation.
int elevationUnit(double zmax);
// The distance between distance labels (metres) for p pixels per metre and the font factor F.
double distanceLabelInterval(double pixelsPerMetre, double fontFactor);

struct ProfileStyle {
    double dpi = 96.0;        // the device's horizontal resolution (0: 96)
    bool metafile = false;    // drawing into a metafile: wide rectangles enlarge font and marks
    bool showMarks = true;    // red circles at the clicked vertices
    QString fontFamily;       // empty: the platform's general font
    double fontPixels = 0.0;  // font height at 96 dpi; 0: the general font's
};

// Where things went, for the tests and for callers that add to the drawing.
struct ProfileLayout {
    QRectF plot;                        // the frame
    double fontFactor = 1.0;            // F
    double scale = 1.0;                 // S
    double markRadius = 0.0;            // pixels
    std::vector<QPointF> marks;         // centres of the vertex circles
    std::vector<double> distanceTicks;  // metres along the line
    QStringList distanceLabels;
    QStringList elevationLabels;  // as written, bottom first
};

// Draws the profile into rect (device pixels). Nothing is drawn with fewer than two samples or
// a line without length; the layout then stays empty (plot null).
ProfileLayout drawProfile(QPainter& painter, const QRectF& rect, const ProfileData& data,
                          const ProfileStyle& style);

}  // namespace kov
