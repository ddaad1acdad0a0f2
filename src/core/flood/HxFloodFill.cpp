// SPDX-License-Identifier: MIT
#include "core/flood/HxFloodFill.h"

#include "core/base/ProcessMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kov {
namespace {

struct Pending {
    int x;
    int y;
};

using Word = uint64_t;
constexpr int kWordBits = 64;

Word bitsFrom(int b) {
    return ~Word{0} << b;
}

// The first column in [from, to] whose bit equals `closed`, or to + 1.
int nextWith(const Word* row, int from, int to, bool closed) {
    for (int w = from / kWordBits; from <= to; ++w) {
        const Word bits = (closed ? row[w] : ~row[w]) & bitsFrom(from % kWordBits);
        if (bits) return std::min(w * kWordBits + std::countr_zero(bits), to + 1);
        from = (w + 1) * kWordBits;
    }
    return to + 1;
}

// The last column in [0, from] whose bit is closed, or -1.
int previousClosed(const Word* row, int from) {
    for (int w = from / kWordBits; w >= 0; --w) {
        const int b = w == from / kWordBits ? from % kWordBits : kWordBits - 1;
        const Word bits = row[w] & (~Word{0} >> (kWordBits - 1 - b));
        if (bits) return w * kWordBits + kWordBits - 1 - std::countl_zero(bits);
    }
    return -1;
}

void closeRange(Word* row, int a, int b) {
    for (int w = a / kWordBits; a <= b; ++w) {
        const int end = std::min(b, (w + 1) * kWordBits - 1);
        const int n = end - a + 1;
        const Word run = n == kWordBits ? ~Word{0} : ((Word{1} << n) - 1) << (a % kWordBits);
        row[w] |= run;
        a = end + 1;
    }
}

// Sets the bit of each cell whose classified byte is 1, eight bytes at a time: the multiply
// gathers the low bits of the eight bytes into the top byte, the first byte lowest.
void packRow(const uint8_t* bytes, int n, Word* row) {
    static_assert(std::endian::native == std::endian::little);
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t eight = 0;
        std::memcpy(&eight, bytes + k, sizeof eight);
        row[k / kWordBits] |= ((eight * 0x0102040810204080ull) >> 56) << (k % kWordBits);
    }
    for (; k < n; ++k)
        row[k / kWordBits] |= Word{bytes[k] != 0} << (k % kWordBits);
}

}  // namespace

int64_t HxFloodFill::Fill(int x, int y, const FillRect& clip, FillRect& bounds) {
    bounds = {x, y, x, y};
    peakPending_ = 0;
    workingBytes_ = 0;
    if (clip.left > clip.right || clip.top > clip.bottom || x < clip.left || x > clip.right ||
        y < clip.top || y > clip.bottom)
        return 0;
    const int cw = clip.right - clip.left + 1;
    const int ch = clip.bottom - clip.top + 1;
    const int words = (cw + kWordBits - 1) / kWordBits;
    // One bit per cell of the clip: set for a boundary or a filled cell, clear for an open one.
    // A seed is pushed only onto an open cell, so finding its bit set means a span filled since
    // covered it. A row is classified when the fill first touches it, and only then are its
    // pages written, so rows the flood never nears cost nothing.
    HugePageRegion state;
    std::vector<uint8_t> made;  // 1 for each row classified
    std::vector<uint8_t> classified;
    std::vector<Pending> stack;
    try {
        state = HugePageRegion(static_cast<size_t>(ch) * words * sizeof(Word));
        made.resize(static_cast<size_t>(ch));
        classified.resize(static_cast<size_t>(cw));
        stack.reserve(static_cast<size_t>(capacity_));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const auto rowOf = [&](int yy) {
        const auto k = static_cast<size_t>(yy - clip.top);
        Word* r = reinterpret_cast<Word*>(state.data()) + k * words;
        if (made[k]) return r;
        made[k] = 1;
        workingBytes_ += int64_t{words} * sizeof(Word);
        classifyRow(yy, clip.left, clip.right, classified.data());
        packRow(classified.data(), cw, r);
        return r;
    };

    int64_t count = 0;
    stack.push_back({x, y});
    peakPending_ = 1;
    bool startCell = true;  // filled whatever its bit says
    while (!stack.empty()) {
        const Pending e = stack.back();
        stack.pop_back();
        Word* r = rowOf(e.y);
        const int cx = e.x - clip.left;
        const bool closed = (r[cx / kWordBits] >> (cx % kWordBits)) & 1;
        if (closed && !startCell) continue;
        startCell = false;
        const int l = cx > 0 ? previousClosed(r, cx - 1) + 1 : 0;
        const int rr = cx < cw - 1 ? nextWith(r, cx + 1, cw - 1, true) - 1 : cx;
        closeRange(r, l, rr);
        const int left = l + clip.left, right = rr + clip.left;
        bounds.left = std::min(bounds.left, left);
        bounds.right = std::max(bounds.right, right);
        bounds.top = std::min(bounds.top, e.y);
        bounds.bottom = std::max(bounds.bottom, e.y);
        spanFilled(e.y, left, right);
        count += rr - l + 1;

        for (const int ny : {e.y - 1, e.y + 1}) {
            if (ny < clip.top || ny > clip.bottom) continue;
            const Word* n = rowOf(ny);
            for (int i = nextWith(n, l, rr, false); i <= rr;
                 i = nextWith(n, nextWith(n, i, rr, true), rr, false)) {
                try {
                    stack.push_back({i + clip.left, ny});
                } catch (const std::bad_alloc&) {
                    return 0;
                }
            }
        }
        peakPending_ = std::max(peakPending_, static_cast<int64_t>(stack.size()));
    }
    return count;
}

}  // namespace kov
