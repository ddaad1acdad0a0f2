// SPDX-License-Identifier: MIT
#include "core/data/CellResidency.h"

#include <algorithm>
#include <vector>

#include "core/data/MeshCells.h"

namespace kov {

void CellResidency::noteFetched(MeshCells& cells) {
    const std::lock_guard hold(lock_);
    if (resident_.insert(&cells).second)
        bytes_.fetch_add(cells.residentBytes(), std::memory_order_relaxed);
}

void CellResidency::noteReleased(MeshCells& cells) {
    const std::lock_guard hold(lock_);
    if (resident_.erase(&cells) != 0)
        bytes_.fetch_sub(cells.residentBytes(), std::memory_order_relaxed);
}

void CellResidency::forget(MeshCells& cells) {
    noteReleased(cells);
}

int64_t CellResidency::trim(int64_t budget) {
    // The clock moves on here, not on every read: reads since the last trim count as one use.
    clock_.fetch_add(1, std::memory_order_relaxed);
    std::vector<MeshCells*> oldestFirst;
    {
        const std::lock_guard hold(lock_);
        if (residentBytes() <= budget && resident_.size() <= kMaxResident) return 0;
        oldestFirst.assign(resident_.begin(), resident_.end());
    }
    size_t left = oldestFirst.size();
    std::sort(oldestFirst.begin(), oldestFirst.end(),
              [](const MeshCells* a, const MeshCells* b) { return a->lastUse() < b->lastUse(); });
    int64_t freed = 0;
    for (MeshCells* cells : oldestFirst) {
        if (residentBytes() <= budget && left <= kMaxResident) break;
        const int64_t bytes = cells->residentBytes();
        if (cells->release()) {
            freed += bytes;
            --left;
        }
    }
    return freed;
}

}  // namespace kov
