// SPDX-License-Identifier: MIT
#include "core/project/SettingsDefaults.h"

#include "core/base/SettingsStore.h"

namespace kov {

ProjectDefaults projectDefaultsFromSettings() {
    ProjectDefaults d;
    ColorMapDefaults& map = d.colorMap;
    const char* colorMap = "ColorMap";
    map.firstStopColor = settings::readColor(colorMap, "COLOR1", map.firstStopColor);
    map.secondStopColor = settings::readColor(colorMap, "COLOR2", map.secondStopColor);
    map.noDataColor = settings::readColor(colorMap, "ColorNone", map.noDataColor);
    map.seaColor = settings::readColor(colorMap, "ColorSea", map.seaColor);
    map.topColor = settings::readColor(colorMap, "ColorTop", map.topColor);
    map.bottomColor = settings::readColor(colorMap, "ColorBottom", map.bottomColor);
    // The shade of a slope turned away from the light: a fraction of the full colour.
    map.shadowLevel = settings::readRealIn(colorMap, "ShadowLevel", map.shadowLevel, 0.0, 1.0);
    ShapeDisplayDefaults& shape = d.shape;
    shape.penWidth = settings::readRealIn("Shape", "PenWidth", shape.penWidth, 0.0, 100.0);  // mm
    shape.penColor = settings::readColor("Shape", "PenColor", shape.penColor);
    shape.fillAlpha = settings::readIntIn("Shape", "FillAlpha", shape.fillAlpha, 0, 255);
    shape.fillColor = settings::readColor("Shape", "FillColor", shape.fillColor);
    return d;
}

}  // namespace kov
