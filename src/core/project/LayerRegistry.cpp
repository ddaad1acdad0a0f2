// SPDX-License-Identifier: MIT
#include "core/project/LayerRegistry.h"

#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHImage.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/data/ZarVeyMeshDSM.h"
#include "core/data/dem/DemSource.h"

namespace kov {

LayerKind layerKindOfPath(const std::string& path) {
    const std::string extension = fileExtension(path);
    if (equalsIgnoringCase(extension, ".kov")) return LayerKind::MeshTile;
    if (equalsIgnoringCase(extension, ".txt")) return LayerKind::DsmPoints;
    if (equalsIgnoringCase(extension, ".shp")) return LayerKind::Shapefile;
    if (probeDemFile(path).kind != DemFileKind::None) return LayerKind::DemSource;
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
        case LayerKind::DemSource:
            layer.reason = "an elevation source is read with the others of its load";
            break;
        case LayerKind::Image: {
            auto image = std::make_unique<ZarHImage>();
            if (image->Load(path)) {
                layer.image = std::move(image);
                break;
            }
            // What the file is not, where its content told (an XML file that is no FG-GML DEM, a
            // picture GDAL knows but the overlay reader does not).
            const std::string notElevation = probeDemFile(path).why;
            layer.reason = notElevation.empty() ? image->errorText
                                                : "neither an elevation source (" + notElevation +
                                                      ") nor a picture the overlay reader knows (" +
                                                      image->errorText + ")";
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
