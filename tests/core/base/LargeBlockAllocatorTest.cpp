// SPDX-License-Identifier: MIT
#include "core/base/LargeBlockAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "core/base/ProcessMemory.h"

namespace kov {
namespace {

// A block of a huge page and more lies on a huge page's boundary and comes zeroed, even after one
// of its size was written and given back; a smaller block given back is the next of its size.
TEST(LargeBlocks, BigOnesComeFreshOnAHugePageBoundarySmallOnesAreReused) {
    const size_t big = HugePageRegion::kHugePage + 4097;
    for (int round = 0; round < 2; ++round) {
        auto* block = static_cast<uint8_t*>(largeblock::allocate(big));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % HugePageRegion::kHugePage, 0u);
        EXPECT_EQ(std::count(block, block + big, 0), static_cast<std::ptrdiff_t>(big));
        std::fill(block, block + big, 7);
        largeblock::release(block, big);
    }
    const size_t small = size_t{300} << 10;
    void* kept = largeblock::allocate(small);
    largeblock::release(kept, small);
    void* again = largeblock::allocate(small);
    EXPECT_EQ(again, kept);
    largeblock::release(again, small);
}

}  // namespace
}  // namespace kov
