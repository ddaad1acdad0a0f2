// SPDX-License-Identifier: MIT
// What makes an image layer a flood estimation result: the ranks it was classified into and the
// ground the flood met. The flood estimation fills it in; the renderer, the legends, print and
// the flood commands ask the layer for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kov {

// The most ranks a flood estimation classifies into.
inline constexpr int kMaxRanks = 9;

struct FloodRank {
    // Metres: the ground height up to which the rank runs, or in depth mode the flood depth from
    // which it runs.
    double height = 0.0;
    uint32_t color = 0;  // 0x00BBGGRR
};

struct FloodResult {
    double lowest = 0.0;   // metres: lowest ground met by the flood (0 for the whole area)
    double highest = 0.0;  // metres: highest ground met by the flood
    bool depthMode = false;
    std::vector<FloodRank> ranks;  // at most kMaxRanks, in the order of the rank image
};

// Whether a layer of this name is a flood result. The estimation names its layers
// "FloodFill-%d" and "FloodFillEx-%d"; a picture of one saved under that name and loaded again
// is one too, though without ranks. Letter case counts.
inline bool isFloodLayerName(const std::string& name) {
    return name.find("FloodFill") != std::string::npos;
}

}  // namespace kov
