// SPDX-License-Identifier: MIT
#include "core/project/DemLoading.h"

#include <algorithm>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/cache/TileCache.h"
#include "core/data/dem/DemSource.h"
#include "core/data/dem/FgGmlReader.h"
#include "core/data/dem/RasterDem.h"
#include "core/data/dem/ZipArchive.h"
#include "core/data/dem/ZonePlacement.h"
#include "core/project/LayerLoader.h"
#include "core/project/PlacedSourceCache.h"

namespace kov {
namespace {

// An FG-GML DEM1A file holds some 20 MB of text; nothing near this bound is a DEM file.
constexpr uint64_t kMaxFgGmlFileBytes = uint64_t{256} << 20;

struct Source {
    std::string path;
    double cellSize = 0.0;  // as requested; 0: the settings' or the source's own
    GeoGrid grid;
    bool hasCentre = false;
    double latitude = 0.0;
    double longitude = 0.0;
};

// Reads the sources of the requests one by one, files and zips alike; what cannot be read goes
// to the report.
class SourceReader {
public:
    explicit SourceReader(LoadReport& report) : report_(report) {}

    void read(const DemRequest& request) {
        ArchivePath inArchive;
        if (splitArchivePath(request.path, inArchive)) {
            members_[inArchive.file][inArchive.joined()] = request.cellSize;
            return;
        }
        const DemProbe probe = probeDemFile(request.path);
        switch (probe.kind) {
            case DemFileKind::FgGml:
                readFgGmlFile(request);
                break;
            case DemFileKind::FgGmlZip:
                readWholeZip(request);
                break;
            case DemFileKind::RasterDem:
                readRaster(request, probe);
                break;
            case DemFileKind::None:
                refuse(request.path,
                       "not an elevation source" + (probe.why.empty() ? "" : ": " + probe.why));
                break;
        }
    }

    // The members named one by one (project files), each zip walked once for all of them.
    void readNamedMembers() {
        for (const auto& [file, wanted] : members_) {
            std::map<std::string, double> left = wanted;
            walk(
                file, [&](const std::string& member) { return left.count(member) > 0; },
                [&](const std::string& member) { return left.at(member); }, &left);
            for (const auto& [member, cellSize] : left)
                refuse(member, "no such FG-GML DEM file in the zip");
        }
    }

    // The sources read, in the order of the requests, once every parse has ended.
    std::vector<Source>& sources() {
        while (!parsing_.empty())
            collectParse();
        return sources_;
    }

private:
    void refuse(const std::string& path, std::string reason) {
        report_.unreadable.push_back(
            {path, std::move(reason), LoadProblem::Damaged, LayerKind::DemSource});
    }

    // Parses an FG-GML document on a worker thread while the next is taken out of its zip: at
    // most one per core at a time, taken in the order they came.
    void addFgGml(const std::string& path, double cellSize, std::vector<uint8_t> bytes) {
        ++accepted_;
        if (parsing_.size() >= parsesAhead_) collectParse();
        parsing_.push_back(std::async(std::launch::async, [path, cellSize,
                                                           bytes = std::move(bytes)] {
            Parse parse;
            Source& source = parse.source;
            source.path = path;
            source.cellSize = cellSize;
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (!readFgGmlDem(text, source.grid, &parse.error)) return parse;
            // The document states the spacing ("FG-GML DEM5"), the file's name the class too.
            if (const std::string named = fgGmlDemTypeOfName(baseName(path)); !named.empty())
                source.grid.kind = "FG-GML DEM" + named;
            source.hasCentre = true;
            source.latitude = (source.grid.north + source.grid.south()) / 2;
            source.longitude = (source.grid.west + source.grid.east()) / 2;
            return parse;
        }));
    }

    void collectParse() {
        Parse parse = parsing_.front().get();
        parsing_.pop_front();
        if (parse.error.empty())
            sources_.push_back(std::move(parse.source));
        else
            refuse(parse.source.path, std::move(parse.error));
    }

    void readFgGmlFile(const DemRequest& request) {
        std::string reason;
        const auto file = openFile(request.path, {}, &reason, kMaxFgGmlFileBytes);
        if (!file) {
            refuse(request.path, reason);
            return;
        }
        const std::string_view text = file->contents();
        addFgGml(request.path, request.cellSize, std::vector<uint8_t>(text.begin(), text.end()));
    }

