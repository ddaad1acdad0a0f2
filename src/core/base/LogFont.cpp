// SPDX-License-Identifier: MIT
#include "core/base/LogFont.h"

#include <algorithm>

#include "core/base/TextCodec.h"

namespace kov {
namespace {

int32_t littleEndian32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}

}  // namespace

std::optional<LogFont> decodeLogFont(const uint8_t* bytes, size_t size) {
    if (!bytes || size < kLogFontSize) return std::nullopt;
    LogFont font;
    // In 64 bits: neither the negation of the smallest height nor a sixth of the largest
    // overflows.
    const int64_t height = littleEndian32(bytes);
    // A cell height includes the internal leading, about a sixth of it in common fonts.
    const int64_t pixels = height < 0 ? -height : height * 5 / 6;
    if (height != 0)
        font.pixelSize =
            static_cast<int>(std::clamp<int64_t>(pixels, kMinFontPixels, kMaxFontPixels));
    const int32_t weight = littleEndian32(bytes + 16);
    if (weight > 0) font.weight = std::clamp(weight, 100, 900);
    font.italic = bytes[20] != 0;
    font.underline = bytes[21] != 0;
    font.strikeOut = bytes[22] != 0;
    font.fixedPitch = (bytes[27] & 3) == 1;  // FIXED_PITCH
    const char* face = reinterpret_cast<const char*>(bytes + 28);
    const std::string faceCp932(face, std::find(face, face + 32, '\0'));
    if (!cp932ToUtf8(faceCp932, font.faceUtf8)) font.faceUtf8.clear();
    return font;
}

}  // namespace kov
