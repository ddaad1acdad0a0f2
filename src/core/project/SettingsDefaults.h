// SPDX-License-Identifier: MIT
// The settings a new project starts from, as the desktop program's settings give them.
#pragma once

#include "core/data/HMeshProject.h"

namespace kov {

// Sections "ColorMap" (COLOR1, COLOR2, ColorNone, ColorSea, ColorTop, ColorBottom,
// ShadowLevel) and "Shape" (PenWidth, PenColor, FillAlpha, FillColor) of the settings store;
// absent keys keep the built-in values.
ProjectDefaults projectDefaultsFromSettings();

}  // namespace kov
