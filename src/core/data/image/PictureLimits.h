// Size limits every picture decoder enforces before it allocates pixels.
#pragma once

#include <QImage>
#include <cstdint>

namespace kov {

struct PictureLimits {
    int maxSide = 30000;                  // pixels per side
    int64_t maxBytes = int64_t{1} << 30;  // bytes of the decoded 32-bit picture
};

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
