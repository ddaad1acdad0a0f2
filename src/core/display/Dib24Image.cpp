// SPDX-License-Identifier: MIT
#include "core/display/Dib24Image.h"

namespace kov {

QImage dib24ToImage(const Dib24& dib) {
    QImage image(dib.width(), dib.height(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    const int height = dib.height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = dib.row(height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < dib.width(); ++x, in += 3)
            out[x] = 0xFF000000u | (in[2] << 16) | (in[1] << 8) | in[0];
    }
    return image;
}

}  // namespace kov
