// SPDX-License-Identifier: MIT
// An allocator for big arrays that are written right after allocation (cell grids).
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace kov {

namespace largeblock {
// Blocks from this size up are handled by the functions below. Sanitizer builds keep every
// block on the heap, where overruns are caught.
#ifdef KOV_SANITIZED_BUILD
inline constexpr size_t kThreshold = static_cast<size_t>(-1);
#else
inline constexpr size_t kThreshold = size_t{256} << 10;
#endif
// Maps a block with its pages populated in one system call (touching fresh pages one by one
// costs about twice as much), as huge pages from 2 MiB up, or reuses a block of the same size
// freed earlier.
void* allocate(size_t bytes);
// Keeps a block under a huge page for reuse (the oldest kept blocks beyond the cache's limit
// are unmapped); a larger one is unmapped at once.
void release(void* block, size_t bytes) noexcept;
}  // namespace largeblock

// Large blocks through largeblock::allocate: a project holds hundreds of grids of half a
// megabyte each, and reopening a project frees and allocates them all again. Smaller blocks
// come from the ordinary heap.
template <typename T>
struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        const size_t bytes = n * sizeof(T);
        if (bytes < largeblock::kThreshold) return std::allocator<T>().allocate(n);
        return static_cast<T*>(largeblock::allocate(bytes));
    }
    void deallocate(T* p, size_t n) noexcept {
        const size_t bytes = n * sizeof(T);
        if (bytes < largeblock::kThreshold) {
            std::allocator<T>().deallocate(p, n);
        } else {
            largeblock::release(p, bytes);
        }
    }
    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace kov
