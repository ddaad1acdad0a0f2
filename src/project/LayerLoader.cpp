#include "project/LayerLoader.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "data/HMeshProject.h"
#include "data/HxFile.h"
#include "data/InternetFetch.h"
#include "data/ShpImport.h"
#include "data/ZarHImage.h"
#include "data/ZarVeyMesh5.h"
#include "data/ZarVeyMeshDSM.h"

namespace kov {
namespace {

std::vector<std::string> filesWithExtension(const std::filesystem::path& folder,
                                            const char* extension) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && EqualsIgnoringCase(Extension(name), extension))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::vector<std::string> TilesOfFolder(const std::string& folder) {
    std::vector<std::string> tiles = filesWithExtension(folder, ".kov");
    if (tiles.empty()) {
        const std::string data = FindPathIgnoringCase(folder + "/Data");
        if (!data.empty()) tiles = filesWithExtension(data, ".kov");
    }
    return tiles;
}

int LoadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project, LoadReport& report,
                   const LoadOptions& options) {
    int added = 0;
    // Adds a loaded layer; a layer that failed to load or that the project refused is dropped.
    auto take = [&](const std::string& path, int loaded, auto& layer, auto add) {
        if (!loaded) {
            report.unreadable.push_back(path);
        } else if (!add(layer)) {
            report.duplicates.push_back(path);
        } else {
            ++added;
        }
    };
    auto loadFile = [&](const std::string& path) {
        const std::string extension = Extension(path);
        if (EqualsIgnoringCase(extension, ".kov")) {
            std::unique_ptr<ZarHMesh> mesh = std::make_unique<ZarVeyMesh5>();
            const int loaded = mesh->Load(path);
            take(path, loaded, mesh, [&](auto& m) { return project.AddMesh(m); });
        } else if (EqualsIgnoringCase(extension, ".txt")) {
            auto dsm = std::make_unique<ZarVeyMeshDSM>(options.dsmCellSize);
            const int loaded = dsm->LoadWithProgress(path, options.progress);
            std::unique_ptr<ZarHMesh> mesh = std::move(dsm);
            take(path, loaded, mesh, [&](auto& m) { return project.AddMesh(m); });
        } else if (EqualsIgnoringCase(extension, ".shp")) {
            auto shape = std::make_unique<ShpImport>();
            const int loaded = shape->Load(path, options.progress);
            take(path, loaded, shape, [&](auto& s) { return project.AddShape(s); });
        } else {
            auto image = std::make_unique<ZarHImage>();
            const int loaded = image->Load(path);
            take(path, loaded, image, [&](auto& i) { return project.AddImage(i, false); });
        }
    };
    for (const std::string& path : paths) {
        std::error_code error;
        if (IsInternetPath(path)) {
            loadFile(path);
        } else if (std::filesystem::is_directory(path, error)) {
            for (const std::string& tile : TilesOfFolder(path))
                loadFile(tile);
        } else if (std::filesystem::exists(path, error)) {
            loadFile(path);
        } else {
            report.missing.push_back(path);
        }
    }
    if (added > 0) {
        project.SortMeshes();
        project.UpdateExtent();
    }
    return added;
}

}  // namespace kov
