// SPDX-License-Identifier: MIT
#include "core/data/BlockStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
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

BlockStore::~BlockStore() {
    for (uint8_t* chunk : chunks_)
        ::munmap(chunk, kChunkBytes);
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
    // Twice the size, cut down to a chunk on a 2 MiB boundary, where a huge page can lie.
    void* raw = ::mmap(nullptr, 2 * kChunkBytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kChunkBytes - 1) & ~(uintptr_t{kChunkBytes} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const size_t tail = start + kChunkBytes - aligned; tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + kChunkBytes), tail);
    auto* chunk = reinterpret_cast<uint8_t*>(aligned);
    ::madvise(chunk, kChunkBytes, MADV_HUGEPAGE);  // only a hint: small pages work too
#ifdef MADV_POPULATE_WRITE
    // A kernel without it (EINVAL) lets the pages come as they are written.
    if (::madvise(chunk, kChunkBytes, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
        ::munmap(chunk, kChunkBytes);
        throw std::bad_alloc();
    }
#endif
    chunks_.insert(std::upper_bound(chunks_.begin(), chunks_.end(), chunk), chunk);
    for (size_t k = kBlocksPerChunk; k-- > 0;)  // taken from the back: lowest address first
        unused_.push_back(chunk + k * kBlockBytes);
}

bool BlockStore::inChunk(const uint8_t* block) const {
    const auto base = reinterpret_cast<uintptr_t>(block) & ~(uintptr_t{kChunkBytes} - 1);
    return std::binary_search(chunks_.begin(), chunks_.end(), reinterpret_cast<uint8_t*>(base));
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
