// SPDX-License-Identifier: MIT
// Reader of the national DEM's FG-GML (JPGIS) XML files: DEM5A/5B/5C, DEM10A/10B, DEM1A.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/dem/GeoGrid.h"

namespace kov {

// What the head of an FG-GML DEM file says (its first few kilobytes suffice).
struct FgGmlHeader {
    std::string meshCode;                                     // "533945"
    std::string demType;                                      // "5A", "10B", "1A"
    std::string datumName;                                    // "JGD2000", "JGD2011", "JGD2024"
    double south = 0.0, west = 0.0, north = 0.0, east = 0.0;  // degrees
    int cols = 0, rows = 0;
};

// Whether the first bytes of a file are those of an FG-GML DEM document.
bool looksLikeFgGmlDem(std::string_view head);

// Reads the header from the start of a document. False, with the reason in error, when it is
// not an FG-GML DEM file or the header is damaged, names an unknown srsName, or lies outside
// Japan.
bool readFgGmlHeader(std::string_view text, FgGmlHeader& header, std::string* error);

// Reads a whole document into grid (longitude east, latitude north; row 0 northernmost).
// Cells before the start point and after the end of the tuple list are no data. False, grid
// unchanged, with the reason in error, for any damage: malformed XML, a list longer than the
// grid, values that are not numbers, an envelope outside Japan, more than kMaxCells cells.
bool readFgGmlDem(std::string_view text, GeoGrid& grid, std::string* error);

// The DEM type a national DEM file's name states: "FG-GML-5339-45-28-DEM5A-20161001.xml" ->
// "5A"; empty when it states none. The documents' <type> states only the spacing ("5m..."), so
// the reader's demType and kind hold the spacing alone ("5", "FG-GML DEM5") unless the caller
// completes them from the name.
std::string fgGmlDemTypeOfName(std::string_view fileName);

// The largest grid the reader accepts: a DEM1A file holds 1125 x 750 cells.
inline constexpr int64_t kMaxFgGmlCells = int64_t{1} << 24;

}  // namespace kov
