// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

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

}  // namespace kov::test
