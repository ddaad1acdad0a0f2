// SPDX-License-Identifier: MIT
#include "core/data/HMeshProject.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <unistd.h>

#include "core/data/MeshNeighbourIndex.h"
#include "core/data/MeshPointIndex.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/data/cache/TileCache.h"

namespace kov {
namespace {

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename T>
T* elementAt(const std::vector<std::unique_ptr<T>>& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<size_t>(index)].get();
}

template <typename T>
int removeAt(std::vector<std::unique_ptr<T>>& list, int index, std::unique_ptr<T>* takeOver) {
    if (index < 0 || index >= static_cast<int>(list.size())) return 0;
    std::unique_ptr<T> removed = std::move(list[static_cast<size_t>(index)]);
    list.erase(list.begin() + index);
    if (takeOver) *takeOver = std::move(removed);
    return 1;
}

}  // namespace

HMeshProject::HMeshProject(const ProjectDefaults& defaults)
    : shapePenWidth(defaults.shape.penWidth),
      shapePenColor(defaults.shape.penColor),
      shapeFillAlpha(defaults.shape.fillAlpha),
      shapeFillColor(defaults.shape.fillColor),
      colorMapDefaults_(defaults.colorMap) {
    colorMaps_[0] = std::make_unique<ZarHColorMap>(colorMapDefaults_);
}

HMeshProject::~HMeshProject() {
    meshes_.clear();  // before the residency their cells report to
}

int64_t HMeshProject::defaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return int64_t{4} << 30;
    return static_cast<int64_t>(pages) * pageSize / 2;
}

bool HMeshProject::fitsBudget(int64_t bytes, const std::string& path) {
    if (bytes <= memoryBudget - memoryInUse_) return true;
    lastRefusal_ = Refusal::MemoryBudget;
    budgetRefusals_.push_back(path);
    return false;
}

// A mesh's cell size and extent as bits; +0.0 for -0.0, as the sizes compare numerically.
HMeshProject::Footprint HMeshProject::footprintOf(const ZarHMesh& mesh) {
    const double values[5] = {mesh.cellSize == 0.0 ? 0.0 : mesh.cellSize, mesh.xmin, mesh.ymin,
                              mesh.xmax, mesh.ymax};
    Footprint f;
    static_assert(sizeof f.bits == sizeof values);
    std::memcpy(f.bits.data(), values, sizeof values);
    return f;
}

