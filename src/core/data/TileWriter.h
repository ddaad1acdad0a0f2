// SPDX-License-Identifier: MIT
// Writer of 5 m elevation tiles in the layout ZarVeyMesh5 reads: a fixed-width ".kov" data file
// (codes in 0.1 m) and its header CSV in CP932.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/base/GeodeticDatum.h"

namespace kov {

// Codes of the data file's five-character fields: elevations in units of 0.1 m, and two markers.
inline constexpr int kTileWaterCode = -9999;
inline constexpr int kTileNoDataCode = -1111;
// The elevations a field can hold: five characters go down to -9999, which marks water.
inline constexpr int kTileLowestCode = -9998;
inline constexpr int kTileHighestCode = 99999;
// True when the field can hold the elevation code (in range and not one of the markers).
inline bool isWritableElevationCode(long long code) {
    return code >= kTileLowestCode && code <= kTileHighestCode && code != kTileNoDataCode;
}

// One tile: its grid, where it lies and what its header says.
struct MeshTile {
    std::string code;  // sheet code: the base name of both files; its tail starts each record
    std::string name;  // display name (header line 15), UTF-8
    int cols = 400;
    int rows = 300;
    double cellSize = 5.0;  // metres
    double west = 0.0;      // plane metres of the west and south edges
    double south = 0.0;
    int zone = 9;
    GeodeticDatum datum = GeodeticDatum::kUnstated;  // unstated leaves header line 7 empty
    std::string created;                             // header line 8 ("2024/04/01")
    std::string author;                              // header line 9, UTF-8
    std::string method;  // header line 16 (how the heights were measured), UTF-8
    bool crlf = false;   // line ends of both files
    // cols * rows codes, row 0 the northernmost (the order of the records): elevations
    // (isWritableElevationCode), kTileWaterCode or kTileNoDataCode.
    std::vector<int32_t> codes;
};

// Formats the data file into text (its storage reused). False, with the cell named in *error,
// when a code is neither a marker nor a writable elevation.
bool formatTileData(const MeshTile& tile, std::string& text, std::string* error = nullptr);
// The header CSV in CP932; empty when one of its texts has no CP932 form.
std::string tileHeaderText(const MeshTile& tile);

// Writes the tile into folder as "Header/<code>.csv" and "Data/<code>.kov" (folders created).
// Each file is replaced atomically, the header first: a tile whose data file fails to appear is
// not found by any reader, and one whose old data file stays keeps a header of the same sheet.
bool writeMeshTile(const std::string& folder, const MeshTile& tile, std::string* error);

}  // namespace kov
