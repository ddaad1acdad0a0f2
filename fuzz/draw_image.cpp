// SPDX-License-Identifier: MIT
// Fuzzes drawing an image overlay into the renderer's bitmap: the input gives the image's
// rectangle, the shown rectangle (eight doubles), the opacity, the picture and target sizes and
// whether the image is a flood layer; the picture's pixels follow.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/base/Dib24.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    constexpr size_t kHead = 8 * sizeof(double) + 6;
    if (size < kHead) return 0;
    double v[8];
    std::memcpy(v, bytes, sizeof v);
    const uint8_t* p = bytes + sizeof v;
    const int opacity = p[0];
    const int pw = 1 + p[1] % 64, ph = 1 + p[2] % 64;
    const int tw = 1 + p[3] % 64, th = 1 + p[4] % 64;
    const bool flood = p[5] & 1;

    kov::ZarHImage image;
    image.xmin = v[0];
    image.ymin = v[1];
    image.xmax = v[2];
    image.ymax = v[3];
    image.name = flood ? "FloodFill_1" : "photo.png";
    image.bitmap = QImage(pw, ph, QImage::Format_ARGB32);
    const uint8_t* pixels = bytes + kHead;
    const size_t available = size - kHead;
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x) {
            const size_t i = (static_cast<size_t>(y) * pw + x) * 4;
            uint32_t c = 0xFFFFFFFFu;
            if (i + 4 <= available) std::memcpy(&c, pixels + i, 4);
            image.bitmap.setPixel(x, y, c);
        }
    kov::Dib24 target(tw, th);
    image.DrawImage(target, kov::MapRect{v[4], v[5], v[6], v[7]}, opacity);
    return 0;
}
