// SPDX-License-Identifier: MIT
// Fuzzes the world-file parser: two bytes of width and two of height, then the file's text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data/image/WorldFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 4) return 0;
    const int width = 1 + (bytes[0] | (bytes[1] << 8));
    const int height = 1 + (bytes[2] | (bytes[3] << 8));
    const std::string_view text(reinterpret_cast<const char*>(bytes) + 4, size - 4);
    const auto rect = kov::parseWorldFile(text, width, height);
    if (rect) {
        // A usable file always gives a finite rectangle that is not turned inside out.
        if (!std::isfinite(rect->xmin) || !std::isfinite(rect->ymin) ||
            !std::isfinite(rect->xmax) || !std::isfinite(rect->ymax) || rect->xmax < rect->xmin ||
            rect->ymax < rect->ymin)
            __builtin_trap();
    }
    return 0;
}
