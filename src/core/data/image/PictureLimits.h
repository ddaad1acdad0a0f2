// SPDX-License-Identifier: MIT
// Size limits every picture decoder enforces before it allocates pixels.
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdint>

namespace kov {

struct PictureLimits {
    int maxSide = 30000;  // pixels per side
    // Bytes of the decoded 32-bit picture: a 20,000 x 15,000 aerial photograph (1.2 GB) fits.
    int64_t maxBytes = int64_t{2} << 30;
};

// What a file may decode to: a picture compresses, but a few hundred kilobytes that claim a
// gigabyte of pixels are a trap, not a photograph. The decoded 32-bit picture may take at most
// kDecodedPerFileByte bytes per byte of the file (a scanned map of mostly white paper in a PNG
// stays well below), and never less than kFreeDecodedBytes; within the given limits.
inline constexpr int64_t kDecodedPerFileByte = 1024;
inline constexpr int64_t kFreeDecodedBytes = int64_t{64} << 20;
inline PictureLimits limitsForFile(size_t fileBytes, const PictureLimits& limits = {}) {
    const int64_t bytes = static_cast<int64_t>(std::min<size_t>(fileBytes, INT64_MAX / 2048));
    PictureLimits bounded = limits;
    bounded.maxBytes =
        std::min(limits.maxBytes, std::max(kFreeDecodedBytes, bytes * kDecodedPerFileByte));
    return bounded;
}

// True when a picture of width x height fits the limits (both sides at least 1).
inline bool fitsLimits(int64_t width, int64_t height, const PictureLimits& limits) {
    return width >= 1 && height >= 1 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height * 4 <= limits.maxBytes;
}

// A premultiplied 32-bit picture of the given size, or a null image when the size is beyond the
// limits or the memory cannot be had.
inline QImage newPicture(int64_t width, int64_t height, const PictureLimits& limits) {
    if (!fitsLimits(width, height, limits)) return QImage();
    return QImage(static_cast<int>(width), static_cast<int>(height),
                  QImage::Format_ARGB32_Premultiplied);
}

}  // namespace kov
