// SPDX-License-Identifier: MIT
// The values of kovtool's options, read from their texts. Each parser takes the whole text or
// nothing: on failure the target is left as it was.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov::cli {

// A whole number from min to max, all of the text ("12"; no "+", no blanks).
bool parseNumber(std::string_view text, int& out, int min = std::numeric_limits<int>::min(),
                 int max = std::numeric_limits<int>::max());
bool parseNumber(std::string_view text, long long& out,
                 long long min = std::numeric_limits<long long>::min(),
                 long long max = std::numeric_limits<long long>::max());
// A finite decimal number from min to max, all of the text ("2.5", "1e3"; no "+", no blanks).
bool parseNumber(std::string_view text, double& out,
                 double min = -std::numeric_limits<double>::max(),
                 double max = std::numeric_limits<double>::max());
// A coordinate as a user types it: a finite decimal number, a "+" allowed before it.
bool parseCoordinate(std::string_view text, double& out);
// "WxH" (or "WXH"), 1..20000 each way.
bool parseSize(std::string_view text, int& w, int& h);
// "XMIN,YMIN,XMAX,YMAX", finite, with the maximum above the minimum each way.
bool parseRect(std::string_view text, MapRect& rect);
// Two coordinates separated by blanks, tabs or one comma ("E N", "E,N", " E , N ").
bool parsePair(std::string_view text, double& first, double& second);
// A point "E,N" (or "E N"); z is 0.
bool parsePoint(std::string_view text, FPoint& point);
// The parts of text between the separators (one part more than separators).
std::vector<std::string> split(std::string_view text, char separator);
// "r,g,b;r,g,b;...": channels 0..255, at most kMaxRanks colours, each as 0x00BBGGRR.
bool parseColors(std::string_view text, std::vector<uint32_t>& colors);

}  // namespace kov::cli
