// SPDX-License-Identifier: MIT
#include "core/data/BlockGrid.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kov {
namespace {

int blocksFor(int cells) {
    return static_cast<int>((static_cast<int64_t>(cells) + BlockGrid::kBlockSide - 1) >>
                            BlockGrid::kBlockBits);
}

// Whether any of bytes[0..n) differs from value; without an early exit, so that it runs on
// vectors (callers pass a block row at a time).
bool differsFrom(const uint8_t* bytes, int n, uint8_t value) {
    uint8_t differ = 0;
    for (int k = 0; k < n; ++k)
        differ |= bytes[k] ^ value;
    return differ != 0;
}

}  // namespace

BlockGrid::BlockGrid(int width, int height, uint8_t background, int64_t byteLimit)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      blocksX_(blocksFor(width_)),
      background_(background),
      byteLimit_(byteLimit) {
    const auto slots = static_cast<size_t>(blocksX_) * blocksFor(height_);
    if (static_cast<int64_t>(slots * sizeof(blocks_[0])) > byteLimit_) throw BlockLimitReached();
    blocks_.resize(slots);
}

BlockGrid::BlockGrid(BlockGrid&& other) noexcept {
    swap(other);
}

BlockGrid& BlockGrid::operator=(BlockGrid&& other) noexcept {
    BlockGrid(std::move(other)).swap(*this);
    return *this;
}

void BlockGrid::swap(BlockGrid& other) noexcept {
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(blocksX_, other.blocksX_);
    std::swap(background_, other.background_);
    std::swap(byteLimit_, other.byteLimit_);
    std::swap(blockCount_, other.blockCount_);
    blocks_.swap(other.blocks_);
    std::swap(store_, other.store_);
}

BlockGrid::~BlockGrid() {
    for (uint8_t* block : blocks_)
        if (block) store_.forget(block);
}

uint8_t* BlockGrid::rowIn(int bi, int j) const {
    if (bi < 0 || bi >= blocksX_ || j < 0 || j >= height_) return nullptr;
    uint8_t* block = blocks_[static_cast<size_t>(j >> kBlockBits) * blocksX_ + bi];
    return block ? block + static_cast<size_t>(j & (kBlockSide - 1)) * kBlockSide : nullptr;
}

uint8_t BlockGrid::at(int i, int j) const {
    if (i < 0 || i >= width_) return background_;
    const uint8_t* row = rowIn(i >> kBlockBits, j);
    return row ? row[i & (kBlockSide - 1)] : background_;
}

uint8_t* BlockGrid::makeBlock(int bi, int bj) {
    auto& slot = blocks_[static_cast<size_t>(bj) * blocksX_ + bi];
    if (!slot) {
        slot = store_.take(byteLimit_ - tableBytes());
        if (!slot) throw BlockLimitReached();
        std::memset(slot, background_, kBlockBytes);
        ++blockCount_;
    }
    return slot;
}

void BlockGrid::set(int i, int j, uint8_t value) {
    if (i < 0 || j < 0 || i >= width_ || j >= height_) return;
    uint8_t* block = makeBlock(i >> kBlockBits, j >> kBlockBits);
    block[static_cast<size_t>(j & (kBlockSide - 1)) * kBlockSide + (i & (kBlockSide - 1))] = value;
}

void BlockGrid::writeRow(int j, int x0, int x1, const uint8_t* in) {
    if (j < 0 || j >= height_) return;
    for (int bi = x0 >> kBlockBits; x0 <= x1; ++bi) {
        const int end = std::min(x1, ((bi + 1) << kBlockBits) - 1);
        makeBlock(bi, j >> kBlockBits);
        std::memcpy(rowIn(bi, j) + (x0 & (kBlockSide - 1)), in, static_cast<size_t>(end - x0 + 1));
        in += end - x0 + 1;
        x0 = end + 1;
    }
}

std::array<int64_t, 256> BlockGrid::histogram() const {
    std::array<int64_t, 256> counts{};
    int64_t stored = 0;
    for (int j = 0; j < height_; ++j)
        for (int bi = 0; bi < blocksX_; ++bi) {
            const uint8_t* row = rowIn(bi, j);
            if (!row) continue;
            // The last block column may reach past the grid's east edge.
            const int n = std::min(kBlockSide, width_ - (bi << kBlockBits));
            stored += n;
            // Most block rows hold one value: found on vectors, counted at once.
            if (differsFrom(row, n, row[0])) {
                for (int k = 0; k < n; ++k)
                    ++counts[row[k]];
            } else {
                counts[row[0]] += n;
            }
        }
    counts[background_] += static_cast<int64_t>(width_) * height_ - stored;
    return counts;
}

void BlockGrid::dropBackgroundBlocks() {
    for (auto& block : blocks_) {
        if (!block) continue;
        bool background = true;
        for (int64_t at = 0; background && at < kBlockBytes; at += kBlockSide)
            background = !differsFrom(block + at, kBlockSide, background_);
        if (background) {
            store_.give(std::exchange(block, nullptr));
            --blockCount_;
        }
    }
}

int64_t BlockGrid::memoryBytes() const {
    return store_.residentBytes() + tableBytes();
}

int64_t BlockGrid::tableBytes() const {
    return static_cast<int64_t>(blocks_.size() * sizeof(blocks_[0]));
}

}  // namespace kov
