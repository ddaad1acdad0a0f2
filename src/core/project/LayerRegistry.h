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

// By the extension, in any letter case: ".kov" 5 m tiles, ".txt" DSM point files, ".shp"
// shapefiles; anything else is taken for a georeferenced image.
enum class LayerKind { MeshTile, DsmPoints, Shapefile, Image };
LayerKind layerKindOfPath(std::string_view path);
inline bool isMeshKind(LayerKind kind) {
    return kind == LayerKind::MeshTile || kind == LayerKind::DsmPoints;
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

// Reads the file with the reader of its kind; DSM point files are gridded at dsmCellSize
// metres. The progress object (may be null) is handed to the readers that report progress.
LoadedLayer loadLayer(const std::string& path, LayerKind kind, double dsmCellSize,
                      HxProgress* progress);

// Adds a loaded layer to the collection (images with a duplicate extent are refused). 1 when
// added; 0 when refused, and the layer stays with the caller.
int addLayer(HMeshProject& project, LoadedLayer& layer);

}  // namespace kov
