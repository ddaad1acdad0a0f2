// SPDX-License-Identifier: MIT
// The project file of the sample data set: every tile of the default block, the aerial image
// and the shapefile layers, with a Japanese title.
#pragma once

#include <string>

namespace kov::sample {

inline constexpr const char* kSampleProjectName = "sample.kovv5";
inline constexpr const char* kSampleProjectTitle = "サンプル地区 標高メッシュ（海岸と河川）";

// Loads the layers written into outDir and saves outDir/sample.kovv5 (layer paths are stored
// absolute, as the program writes them). False with a message on failure.
bool writeSampleProject(const std::string& outDir, std::string* error);

}  // namespace kov::sample
