// The values of kovtool's options, read from their texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov::cli {

// A whole number, all of the text.
bool parseInt(std::string_view text, int& out);
bool parseInt(std::string_view text, long long& out);
// A finite decimal number, all of the text.
bool parseDouble(std::string_view text, double& out);
// "WxH" (or "WXH"), 1..20000 each way.
bool parseSize(std::string_view text, int& w, int& h);
// "XMIN,YMIN,XMAX,YMAX", finite, with the maximum above the minimum each way.
bool parseRect(std::string_view text, MapRect& rect);
// Two finite numbers separated by blanks, tabs or one comma ("E N", "E,N").
bool parsePair(std::string_view text, double& first, double& second);
// The parts of text between the separators (one part more than separators).
std::vector<std::string> split(std::string_view text, char separator);
// "r,g,b;r,g,b;...": channels 0..255, at most kMaxRanks colours, appended as 0x00BBGGRR.
bool parseColors(std::string_view text, std::vector<uint32_t>& colors);

}  // namespace kov::cli
