// SPDX-License-Identifier: MIT
#include "core/data/BlockGrid.h"

#include <gtest/gtest.h>

#include <utility>

namespace kov {
namespace {

constexpr int kSide = BlockGrid::kBlockSide;
constexpr int64_t kBlock = BlockGrid::kBlockBytes;

uint8_t valueAt(int i) {
    return static_cast<uint8_t>(i % 251);
}

// A grid of many blocks (past those taken from the heap, into the chunks of huge pages): every
// cell reads back, the memory counted covers the blocks, and blocks given back stop counting.
TEST(BlockGrid, ManyBlocksKeepTheirCellsAndCountTheirMemory) {
    constexpr int kBlocks = 64;
    BlockGrid grid(kSide * kBlocks, kSide, 15);
    const int64_t table = grid.memoryBytes();
    for (int i = 0; i < kSide * kBlocks; ++i)
        grid.set(i, 7, valueAt(i));
    EXPECT_EQ(grid.blockCount(), kBlocks);
    const int64_t full = grid.memoryBytes() - table;
    EXPECT_GE(full, kBlocks * kBlock);
    EXPECT_LT(full, kBlocks * kBlock + (int64_t{2} << 20));  // at most a chunk's slack

    // The last 24 blocks back to the background: dropped, and their memory with them.
    for (int i = kSide * 40; i < kSide * kBlocks; ++i)
        grid.set(i, 7, 15);
    grid.dropBackgroundBlocks();
    EXPECT_EQ(grid.blockCount(), 40);
    EXPECT_EQ(grid.memoryBytes() - table, full - 24 * kBlock);
    grid.set(kSide * 50, 3, 9);  // a dropped block made again: a chunk's unused block is free
    EXPECT_GE(grid.memoryBytes() - table, full - 24 * kBlock);
    EXPECT_LE(grid.memoryBytes() - table, full - 23 * kBlock);

    const BlockGrid moved = std::move(grid);
    for (int i = 0; i < kSide * 40; ++i)
        ASSERT_EQ(moved.at(i, 7), valueAt(i)) << i;
    EXPECT_EQ(moved.at(kSide * 50, 3), 9);
    EXPECT_EQ(moved.at(kSide * 50, 7), 15);
    EXPECT_EQ(grid.blockCount(), 0);
}

// A limit that leaves no room for a whole chunk: blocks come one by one up to it, never past.
TEST(BlockGrid, BlocksStopAtTheByteLimit) {
    const int64_t table = BlockGrid(kSide * 64, kSide, 0).memoryBytes();
    BlockGrid grid(kSide * 64, kSide, 0, table + 40 * kBlock);
    int made = 0;
    try {
        for (; made < 64; ++made)
            grid.set(made * kSide, 0, 1);
    } catch (const BlockLimitReached&) {
    }
    EXPECT_EQ(made, 40);
    EXPECT_EQ(grid.memoryBytes(), table + 40 * kBlock);
    EXPECT_EQ(grid.at(39 * kSide, 0), 1);
}

}  // namespace
}  // namespace kov
