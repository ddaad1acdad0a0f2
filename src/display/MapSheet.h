// Map-sheet codes of the national 1:5000 sheet grid (sheets of 2000 m x 1500 m).
#pragma once

#include <string>

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

}  // namespace kov
