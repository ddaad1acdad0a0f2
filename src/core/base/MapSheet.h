// SPDX-License-Identifier: MIT
// Map-sheet codes of the national 1:5000 sheet grid (sheets of 2000 m x 1500 m).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kov {

// Sheet width (easting) and height (northing) in metres.
inline constexpr long long kSheetWidth = 2000;
inline constexpr long long kSheetHeight = 1500;

// The code of the sheet that holds the map point (x easting, y northing, integer metres) in plane
// rectangular zone `zone`: "%02d" zone, the 30 km row letter (two letters north of row A and south
// of row Z), the 40 km column letter, the 3 km row digit (9 at the south), the 4 km column digit
// and the quarter digit (1 north-west, 2 north-east, 3 south-west, 4 south-east), e.g. "09LD184".
// *valid (when given) becomes false when a letter falls outside A..Z; the text is produced anyway,
// with the computed character, or '?' where that is not a printable ASCII character.
std::string sheetCodeOfPoint(int zone, long long x, long long y, bool* valid = nullptr);

// Zone and rectangle (whole metres, x east, y north) of the sheet that a code names.
struct SheetRect {
    int zone = 0;
    long long xmin = 0;
    long long ymin = 0;
    long long xmax = 0;
    long long ymax = 0;
};

// The sheet named by a code in upper case: two zone digits 00..19; the 30 km row letter A..Z
// (north edge (K - letter) x 30 km), or two letters for the rows north of A (AX, AY, AZ: north
// edges 390, 360, 330 km) and south of Z (ZA .. ZE: -480 .. -600 km); the 40 km column letter
// A..H (west edge (letter - E) x 40 km); the 3 km row digit (counted southward) and the 4 km
// column digit. That much names a 4000 m x 3000 m sheet; an optional quarter digit 1..4
// (north-west, north-east, south-west, south-east) names a 2000 m x 1500 m sheet. "Z" followed
// by A..E is a two-letter row only when a letter follows, so row Z keeps its columns A..E.
// Empty for any other text.
std::optional<SheetRect> sheetRectOfCode(std::string_view code);

}  // namespace kov
