#include "project/LayerLoader.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "data/HMeshProject.h"
#include "data/HxFile.h"
#include "data/ZarVeyMesh5.h"

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

int LoadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project,
                   LoadReport& report) {
    int added = 0;
    auto loadFile = [&](const std::string& path) {
        if (!EqualsIgnoringCase(Extension(path), ".kov")) {
            report.unsupported.push_back(path);
            return;
        }
        std::unique_ptr<ZarHMesh> mesh = std::make_unique<ZarVeyMesh5>();
        if (!mesh->Load(path)) {
            report.unreadable.push_back(path);
        } else if (!project.AddMesh(mesh)) {
            report.duplicates.push_back(path);
        } else {
            ++added;
        }
    };
    for (const std::string& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const std::string& tile : TilesOfFolder(path))
                loadFile(tile);
        } else if (std::filesystem::exists(path, error)) {
            loadFile(path);
        } else {
            report.unsupported.push_back(path);
        }
    }
    project.SortMeshes();
    project.UpdateExtent();
    return added;
}

}  // namespace kov
