// SPDX-License-Identifier: MIT
// A grid of one-byte cells kept in square blocks that exist only once a cell in them is written;
// an absent block reads as the background value. Two areas far apart cost their own blocks, not
// the rectangle around them. Row 0 is the southernmost row.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "core/data/BlockStore.h"

namespace kov {

// Thrown when a new block would take the grid past its byte limit.
struct BlockLimitReached : std::bad_alloc {
    const char* what() const noexcept override { return "block grid byte limit reached"; }
};

class BlockGrid {
public:
    static constexpr int kBlockBits = 8;
    static constexpr int kBlockSide = 1 << kBlockBits;
    static constexpr int64_t kBlockBytes = int64_t{kBlockSide} * kBlockSide;
    static_assert(kBlockBytes == BlockStore::kBlockBytes);

    BlockGrid() = default;
    BlockGrid(BlockGrid&& other) noexcept;
    BlockGrid& operator=(BlockGrid&& other) noexcept;
    ~BlockGrid();
    // An empty grid of width x height cells; blocks are made as cells are written, while the
    // grid's memory stays within byteLimit. Throws std::bad_alloc when the block table cannot be
    // had, BlockLimitReached when the table alone passes the limit.
    BlockGrid(int width, int height, uint8_t background,
              int64_t byteLimit = std::numeric_limits<int64_t>::max());

    int width() const { return width_; }
    int height() const { return height_; }
    uint8_t background() const { return background_; }

    // The background outside the grid and in absent blocks.
    uint8_t at(int i, int j) const;
    // Row j of block column bi (cells bi * kBlockSide on), or null where the block is absent.
    const uint8_t* blockRow(int bi, int j) const { return rowIn(bi, j); }

    // Writes one cell, making its block. The writes throw std::bad_alloc when a block cannot be
    // had and BlockLimitReached when it would pass the byte limit.
    void set(int i, int j, uint8_t value);
    // Writes cells x0..x1 (inside the grid) of row j from in[0..x1 - x0].
    void writeRow(int j, int x0, int x1, const uint8_t* in);

    // Calls f(x, cells, n) for each stored stretch of row j within x0..x1 (x the first column,
    // cells writable: the blocks are the grid's contents, not its shape), west to east.
    template <class F>
    void forEachStoredRun(int j, int x0, int x1, F&& f) const {
        if (j < 0 || j >= height_) return;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, width_ - 1);
        for (int bi = x0 >> kBlockBits; x0 <= x1; ++bi) {
            const int end = std::min(x1, ((bi + 1) << kBlockBits) - 1);
            if (uint8_t* row = rowIn(bi, j)) f(x0, row + (x0 & (kBlockSide - 1)), end - x0 + 1);
            x0 = end + 1;
        }
    }

    // How many cells of the grid hold each value (absent blocks count as background).
    std::array<int64_t, 256> histogram() const;
    // Frees the blocks that hold nothing but the background.
    void dropBackgroundBlocks();

    int64_t blockCount() const { return blockCount_; }
    // The blocks' memory and their table, in bytes.
    int64_t memoryBytes() const;

private:
    uint8_t* rowIn(int bi, int j) const;
    uint8_t* makeBlock(int bi, int bj);
    int64_t tableBytes() const;
    void swap(BlockGrid& other) noexcept;

    int width_ = 0;
    int height_ = 0;
    int blocksX_ = 0;
    uint8_t background_ = 0;
    int64_t byteLimit_ = std::numeric_limits<int64_t>::max();
    int64_t blockCount_ = 0;
    std::vector<uint8_t*> blocks_;  // row of blocks bj at bj * blocksX_; null where absent
    BlockStore store_;              // the blocks' memory
};

}  // namespace kov
