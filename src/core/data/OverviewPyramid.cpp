// SPDX-License-Identifier: MIT
#include "core/data/OverviewPyramid.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "core/data/HMeshProject.h"

namespace kov {
namespace {

constexpr char kMagic[8] = {'K', 'O', 'V', 'O', 'V', 'R', 'V', 'W'};
constexpr uint32_t kVersion = 1;
constexpr int kMaxLevels = 40;

// FNV-1a, 64 bits: the checksum of a stored pyramid and the hash of a collection's key.
uint64_t fnv1a(const uint8_t* data, size_t n, uint64_t hash = 0xcbf29ce484222325ull) {
    for (size_t i = 0; i < n; ++i) {
        hash ^= data[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// The union of the meshes' extents and the smallest cell width; false without a mesh with cells.
bool collectionFrame(const HMeshProject& project, MapRect& extent, double& finest, double& scale) {
    bool any = false;
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        if (m.cols < 1 || m.rows < 1 || !(m.width() > 0.0) || !(m.height() > 0.0)) continue;
        const double cell = m.width() / m.cols;
        if (!any) {
            extent = {m.xmin, m.ymin, m.xmax, m.ymax};
            finest = cell;
            scale = m.scale;
            any = true;
            continue;
        }
        extent = {std::min(extent.xmin, m.xmin), std::min(extent.ymin, m.ymin),
                  std::max(extent.xmax, m.xmax), std::max(extent.ymax, m.ymax)};
        finest = std::min(finest, cell);
        scale = std::min(scale, m.scale);
    }
    return any && finest > 0.0 && std::isfinite(extent.xmax - extent.xmin) &&
           std::isfinite(extent.ymax - extent.ymin);
}

// Cells a side of a level of `size` metres over `span` metres.
int64_t cellsOver(double span, double size) {
    return std::max<int64_t>(1, static_cast<int64_t>(std::ceil(span / size - 1e-9)));
}

// Pairs (level index, mesh index) of the level cells along one axis whose centres lie in the
// mesh, the mesh index found as the point query finds it.
void centresInside(double origin, double size, int64_t count, double lo, double hi, int meshCells,
                   std::vector<std::pair<int, int>>& out) {
    out.clear();
    const int64_t first = std::max<int64_t>(0, static_cast<int64_t>((lo - origin) / size) - 1);
    const int64_t last =
        std::min<int64_t>(count - 1, static_cast<int64_t>((hi - origin) / size) + 1);
    for (int64_t i = first; i <= last; ++i) {
        const double u = (origin + (i + 0.5) * size - lo) / (hi - lo);
        if (!(u >= 0.0 && u < 1.0)) continue;
        const int index = std::min(static_cast<int>(u * meshCells), meshCells - 1);
        out.emplace_back(static_cast<int>(i), index);
    }
}

// A mesh's code in units of the level's scale.
int32_t rescaled(int32_t code, double meshScale, double levelScale) {
    if (meshScale == levelScale || isSpecialCode(code)) return code;
    return static_cast<int32_t>(std::llround(code * meshScale / levelScale));
}

// Writes the mesh's answers at the level's cell centres: elevations and water replace what the
// meshes before it answered, no-data cells leave it.
struct SampleScratch {
    std::vector<int32_t> codes;
    std::vector<std::pair<int, int>> xs, ys;
};
void sampleInto(const ZarHMesh& mesh, ZarHMesh& level, SampleScratch& scratch) {
    auto& xs = scratch.xs;
    auto& ys = scratch.ys;
    centresInside(level.xmin, level.cellSize, level.cols, mesh.xmin, mesh.xmax, mesh.cols, xs);
    centresInside(level.ymin, level.cellSize, level.rows, mesh.ymin, mesh.ymax, mesh.rows, ys);
    if (xs.empty() || ys.empty()) return;
    int32_t* cells = level.cells.data();
    for (const auto& [levelRow, meshRow] : ys) {
        const int32_t* codes = mesh.rowCodes(meshRow, scratch.codes);
        if (!codes) return;  // cells that cannot be had answer nothing
        int32_t* out = cells + static_cast<size_t>(levelRow) * level.cols;
        for (const auto& [levelCol, meshCol] : xs) {
            const int32_t code = codes[meshCol];
            if (code != MESH_NODATA) out[levelCol] = rescaled(code, mesh.scale, level.scale);
        }
    }
}

// Little-endian writing and bounds-checked reading of the stored form.
class ByteWriter {
public:
    template <class T>
    void put(T value) {
        uint8_t raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        bytes.insert(bytes.end(), raw, raw + sizeof(T));
    }
    void putBytes(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + n);
    }
    std::vector<uint8_t> bytes;
};

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    template <class T>
    T get() {
        T value{};
        getBytes(&value, sizeof(T));
        return value;
    }
    void getBytes(void* out, size_t n) {
        if (!ok || n > size_ - pos_) {
            ok = false;
            return;
        }
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
    }
    bool atEnd() const { return pos_ == size_; }
    bool ok = true;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

static_assert(std::endian::native == std::endian::little, "the stored form is little-endian");

void writeLevel(ByteWriter& w, int shift, const ZarHMesh& m) {
    w.put<int32_t>(shift);
    w.put<int32_t>(m.cols);
    w.put<int32_t>(m.rows);
    w.put<double>(m.xmin);
    w.put<double>(m.ymin);
    w.put<double>(m.cellSize);
    w.put<double>(m.scale);
    w.put<int32_t>(m.zone);
    w.put<int32_t>(m.minRaw);
    w.put<int32_t>(m.maxRaw);
    const MeshCells& cells = m.cells;
    w.put<uint8_t>(cells.isCompact() ? 1 : 0);
    if (cells.isCompact()) {
        w.put<int32_t>(cells.coding().offset);
        w.put<int32_t>(cells.coding().step);
        w.putBytes(cells.compactValues(), cells.size() * sizeof(uint16_t));
    } else {
        w.putBytes(cells.codes(0, cells.size(), nullptr), cells.size() * sizeof(int32_t));
    }
}

// One level, or null when its fields are out of bounds.
std::unique_ptr<ZarHMesh> readLevel(ByteReader& r, int& shift) {
    auto m = std::make_unique<ZarHMesh>();
    shift = r.get<int32_t>();
    m->cols = r.get<int32_t>();
    m->rows = r.get<int32_t>();
    m->xmin = r.get<double>();
    m->ymin = r.get<double>();
    m->cellSize = r.get<double>();
    m->scale = r.get<double>();
    m->zone = r.get<int32_t>();
    m->minRaw = r.get<int32_t>();
    m->maxRaw = r.get<int32_t>();
    const bool compact = r.get<uint8_t>() == 1;
    if (!r.ok || shift < 1 || shift > kMaxLevels || m->cols < 1 || m->rows < 1 ||
        int64_t{m->cols} * m->rows > ZarHMesh::kMaxCells || !(m->cellSize > 0.0) ||
        !std::isfinite(m->xmin) || !std::isfinite(m->ymin) || !(m->scale > 0.0)) {
        return nullptr;
    }
    const size_t count = static_cast<size_t>(m->cols) * m->rows;
    m->xmax = m->xmin + m->cols * m->cellSize;
    m->ymax = m->ymin + m->rows * m->cellSize;
    if (compact) {
        CompactCoding coding;
        coding.offset = r.get<int32_t>();
        coding.step = r.get<int32_t>();
        auto values = std::make_shared<std::vector<uint16_t>>(count);
        r.getBytes(values->data(), count * sizeof(uint16_t));
        m->cells.adoptCompact(values->data(), count, coding, values);
    } else {
        std::vector<int32_t, LargeBlockAllocator<int32_t>> codes(count);
        r.getBytes(codes.data(), count * sizeof(int32_t));
        m->cells.adoptFull(std::move(codes));
    }
    if (!r.ok) return nullptr;
    m->name = "overview " + std::to_string(shift);
    return m;
}

}  // namespace

std::unique_ptr<OverviewPyramid> OverviewPyramid::build(HMeshProject& project) {
    MapRect extent;
    double finest = 0.0, scale = 1.0;
    if (!collectionFrame(project, extent, finest, scale)) return nullptr;
    const double spanX = extent.xmax - extent.xmin, spanY = extent.ymax - extent.ymin;

    auto pyramid = std::make_unique<OverviewPyramid>();
    pyramid->finestCellSize_ = finest;
    for (int shift = 1; shift <= kMaxLevels; ++shift) {
        const double size = std::ldexp(finest, shift);
        const int64_t cols = cellsOver(spanX, size), rows = cellsOver(spanY, size);
        if (std::max(cols, rows) > kFirstLevelSide) continue;
        auto level = std::make_unique<ZarHMesh>();
        if (!level->allocateCells(cols, rows)) return nullptr;
        level->cellSize = size;
        level->scale = scale;
        level->xmin = extent.xmin;
        level->ymin = extent.ymin;
        level->xmax = extent.xmin + cols * size;
        level->ymax = extent.ymin + rows * size;
        level->zone = project.planeZone;
        level->name = "overview " + std::to_string(shift);
        pyramid->levels_.push_back({shift, std::move(level)});
        if (std::max(cols, rows) <= kLastLevelSide) break;
    }
    if (pyramid->levels_.empty()) return nullptr;

    SampleScratch scratch;
    for (int i = 0; i < project.meshCount(); ++i) {
        ZarHMesh& mesh = *project.GetMesh(i);
        if (mesh.cols < 1 || mesh.rows < 1 || !(mesh.width() > 0.0) || !(mesh.height() > 0.0))
            continue;
        // Cells the build brings back go again at once: the residency keeps what the views read,
        // and trimming it after each of 100,000 meshes would sort its 16,384 entries each time.
        const bool wasResident = mesh.cells.isResident();
        for (Level& level : pyramid->levels_)
            sampleInto(mesh, *level.mesh, scratch);
        if (!wasResident) mesh.cells.release();
    }
    for (Level& level : pyramid->levels_) {
        level.mesh->compactCells();
        level.mesh->UpdateMinMax();
    }
    pyramid->key_ = collectionKey(project);
    return pyramid;
}

std::unique_ptr<OverviewPyramid> OverviewPyramid::loadOrBuild(HMeshProject& project,
                                                              const PyramidCache& cache) {
    const std::string key = collectionKey(project);
    if (cache.load) {
        if (const std::optional<std::vector<uint8_t>> bytes = cache.load(key)) {
            if (auto stored = deserialise(*bytes, key)) return stored;
        }
    }
    std::unique_ptr<OverviewPyramid> built = build(project);
    if (built && cache.store) cache.store(key, built->serialise());
    return built;
}

std::string OverviewPyramid::collectionKey(const HMeshProject& project) {
    // Two hashes of different seeds over the same fields: 128 bits name the collection.
    ByteWriter w;
    uint64_t a = 0xcbf29ce484222325ull, b = 0x84222325cbf29ce4ull;
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        w.bytes.clear();
        w.put<uint64_t>(m.path.size());
        w.putBytes(m.path.data(), m.path.size());
        for (double v : {m.xmin, m.ymin, m.xmax, m.ymax, m.cellSize, m.scale})
            w.put<double>(v);
        for (int32_t v : {m.cols, m.rows, m.minRaw, m.maxRaw})
            w.put<int32_t>(v);
        a = fnv1a(w.bytes.data(), w.bytes.size(), a);
        b = fnv1a(w.bytes.data(), w.bytes.size(), b ^ 0x9e3779b97f4a7c15ull);
    }
    char text[48];
    std::snprintf(text, sizeof text, "overview-%016llx%016llx", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return text;
}

std::vector<uint8_t> OverviewPyramid::serialise() const {
    ByteWriter w;
    w.putBytes(kMagic, sizeof kMagic);
    w.put<uint32_t>(kVersion);
    w.put<uint32_t>(static_cast<uint32_t>(key_.size()));
    w.putBytes(key_.data(), key_.size());
    w.put<double>(finestCellSize_);
    w.put<uint32_t>(static_cast<uint32_t>(levels_.size()));
    for (const Level& level : levels_)
        writeLevel(w, level.shift, *level.mesh);
    w.put<uint64_t>(fnv1a(w.bytes.data(), w.bytes.size()));
    return std::move(w.bytes);
}

std::unique_ptr<OverviewPyramid> OverviewPyramid::deserialise(const std::vector<uint8_t>& bytes,
                                                              const std::string& key) {
    if (bytes.size() < sizeof kMagic + sizeof(uint64_t)) return nullptr;
    const size_t body = bytes.size() - sizeof(uint64_t);
    uint64_t checksum = 0;
    std::memcpy(&checksum, bytes.data() + body, sizeof checksum);
    if (checksum != fnv1a(bytes.data(), body)) return nullptr;

    ByteReader r(bytes.data(), body);
    char magic[sizeof kMagic];
    r.getBytes(magic, sizeof magic);
    if (!r.ok || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return nullptr;
    if (r.get<uint32_t>() != kVersion) return nullptr;
    const uint32_t keySize = r.get<uint32_t>();
    if (!r.ok || keySize != key.size()) return nullptr;
    std::string storedKey(keySize, '\0');
    r.getBytes(storedKey.data(), keySize);
    if (!r.ok || storedKey != key) return nullptr;

    auto pyramid = std::make_unique<OverviewPyramid>();
    pyramid->key_ = key;
    pyramid->finestCellSize_ = r.get<double>();
    const uint32_t count = r.get<uint32_t>();
    if (!r.ok || !(pyramid->finestCellSize_ > 0.0) || count < 1 || count > kMaxLevels)
        return nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        int shift = 0;
        std::unique_ptr<ZarHMesh> mesh = readLevel(r, shift);
        if (!mesh) return nullptr;
        if (!pyramid->levels_.empty() && shift <= pyramid->levels_.back().shift) return nullptr;
        pyramid->levels_.push_back({shift, std::move(mesh)});
    }
    if (!r.atEnd()) return nullptr;
    return pyramid;
}

const ZarHMesh* OverviewPyramid::levelFor(double pixelSize) const {
    const ZarHMesh* best = nullptr;
    for (const Level& level : levels_) {
        if (level.mesh->cellSize > pixelSize * (1.0 + 1e-9)) break;
        best = level.mesh.get();
    }
    return best;
}

}  // namespace kov
