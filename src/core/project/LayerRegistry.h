// SPDX-License-Identifier: MIT
// Which reader a layer file goes to, and reading it: the one place that maps a file to its
// layer kind, used by the project file reader, the composition loader and kovtool.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/project/LoadProblem.h"

namespace kov {

class HMeshProject;
class HxProgress;
class ShpImport;
class ZarHImage;
class ZarHMesh;

// The extension decides where it is plain, in any letter case: ".kov" 5 m tiles, ".txt" DSM
// point files, ".shp" shapefiles. Any other file is told by its content: an FG-GML DEM file, a
// zip of them (or a member path inside zips) or a raster with one numeric band is an elevation
// source placed in the project's zone (core/project/DemLoading.h); anything else is taken for
// a georeferenced image.
enum class LayerKind { MeshTile, DsmPoints, Shapefile, DemSource, Image };
LayerKind layerKindOfPath(const std::string& path);
inline bool isMeshKind(LayerKind kind) {
    return kind == LayerKind::MeshTile || kind == LayerKind::DsmPoints ||
           kind == LayerKind::DemSource;
}

// One layer read from its file: exactly one member is set when the reader accepted the file;
// otherwise reason says why the reader refused it, and problem in a code.
struct LoadedLayer {
    std::unique_ptr<ZarHMesh> mesh;
    std::unique_ptr<ZarHImage> image;
    std::unique_ptr<ShpImport> shape;
    std::string reason;
    LoadProblem problem = LoadProblem::None;
    LoadedLayer();
    LoadedLayer(LoadedLayer&&) noexcept;
    ~LoadedLayer();
    bool loaded() const { return mesh || image || shape; }
};

// Reads the file with the reader of its kind (not an elevation source: those of a load are read
// together by loadDemSources); DSM point files are gridded at dsmCellSize
// metres. The progress object (may be null) is handed to the readers that report progress.
LoadedLayer loadLayer(const std::string& path, LayerKind kind, double dsmCellSize,
                      HxProgress* progress);

// Adds a loaded layer to the collection (images with a duplicate extent are refused). 1 when
// added; 0 when refused, and the layer stays with the caller.
int addLayer(HMeshProject& project, LoadedLayer& layer);

}  // namespace kov
