// SPDX-License-Identifier: MIT
// World files: the text files beside an image that place its pixels in map coordinates.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov {

// The world-file extensions tried for an image extension (compared without regard to case),
// in the order they are tried; empty for other extensions.
std::vector<std::string_view> worldFileExtensions(std::string_view imageExtension);

// The rectangle an image of width x height pixels covers according to the world file text: six
// numbers A, D, B, E, C, F (pixel size in x, rotation terms, pixel size in y, centre of the
// upper-left pixel). Nothing when the text does not start with six numbers or a pixel size is
// zero. The four values are rounded to 8 decimal places.
std::optional<MapRect> parseWorldFile(std::string_view text, int width, int height);

// Tries the world files beside imagePath (same folder and base name, names matched without
// regard to case) in table order; the first usable one gives the rectangle.
std::optional<MapRect> applyWorldFiles(const std::string& imagePath, int width, int height);

}  // namespace kov
