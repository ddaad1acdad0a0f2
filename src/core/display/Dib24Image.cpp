// SPDX-License-Identifier: MIT
#include "core/display/Dib24Image.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

namespace kov {

QImage largeImage(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0) return {};
    const qsizetype bytesPerLine =
        (qsizetype{width} * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const auto bytes = static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
    if (bytes < largeblock::kThreshold || bytesPerLine > INT_MAX)
        return QImage(width, height, format);
    struct Block {
        void* data;
        size_t bytes;
    };
    try {
        auto block = std::make_unique<Block>(Block{largeblock::allocate(bytes), bytes});
        const auto release = [](void* info) {
            const std::unique_ptr<Block> gone(static_cast<Block*>(info));
            largeblock::release(gone->data, gone->bytes);
        };
        QImage image(static_cast<uchar*>(block->data), width, height, bytesPerLine, format, release,
                     block.get());
        block.release();  // the image's now
        return image;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QImage dib24ToImage(const Dib24& dib) {
    QImage image = largeImage(dib.width(), dib.height(), QImage::Format_RGB32);
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
