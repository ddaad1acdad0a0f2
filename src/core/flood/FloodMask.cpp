// SPDX-License-Identifier: MIT
#include "core/flood/FloodMask.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kov {

FloodMask::FloodMask(int width, int height, int64_t byteLimit)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      bits_(static_cast<int>((static_cast<int64_t>(width_) + 7) / 8), height_, 0, byteLimit) {}

void FloodMask::writeBits(int j, int x, const uint8_t* bits, int n) {
    n = std::min(n, width_ - x);
    if (j < 0 || j >= height_ || x < 0 || (x & 7) || n <= 0) return;
    const int whole = n / 8, b0 = x / 8;
    uint8_t any = 0;
    for (int b = 0; b < whole; ++b)
        any |= bits[b];
    const int rest = n % 8;
    const auto last = static_cast<uint8_t>(rest ? bits[whole] & ((1u << rest) - 1) : 0);
    // A dry stretch makes no blocks; the last byte keeps the cells past the stretch.
    if (!(any | last)) return;
    if (whole > 0) bits_.writeRow(j, b0, b0 + whole - 1, bits);
    if (last) bits_.set(b0 + whole, j, static_cast<uint8_t>(bits_.at(b0 + whole, j) | last));
}

bool FloodMask::at(int i, int j) const {
    if (i < 0 || i >= width_ || j < 0 || j >= height_) return false;
    return (bits_.at(i >> 3, j) >> (i & 7)) & 1;
}

void FloodMask::unpack(const uint8_t* bytes, int offset, int n, uint8_t* cells) {
    // Each byte value's eight cells, made once.
    static const auto kCells = [] {
        std::array<uint64_t, 256> cells{};
        for (int v = 0; v < 256; ++v)
            for (int c = 0; c < 8; ++c)
                cells[static_cast<size_t>(v)] |= static_cast<uint64_t>((v >> c) & 1) << (8 * c);
        return cells;
    }();
    int k = 0;
    for (; k < n && ((offset + k) & 7); ++k)
        cells[k] = (bytes[(offset + k) >> 3] >> ((offset + k) & 7)) & 1;
    for (; k < n; k += 8)  // whole bytes; the buffer's tail takes what lies past n
        std::memcpy(cells + k, &kCells[bytes[(offset + k) >> 3]], 8);
}

}  // namespace kov
