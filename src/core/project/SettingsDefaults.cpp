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
    map.shadowLevel = settings::readReal(colorMap, "ShadowLevel", map.shadowLevel);
    ShapeDisplayDefaults& shape = d.shape;
    shape.penWidth = settings::readReal("Shape", "PenWidth", shape.penWidth);
    shape.penColor = settings::readColor("Shape", "PenColor", shape.penColor);
    shape.fillAlpha = settings::readInt("Shape", "FillAlpha", shape.fillAlpha);
    shape.fillColor = settings::readColor("Shape", "FillColor", shape.fillColor);
    return d;
}

}  // namespace kov
