// SPDX-License-Identifier: MIT
// The memory behind one block grid's blocks. A grid's first two blocks come from the heap, so a
// grid that holds next to nothing (a short wall line, the mask of a tiny flood) costs its blocks
// and no more. Later blocks come from 2 MiB chunks asked of the system as huge pages and filled
// in one call: every fresh 4 KiB page would otherwise cost a fault of its own (in a virtual
// machine whose host took the memory back, tens of microseconds each: a 64 KiB block half a
// millisecond), and a rank image over a prefecture has hundreds of thousands of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/base/ProcessMemory.h"

namespace kov {

class BlockStore {
public:
    static constexpr size_t kBlockBytes = size_t{1} << 16;

    BlockStore() = default;
    BlockStore(BlockStore&& other) noexcept;
    BlockStore& operator=(BlockStore&& other) noexcept;
    BlockStore(const BlockStore&) = delete;
    BlockStore& operator=(const BlockStore&) = delete;
    // The chunks go back to the system; the heap blocks must have been given back before.
    ~BlockStore() = default;

    // A block of kBlockBytes with undefined contents, or null when taking it would bring
    // residentBytes() past limit. Throws std::bad_alloc when the memory cannot be had.
    uint8_t* take(int64_t limit);
    // Takes back a block from take(): a heap block is freed, a chunk's pages go back to the
    // system until the block is taken again.
    void give(uint8_t* block) noexcept;
    // Frees a heap block or forgets a chunk's, for a grid giving up all its blocks at once (the
    // chunks go with the store).
    void forget(uint8_t* block) noexcept;

    // The bytes held in memory: the heap blocks, and the chunks less their blocks given back.
    int64_t residentBytes() const;

private:
    static constexpr int kHeapBlocks = 2;
    static constexpr size_t kChunkBytes = HugePageRegion::kHugePage;
    static constexpr size_t kBlocksPerChunk = kChunkBytes / kBlockBytes;

    bool inChunk(const uint8_t* block) const;
    void addChunk();
    void swap(BlockStore& other) noexcept;

    int64_t heapBlocks_ = 0;
    std::vector<HugePageRegion> chunks_;  // sorted by address
    std::vector<uint8_t*> unused_;        // chunk blocks never handed out: in memory
    std::vector<uint8_t*> returned_;      // chunk blocks given back: their pages are the system's
};

}  // namespace kov
