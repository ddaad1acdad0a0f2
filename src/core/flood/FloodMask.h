// SPDX-License-Identifier: MIT
// Which cells a flood reached: a bit a cell (eight cells a byte of a block grid), so that a
// flood over a whole prefecture keeps its record in an eighth of the rank image's memory. Row 0
// is the southernmost row; blocks exist only where a reached cell lies.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/data/BlockGrid.h"

namespace kov {

class FloodMask {
public:
    // Throws like BlockGrid when the table or a block would pass byteLimit.
    FloodMask(int width, int height, int64_t byteLimit);

    int width() const { return width_; }
    int height() const { return height_; }
    // Marks cells x..x+n-1 of row j (x a multiple of 8) as reached where bit k % 8 of
    // bits[k / 8] is set; bits past n in the last byte are not read. Each stretch of a row is
    // written once: cells not reached are left as they are.
    void writeBits(int j, int x, const uint8_t* bits, int n);
    bool at(int i, int j) const;

    // Calls f(x, reached, n) for the stretches of row j within x0..x1 where reached cells may
    // lie, west to east, reached[k] 1 for a reached cell and 0 otherwise. Several threads may
    // read at once.
    template <class F>
    void forEachStoredRun(int j, int x0, int x1, F&& f) const {
        x0 = std::max(x0, 0);
        x1 = std::min(x1, width_ - 1);
        if (j < 0 || j >= height_ || x0 > x1) return;
        // The buffer's tail takes the cells unpacked past n.
        std::array<uint8_t, kBlockCells + 8> cells;
        for (int bi = x0 / kBlockCells; bi * kBlockCells <= x1; ++bi) {
            const uint8_t* bytes = bits_.blockRow(bi, j);
            if (!bytes) continue;
            const int first = std::max(x0, bi * kBlockCells);
            const int last = std::min(x1, (bi + 1) * kBlockCells - 1);
            const int n = last - first + 1;
            unpack(bytes, first - bi * kBlockCells, n, cells.data());
            f(first, cells.data(), n);
        }
    }

    // Frees the blocks without a reached cell.
    void dropEmptyBlocks() { bits_.dropBackgroundBlocks(); }
    int64_t memoryBytes() const { return bits_.memoryBytes(); }

private:
    static constexpr int kBlockCells = BlockGrid::kBlockSide * 8;
    // Cells offset..offset+n-1 of a row's bytes into cells (room for n + 8), 0 or 1 each.
    static void unpack(const uint8_t* bytes, int offset, int n, uint8_t* cells);

    int width_;
    int height_;
    BlockGrid bits_;  // bit (x & 7) of byte x >> 3 of each row
};

}  // namespace kov