size_t HMeshProject::FootprintHash::operator()(const Footprint& f) const {
    uint64_t h = 0;
    for (const uint64_t word : f.bits) {  // each word mixed in by a multiply and a shift
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return static_cast<size_t>(h);
}

int HMeshProject::AddMesh(std::unique_ptr<ZarHMesh>& mesh) {
    lastRefusal_ = Refusal::Null;
    if (!mesh) return 0;
    mesh->compactCells();
    const int64_t bytes = mesh->memoryBytes();
    // One look into the set: the footprint goes in now and out again if the budget refuses.
    const auto [footprint, fresh] = meshFootprints_.insert(footprintOf(*mesh));
    if (!fresh) {
        lastRefusal_ = Refusal::Duplicate;
        return 0;
    }
    if (!fitsBudget(bytes, mesh->path)) {
        meshFootprints_.erase(footprint);
        return 0;
    }
    take(bytes);
    lastRefusal_ = Refusal::None;
    mesh->owner = this;
    mesh->cells.setResidency(&cellResidency_);
    meshes_.push_back(std::move(mesh));
    invalidateNeighbourIndex();
    return 1;
}

int HMeshProject::AddImage(std::unique_ptr<ZarHImage>& image, bool allowDuplicate) {
    lastRefusal_ = Refusal::Null;
    if (!image) return 0;
    if (!allowDuplicate) {
        for (const auto& i : images_) {
            if (sameBits(i->xmin, image->xmin) && sameBits(i->ymin, image->ymin) &&
                sameBits(i->xmax, image->xmax) && sameBits(i->ymax, image->ymax)) {
                lastRefusal_ = Refusal::Duplicate;
                return 0;
            }
        }
    }
    const int64_t bytes = image->memoryBytes();
    if (!fitsBudget(bytes, image->path)) return 0;
    take(bytes);
    lastRefusal_ = Refusal::None;
    image->owner = this;
    images_.push_back(std::move(image));
    return 1;
}

int HMeshProject::AddShape(std::unique_ptr<ShpImport>& shape) {
    lastRefusal_ = Refusal::Null;
    if (!shape) return 0;
    const int64_t bytes = shape->memoryBytes();
    if (!fitsBudget(bytes, shape->path)) return 0;
    take(bytes);
    lastRefusal_ = Refusal::None;
    shapes_.push_back(std::move(shape));
    return 1;
}

ZarHMesh* HMeshProject::GetMesh(int index) const {
    return elementAt(meshes_, index);
}
ZarHImage* HMeshProject::GetImage(int index) const {
    return elementAt(images_, index);
}
ShpImport* HMeshProject::GetShape(int index) const {
    return elementAt(shapes_, index);
}

int HMeshProject::RemoveMesh(int index, std::unique_ptr<ZarHMesh>* takeOver) {
    if (ZarHMesh* mesh = GetMesh(index)) {
        release(mesh->memoryBytes());
        meshFootprints_.erase(footprintOf(*mesh));
        mesh->cells.setResidency(nullptr);
    }
    if (!removeAt(meshes_, index, takeOver)) return 0;
    invalidateNeighbourIndex();
    return 1;
}
int HMeshProject::RemoveImage(int index, std::unique_ptr<ZarHImage>* takeOver) {
    if (const ZarHImage* image = GetImage(index)) release(image->memoryBytes());
    return removeAt(images_, index, takeOver);
}
int HMeshProject::RemoveShape(int index, std::unique_ptr<ShpImport>* takeOver) {
    if (const ShpImport* shape = GetShape(index)) release(shape->memoryBytes());
    return removeAt(shapes_, index, takeOver);
}

void HMeshProject::trimCells() {
    cellResidency_.trim(std::max<int64_t>(0, memoryBudget - memoryInUse_));
}

void HMeshProject::take(int64_t bytes) {
    memoryInUse_ += bytes;
    ++layerRevision_;
}

void HMeshProject::release(int64_t bytes) {
    ++layerRevision_;
    memoryInUse_ = std::max<int64_t>(memoryInUse_ - bytes, 0);
}

void HMeshProject::UpdateExtent() {
    if (meshes_.empty()) return;
    MapRect united{meshes_[0]->xmin, meshes_[0]->ymin, meshes_[0]->xmax, meshes_[0]->ymax};
    for (const auto& m : meshes_) {
        m->UpdateMinMax();
        united.xmin = std::min(united.xmin, m->xmin);
        united.ymin = std::min(united.ymin, m->ymin);
        united.xmax = std::max(united.xmax, m->xmax);
        united.ymax = std::max(united.ymax, m->ymax);
    }
    extent = united;
    planeZone = meshes_[0]->zone;
    scaleX = scaleY = 1.0;
    offsetX = offsetY = offsetZ = 0.0;
    transformValid = 1;
}

int HMeshProject::GetExtent(MapRect& out) const {
    if (meshes_.empty()) return 0;
    out = extent;
    return 1;
}

double HMeshProject::GetMinElevation() const {
    if (meshes_.empty()) return 0.0;
    double lowest = meshes_[0]->minRaw * meshes_[0]->scale;
    for (const auto& m : meshes_)
        lowest = std::min(lowest, m->minRaw * m->scale);
    return lowest;
}

double HMeshProject::GetMaxElevation() const {
    if (meshes_.empty()) return 0.0;
    double highest = meshes_[0]->maxRaw * meshes_[0]->scale;
    for (const auto& m : meshes_)
        highest = std::max(highest, m->maxRaw * m->scale);
    return highest;
}

double HMeshProject::GetMaxCellSize() const {
    double largest = 0.0;
    for (const auto& m : meshes_)
        largest = std::max(largest, m->cellSize);
    return largest;
}

const MeshPointIndex& HMeshProject::pointIndex() const {
    std::lock_guard lock(neighbourIndexLock_);
    if (!pointIndex_) {
        std::vector<const ZarHMesh*> list;
        list.reserve(meshes_.size());
        for (const auto& m : meshes_)
            list.push_back(m.get());
        pointIndex_ = std::make_unique<MeshPointIndex>(list);
    }
    return *pointIndex_;
}

PointElevation HMeshProject::queryElevation(double x, double y, WaterCells water) const {
    PointElevation answer;
    // The later mesh in the list answers first; only the meshes that may hold the point are
    // tried.
    const std::vector<uint32_t>& candidates = pointIndex().candidates(x, y);
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const ZarHMesh& mesh = *meshes_[*it];
        double z = 0.0;
        if (mesh.GetElevation(x, y, z)) return {&mesh, CellKind::Elevation, z};
        if (!mesh.contains(x, y)) continue;
        answer.kind = CellKind::NoData;
        if (water == WaterCells::Answer &&
            mesh.GetRawValue(x, y) == static_cast<double>(MESH_WATER))
            return {&mesh, CellKind::Water, 0.0};
    }
    return answer;
}

