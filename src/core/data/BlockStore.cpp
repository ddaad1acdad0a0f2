// SPDX-License-Identifier: MIT
#include "core/data/BlockStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace kov {

BlockStore::BlockStore(BlockStore&& other) noexcept {
    swap(other);
}

BlockStore& BlockStore::operator=(BlockStore&& other) noexcept {
    BlockStore(std::move(other)).swap(*this);
    return *this;
}

void BlockStore::swap(BlockStore& other) noexcept {
    std::swap(heapBlocks_, other.heapBlocks_);
    chunks_.swap(other.chunks_);
    unused_.swap(other.unused_);
    returned_.swap(other.returned_);
}

uint8_t* BlockStore::take(int64_t limit) {
    const auto room = [&](size_t bytes) {
        return residentBytes() <= limit - static_cast<int64_t>(bytes);
    };
    if (!unused_.empty()) {
        uint8_t* block = unused_.back();
        unused_.pop_back();
        return block;
    }
    if (!returned_.empty()) {
        if (!room(kBlockBytes)) return nullptr;
        uint8_t* block = returned_.back();
        returned_.pop_back();
        return block;
    }
#ifndef KOV_SANITIZED_BUILD  // sanitizers watch heap blocks only
    if (heapBlocks_ >= kHeapBlocks && room(kChunkBytes)) {
        addChunk();
        uint8_t* block = unused_.back();
        unused_.pop_back();
        return block;
    }
#endif
    if (!room(kBlockBytes)) return nullptr;
    auto* block = new uint8_t[kBlockBytes];
    ++heapBlocks_;
    return block;
}

void BlockStore::addChunk() {
    // Room in the lists first, so that giving a block back never allocates.
    chunks_.reserve(chunks_.size() + 1);
    unused_.reserve(kBlocksPerChunk);
    returned_.reserve((chunks_.size() + 1) * kBlocksPerChunk);
    HugePageRegion chunk(kChunkBytes);
    if (!chunk.populate()) throw std::bad_alloc();
    uint8_t* start = chunk.data();
    const auto at =
        std::upper_bound(chunks_.begin(), chunks_.end(), start,
                         [](const uint8_t* a, const HugePageRegion& b) { return a < b.data(); });
    chunks_.insert(at, std::move(chunk));
    for (size_t k = kBlocksPerChunk; k-- > 0;)  // taken from the back: lowest address first
        unused_.push_back(start + k * kBlockBytes);
}

bool BlockStore::inChunk(const uint8_t* block) const {
    const auto* base = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(block) &
                                                        ~(uintptr_t{kChunkBytes} - 1));
    const auto at =
        std::lower_bound(chunks_.begin(), chunks_.end(), base,
                         [](const HugePageRegion& a, const uint8_t* b) { return a.data() < b; });
    return at != chunks_.end() && at->data() == base;
}

void BlockStore::give(uint8_t* block) noexcept {
    if (!inChunk(block)) {
        forget(block);
        return;
    }
    ::madvise(block, kBlockBytes, MADV_DONTNEED);
    returned_.push_back(block);  // within the capacity reserved with the chunk
}

void BlockStore::forget(uint8_t* block) noexcept {
    if (inChunk(block)) return;
    delete[] block;
    --heapBlocks_;
}

int64_t BlockStore::residentBytes() const {
    const auto blocks = static_cast<int64_t>(heapBlocks_) - static_cast<int64_t>(returned_.size());
    return blocks * static_cast<int64_t>(kBlockBytes) +
           static_cast<int64_t>(chunks_.size() * kChunkBytes);
}

}  // namespace kov
