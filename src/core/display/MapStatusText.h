// SPDX-License-Identifier: MIT
// Texts that describe the map point under the cursor: the four status bar panes and the quick
// coordinate tip.
#pragma once

#include <string>

namespace kov {

class PlaneConverter;

// The four status bar panes for a map point (x easting, y northing, metres) of plane zone `zone`
// with elevation z (-9999 water, -10000 or lower no data).
struct StatusTexts {
    std::string latLong;    // "B: 35:41:22.3 L: 139:41:30.1"
    std::string plane;      // "9系 X: -35,000.0 Y:  -5,000.0 (m)"
    std::string sheet;      // "09LD184"
    std::string elevation;  // "H: 123.4 (m)", "  水域" or "H: ******"
};

StatusTexts statusTexts(const PlaneConverter& converter, int zone, double x, double y, double z);

// The elevation pane alone.
std::string elevationStatusText(double z);

// The sheet code of the sheet that holds a map point (the point's metres taken to the whole metre
// below, so that a point just west of or south of a sheet edge belongs to the sheet beyond it).
std::string sheetCodeAt(int zone, double x, double y);

// The quick coordinate tip: four lines separated by CR LF (latitude and longitude, plane
// coordinates with the zone, the sheet code in brackets, the elevation).
std::string quickTipText(const PlaneConverter& converter, int zone, double x, double y, double z);

}  // namespace kov
