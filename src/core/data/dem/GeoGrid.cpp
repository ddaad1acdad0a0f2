// SPDX-License-Identifier: MIT
#include "core/data/dem/GeoGrid.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kov {

int32_t millimetreCode(double metres) {
    // Elevations beyond what a code can hold saturate below the special codes' range; the readers
    // refuse such values before they get here.
    constexpr double kLowest = -268435.0;  // MESH_NODATA and MESH_WATER lie just below
    constexpr double kHighest = std::numeric_limits<int32_t>::max() / 1000.0;
    if (std::isnan(metres)) return MESH_NODATA;
    if (metres < kLowest) metres = kLowest;
    if (metres > kHighest) metres = kHighest;
    return static_cast<int32_t>(std::round(metres * 1000.0));
}

void countCells(GeoGrid& grid) {
    CellCounts counts;
    for (const int32_t code : grid.codes) {
        if (code == MESH_WATER) {
            ++counts.water;
        } else if (code == MESH_NODATA) {
            ++counts.noData;
        } else {
            ++counts.ground;
        }
    }
    grid.counts = counts;
}

}  // namespace kov
