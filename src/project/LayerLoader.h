// Loads layer files into a mesh collection the way a new project is composed: every file is
// read by the reader its extension names, added, then the meshes are sorted and the extent
// computed.
#pragma once

#include <string>
#include <vector>

namespace kov {

class HMeshProject;

struct LoadReport {
    std::vector<std::string> unreadable;   // files a reader rejected
    std::vector<std::string> duplicates;   // meshes the collection already had
    std::vector<std::string> unsupported;  // extensions no reader handles, missing paths
    bool ok() const { return unreadable.empty() && unsupported.empty(); }
};

// The tiles of a folder: its "*.kov" files, or, when it has none, those of its "Data" subfolder;
// sorted by name.
std::vector<std::string> TilesOfFolder(const std::string& folder);

// Loads files and folders (a folder contributes TilesOfFolder) in the given order, then sorts
// the meshes and updates the extent. Returns the number of layers added.
int LoadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project,
                   LoadReport& report);

}  // namespace kov
