// SPDX-License-Identifier: MIT
// The plain 24-bit bitmap that the renderer draws into: rows bottom-up, each row padded to a
// multiple of 4 bytes, pixels stored blue, green, red.
#pragma once

#include <cstdint>
#include <vector>

#include "core/base/LargeBlockAllocator.h"

namespace kov {

class Dib24 {
public:
    Dib24() = default;
    // A black bitmap; non-positive sizes give an empty one.
    Dib24(int width, int height)
        : width_(width > 0 && height > 0 ? width : 0),
          height_(width > 0 && height > 0 ? height : 0),
          stride_((width_ * 3 + 3) & ~3),
          bits_(static_cast<size_t>(stride_) * height_, 0) {}

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    bool isEmpty() const { return width_ == 0; }

    // Row 0 is the bottom row.
    uint8_t* row(int y) { return bits_.data() + static_cast<size_t>(y) * stride_; }
    const uint8_t* row(int y) const { return bits_.data() + static_cast<size_t>(y) * stride_; }
    uint8_t* bits() { return bits_.data(); }
    const uint8_t* bits() const { return bits_.data(); }

    // Colour as 0x00BBGGRR (red in the low byte).
    uint32_t pixel(int x, int y) const {
        const uint8_t* p = row(y) + x * 3;
        return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
    }
    void setPixel(int x, int y, uint32_t color) {
        uint8_t* p = row(y) + x * 3;
        p[0] = static_cast<uint8_t>(color >> 16);
        p[1] = static_cast<uint8_t>(color >> 8);
        p[2] = static_cast<uint8_t>(color);
    }

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<uint8_t, LargeBlockAllocator<uint8_t>> bits_;  // a frame is megabytes
};

}  // namespace kov
