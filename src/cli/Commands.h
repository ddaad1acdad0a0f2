// SPDX-License-Identifier: MIT
// The kovtool sub-commands. Each takes the arguments after its own name and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace kov::cli {

using Arguments = std::vector<std::string>;

int runInfo(const Arguments& args);
int runElev(const Arguments& args);
int runGeo(const Arguments& args);
int runSample(const Arguments& args);
int runCompose(const Arguments& args);
int runRender(const Arguments& args);
int runProfile(const Arguments& args);
int runMeasure(const Arguments& args);
int runPrint(const Arguments& args);
int runFlood(const Arguments& args);
int runConvert(const Arguments& args);
int runExport(const Arguments& args);
int runContour(const Arguments& args);
int runCache(const Arguments& args);

}  // namespace kov::cli
