// SPDX-License-Identifier: MIT
#include "core/data/image/PcxDecoder.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kov {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 769;  // marker 0x0C and 256 RGB triples

uint32_t u16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}

}  // namespace

QImage decodePcx(std::string_view bytes, const PictureLimits& limits) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size < kHeaderSize || data[0] != 0x0A || data[2] > 1) return QImage();
    const bool encoded = data[2] == 1;
    const int bits = data[3];
    const int64_t width = static_cast<int64_t>(u16(data + 8)) - u16(data + 4) + 1;
    const int64_t height = static_cast<int64_t>(u16(data + 10)) - u16(data + 6) + 1;
    const int planes = data[65];
    const uint64_t bytesPerLine = u16(data + 66);

    enum class Form { Mono, Planar16, Packed16, Indexed, Rgb, Rgba } form;
    if (bits == 1 && planes == 1)
        form = Form::Mono;
    else if (bits == 1 && planes == 4)
        form = Form::Planar16;
    else if (bits == 4 && planes == 1)
        form = Form::Packed16;
    else if (bits == 8 && planes == 1)
        form = Form::Indexed;
    else if (bits == 8 && planes == 3)
        form = Form::Rgb;
    else if (bits == 8 && planes == 4)
        form = Form::Rgba;
    else
        return QImage();

    if (!fitsLimits(width, height, limits)) return QImage();
    if (bytesPerLine * 8 < static_cast<uint64_t>(width) * bits) return QImage();

    std::array<QRgb, 256> palette;
    if (form == Form::Planar16 || form == Form::Packed16) {
        for (int i = 0; i < 16; ++i) {
            const uint8_t* e = data + 16 + 3 * i;
            palette[i] = qRgb(e[0], e[1], e[2]);
        }
    } else if (form == Form::Indexed) {
        const bool hasPalette =
            size >= kHeaderSize + kPaletteSize && data[size - kPaletteSize] == 0x0C;
        const uint8_t* tail = hasPalette ? data + size - kPaletteSize : nullptr;
        for (int i = 0; i < 256; ++i)
            palette[i] = hasPalette ? qRgb(tail[1 + 3 * i], tail[2 + 3 * i], tail[3 + 3 * i])
                                    : qRgb(i, i, i);
    }

    // One scan line holds every plane in turn; runs may continue into the next line. A run
    // code of two bytes yields at most 63 bytes, so shorter files cannot hold the picture.
    const uint64_t lineBytes = bytesPerLine * static_cast<uint64_t>(planes);
    const uint64_t total = lineBytes * static_cast<uint64_t>(height);
    const uint64_t stored = size - kHeaderSize;
    if (encoded ? stored < (total + 62) / 63 * 2 : stored < total) return QImage();

    QImage image = newPicture(width, height, limits);
    if (image.isNull()) return image;

    std::vector<uint8_t> line(lineBytes);
    size_t pos = kHeaderSize;
    uint32_t run = 0;
    uint8_t runValue = 0;
    for (int64_t y = 0; y < height; ++y) {
        for (uint64_t i = 0; i < lineBytes; ++i) {
            if (!encoded) {
                if (pos >= size) return QImage();
                line[i] = data[pos++];
                continue;
            }
            while (run == 0) {  // empty runs are skipped
                if (pos >= size) return QImage();
                const uint8_t c = data[pos++];
                if ((c & 0xC0) == 0xC0) {
                    if (pos >= size) return QImage();
                    run = c & 0x3F;
                    runValue = data[pos++];
                } else {
                    run = 1;
                    runValue = c;
                }
            }
            line[i] = runValue;
            --run;
        }

        auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        const uint8_t* p = line.data();
        for (int64_t x = 0; x < width; ++x) {
            switch (form) {
                case Form::Mono:
                    out[x] = (p[x >> 3] >> (7 - (x & 7))) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                    break;
                case Form::Planar16: {
                    int index = 0;
                    for (int plane = 0; plane < 4; ++plane)
                        index |= ((p[plane * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1)
                                 << plane;
                    out[x] = palette[index];
                    break;
                }
                case Form::Packed16:
                    out[x] = palette[(p[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                    break;
                case Form::Indexed:
                    out[x] = palette[p[x]];
                    break;
                case Form::Rgb:
                    out[x] = qRgb(p[x], p[bytesPerLine + x], p[2 * bytesPerLine + x]);
                    break;
                case Form::Rgba:
                    out[x] = qPremultiply(qRgba(p[x], p[bytesPerLine + x], p[2 * bytesPerLine + x],
                                                p[3 * bytesPerLine + x]));
                    break;
            }
        }
    }
    return image;
}

}  // namespace kov
