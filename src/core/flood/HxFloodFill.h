// SPDX-License-Identifier: MIT
// A scanline seed fill over a grid: spans of non-boundary cells joined through the rows above and
// below; a subclass says which cells are boundaries, a row at a time. The mesh flood fill builds
// on it.
#pragma once

#include <cstdint>

namespace kov {

// Inclusive rectangle of cells: x from left to right, y from top to bottom (top <= bottom).
struct FillRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
};

class HxFloodFill {
public:
    static constexpr int kDefaultStackCapacity = 1024;

    HxFloodFill() = default;
    virtual ~HxFloodFill() = default;
    HxFloodFill(const HxFloodFill&) = delete;
    HxFloodFill& operator=(const HxFloodFill&) = delete;

    // The number of pending spans allocated up front. A full stack grows (doubling), so a fill
    // always completes; its memory stays bounded by twice the cells of the clip.
    void SetStackCapacity(int n) { capacity_ = n > 0 ? n : 1; }
    int stackCapacity() const { return capacity_; }

    // Fills the region of the start cell inside clip: the start cell itself is not tested (it is
    // always filled); from it every 4-connected non-boundary cell is reached once. bounds
    // receives the rectangle of the filled cells. Answers the number of cells filled; 0 when
    // the start lies outside clip or the working memory cannot be had. Working memory is one
    // bit per cell of the rows the fill touches; what classifyRow throws passes through.
    int64_t Fill(int x, int y, const FillRect& clip, FillRect& bounds);

    // The most spans that were pending at once during the last Fill.
    int64_t peakPending() const { return peakPending_; }
    // The bytes of working state the running (or last) Fill holds.
    int64_t workingBytes() const { return workingBytes_; }

protected:
    // Marks the cells x0..x1 of row y: out[k] = 1 for a boundary cell x0 + k, 0 otherwise
    // (no other value).
    virtual void classifyRow(int y, int x0, int x1, uint8_t* out) = 0;
    // A span of row y was filled.
    virtual void spanFilled(int /*y*/, int /*left*/, int /*right*/) {}

private:
    int capacity_ = kDefaultStackCapacity;
    int64_t peakPending_ = 0;
    int64_t workingBytes_ = 0;
};

}  // namespace kov
