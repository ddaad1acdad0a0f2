// SPDX-License-Identifier: MIT
// What the running process holds in memory, as the system counts it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kov {

// The process's resident set in bytes (its pages in memory, mapped files included); 0 when the
// system does not tell.
int64_t residentSetBytes();
// Gives the pages of freed heap blocks back to the system: the heap keeps many small blocks
// freed together (a flood's rows) for reuse, where the system counts them as held.
void returnFreedHeap();

// Zeroed memory of at least `bytes` mapped from the system on a 2 MiB boundary, its size rounded
// up to 2 MiB (roundedToHugePages), and asked for as huge pages; unmapHugePages takes the same
// bytes back. Throws std::bad_alloc when the system gives no memory.
uint8_t* mapHugePages(size_t bytes);
void unmapHugePages(uint8_t* data, size_t bytes) noexcept;
size_t roundedToHugePages(size_t bytes);
// Makes every page of the mapped range now, in one call; false when the memory cannot be had (a
// kernel that cannot do it in one call leaves the pages to come as they are written, and says
// true).
bool populatePages(uint8_t* data, size_t bytes);

// Memory from mapHugePages, held for a scope. Its pages come when first written (or all at once
// with populate), a huge page at a time where the system has them: every fresh 4 KiB page costs a
// fault of its own, and in a virtual machine whose host took the memory back a far dearer one, so
// large working memory is best taken this way.
class HugePageRegion {
public:
    static constexpr size_t kHugePage = size_t{2} << 20;

    HugePageRegion() = default;
    // Throws std::bad_alloc when the system gives no memory.
    explicit HugePageRegion(size_t bytes);
    ~HugePageRegion();
    HugePageRegion(HugePageRegion&& other) noexcept;
    HugePageRegion& operator=(HugePageRegion&& other) noexcept;
    HugePageRegion(const HugePageRegion&) = delete;
    HugePageRegion& operator=(const HugePageRegion&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // Makes every page now (populatePages).
    bool populate() { return populatePages(data_, size_); }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace kov
