// SPDX-License-Identifier: MIT
// Fuzzes the shapefile reader. Input: one flag byte (bit 0 strict, bit 1 ignore the index,
// bit 2 a progress object that cancels at its third report), the index length as two bytes
// little-endian, the index, then the main file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/base/HxProgress.h"
#include "core/data/ShpImport.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

class CancellingProgress : public kov::HxProgress {
public:
    int SetPos(long long current, long long total) override {
        check(current >= 100 && current < total);
        return ++calls >= 3;
    }
    void SetText(const std::string& text) override { check(text.size() >= 2); }
    int calls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 3) return 0;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const unsigned flags = bytes[0];
    const size_t indexLength = std::min<size_t>(bytes[1] | bytes[2] << 8, size - 3);
    const std::string_view shx = input.substr(3, indexLength);
    const std::string_view shp = input.substr(3 + indexLength);

    kov::ShpImport layer;
    layer.strict = flags & 1;
    layer.useIndex = !(flags & 2);
    CancellingProgress progress;
    const int ok = layer.loadFromMemory(shp, shx, flags & 4 ? &progress : nullptr);
    if (!ok) {
        check(layer.pointCount() == 0 && layer.polylineCount() == 0);
        return 0;
    }
    for (const auto& point : layer.points)
        check(point.id >= 1 && point.id <= layer.recordCounter);
    for (const auto& line : layer.polylines) {
        check(line.id >= 1 && line.id <= layer.recordCounter);
        check(!line.points.empty());
        for (const auto& part : line.parts)
            check(!part.empty());
    }
    // Every byte of the main file is read at most once: the layer stays within a few times it.
    check(layer.memoryBytes() <= static_cast<int64_t>(4 * shp.size()) + 4096);
    return 0;
}
