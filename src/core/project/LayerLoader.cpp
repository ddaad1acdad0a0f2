// SPDX-License-Identifier: MIT
#include "core/project/LayerLoader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/InternetFetch.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/cache/TileCache.h"
#include "core/data/dem/DemSource.h"
#include "core/data/dem/ZipArchive.h"
#include "core/project/LayerRegistry.h"
#include "core/project/TileReadAhead.h"

namespace kov {
namespace {

// The cells a load takes in between two trims of what the budget does not hold.
constexpr int64_t kLoadIntakeBetweenTrims = int64_t{64} << 20;

std::vector<std::string> filesWithExtension(const std::string& folder, const char* extension) {
    std::vector<std::string> files;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return files;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    while (const dirent* entry = ::readdir(listing)) {
        if (!equalsIgnoringCase(fileExtension(entry->d_name), extension)) continue;
        std::string path = prefix + entry->d_name;
        // A link or a file system that does not tell the type: the file it names decides.
        struct stat info {};
        const bool regular =
            entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode));
        if (regular) files.push_back(std::move(path));
    }
    ::closedir(listing);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::vector<std::string> demSourcesOfFolder(const std::string& folder) {
    std::vector<std::string> sources;
    for (const char* extension : {".xml", ".zip", ".tif", ".tiff", ".asc", ".img", ".vrt"})
        for (std::string& file : filesWithExtension(folder, extension))
            if (probeDemFile(file).kind != DemFileKind::None) sources.push_back(std::move(file));
    std::sort(sources.begin(), sources.end());
    return sources;
}

std::vector<std::string> tilesOfFolder(const std::string& folder) {
    std::vector<std::string> tiles = filesWithExtension(folder, ".kov");
    if (tiles.empty()) {
        const std::string data = findPathIgnoringCase(folder + "/Data");
        if (!data.empty()) tiles = filesWithExtension(data, ".kov");
    }
    return tiles;
}

namespace {

// "d/a.zip/b.xml": a member path inside a zip that exists.
bool isArchiveMemberPath(const std::string& path) {
    ArchivePath parts;
    return splitArchivePath(path, parts);
}

// Stops 0 and 1 of slot 0 take the data's lowest and highest elevation.
void fitColourMap(HMeshProject& project) {
    ZarHColorMap& map = *project.GetColorMap(0);
    std::array<ColorStop, 2> stops = map.firstTwoStops();
    stops[0].height = project.GetMinElevation();
    stops[1].height = project.GetMaxElevation();
    map.setStops(stops.data(), 2);
}

}  // namespace

std::vector<std::string> expandLayerPaths(const std::vector<std::string>& paths,
                                          std::vector<std::string>* missing) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (isInternetPath(path)) {
            files.push_back(path);
        } else if (std::filesystem::is_directory(path, error)) {
            for (std::string& tile : tilesOfFolder(path))
                files.push_back(std::move(tile));
            for (std::string& source : demSourcesOfFolder(path))
                files.push_back(std::move(source));
        } else if (std::filesystem::exists(path, error) || isArchiveMemberPath(path)) {
            files.push_back(path);
        } else if (missing) {
            missing->push_back(path);
        }
    }
    return files;
}

