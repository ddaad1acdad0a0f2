// SPDX-License-Identifier: MIT
// The cell codes of one mesh, held as compactly as they allow: 16 bits a cell (an offset and a
// step per mesh) when the codes' range fits, else 32 bits. Cells that a source can bring back
// (a cache entry) may be let go and are fetched again on the next read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/base/LargeBlockAllocator.h"

namespace kov {

class CellResidency;
class MeshCells;

// The compact form: code = offset + value * step, except the two values kept for the special
// codes. Exact: a mesh is stored compactly only when every code is met this way.
struct CompactCoding {
    static constexpr uint16_t kNoData = 0xFFFF;
    static constexpr uint16_t kWater = 0xFFFE;
    static constexpr uint32_t kMaxValue = 0xFFFD;
    int32_t offset = 0;
    int32_t step = 1;
};

// Where released cells come back from. fetch fills `into` (adoptCompact or the full codes) and
// answers false when the cells can no longer be had (the entry was damaged or deleted).
class CellSource {
public:
    virtual ~CellSource() = default;
    virtual bool fetch(MeshCells& into) const = 0;
};

class MeshCells {
public:
    MeshCells() = default;
    ~MeshCells();
    MeshCells(const MeshCells&) = delete;
    MeshCells& operator=(const MeshCells&) = delete;

    // Full 32-bit codes, every one `fill`; false (cells unchanged) when they cannot be had.
    bool allocate(size_t count, int32_t fill);
    // Writable full codes: compact cells are widened first (readers fill, tests edit).
    int32_t* data();
    // Drops the cells and the source.
    void clear();

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // One code; the cells are fetched first when they were let go.
    int32_t operator[](size_t index) const;
    // Codes [start, start + n): a pointer into the full codes, or the codes decoded into scratch
    // (room for n). Null when released cells cannot be fetched.
    const int32_t* codes(size_t start, size_t n, int32_t* scratch) const;

    // Chooses the compact form when the codes allow it. Answers whether they are compact now.
    bool compact();
    // Brings let-go cells back and marks them used; false when they cannot be had. Then
    // compactValues() or codes() read them without further checks.
    bool ready() const;
    bool isCompact() const { return compact_ != nullptr; }
    const uint16_t* compactValues() const { return compact_; }
    const CompactCoding& coding() const { return coding_; }
    // Takes `count` compact values that live in memory kept alive by `keep` (a mapped file).
    void adoptCompact(const uint16_t* values, size_t count, CompactCoding coding,
                      std::shared_ptr<const void> keep);
    // Takes full codes (a source whose codes do not fit 16 bits).
    void adoptFull(std::vector<int32_t, LargeBlockAllocator<int32_t>> codes);

    // Memory the cells hold now, in bytes (0 while let go).
    int64_t memoryBytes() const;
    // Memory the cells take when they are in memory.
    int64_t residentBytes() const { return residentBytes_; }

    // Cells that `source` can bring back (null: none can).
    void setSource(std::shared_ptr<const CellSource> source);
    // The residency told of every fetch, which decides when cells with a source are let go (the
    // project's, once the mesh is added); null: none.
    void setResidency(CellResidency* residency);
    bool hasSource() const { return source_ != nullptr; }
    bool isResident() const { return resident_.load(std::memory_order_acquire); }
    // Lets the cells go when a source can bring them back; false otherwise.
    bool release();
    // Brings released cells back; false when the source fails (the cells stay empty).
    bool fetch() const;
    // The residency's clock at the last read (least recently used first when letting go).
    uint64_t lastUse() const { return lastUse_.load(std::memory_order_relaxed); }

private:
    void touch() const;
    void dropStorage();
    void widen();
    std::vector<int32_t, LargeBlockAllocator<int32_t>> full_;
    std::vector<uint16_t, LargeBlockAllocator<uint16_t>> ownCompact_;
    const uint16_t* compact_ = nullptr;  // ownCompact_ or memory kept by keep_
    std::shared_ptr<const void> keep_;
    CompactCoding coding_;
    size_t count_ = 0;
    int64_t residentBytes_ = 0;

    std::shared_ptr<const CellSource> source_;
    CellResidency* residency_ = nullptr;
    mutable std::mutex fetchLock_;
    mutable std::atomic<bool> resident_{true};
    mutable std::atomic<uint64_t> lastUse_{0};
};

// The code of one compact value.
inline int32_t decodeCompactValue(uint16_t v, const CompactCoding& coding) {
    // Special codes as literals: this header cannot include ZarHMesh.h, which includes it.
    return v == CompactCoding::kNoData  ? static_cast<int32_t>(0xF0000001u)
           : v == CompactCoding::kWater ? static_cast<int32_t>(0xF0000002u)
                                        : coding.offset + static_cast<int32_t>(v) * coding.step;
}

// Decodes n compact values into codes.
void decodeCompact(const uint16_t* values, size_t n, const CompactCoding& coding, int32_t* out);

}  // namespace kov
