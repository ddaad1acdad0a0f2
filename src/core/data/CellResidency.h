// SPDX-License-Identifier: MIT
// Which meshes' cells are in memory, and letting the least recently used go when they hold more
// than their share of the budget. Cells are fetched on any thread (a parallel render); they are
// let go only by trim, which the thread that owns the project calls between pieces of work,
// never while another thread reads cells.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace kov {

class MeshCells;

class CellResidency {
public:
    CellResidency() = default;
    CellResidency(const CellResidency&) = delete;
    CellResidency& operator=(const CellResidency&) = delete;

    // Bytes of the cells that are in memory and could be let go.
    int64_t residentBytes() const { return bytes_.load(std::memory_order_relaxed); }
    // The clock of last use: every read of cells sets its cells' last use to it.
    uint64_t now() const { return clock_.load(std::memory_order_relaxed); }

    void noteFetched(MeshCells& cells);
    void noteReleased(MeshCells& cells);
    // The cells are going away (their mesh is deleted): forgotten without letting them go.
    void forget(MeshCells& cells);
    // Lets the least recently used cells go until at most `budget` bytes and kMaxResident meshes'
    // cells stay; answers the bytes let go.
    int64_t trim(int64_t budget);
    // Cells fetched from a cache entry hold a mapping each: the system allows some 65,000 a
    // process, so far fewer stay in memory at once, however small.
    static constexpr size_t kMaxResident = 16384;

private:
    mutable std::mutex lock_;
    std::unordered_set<MeshCells*> resident_;
    std::atomic<int64_t> bytes_{0};
    std::atomic<uint64_t> clock_{1};
};

}  // namespace kov