int loadLayerPaths(const std::vector<std::string>& paths, HMeshProject& project, LoadReport& report,
                   const LoadOptions& options) {
    const FolderListingScope listings;  // each folder is listed at most once per load
    const FetchLoadScope fetches;       // and its internet files share one time limit
    const std::vector<std::string> files = expandLayerPaths(paths, &report.missing);
    HxProgress* progress = options.progress;
    int added = 0;
    enum class DsmAnswer { NotAsked, Accepted, Refused } dsmAnswer = DsmAnswer::NotAsked;
    double dsmCellSize = options.dsmCellSize;
    // The file's name is made only for a progress that shows it: a load of 100,000 tiles
    // without one would spend a tenth of a second on names alone.
    auto say = [&](const char* format, const std::string& path) {
        if (!progress) return;
        std::string text = format;
        text.replace(text.find("%s"), 2, baseName(path));
        progress->SetText(text);
    };

    std::vector<DemRequest> demSources;
    bool stopped = false;  // Esc
    if (progress) progress->Begin();
    TileReadAhead readAhead(files);
    int64_t residentAtTrim = project.cellResidency().residentBytes();
    const int count = static_cast<int>(files.size());
    const long long mask = progress ? progress->StepMask(count) : 0;
    for (int i = 0; i < count; ++i) {
        const std::string& path = files[static_cast<size_t>(i)];
        const LayerKind kind = layerKindOfPath(path);
        // Each report may repaint the window: tiles, many and quick, are told once a step; every
        // other file, slow and shown in its own progress, is told.
        const bool told = progress && ((i & mask) == 0 || kind != LayerKind::MeshTile);
        if (told && progress->SetPos(i, count)) {
            stopped = true;
            break;
        }
        switch (kind) {
            case LayerKind::MeshTile:
                say("ミラド（標高メッシュ）%sを読み込み中...", path);
                break;
            case LayerKind::DsmPoints:
                if (dsmAnswer == DsmAnswer::NotAsked && options.askDsmCellSize) {
                    const std::optional<double> answer = options.askDsmCellSize();
                    dsmAnswer = answer && *answer >= 0.1 ? DsmAnswer::Accepted : DsmAnswer::Refused;
                    if (dsmAnswer == DsmAnswer::Accepted) dsmCellSize = *answer;
                }
                if (dsmAnswer == DsmAnswer::Refused) continue;
                say("DSM %sを読み込み中...", path);
                break;
            case LayerKind::Shapefile:
                say("シェープファイル %sを読み込み中...", path);
                break;
            case LayerKind::DemSource:
                demSources.push_back({path, 0.0});
                continue;
            case LayerKind::Image:
                say("%sを読み込み中...", path);
                break;
        }
        std::optional<LoadedLayer> ahead = readAhead.take(static_cast<size_t>(i));
        LoadedLayer layer =
            ahead ? std::move(*ahead) : loadLayer(path, kind, dsmCellSize, progress);
        if (!layer.loaded()) {
            report.unreadable.push_back({path, std::move(layer.reason), layer.problem, kind});
        } else if (!addLayer(project, layer)) {
            if (project.lastRefusal() == HMeshProject::Refusal::MemoryBudget)
                report.overBudget.push_back(path);
            else
                report.duplicates.push_back(path);
        } else {
            ++added;
            // Cells the cache can bring back are let go as the load goes, not only at its end:
            // a first load of a collection larger than the budget stays within it too.
            if (project.cellResidency().residentBytes() - residentAtTrim >
                kLoadIntakeBetweenTrims) {
                project.trimCells();
                residentAtTrim = project.cellResidency().residentBytes();
            }
        }
    }
    if (!demSources.empty() && !stopped)
        added += loadDemSources(demSources, options.dem, project, report, progress);
    // Tiles of another zone than the sources placed by an earlier load: the tiles decide.
    if (added > 0 && placedOutsideProjectZone(project))
        placeSourcesAgain(project, options.dem, true, report, progress);
    if (progress) progress->End();
    // The next load of these folders reads their tiles' records in one go.
    if (const std::shared_ptr<TileCache> cache = TileCache::active()) cache->saveIndexes();

    if (added > 0) {
        // The load read cells (sorting, the colour map): let what is over the budget go.
        project.trimCells();
        project.SortMeshes();
        project.UpdateExtent();
        // The range is taken after the extent update, which refreshes every mesh's minimum
        // and maximum.
        if (options.fitColourMap && *options.fitColourMap && project.meshCount() > 0) {
            fitColourMap(project);
            *options.fitColourMap = false;
        }
    }
    return added;
}

}  // namespace kov
