// SPDX-License-Identifier: MIT
// Finding the layer files named in a project file again after the project (or the whole data
// folder) was moved, also when it was written on Windows.
#pragma once

#include <string>

namespace kov {

struct ResolvedPath {
    std::string path;  // the path to use (the stored one when nothing was found)
    bool found = false;
};

// A stored path that exists exactly as written is taken as it is (a name of this system may
// hold '\'). Otherwise it may be a Windows path ("C:\data\Data\T0101.kov"): split at '\' and '/';
// a drive letter or a "\\server\share" prefix names a drive that is not available here. In order:
// the stored path split; the stored folder taken as relative to the project folder; the stored
// folder from the root; the file beside the project file; then every combination of runs of
// consecutive folder names of the project folder and of the stored folder. A candidate that does
// not exist exactly is matched component by component without regard to case. A member of a zip
// ("C:\data\dem.zip/inner.zip/FG-GML-....xml") is found where its zip is found by these rules.
ResolvedPath ResolveStoredPath(const std::string& storedPath, const std::string& projectPath);

}  // namespace kov
