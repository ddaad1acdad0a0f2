// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kov::test {

// How many pixels of the area (clipped to the image) have the colour; alpha is not compared.
inline int countPixels(const QImage& image, const QRect& area, QRgb colour) {
    const QRect inside = area & image.rect();
    int n = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

// How many pixels of the area (clipped to both images) differ between them; alpha is not compared.
inline int differingPixels(const QImage& a, const QImage& b, const QRect& area) {
    const QRect inside = area & a.rect() & b.rect();
    int n = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += ((a.pixel(x, y) ^ b.pixel(x, y)) & 0xFFFFFF) != 0;
    return n;
}

// The largest difference of one channel between two bitmap colours.
inline int channelDifference(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
    return most;
}

}  // namespace kov::test