const ZarHMesh* HMeshProject::FindElevation(double x, double y, double& z) const {
    const PointElevation answer = queryElevation(x, y, WaterCells::LookBelow);
    if (answer.kind != CellKind::Elevation) return nullptr;
    z = answer.z;
    return answer.mesh;
}

int HMeshProject::SortMeshes() {
    if (meshes_.empty()) return 0;
    const auto coarserFirst = [](const auto& a, const auto& b) {
        return a->cellSize > b->cellSize;
    };
    // Every draw sorts; an unchanged order keeps the neighbour index.
    if (!std::is_sorted(meshes_.begin(), meshes_.end(), coarserFirst)) {
        std::stable_sort(meshes_.begin(), meshes_.end(), coarserFirst);
        invalidateNeighbourIndex();
        ++meshOrderChanges_;
    }
    return 1;
}

PyramidCache HMeshProject::pyramidCacheOrActive() const {
    if (pyramidCache_.load || pyramidCache_.store) return pyramidCache_;
    // Else the tile cache the readers use keeps it, when there is one.
    const std::shared_ptr<TileCache> cache = TileCache::active();
    if (!cache) return {};
    return {[cache](const std::string& key) { return cache->loadBlob(key); },
            [cache](const std::string& key, const std::vector<uint8_t>& bytes) {
                return cache->storeBlob(key, bytes);
            }};
}

const OverviewPyramid* HMeshProject::overviewPyramid() {
    const uint64_t stamp = layerRevision_ + meshOrderChanges_;
    if (stamp != pyramidStamp_) {
        pyramid_.reset();  // its memory is free before the next one is built
        pyramid_ = OverviewPyramid::loadOrBuild(*this, pyramidCacheOrActive());
        pyramidStamp_ = stamp;
    }
    return pyramid_.get();
}

void HMeshProject::invalidateNeighbourIndex() {
    std::lock_guard lock(neighbourIndexLock_);
    neighbourIndex_.reset();
    pointIndex_.reset();
}

void HMeshProject::FindNeighbours(const ZarHMesh& mesh, MeshNeighbours& neighbours) const {
    std::lock_guard lock(neighbourIndexLock_);
    if (!neighbourIndex_) {
        std::vector<const ZarHMesh*> list;
        list.reserve(meshes_.size());
        for (const auto& m : meshes_)
            list.push_back(m.get());
        neighbourIndex_ = std::make_unique<MeshNeighbourIndex>(std::move(list));
    }
    neighbourIndex_->find(mesh, neighbours);
}

