// SPDX-License-Identifier: MIT
#include "core/display/Dib24Image.h"

#include <algorithm>

namespace kov {

QImage dib24ToImage(const Dib24& dib) {
    QImage image(dib.width(), dib.height(), QImage::Format_RGB32);
    if (!image.isNull()) copyDib24Into(dib, image);
    return image;
}

void copyDib24Into(const Dib24& dib, QImage& into) {
    const int height = std::min(dib.height(), into.height());
    const int width = std::min(dib.width(), into.width());
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = dib.row(dib.height() - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(into.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = 0xFF000000u | (in[2] << 16) | (in[1] << 8) | in[0];
    }
}

}  // namespace kov
