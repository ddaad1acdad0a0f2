// SPDX-License-Identifier: MIT
// Loads layer files into a mesh collection the way a new project is composed: every file is
// read by the reader its extension names and added, then the meshes are sorted and the extent
// computed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/project/DemLoading.h"
#include "core/project/LayerRegistry.h"
#include "core/project/LoadProblem.h"

namespace kov {

class HMeshProject;
class HxProgress;

// A file a reader refused, and why: in English, and as a code for the window's own words.
struct UnreadableLayer {
    std::string path;
    std::string reason;
    LoadProblem problem = LoadProblem::Damaged;
    LayerKind kind = LayerKind::Image;  // what it was read as
};

struct LoadReport {
    std::vector<UnreadableLayer> unreadable;  // files a reader rejected
    std::vector<std::string> duplicates;      // meshes or images the collection already had
    std::vector<std::string> missing;         // paths that do not exist
    std::vector<std::string> overBudget;      // layers that would exceed the memory budget
    bool ok() const { return unreadable.empty() && missing.empty() && overBudget.empty(); }
};

struct LoadOptions {
    double dsmCellSize = 5.0;  // cell size of meshes made from DSM point files
    // Reports (file index, count) before each file and the "...を読み込み中..." text; a
    // nonzero answer of SetPos (Esc) stops after the files loaded so far. Also handed to the
    // readers that report progress.
    HxProgress* progress = nullptr;
    // Asked once per load, before the first DSM point file: the cell size to grid DSM files
    // at, or nothing to skip every DSM file of this load. Without it dsmCellSize is used.
    std::function<std::optional<double>()> askDsmCellSize;
    // A new project's first load that adds a layer fits colour stops 0 and 1 of slot 0 to the
    // data's elevation range and clears the flag.
    bool* fitColourMap = nullptr;
    // Where elevation sources that are placed (FG-GML DEM files, raster DEMs) go, and at what
    // cell size (see demTarget).
    DemSettings dem;
};

// The tiles of a folder: its "*.kov" files, or, when it has none, those of its "Data"
// subfolder; sorted by name.
std::vector<std::string> tilesOfFolder(const std::string& folder);
// The elevation sources of a folder, sorted by name: its FG-GML DEM files, zips of them and
// raster DEMs (told by their content).
std::vector<std::string> demSourcesOfFolder(const std::string& folder);

// The files a load reads, in order: internet paths and files as they are, folders replaced by
// tilesOfFolder and demSourcesOfFolder; paths that do not exist are left out and, when asked,
// listed in *missing.
std::vector<std::string> expandLayerPaths(const std::vector<std::string>& paths,
                                          std::vector<std::string>* missing = nullptr);

// Loads files and folders (a folder contributes tilesOfFolder and demSourcesOfFolder) in the
// given order: ".kov" tiles, ".txt" DSM point files, ".shp" shapefiles, elevation sources (all
// of them together, after the rest, placed by options.dem) and images. When any
// layer was added, the meshes are sorted, the extent updated and, when asked, the colour map
// fitted. Returns the number added.
int loadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project, LoadReport& report,
                   const LoadOptions& options = {});

}  // namespace kov
