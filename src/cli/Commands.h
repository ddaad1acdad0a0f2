// The kovtool sub-commands. Each takes the arguments after its own name and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace kov::cli {

using Arguments = std::vector<std::string>;

// TEMPORARY while the commands are written in parallel: weak until all four exist.
__attribute__((weak)) int runInfo(const Arguments& args);
__attribute__((weak)) int runElev(const Arguments& args);
__attribute__((weak)) int runGeo(const Arguments& args);
__attribute__((weak)) int runSample(const Arguments& args);

}  // namespace kov::cli
