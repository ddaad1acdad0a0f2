// SPDX-License-Identifier: MIT
#include "core/flood/HxFloodFill.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kov {
namespace {

// Cell states of a fill's working grid (classifyRow marks a boundary 1).
constexpr uint8_t kOpen = 0;
constexpr uint8_t kFilled = 2;

struct Pending {
    int x;
    int y;
};

}  // namespace

int64_t HxFloodFill::Fill(int x, int y, const FillRect& clip, FillRect& bounds) {
    bounds = {x, y, x, y};
    peakPending_ = 0;
    if (clip.left > clip.right || clip.top > clip.bottom || x < clip.left || x > clip.right ||
        y < clip.top || y > clip.bottom)
        return 0;
    const int cw = clip.right - clip.left + 1;
    const int ch = clip.bottom - clip.top + 1;
    // One state per cell of the clip: open, boundary or filled. A row is made and classified
    // when the fill first touches it, so rows the flood never nears cost nothing; filled cells
    // are never entered again.
    std::vector<std::unique_ptr<uint8_t[]>> state;
    std::vector<Pending> stack;
    try {
        state.resize(static_cast<size_t>(ch));
        stack.reserve(static_cast<size_t>(capacity_));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const auto rowOf = [&](int yy) {
        auto& r = state[static_cast<size_t>(yy - clip.top)];
        if (!r) {
            r.reset(new (std::nothrow) uint8_t[static_cast<size_t>(cw)]);
            if (r) classifyRow(yy, clip.left, clip.right, r.get());
        }
        return r.get();
    };

    int64_t count = 0;
    stack.push_back({x, y});
    peakPending_ = 1;
    while (!stack.empty()) {
        const Pending e = stack.back();
        stack.pop_back();
        uint8_t* r = rowOf(e.y);
        if (!r) return 0;
        const int cx = e.x - clip.left;
        if (r[cx] == kFilled) continue;  // covered by a span filled since it was pushed
        int l = cx;
        while (l > 0 && r[l - 1] == kOpen)
            --l;
        int rr = cx;
        while (rr < cw - 1 && r[rr + 1] == kOpen)
            ++rr;
        std::memset(r + l, kFilled, static_cast<size_t>(rr - l + 1));
        const int left = l + clip.left, right = rr + clip.left;
        bounds.left = std::min(bounds.left, left);
        bounds.right = std::max(bounds.right, right);
        bounds.top = std::min(bounds.top, e.y);
        bounds.bottom = std::max(bounds.bottom, e.y);
        spanFilled(e.y, left, right);
        count += rr - l + 1;

        for (const int ny : {e.y - 1, e.y + 1}) {
            if (ny < clip.top || ny > clip.bottom) continue;
            const uint8_t* n = rowOf(ny);
            if (!n) return 0;
            for (int i = l; i <= rr;) {
                if (n[i] != kOpen) {
                    ++i;
                    continue;
                }
                try {
                    stack.push_back({i + clip.left, ny});
                } catch (const std::bad_alloc&) {
                    return 0;
                }
                while (i <= rr && n[i] == kOpen)
                    ++i;
            }
        }
        peakPending_ = std::max(peakPending_, static_cast<int64_t>(stack.size()));
    }
    return count;
}

}  // namespace kov
