// Helpers shared by the kovtool commands.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kov {
class HMeshProject;
}

namespace kov::cli {

// Loads the data paths into the collection as a new project is composed (DSM point files at
// the given cell size); reports problems on stderr and answers false when any path could not
// be used or nothing was loaded.
bool loadDataPaths(const std::vector<std::string>& paths, HMeshProject& project,
                   double dsmCellSize);

// Takes "--dsm-cell M" or "--dsm-cell=M" at args[i] (advancing i past its value); answers
// false when args[i] is not that option, and sets error for a missing or bad value.
bool takeDsmCellOption(const std::vector<std::string>& args, size_t& i, double& cellSize,
                       std::string& error);

// Shortest decimal text that reads back as the same double (JSON numbers).
std::string jsonNumber(double value);
// A JSON string literal; text that is not UTF-8 is read as CP932 first.
std::string jsonString(std::string_view text);

// Parses two numbers separated by blanks, tabs or one comma ("E N", "E,N"); false otherwise.
bool parsePair(std::string_view text, double& first, double& second);

}  // namespace kov::cli
