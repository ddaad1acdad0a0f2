// SPDX-License-Identifier: MIT
// The line of kovtool measure and profile: its points on the command line ("--line E,N E,N ...")
// or in a file or standard input, a point a line ("--line-file FILE|-").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/OptionReader.h"
#include "core/data/HMeshProject.h"

namespace kov::cli {

struct LineArgument {
    std::vector<FPoint> points;
    bool given = false;  // --line
    std::string file;    // --line-file; "-" for standard input
};

// "--line E,N E,N [E,N ...]" and "--line-file FILE|-".
std::vector<Option> lineOptions(LineArgument& line);

// The line's points, read from its file when one was named. The exit status when the command
// ends here, after a message: 2 for no line, both options, or a file line that is no point or
// fewer than two points; 1 for a file that cannot be read.
std::optional<int> resolveLine(const char* command, LineArgument& line);

}  // namespace kov::cli
