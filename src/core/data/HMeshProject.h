// SPDX-License-Identifier: MIT
// The data set of one project: meshes, image overlays, shapefile layers and display settings.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/data/CellResidency.h"
#include "core/data/OverviewPyramid.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHMesh.h"

namespace kov {

class ZarHImage;
class ShpImport;
class MeshNeighbourIndex;
class MeshPointIndex;

// A point of a polyline or profile: plane metres and an elevation (or 0).
// (Named FPoint: identifiers that begin with an underscore and a capital are reserved in C++.)
struct FPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct MapRect {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
};

// The settings a new project starts from. The desktop program reads them from its settings
// (sections "ColorMap" and "Shape"); the built-in values apply everywhere else, so that kovtool's
// results never depend on a settings file.
struct ShapeDisplayDefaults {
    double penWidth = 0.75;
    uint32_t penColor = 0;
    int32_t fillAlpha = 128;
    uint32_t fillColor = 0xFFFF80;
};
struct ProjectDefaults {
    ColorMapDefaults colorMap;
    ShapeDisplayDefaults shape;
};

// What the meshes show at a map point.
enum class CellKind {
    None,       // no mesh covers the point
    NoData,     // meshes cover it, none answered
    Water,      // a water cell answered
    Elevation,  // a mesh answered with an elevation
};
struct PointElevation {
    const ZarHMesh* mesh = nullptr;  // the mesh that answered
    CellKind kind = CellKind::None;
    double z = 0.0;  // metres, for CellKind::Elevation
};
// Whether a water cell answers a point query (the map shows water there) or lets the meshes
// below answer (one of them may know the ground).
enum class WaterCells { Answer, LookBelow };

class HMeshProject {
public:
    static constexpr int kColorMapSlots = 256;

    explicit HMeshProject(const ProjectDefaults& defaults = {});
    ~HMeshProject();
    HMeshProject(const HMeshProject&) = delete;
    HMeshProject& operator=(const HMeshProject&) = delete;

    // Add operations take ownership only when they answer 1; a refused element stays with the
    // caller, and lastRefusal says why. A mesh is refused when null or when a mesh of
    // numerically equal cell size and bit-for-bit equal extent is already present. Every kind
    // of layer is refused when its memory would take the layers' sum past memoryBudget.
    int AddMesh(std::unique_ptr<ZarHMesh>& mesh);
    // Unless duplicates are allowed, an image with a bit-for-bit equal extent is refused.
    int AddImage(std::unique_ptr<ZarHImage>& image, bool allowDuplicate);
    int AddShape(std::unique_ptr<ShpImport>& shape);

    enum class Refusal { None, Null, Duplicate, MemoryBudget };
    // Why the last add operation answered 0 (None after one that answered 1).
    Refusal lastRefusal() const { return lastRefusal_; }
    // The paths of the layers refused for the memory budget since the project was made, in
    // order, for the command that loaded them to name.
    const std::vector<std::string>& budgetRefusals() const { return budgetRefusals_; }

    // The most memory the layers of the project may hold together, in bytes; by default half
    // the machine's physical memory.
    int64_t memoryBudget = defaultMemoryBudget();
    static int64_t defaultMemoryBudget();
    // The memory the layers hold now (sum of their memoryBytes).
    int64_t memoryInUse() const { return memoryInUse_; }
    // The meshes' cells that can be let go and fetched again (from the tile cache): they count
    // against the budget while in memory, beyond memoryInUse.
    CellResidency& cellResidency() { return cellResidency_; }
    // Lets the least recently used of those cells go until the layers fit the budget. Call it
    // between pieces of work, never while another thread reads cells.
    void trimCells();
    // Counts every layer added or removed: tells whether the collection changed.
    uint64_t layerRevision() const { return layerRevision_; }

    // The overview pyramid of the meshes, loaded from the pyramid cache or built on first need
    // after the mesh list or its order changed; null without meshes. Call it between pieces of
    // work, as trimCells.
    const OverviewPyramid* overviewPyramid();
    // Where pyramids are kept between runs; none by default.
    // (Without one, the active tile cache keeps the pyramid.)
    void setPyramidCache(PyramidCache cache) { pyramidCache_ = std::move(cache); }
    // Whether renders of many meshes far zoomed out draw from the pyramid.
    bool drawOverviews = true;

    ZarHMesh* GetMesh(int index) const;
    ZarHImage* GetImage(int index) const;
    ShpImport* GetShape(int index) const;
    int meshCount() const { return static_cast<int>(meshes_.size()); }
    int imageCount() const { return static_cast<int>(images_.size()); }
    int shapeCount() const { return static_cast<int>(shapes_.size()); }

    // Removes an element; it is deleted unless the caller takes it over through takeOver.
    int RemoveMesh(int index, std::unique_ptr<ZarHMesh>* takeOver = nullptr);
    int RemoveImage(int index, std::unique_ptr<ZarHImage>* takeOver = nullptr);
    int RemoveShape(int index, std::unique_ptr<ShpImport>* takeOver = nullptr);

