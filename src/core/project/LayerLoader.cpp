#include "core/project/LayerLoader.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "core/base/HxProgress.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/InternetFetch.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/data/ZarVeyMeshDSM.h"

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

namespace {

// Stops 0 and 1 of slot 0 take the data's lowest and highest elevation.
void FitColourMap(HMeshProject& project) {
    ZarHColorMap& map = *project.GetColorMap(0);
    std::array<ColorStop, 2> stops = map.firstTwoStops();
    stops[0].height = project.GetMinElevation();
    stops[1].height = project.GetMaxElevation();
    map.setStops(stops.data(), 2);
}

}  // namespace

std::vector<std::string> ExpandLayerPaths(const std::vector<std::string>& paths,
                                          std::vector<std::string>* missing) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (IsInternetPath(path)) {
            files.push_back(path);
        } else if (std::filesystem::is_directory(path, error)) {
            for (std::string& tile : TilesOfFolder(path))
                files.push_back(std::move(tile));
        } else if (std::filesystem::exists(path, error)) {
            files.push_back(path);
        } else if (missing) {
            missing->push_back(path);
        }
    }
    return files;
}

int LoadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project, LoadReport& report,
                   const LoadOptions& options) {
    const std::vector<std::string> files = ExpandLayerPaths(paths, &report.missing);
    HxProgress* progress = options.progress;
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
    enum class DsmAnswer { NotAsked, Accepted, Refused } dsmAnswer = DsmAnswer::NotAsked;
    double dsmCellSize = options.dsmCellSize;
    auto say = [&](const char* format, const std::string& name) {
        if (!progress) return;
        std::string text = format;
        text.replace(text.find("%s"), 2, name);
        progress->SetText(text);
    };

    if (progress) progress->Begin();
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
        if (progress && progress->SetPos(i, count)) break;
        const std::string& path = files[static_cast<size_t>(i)];
        const std::string extension = Extension(path);
        const std::string name = BaseName(path);
        if (EqualsIgnoringCase(extension, ".kov")) {
            say("ミラド（標高メッシュ）%sを読み込み中...", name);
            std::unique_ptr<ZarHMesh> mesh = std::make_unique<ZarVeyMesh5>();
            const int loaded = mesh->Load(path);
            take(path, loaded, mesh, [&](auto& m) { return project.AddMesh(m); });
        } else if (EqualsIgnoringCase(extension, ".txt")) {
            if (dsmAnswer == DsmAnswer::NotAsked && options.askDsmCellSize) {
                const std::optional<double> answer = options.askDsmCellSize();
                dsmAnswer = answer && *answer >= 0.1 ? DsmAnswer::Accepted : DsmAnswer::Refused;
                if (dsmAnswer == DsmAnswer::Accepted) dsmCellSize = *answer;
            }
            if (dsmAnswer == DsmAnswer::Refused) continue;
            say("DSM %sを読み込み中...", name);
            auto dsm = std::make_unique<ZarVeyMeshDSM>(dsmCellSize);
            const int loaded = dsm->LoadWithProgress(path, progress);
            std::unique_ptr<ZarHMesh> mesh = std::move(dsm);
            take(path, loaded, mesh, [&](auto& m) { return project.AddMesh(m); });
        } else if (EqualsIgnoringCase(extension, ".shp")) {
            say("シェープファイル %sを読み込み中...", name);
            auto shape = std::make_unique<ShpImport>();
            const int loaded = shape->Load(path, progress);
            take(path, loaded, shape, [&](auto& s) { return project.AddShape(s); });
        } else {
            say("%sを読み込み中...", name);
            auto image = std::make_unique<ZarHImage>();
            const int loaded = image->Load(path);
            take(path, loaded, image, [&](auto& img) { return project.AddImage(img, false); });
        }
    }
    if (progress) progress->End();

    if (added > 0) {
        project.SortMeshes();
        project.UpdateExtent();
        // The range is taken after the extent update, which refreshes every mesh's minimum
        // and maximum.
        if (options.fitColourMap && *options.fitColourMap && project.MeshCount() > 0) {
            FitColourMap(project);
            *options.fitColourMap = false;
        }
    }
    return added;
}

}  // namespace kov
