// SPDX-License-Identifier: MIT
// Composes the picture of a map page: the relief of the map rectangle with its overlays
// (shapes, map sheets, scale bar) and, below it, the legend band. Printing, the clipboard copy
// of the view, the print preview and `kovtool render` all use it.
#pragma once

#include <QFont>
#include <QImage>

#include "core/data/HMeshProject.h"
#include "core/display/ContourOverlay.h"

namespace kov {

struct PageStyle {
    bool scaleBar = true;     // the view's scale bar setting
    QFont font;               // the view's font for the scale bar and the sheet codes
    ContourDisplay contours;  // the view's contour lines (none unless shown)
};

// The legend unit (7.5 mm) and the height of the legend band (9/4 of it) in pixels at dpi.
int legendUnit(int dpi);
int legendBandHeight(int dpi);
// The band with the two further rows of the flood ranking (hasRankedFloodResult) when floodRows.
int legendBandHeight(int dpi, bool floodRows);

// A w x (h + legend band) image, white where nothing is drawn: the map rectangle drawn over the
// top w x h pixels with the project's step mode and step, then the contours when the style shows
// them (spaced for the paper as on a 96 ppi screen), its shapes, the map sheets when
// the project shows them, the scale bar when the style has it; the legend band below when
// legend is set (with the flood ranking rows when the project has a ranked flood result). The
// image's resolution is dpi. Null for sizes below one pixel or an empty rectangle.
QImage composePage(HMeshProject& project, const MapRect& rect, int w, int h, int dpi, bool legend,
                   const PageStyle& style = {});

}  // namespace kov
