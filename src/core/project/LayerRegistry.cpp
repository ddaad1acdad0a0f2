#include "core/project/LayerRegistry.h"

#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHImage.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/data/ZarVeyMeshDSM.h"

namespace kov {

LayerKind layerKindOfPath(std::string_view path) {
    const std::string extension = fileExtension(std::string(path));
    if (equalsIgnoringCase(extension, ".kov")) return LayerKind::MeshTile;
    if (equalsIgnoringCase(extension, ".txt")) return LayerKind::DsmPoints;
    if (equalsIgnoringCase(extension, ".shp")) return LayerKind::Shapefile;
    return LayerKind::Image;
}

LoadedLayer::LoadedLayer() = default;
LoadedLayer::LoadedLayer(LoadedLayer&&) noexcept = default;
LoadedLayer::~LoadedLayer() = default;

LoadedLayer loadLayer(const std::string& path, LayerKind kind, double dsmCellSize,
                      HxProgress* progress) {
    LoadedLayer layer;
    switch (kind) {
        case LayerKind::MeshTile: {
            auto tile = std::make_unique<ZarVeyMesh5>();
            if (tile->Load(path)) {
                layer.mesh = std::move(tile);
            } else {
                layer.reason = tile->errorText;
                using Search = ZarVeyMesh5::HeaderSearch;
                if (tile->headerSearch != Search::Found)
                    layer.problem = tile->headerSearch == Search::Missing
                                        ? LoadProblem::HeaderMissing
                                        : LoadProblem::HeaderUnreadable;
            }
            break;
        }
        case LayerKind::DsmPoints: {
            auto dsm = std::make_unique<ZarVeyMeshDSM>(dsmCellSize);
            if (dsm->loadWithProgress(path, progress))
                layer.mesh = std::move(dsm);
            else
                layer.reason = dsm->errorText;
            break;
        }
        case LayerKind::Shapefile: {
            auto shape = std::make_unique<ShpImport>();
            if (shape->Load(path, progress))
                layer.shape = std::move(shape);
            else
                layer.reason = shape->errorText;
            break;
        }
        case LayerKind::Image: {
            auto image = std::make_unique<ZarHImage>();
            if (image->Load(path))
                layer.image = std::move(image);
            else
                layer.reason = image->errorText;
            break;
        }
    }
    if (layer.loaded()) return layer;
    if (layer.reason.empty()) layer.reason = "the reader refused it";
    // The file itself unreadable, else what the reader found in it.
    if (layer.problem == LoadProblem::None) layer.problem = fileProblem(path, kAnyFileSize);
    if (layer.problem == LoadProblem::None) layer.problem = LoadProblem::Damaged;
    return layer;
}

int addLayer(HMeshProject& project, LoadedLayer& layer) {
    if (layer.mesh) return project.AddMesh(layer.mesh);
    if (layer.image) return project.AddImage(layer.image, false);
    if (layer.shape) return project.AddShape(layer.shape);
    return 0;
}

}  // namespace kov
