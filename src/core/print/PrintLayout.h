// SPDX-License-Identifier: MIT
// The geometry of a printed map page: the printable area of a printer page, the size of the
// map on the paper in the three print modes, the resolution the map is rendered at, where the
// map, its legend band and the footer line go, and the drawing of the page with a QPainter on
// any device of that geometry (a printer, a PDF writer, the dialog's miniature).
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "core/data/HMeshProject.h"
#include "core/print/PageComposer.h"

class QPainter;

namespace kov {

// Print modes.
enum PrintMode : int {
    kPrintAtScale = 0,      // the visible area at the given scale; the paper size follows
    kPrintFillPaper = 1,    // the visible area as large as the paper allows; the scale follows
    kPrintScaleAround = 2,  // the given scale filling the paper around the view's centre
};

inline constexpr double kDefaultPrintScale = 2500.0;
// A scale denominator below this prints nothing (and is not kept as the stored scale).
inline constexpr double kMinPrintScale = 0.01;
// The map is rendered at half the resolution until neither side exceeds this many pixels.
inline constexpr int kMaxRenderPixels = 2400;
// Legend band heights in millimetres: the colour strip, and with the flood ranks below it.
inline constexpr double kLegendBandMm = 10.0;
inline constexpr double kFloodLegendBandMm = 17.0;

// What the print dialog sets.
struct PrintSettings {
    int mode = kPrintFillPaper;
    double scale = kDefaultPrintScale;
    bool title = false;
    bool date = false;
    bool time = false;
    bool scaleText = false;
    bool comment = false;
    QString commentText;
    bool legend = false;
};

// A printer page as the job sees it: the printable area in device pixels and the device's
// pixels per inch (the horizontal value serves both directions).
struct PrintDevice {
    int width = 0;
    int height = 0;
    int dpi = 0;
};

// The part of the page the map may take, in millimetres (95 % of the width, 90 % of the height,
// less the legend band), and the band's height in millimetres and device pixels.
struct PrintableArea {
    double width = 0.0;
    double height = 0.0;
    double bandMm = 0.0;
    int bandPixels = 0;
};
PrintableArea printableArea(const PrintDevice& device, bool legend, bool floodRanks);

// The map on the paper: its size in millimetres, the map rectangle it shows, the scale it is
// printed at, and whether it fits the printable area.
struct PaperLayout {
    double width = 0.0;
    double height = 0.0;
    MapRect rect;
    double scale = 0.0;
    bool fits = true;
};
// Empty when the view is empty or the scale is below kMinPrintScale.
std::optional<PaperLayout> paperLayout(int mode, const MapRect& view, double scale,
                                       const PrintableArea& area);

// A map larger than the printable area cut to it around the map's centre, at the same scale:
// the part a printer's clipping would leave, without a picture larger than the paper behind it
// (which no PDF reader can draw). A map that fits is returned as it is.
PaperLayout cutToPrintableArea(const PaperLayout& paper, const PrintableArea& area);

// The dialog's status line: the printable maximum, with the warning when the map exceeds it.
QString printLimitText(const PrintableArea& area, bool fits);

// The enabled footer items joined by two spaces: title, date, time, scale, comment. The scale
// is the one the map is printed at.
QString footerText(const PrintSettings& settings, const QString& title, double scale,
                   const QDateTime& now);

// Everything the job draws, in device pixels.
struct PagePlan {
    PrintDevice device;
    MapRect rect;      // the map rectangle printed
    double scale = 0;  // the scale it is printed at
    int width = 0;     // the map on the page
    int height = 0;
    int left = 0;  // the map's top-left corner: centred across, centred with the band down
    int top = 0;
    int band = 0;         // the legend band of the printable area (0 without the legend)
    int renderWidth = 0;  // the composed bitmap's map part and resolution
    int renderHeight = 0;
    int renderDpi = 0;
    bool legend = false;
    QString footer;  // empty: no footer line
    int footerTop = 0;
    int footerHeight = 0;  // 1/8 inch
};
// Empty when nothing is to be printed (no device, an empty view, a scale below
// kMinPrintScale, a map smaller than a pixel). A map larger than the printable area (mode 0) is
// cut to it (cutToPrintableArea).
std::optional<PagePlan> planPage(const PrintSettings& settings, const PrintDevice& device,
                                 const MapRect& view, bool floodRanks, const QString& title,
                                 const QDateTime& now);

// Composes the map with its legend band and draws it stretched into its place, then the footer.
// False when the map could not be composed (nothing is drawn then).
bool drawPlannedPage(QPainter& painter, HMeshProject& project, const PagePlan& plan,
                     const PageStyle& style);

}  // namespace kov