    void readWholeZip(const DemRequest& request) {
        const size_t before = accepted_;
        const size_t refusedBefore = report_.unreadable.size();
        walk(
            request.path,
            [](const std::string& member) {
                return equalsIgnoringCase(fileExtension(member), ".xml");
            },
            [&](const std::string&) { return request.cellSize; }, nullptr);
        if (accepted_ == before && report_.unreadable.size() == refusedBefore)
            refuse(request.path, "the zip holds no FG-GML DEM file");
    }

    // Reads the selected members of a zip (zips inside it included); found members are taken
    // out of *left when given.
    template <typename Select, typename CellSizeOf>
    void walk(const std::string& file, Select select, CellSizeOf cellSizeOf,
              std::map<std::string, double>* left) {
        std::vector<RefusedMember> refused;
        std::string error;
        const bool opened = visitArchiveMembers(
            file, select,
            [&](const std::string& member, std::vector<uint8_t>& bytes) {
                const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                            bytes.size());
                if (!looksLikeFgGmlDem(text.substr(0, 4096))) {
                    if (left) refuse(member, "not an FG-GML DEM file");
                } else {
                    addFgGml(member, cellSizeOf(member), std::move(bytes));
                }
                if (left) left->erase(member);
                return true;
            },
            &refused, &error);
        if (!opened) {
            if (left) left->clear();
            refuse(file, error);
        }
        for (RefusedMember& member : refused) {
            if (left) left->erase(member.path);
            refuse(member.path, std::move(member.reason));
        }
    }

    void readRaster(const DemRequest& request, const DemProbe& probe) {
        Source source;
        source.path = request.path;
        source.cellSize = request.cellSize;
        std::string error;
        if (!readRasterDem(request.path, source.grid, &error)) {
            refuse(request.path, error);
            return;
        }
        source.hasCentre = probe.hasCentre;
        source.latitude = probe.latitude;
        source.longitude = probe.longitude;
        sources_.push_back(std::move(source));
    }

    struct Parse {
        Source source;
        std::string error;
    };
    LoadReport& report_;
    std::vector<Source> sources_;
    std::deque<std::future<Parse>> parsing_;
    const size_t parsesAhead_ = std::max(1u, std::thread::hardware_concurrency());
    size_t accepted_ = 0;  // FG-GML documents handed to a parse
    // Members named one by one, by zip file: their paths and requested cell sizes.
    std::map<std::string, std::map<std::string, double>> members_;
};

GeodeticDatum datumOfSource(const std::string& datumName) {
    return datumName == "JGD2000" ? GeodeticDatum::kJgd2000 : GeodeticDatum::kJgd2011;
}

bool isPlaced(const ZarHMesh& mesh) {
    return dynamic_cast<const ZarDemMesh*>(&mesh) != nullptr;
}

// The first mesh not placed from a source: the one whose zone the sources take.
const ZarHMesh* zoneDecidingMesh(const HMeshProject& project) {
    for (int i = 0; i < project.meshCount(); ++i)
        if (!isPlaced(*project.GetMesh(i))) return project.GetMesh(i);
    return nullptr;
}

ZoneBasis zoneBasis(const HMeshProject& project) {
    const ZarHMesh* deciding = zoneDecidingMesh(project);
    if (!deciding && project.meshCount() > 0) deciding = project.GetMesh(0);
    if (!deciding) return {};
    return {true, deciding->zone, deciding->datum};
}

ZoneGrid targetOf(const ZoneBasis& basis, const DemSettings& settings, double latitude,
                  double longitude, const std::string& firstSourceDatum) {
    ZoneGrid target;
    if (basis.known) {
        target.zone = basis.zone;
        target.datum = basis.datum;
    } else {
        target.zone = settings.zone ? *settings.zone : zoneNearest(latitude, longitude);
        target.datum = settings.datum != GeodeticDatum::kUnstated ? settings.datum
                                                                  : datumOfSource(firstSourceDatum);
    }
    if (settings.cellSize) target.cellSize = *settings.cellSize;
    return target;
}

// The placed meshes of one load, in the order it adds them (path and name set).
struct PlacedLoad {
    std::vector<std::unique_ptr<ZarDemMesh>> meshes;
    std::vector<std::string> companions;  // what the rasters were read from besides their files
    bool cancelled = false;
};

// Reads every request and places the sources; what cannot be read or placed goes to the report.
PlacedLoad readAndPlace(const std::vector<DemRequest>& requests, const DemSettings& settings,
                        const ZoneBasis& basis, LoadReport& report, HxProgress* progress) {
    PlacedLoad load;
    SourceReader reader(report);
    const int count = static_cast<int>(requests.size());
    for (int i = 0; i < count; ++i) {
        const DemRequest& request = requests[static_cast<size_t>(i)];
        if (progress) {
            if (progress->SetPos(i, count)) {
                load.cancelled = true;
                break;
            }
            progress->SetText("標高データ " + baseName(request.path) + "を読み込み中...");
        }
        reader.read(request);
    }
    reader.readNamedMembers();
    std::vector<Source>& sources = reader.sources();
    if (sources.empty()) return load;

    const Source& first = sources.front();
    const ZoneGrid zone =
        targetOf(basis, settings, first.latitude, first.longitude, first.grid.datumName);
    // Sources of one cell size are placed together (neighbours help each other's edges).
    std::map<double, std::vector<Source*>> byCellSize;
    for (Source& source : sources) {
        double cellSize = source.cellSize;
        if (!(cellSize > 0)) cellSize = settings.cellSize ? *settings.cellSize : 0.0;
        if (!(cellSize > 0))
            cellSize = source.grid.nominalSpacing > 0 ? source.grid.nominalSpacing : 5.0;
        byCellSize[cellSize].push_back(&source);
        load.companions.insert(load.companions.end(), source.grid.files.begin(),
                               source.grid.files.end());
    }
    for (const auto& [cellSize, group] : byCellSize) {
        ZoneGrid target = zone;
        target.cellSize = cellSize;
        std::vector<const GeoGrid*> grids;
        for (const Source* source : group)
            grids.push_back(&source->grid);
        std::vector<std::string> errors;
        std::vector<std::unique_ptr<ZarDemMesh>> meshes = placeGrids(grids, target, errors);
        for (size_t i = 0; i < group.size(); ++i) {
            const std::string& path = group[i]->path;
            if (i >= meshes.size() || !meshes[i]) {
                report.unreadable.push_back({path,
                                             i < errors.size() ? errors[i] : "cannot be placed",
                                             LoadProblem::Damaged, LayerKind::DemSource});
                continue;
            }
            meshes[i]->path = path;
            meshes[i]->name = baseName(path);
            // As the project would hold them: the cache then keeps and maps 16-bit cells.
            meshes[i]->compactCells();
            load.meshes.push_back(std::move(meshes[i]));
        }
    }
    return load;
}

// The requests of a cached load, read and placed again when an entry went bad under a mesh:
// the whole load once, each mesh then handed out to its entry's reader (the rest are kept till
// asked for, as many cells as a fresh load holds).
class PlacingAgain {
public:
    PlacingAgain(std::vector<DemRequest> requests, DemSettings settings, ZoneBasis basis)
        : requests_(std::move(requests)), settings_(std::move(settings)), basis_(basis) {}

