#include "core/flood/HxFloodFill.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace kov {
namespace {

// Cell states of a fill's working grid.
constexpr uint8_t kOpen = 0;
constexpr uint8_t kBoundary = 1;
constexpr uint8_t kFilled = 2;

struct Pending {
    int x;
    int y;
};

uint32_t rgbOf(uint32_t color) {
    return color & 0xFFFFFF;
}

}  // namespace

uint32_t dibPixel(const HxDib& dib, int x, int y) {
    if (!dib.bits || x < 0 || y < 0 || x >= dib.width || y >= dib.height) return 0xFFFFFFFFu;
    const uint8_t* row = dib.bits + static_cast<size_t>(dib.height - y - 1) * dib.stride;
    switch (dib.bitsPerPixel) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (x & 1) ? row[x >> 1] >> 4 : row[x >> 1] & 0xFu;
        case 8:
            return row[x];
        case 24: {
            const uint8_t* p = row + 3 * static_cast<size_t>(x);
            return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
        }
        case 32: {
            const uint8_t* p = row + 4 * static_cast<size_t>(x);
            return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
        }
        default:
            return 0xFFFFFFFFu;
    }
}

void HxFloodFill::SetDestination(HxDib* destination, uint32_t color, int offsetX, int offsetY) {
    destination_ = destination;
    offsetX_ = offsetX;
    offsetY_ = offsetY;
    fillValue_ = color;
    if (destination && destination->bitsPerPixel <= 8) {
        for (size_t i = 0; i < destination->palette.size(); ++i) {
            if (rgbOf(destination->palette[i]) == rgbOf(color)) {
                fillValue_ = static_cast<uint32_t>(i);
                break;
            }
        }
    }
}

bool HxFloodFill::IsBoundary(int x, int y, uint32_t value) {
    return GetPixel(x, y) == value;
}

uint32_t HxFloodFill::GetPixel(int x, int y) {
    return source_ ? dibPixel(*source_, x, y) : 0xFFFFFFFFu;
}

void HxFloodFill::classifyRow(int y, int x0, int x1, uint8_t* out) {
    for (int x = x0; x <= x1; ++x)
        out[x - x0] = IsBoundary(x, y, boundaryValue) ? kBoundary : kOpen;
}

void HxFloodFill::paintSpan(int y, int left, int right) {
    HxDib& d = *destination_;
    const int py = y - offsetY_;
    if (!d.bits || py < 0 || py >= d.height) return;
    const int x0 = std::max(left - offsetX_, 0);
    const int x1 = std::min(right - offsetX_, d.width - 1);
    if (x0 > x1) return;
    uint8_t* row = d.bits + static_cast<size_t>(d.height - py - 1) * d.stride;
    const uint32_t v = fillValue_;
    switch (d.bitsPerPixel) {
        case 1: {
            for (int x = x0; x <= x1;) {
                if ((x & 7) == 0 && x + 7 <= x1) {  // whole bytes
                    const int bytes = (x1 - x + 1) >> 3;
                    std::memset(row + (x >> 3), (v & 1) ? 0xFF : 0x00, static_cast<size_t>(bytes));
                    x += bytes << 3;
                    continue;
                }
                const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
                if (v & 1)
                    row[x >> 3] |= bit;
                else
                    row[x >> 3] &= static_cast<uint8_t>(~bit);
                ++x;
            }
            break;
        }
        case 4:
            for (int x = x0; x <= x1; ++x) {
                uint8_t& b = row[x >> 1];
                b = (x & 1) ? static_cast<uint8_t>((b & 0x0F) | ((v & 0xF) << 4))
                            : static_cast<uint8_t>((b & 0xF0) | (v & 0xF));
            }
            break;
        case 8:
            std::memset(row + x0, static_cast<int>(v & 0xFF), static_cast<size_t>(x1 - x0 + 1));
            break;
        case 24:
        case 32: {
            const int n = d.bitsPerPixel / 8;
            for (int x = x0; x <= x1; ++x) {
                uint8_t* p = row + static_cast<size_t>(x) * n;
                p[0] = static_cast<uint8_t>(v >> 16);
                p[1] = static_cast<uint8_t>(v >> 8);
                p[2] = static_cast<uint8_t>(v);
            }
            break;
        }
        default:
            break;
    }
}

int64_t HxFloodFill::Fill(int x, int y, const FillRect& clip, FillRect& bounds, int flags) {
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
    const bool paint = (flags & kPaint) && destination_;

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
        if (paint) paintSpan(e.y, left, right);
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
