// SPDX-License-Identifier: MIT
#include "core/base/LargeBlockAllocator.h"

#include "core/base/ProcessMemory.h"

#include <sys/mman.h>

#include <mutex>
#include <utility>
#include <vector>

namespace kov::largeblock {
namespace {

constexpr size_t kCacheLimit = size_t{256} << 20;

// Freed blocks kept for reuse. Reused blocks hold old contents, which is fine for arrays that
// are filled right after allocation.
struct BlockCache {
    std::mutex mutex;
    std::vector<std::pair<void*, size_t>> blocks;
    size_t total = 0;
};

BlockCache& cache() {
    static BlockCache* instance = new BlockCache;  // never destroyed: used until process exit
    return *instance;
}

// Blocks of a huge page and more are mapped as huge pages: written at once, a fresh 4 KiB page
// costs a fault of its own (at the host too, in a virtual machine whose host took the memory
// back); smaller ones with their pages populated in the same call.
void* mapBlock(size_t bytes) {
    if (bytes >= HugePageRegion::kHugePage) {
        uint8_t* block = mapHugePages(bytes);
        if (!populatePages(block, roundedToHugePages(bytes))) {
            unmapHugePages(block, bytes);
            throw std::bad_alloc();
        }
        return block;
    }
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

void unmapBlock(void* block, size_t bytes) noexcept {
    if (bytes >= HugePageRegion::kHugePage) {
        unmapHugePages(static_cast<uint8_t*>(block), bytes);
    } else {
        ::munmap(block, bytes);
    }
}

}  // namespace

void* allocate(size_t bytes) {
    {
        BlockCache& c = cache();
        std::lock_guard lock(c.mutex);
        for (size_t i = c.blocks.size(); i-- > 0;) {
            if (c.blocks[i].second != bytes) continue;
            void* block = c.blocks[i].first;
            c.blocks.erase(c.blocks.begin() + static_cast<std::ptrdiff_t>(i));
            c.total -= bytes;
            return block;
        }
    }
    return mapBlock(bytes);
}

void release(void* block, size_t bytes) noexcept {
    if (!block) return;
    // Huge-page blocks (frames, pages of every size a window takes) are made again cheaply and
    // would keep many megabytes that no later allocation of the same size asks for.
    if (bytes >= HugePageRegion::kHugePage) {
        unmapBlock(block, bytes);
        return;
    }
    BlockCache& c = cache();
    std::lock_guard lock(c.mutex);
    try {
        c.blocks.emplace_back(block, bytes);
    } catch (...) {
        unmapBlock(block, bytes);
        return;
    }
    c.total += bytes;
    // The oldest blocks make room: the recent ones are those the next load asks for again.
    size_t oldest = 0;
    for (; c.total > kCacheLimit; ++oldest) {
        unmapBlock(c.blocks[oldest].first, c.blocks[oldest].second);
        c.total -= c.blocks[oldest].second;
    }
    c.blocks.erase(c.blocks.begin(), c.blocks.begin() + static_cast<std::ptrdiff_t>(oldest));
}

}  // namespace kov::largeblock
