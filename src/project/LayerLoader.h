// Loads layer files into a mesh collection the way a new project is composed: every file is
// read by the reader its extension names and added, then the meshes are sorted and the extent
// computed.
#pragma once

#include <string>
#include <vector>

namespace kov {

class HMeshProject;
class HxProgress;

struct LoadReport {
    std::vector<std::string> unreadable;  // files a reader rejected
    std::vector<std::string> duplicates;  // meshes or images the collection already had
    std::vector<std::string> missing;     // paths that do not exist
    bool ok() const { return unreadable.empty() && missing.empty(); }
};

struct LoadOptions {
    double dsmCellSize = 5.0;        // cell size of meshes made from DSM point files
    HxProgress* progress = nullptr;  // handed to the readers that report progress
};

// The tiles of a folder: its "*.kov" files, or, when it has none, those of its "Data"
// subfolder; sorted by name.
std::vector<std::string> TilesOfFolder(const std::string& folder);

// Loads files and folders (a folder contributes TilesOfFolder) in the given order: ".kov" tiles,
// ".txt" DSM point files, ".shp" shapefiles, and any other extension as an image. When any
// layer was added, the meshes are sorted and the extent updated. Returns the number added.
int LoadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project, LoadReport& report,
                   const LoadOptions& options = {});

}  // namespace kov
