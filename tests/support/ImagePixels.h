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

}  // namespace kov::test