int HMeshProject::SampleProfile(const std::vector<FPoint>& polyline, double& spacing, int maxCount,
                                std::vector<FPoint>& samples, std::vector<CellKind>* kinds) const {
    const size_t n = polyline.size();
    if (n < 2) return 0;
    std::vector<double> distance(n, 0.0);
    for (size_t i = 1; i < n; ++i) {
        distance[i] = distance[i - 1] + std::hypot(polyline[i].x - polyline[i - 1].x,
                                                   polyline[i].y - polyline[i - 1].y);
    }
    const double length = distance[n - 1];

    // A sample at every step from the start and one at the end: a length that is a whole number
    // of steps (within rounding) ends on a step, which then is the end and comes only once.
    double steps = length / spacing;
    if (std::fabs(steps - std::round(steps)) <= 1e-9 * std::max(1.0, steps))
        steps = std::round(steps);
    // A profile has at least 3 samples: a smaller maximum is taken as 3.
    maxCount = std::max(maxCount, 3);
    double count = std::ceil(steps) + 1.0;
    if (!(count >= 3.0)) {  // also a NaN count from a zero or invalid spacing
        count = 3.0;
        spacing = length / 2.0;
    } else if (count > maxCount) {
        count = maxCount;
        spacing = length / (maxCount - 1);
    }
    const int total = static_cast<int>(count);

    double previousZ = 0.0;  // z of the previous intermediate sample
    size_t segment = 1;
    for (int k = 0; k < total; ++k) {
        const double d = k * spacing;
        FPoint sample;
        // The last sample is the end vertex whatever the count, so the end's rule holds for it.
        const bool endpoint = k == 0 || k == total - 1;
        if (k == total - 1) {
            sample = polyline[n - 1];
        } else if (k == 0) {
            sample = polyline[0];
        } else {
            // The distances only grow with k, so the segment search continues where it stopped.
            while (segment < n - 1 && d > distance[segment])
                ++segment;
            const double span = distance[segment] - distance[segment - 1];
            const double t = span > 0.0 ? (d - distance[segment - 1]) / span : 0.0;
            sample.x = (1.0 - t) * polyline[segment - 1].x + t * polyline[segment].x;
            sample.y = (1.0 - t) * polyline[segment - 1].y + t * polyline[segment].y;
        }
        // Water lets a mesh below give the ground; without ground the water cell is named.
        PointElevation found = queryElevation(sample.x, sample.y, WaterCells::LookBelow);
        double z = found.z;
        if (found.kind == CellKind::Elevation) {
            if (!endpoint) previousZ = z;
        } else {
            z = endpoint ? 0.0 : previousZ;
            if (found.kind == CellKind::NoData)
                found = queryElevation(sample.x, sample.y, WaterCells::Answer);
        }
        samples.push_back({sample.x, sample.y, z});
        if (kinds) kinds->push_back(found.kind);
    }
    return 1;
}

const ZarHColorMap* HMeshProject::colorMapSlot(int slot) const {
    if (slot < 0 || slot >= kColorMapSlots) slot = 0;
    return colorMaps_[static_cast<size_t>(slot)].get();
}

namespace {

// Slot 3: a two-stop ramp from green at 0 m to red at 45 m.
void setPresetRamp3(ZarHColorMap& map) {
    const ColorStop stops[] = {{0x00FF00, 0, 0.0}, {0x0000FF, 0, 45.0}};
    map.setStops(stops, 2);
}

// Slot 4: the eleven-entry ramp, whose last five entries are white at 0 m.
void setPresetRamp4(ZarHColorMap& map) {
    ColorStop stops[11] = {{0x80FF80, 0, 3.0},  {0x80FFFF, 0, 8.0},  {0x8080FF, 0, 15.0},
                           {0x4080FF, 0, 20.0}, {0xFF80FF, 0, 30.0}, {0x0000FF, 0, 40.0}};
    for (int i = 6; i < 11; ++i)
        stops[i] = ColorStop{0xFFFFFF, 0, 0.0};
    map.setStops(stops, 11);
}

}  // namespace

ZarHColorMap* HMeshProject::GetColorMap(int slot) {
    if (slot < 0 || slot >= kColorMapSlots) slot = 0;
    std::unique_ptr<ZarHColorMap>& entry = colorMaps_[static_cast<size_t>(slot)];
    if (!entry) {
        if (!colorMaps_[0]) colorMaps_[0] = std::make_unique<ZarHColorMap>(colorMapDefaults_);
        entry = colorMaps_[0]->clone();
        if (slot == 3) setPresetRamp3(*entry);
    }
    if (slot == 4 && entry->stopCount() < 11) setPresetRamp4(*entry);
    return entry.get();
}

void HMeshProject::SetColorMap(int slot, std::unique_ptr<ZarHColorMap> map) {
    if (slot < 0 || slot >= kColorMapSlots) slot = 0;
    colorMaps_[static_cast<size_t>(slot)] = std::move(map);
}

}  // namespace kov
