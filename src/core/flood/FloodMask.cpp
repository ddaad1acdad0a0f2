// SPDX-License-Identifier: MIT
#include "core/flood/FloodMask.h"

namespace kov {

FloodMask::FloodMask(int width, int height, int64_t byteLimit)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      bits_(static_cast<int>((static_cast<int64_t>(width_) + 7) / 8), height_, 0, byteLimit) {}

void FloodMask::writeRow(int j, int x, const uint8_t* reached, int n) {
    const int first = std::max(x, 0);
    const int last = std::min(x + n, width_) - 1;
    if (j < 0 || j >= height_ || first > last) return;
    // The stretch's bytes, with the cells of its first and last byte that lie outside it.
    const int b0 = first >> 3, b1 = last >> 3;
    packed_.assign(static_cast<size_t>(b1 - b0 + 1), 0);
    packed_.front() = bits_.at(b0, j);
    packed_.back() |= bits_.at(b1, j);
    bool any = false;
    for (int i = first; i <= last; ++i) {
        const bool on = reached[i - x] != 0;
        packed_[static_cast<size_t>((i >> 3) - b0)] |= static_cast<uint8_t>(on << (i & 7));
        any |= on;
    }
    // A dry stretch makes no blocks.
    if (any) bits_.writeRow(j, b0, b1, packed_.data());
}

bool FloodMask::at(int i, int j) const {
    if (i < 0 || i >= width_ || j < 0 || j >= height_) return false;
    return (bits_.at(i >> 3, j) >> (i & 7)) & 1;
}

}  // namespace kov
