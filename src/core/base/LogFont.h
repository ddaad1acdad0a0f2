// SPDX-License-Identifier: MIT
// The stored font description of the tip windows, read into numbers that are safe to use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kov {

// Size in bytes of a stored font description (the Windows LOGFONT layout: height, width,
// escapement, orientation and weight as 32-bit little-endian integers, then italic, underline,
// strike-out, character set, three precision bytes and pitch-and-family, then a 32-byte face
// name in CP932).
inline constexpr size_t kLogFontSize = 60;

// Character heights a tip is drawn in: legible, and never larger than a tip can sensibly be.
inline constexpr int kMinFontPixels = 6;
inline constexpr int kMaxFontPixels = 48;

struct LogFont {
    int pixelSize = 0;  // kMinFontPixels..kMaxFontPixels; 0 when the description gives none
    int weight = 0;     // 100..900; 0 when the description gives none
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false;
    std::string faceUtf8;  // empty when none is given or it is no CP932 text
};

// The description's values, every number limited to its range (the stored numbers are any
// 32-bit values: 0x7FFFFFFF and 0x80000000 are only the largest and smallest size); nothing
// when the block is shorter than kLogFontSize. A negative height is the character height in
// pixels, a positive one the cell height.
std::optional<LogFont> decodeLogFont(const uint8_t* bytes, size_t size);

}  // namespace kov
