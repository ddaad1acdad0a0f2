// SPDX-License-Identifier: MIT
#include "core/data/image/BmpDecoder.h"

#include <array>
#include <cstdint>

namespace kov {
namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

uint32_t u16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
uint32_t u32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Extracts one colour channel described by a bit mask and scales it to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    uint32_t operator()(uint32_t pixel) const {
        if (!max) return 0;
        return static_cast<uint32_t>(
            (static_cast<uint64_t>((pixel & mask) >> shift) * 255 + max / 2) / max);
    }
};

}  // namespace

QImage decodeBmp(std::string_view bytes, const PictureLimits& limits) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint64_t size = bytes.size();

    uint64_t infoStart = 0;
    bool fileHeader = false;
    if (size >= 14 && data[0] == 'B' && data[1] == 'M') {
        infoStart = 14;
        fileHeader = true;
    }
    if (size < infoStart + 12) return QImage();
    const uint8_t* info = data + infoStart;
    const uint32_t infoSize = u32(info);

    int64_t width = 0, height = 0;
    uint32_t bitCount = 0, compression = kRgb, colorsUsed = 0;
    uint64_t paletteEntrySize = 4;
    bool topDown = false;
    std::array<uint32_t, 3> masks{};
    uint64_t afterHeader = infoStart + infoSize;

    if (infoSize == 12) {  // OS/2 core header
        width = u16(info + 4);
        height = u16(info + 6);
        bitCount = u16(info + 10);
        paletteEntrySize = 3;
    } else if (infoSize >= 40 && infoSize <= size - infoStart) {
        width = static_cast<int32_t>(u32(info + 4));
        height = static_cast<int32_t>(u32(info + 8));
        bitCount = u16(info + 14);
        compression = u32(info + 16);
        colorsUsed = u32(info + 32);
        if (height < 0) {
            topDown = true;
            height = -height;
        }
        if (compression == kBitFields || compression == kAlphaBitFields) {
            if (bitCount != 16 && bitCount != 32) return QImage();
            const uint8_t* m = info + 40;
            if (infoSize < 52) {
                // The masks follow the 40-byte header.
                const uint64_t maskBytes = compression == kAlphaBitFields ? 16 : 12;
                if (size - afterHeader < maskBytes) return QImage();
                m = data + afterHeader;
                afterHeader += maskBytes;
            }
            masks = {u32(m), u32(m + 4), u32(m + 8)};
        } else if (compression != kRgb) {
            return QImage();  // run-length or embedded compressed data
        }
    } else {
        return QImage();
    }

    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return QImage();
    if (!fitsLimits(width, height, limits)) return QImage();

    // Palette: up to 2^bits entries are used; indices beyond the palette read black.
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    uint64_t paletteCount = 0;
    if (bitCount <= 8) {
        const uint64_t full = uint64_t{1} << bitCount;
        const uint64_t stored = colorsUsed && infoSize != 12 ? colorsUsed : full;
        if (stored > (size - afterHeader) / paletteEntrySize) return QImage();
        paletteCount = stored < full ? stored : full;
        for (uint64_t i = 0; i < paletteCount; ++i) {
            const uint8_t* e = data + afterHeader + i * paletteEntrySize;
            palette[i] = qRgb(e[2], e[1], e[0]);
        }
        afterHeader += stored * paletteEntrySize;
    }

    const uint64_t pixelStart = fileHeader ? u32(data + 10) : afterHeader;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (pixelStart > size || stride * static_cast<uint64_t>(height) > size - pixelStart)
        return QImage();

    if (bitCount == 16 && compression == kRgb) masks = {0x7C00, 0x03E0, 0x001F};
    if (bitCount == 32 && compression == kRgb) masks = {0xFF0000, 0x00FF00, 0x0000FF};
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

    QImage image = newPicture(width, height, limits);
    if (image.isNull()) return image;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* row =
            data + pixelStart + stride * static_cast<uint64_t>(topDown ? y : height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < width; ++x) {
            switch (bitCount) {
                case 1:
                    out[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                    break;
                case 4:
                    out[x] = palette[(row[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                    break;
                case 8:
                    out[x] = palette[row[x]];
                    break;
                case 16: {
                    const uint32_t p = u16(row + 2 * x);
                    out[x] = qRgb(red(p), green(p), blue(p));
                    break;
                }
                case 24:
                    out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                    break;
                default: {
                    const uint32_t p = u32(row + 4 * x);
                    out[x] = qRgb(red(p), green(p), blue(p));
                    break;
                }
            }
        }
    }
    return image;
}

}  // namespace kov