    // Union extent and project zone of the meshes; also refreshes every mesh's min and max.
    void UpdateExtent();
    // The extent as of the last UpdateExtent; 0 when there is no mesh.
    int GetExtent(MapRect& extent) const;
    double GetMinElevation() const;
    double GetMaxElevation() const;
    double GetMaxCellSize() const;

    // The one point query: the meshes are asked last first (finer meshes, sorted last and drawn
    // on top, answer first); a no-data cell lets the mesh below answer.
    PointElevation queryElevation(double x, double y, WaterCells water) const;
    // The first mesh, asked last first, that knows the elevation (water and no-data cells let
    // the mesh below answer); null when none does (z untouched).
    const ZarHMesh* FindElevation(double x, double y, double& z) const;
    // Coarsest first, stable, so that finer meshes (asked first) win where meshes overlap.
    int SortMeshes();
    // The 3 x 3 neighbourhood of a mesh: meshes of the same cell size whose edges meet the
    // mesh's within 1e-10 m; a later mesh in the list wins a slot. Looked up in an index that is
    // rebuilt after the list changed, so a call costs the same for any number of meshes. The
    // meshes' extents and cell sizes must not change once they were added.
    void FindNeighbours(const ZarHMesh& mesh, MeshNeighbours& neighbours) const;
    // Samples elevations along a polyline at the given spacing (written back as used) and appends
    // them to samples: at least 3 and at most maxCount (a maximum below 3 counts as 3), the last
    // at the end vertex; 0 for fewer than two vertices. Where no ground answers, z is filled in
    // for drawing (0 at the ends, else the previous sample's); kinds, when given, receives what
    // each sample really found.
    int SampleProfile(const std::vector<FPoint>& polyline, double& spacing, int maxCount,
                      std::vector<FPoint>& samples, std::vector<CellKind>* kinds = nullptr) const;

    // The colour map of a slot (outside 0..255 means 0). An empty slot is filled with a copy of
    // slot 0 on first request; slots 3 and 4 carry preset ramps.
    ZarHColorMap* GetColorMap(int slot);
    // Slot 0 (or another filled slot) without filling anything; null for an empty slot.
    const ZarHColorMap* colorMapSlot(int slot) const;
    // Replaces the slot's colour map (the previous one is deleted).
    void SetColorMap(int slot, std::unique_ptr<ZarHColorMap> map);

    // Display settings carried with the data set.
    int32_t showSheetInfo = 1;
    int32_t stepMode = 0;  // 0 gradient, 1 step colours, 2 step colours with band edges
    double stepHeight = 5.0;
    MapRect extent;
    int32_t planeZone = 9;
    int32_t transformValid = 1;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    double offsetZ = 0.0;
    std::string projectTitle = "標高メッシュプロジェクト";
    std::string projectPath;
    int32_t imageVisible = 1;
    int32_t imageTransparency = 50;
    double shapePenWidth = 0.75;
    uint32_t shapePenColor = 0;
    int32_t shapeFillAlpha = 128;
    uint32_t shapeFillColor = 0xFFFF80;

private:
    std::vector<std::unique_ptr<ZarHMesh>> meshes_;
    std::vector<std::unique_ptr<ZarHImage>> images_;
    std::vector<std::unique_ptr<ShpImport>> shapes_;
    std::array<std::unique_ptr<ZarHColorMap>, kColorMapSlots> colorMaps_;
    ColorMapDefaults colorMapDefaults_;  // for slot 0 when it was emptied
    // Whether a layer of the given size fits the budget; records the refusal when not.
    bool fitsBudget(int64_t bytes, const std::string& path);
    void take(int64_t bytes);     // a layer was added
    void release(int64_t bytes);  // a layer was removed
    Refusal lastRefusal_ = Refusal::None;
    std::vector<std::string> budgetRefusals_;
    int64_t memoryInUse_ = 0;
    uint64_t layerRevision_ = 0;
    CellResidency cellResidency_;
    PyramidCache pyramidCacheOrActive() const;
    PyramidCache pyramidCache_;
    std::unique_ptr<OverviewPyramid> pyramid_;
    uint64_t meshOrderChanges_ = 0;  // reorderings by SortMeshes
    // layerRevision_ + meshOrderChanges_ when pyramid_ was made; the pyramid is stale otherwise.
    uint64_t pyramidStamp_ = ~uint64_t{0};
    // Cell size and extent of every mesh, bit for bit: the duplicate test of AddMesh. Held in
    // the set's nodes, so that a test of 100,000 meshes reads no more memory than it must.
    struct Footprint {
        std::array<uint64_t, 5> bits;
        bool operator==(const Footprint&) const = default;
    };
    struct FootprintHash {
        size_t operator()(const Footprint& f) const;
    };
    static Footprint footprintOf(const ZarHMesh& mesh);
    std::unordered_set<Footprint, FootprintHash> meshFootprints_;

    // Built on first use after the mesh list changed.
    // Drops the neighbour and point indexes (the mesh list or its order changed).
    void invalidateNeighbourIndex();
    const MeshPointIndex& pointIndex() const;
    mutable std::mutex neighbourIndexLock_;
    mutable std::unique_ptr<MeshNeighbourIndex> neighbourIndex_;
    mutable std::unique_ptr<MeshPointIndex> pointIndex_;
};

}  // namespace kov