    std::unique_ptr<ZarHMesh> take(size_t index) {
        const std::lock_guard hold(lock_);
        if (index >= placed_.size() || !placed_[index]) {
            LoadReport ignored;
            placed_ = readAndPlace(requests_, settings_, basis_, ignored, nullptr).meshes;
        }
        if (index >= placed_.size()) return nullptr;
        return std::move(placed_[index]);
    }

private:
    const std::vector<DemRequest> requests_;
    const DemSettings settings_;
    const ZoneBasis basis_;
    std::mutex lock_;
    std::vector<std::unique_ptr<ZarDemMesh>> placed_;
};

// The meshes of a load from the cache, their cells let go; none unless the manifest and every
// entry are sound and what the rasters were read from is unchanged.
std::optional<std::vector<std::unique_ptr<ZarDemMesh>>> cachedPlacement(
    TileCache& cache, const std::string& key, const std::vector<DemRequest>& requests,
    const DemSettings& settings, const ZoneBasis& basis) {
    const std::string digest = placementDigest(key);
    const std::optional<std::vector<uint8_t>> bytes = cache.loadBlob(placementManifestKey(digest));
    if (!bytes) return std::nullopt;
    const std::optional<PlacementManifest> manifest = decodeManifest(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (!manifest) {
        cache.noteProblem(
            {CacheProblem::Kind::EntryDamaged, cache.entryPath(placementManifestKey(digest)), {}});
        return std::nullopt;
    }
    if (manifest->key != key || companionKey(manifest->companions) != manifest->companionKey)
        return std::nullopt;
    auto again = std::make_shared<PlacingAgain>(requests, settings, basis);
    std::vector<std::unique_ptr<ZarDemMesh>> meshes;
    for (size_t i = 0; i < manifest->meshes.size(); ++i) {
        const PlacedMeshNote& note = manifest->meshes[i];
        auto mesh = std::make_unique<ZarDemMesh>();
        if (!cache.loadMesh(placedMeshKey(digest, i), *mesh,
                            [again, i]() { return again->take(i); })) {
            return std::nullopt;
        }
        mesh->path = note.path;
        mesh->sourceKind = note.sourceKind;
        mesh->sourceDatum = note.sourceDatum;
        mesh->sourceCrs = note.sourceCrs;
        mesh->sourceCounts = note.sourceCounts;
        mesh->sourceSpacing = note.sourceSpacing;
        meshes.push_back(std::move(mesh));
    }
    return meshes;
}

// Writes every placed mesh's entry, then the manifest that names them.
void storePlacement(TileCache& cache, const std::string& key, const PlacedLoad& load) {
    const std::optional<std::string> companions = companionKey(load.companions);
    if (!companions) return;
    const std::string digest = placementDigest(key);
    PlacementManifest manifest{key, load.companions, *companions, {}};
    for (size_t i = 0; i < load.meshes.size(); ++i) {
        const ZarDemMesh& mesh = *load.meshes[i];
        if (!cache.storeMesh(placedMeshKey(digest, i), mesh)) return;
        manifest.meshes.push_back({mesh.path, mesh.sourceKind, mesh.sourceDatum, mesh.sourceCrs,
                                   mesh.sourceCounts, mesh.sourceSpacing});
    }
    cache.storeBlob(placementManifestKey(digest), encodeManifest(manifest));
}

int addPlaced(std::vector<std::unique_ptr<ZarDemMesh>>& placed, HMeshProject& project,
              LoadReport& report) {
    int added = 0;
    for (std::unique_ptr<ZarDemMesh>& placedMesh : placed) {
        const std::string path = placedMesh->path;
        std::unique_ptr<ZarHMesh> mesh = std::move(placedMesh);
        if (project.AddMesh(mesh)) {
            ++added;
        } else if (project.lastRefusal() == HMeshProject::Refusal::MemoryBudget) {
            report.overBudget.push_back(path);
        } else {
            report.duplicates.push_back(path);
        }
    }
    return added;
}

}  // namespace

ZoneGrid demTarget(const HMeshProject& project, const DemSettings& settings, double latitude,
                   double longitude, const std::string& firstSourceDatum) {
    return targetOf(zoneBasis(project), settings, latitude, longitude, firstSourceDatum);
}

int loadDemSources(const std::vector<DemRequest>& requests, const DemSettings& settings,
                   HMeshProject& project, LoadReport& report, HxProgress* progress) {
    const ZoneBasis basis = zoneBasis(project);
    const std::shared_ptr<TileCache> cache = TileCache::active();
    const std::optional<std::string> key =
        cache ? placementKey(requests, settings, basis) : std::nullopt;
    if (key) {
        if (auto meshes = cachedPlacement(*cache, *key, requests, settings, basis)) {
            if (progress) progress->SetPos(1, 1);
            return addPlaced(*meshes, project, report);
        }
    }
    const size_t refusedBefore = report.unreadable.size();
    PlacedLoad load = readAndPlace(requests, settings, basis, report, progress);
    // Only a whole load is kept (its report then holds no refusal), and only what the files held
    // from before the read to after it.
    if (key && !load.cancelled && !load.meshes.empty() &&
        report.unreadable.size() == refusedBefore && placementKey(requests, settings, basis) == key)
        storePlacement(*cache, *key, load);
    return addPlaced(load.meshes, project, report);
}

const ZarHMesh* firstPlacedMesh(const HMeshProject& project) {
    for (int i = 0; i < project.meshCount(); ++i)
        if (isPlaced(*project.GetMesh(i))) return project.GetMesh(i);
    return nullptr;
}

bool placedOutsideProjectZone(const HMeshProject& project) {
    const ZarHMesh* placed = firstPlacedMesh(project);
    const ZarHMesh* deciding = zoneDecidingMesh(project);
    return placed && deciding &&
           planeRectangularEpsg(placed->datum, placed->zone) !=
               planeRectangularEpsg(deciding->datum, deciding->zone);
}

int placeSourcesAgain(HMeshProject& project, const DemSettings& settings, bool keepCellSizes,
                      LoadReport& report, HxProgress* progress) {
    std::vector<DemRequest> sources;
    for (int i = project.meshCount() - 1; i >= 0; --i) {
        const ZarHMesh& mesh = *project.GetMesh(i);
        if (!isPlaced(mesh)) continue;
        sources.insert(sources.begin(), {mesh.path, keepCellSizes ? mesh.cellSize : 0.0});
        project.RemoveMesh(i);
    }
    const int placed = loadDemSources(sources, settings, project, report, progress);
    project.SortMeshes();
    project.UpdateExtent();
    return placed;
}

}  // namespace kov
