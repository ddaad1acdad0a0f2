// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the readers of small stored or typed values: the stored tip font
// description, the flood rank lists and kovtool's option values. Whatever they accept lies in
// its documented range; sanitizers catch any arithmetic that overflows on the way.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/OptionParsers.h"
#include "core/base/LogFont.h"
#include "core/flood/FloodEstimate.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kov;
    using namespace kov::cli;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto font = decodeLogFont(data, size)) {
        check(font->pixelSize == 0 ||
              (font->pixelSize >= kMinFontPixels && font->pixelSize <= kMaxFontPixels));
        check(font->weight == 0 || (font->weight >= 100 && font->weight <= 900));
    }

    // Ranks: the texts between commas, over a unit of the first byte's choosing.
    const double units[] = {0.1, 0.01, 1.0, 1e-300};
    const double unit = units[size > 0 ? data[0] % 4 : 0];
    const FloodRanks ranks = parseRanks(split(text, ','), unit);
    check(ranks.levels.size() == ranks.heights.size() &&
          ranks.levels.size() <= static_cast<size_t>(kMaxRanks));
    for (size_t i = 1; i < ranks.levels.size(); ++i)
        check(ranks.levels[i] >= ranks.levels[i - 1]);

    int w = 0, h = 0;
    if (parseSize(text, w, h)) check(w >= 1 && h >= 1 && w <= 20000 && h <= 20000);
    MapRect rect;
    if (parseRect(text, rect))
        check(std::isfinite(rect.xmin) && std::isfinite(rect.ymax) && rect.xmax > rect.xmin &&
              rect.ymax > rect.ymin);
    double e = 0.0, n = 0.0;
    if (parsePair(text, e, n)) check(std::isfinite(e) && std::isfinite(n));
    std::vector<uint32_t> colors;
    if (parseColors(text, colors)) {
        check(colors.size() <= static_cast<size_t>(kMaxRanks));
        for (const uint32_t color : colors)
            check(color <= 0xFFFFFF);
    }
    return 0;
}
