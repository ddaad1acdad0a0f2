// SPDX-License-Identifier: MIT
#include "core/flood/FloodMask.h"

#include <array>
#include <cstring>

namespace kov {
namespace {

// Eight cells of 0 or 1 (one a byte, the first lowest) as the bits of one byte: the multiplier
// moves byte c's bit to bit 56 + c, and the other products fall below bit 56 without carries.
uint8_t packEight(const uint8_t* cells) {
    uint64_t v;
    std::memcpy(&v, cells, 8);
    return static_cast<uint8_t>((v * 0x0102040810204080ull) >> 56);
}

}  // namespace

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
    uint8_t any = 0;
    for (int i = first; i <= last;) {
        uint8_t& byte = packed_[static_cast<size_t>((i >> 3) - b0)];
        if ((i & 7) == 0 && i + 7 <= last) {
            byte = packEight(reached + (i - x));
            i += 8;
        } else {
            byte |= static_cast<uint8_t>(reached[i - x] << (i & 7));
            ++i;
        }
        any |= byte;
    }
    // A dry stretch makes no blocks.
    if (any) bits_.writeRow(j, b0, b1, packed_.data());
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
