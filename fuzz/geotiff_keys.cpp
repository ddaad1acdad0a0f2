// SPDX-License-Identifier: MIT
// Fuzzes the GeoTIFF side of the image overlay. Inputs that start like a TIFF file are decoded
// from memory with their GeoTIFF tags, which are then interpreted; other inputs are read as
// key values (four 16-bit codes and two doubles) for the interpretation alone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/data/image/GeoTiffKeys.h"
#include "core/data/image/TiffDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kov::GeoTiffTags tags;
    int width = 1, height = 1;
    if (size >= 4 && (std::memcmp(bytes, "II*\0", 4) == 0 || std::memcmp(bytes, "MM\0*", 4) == 0 ||
                      std::memcmp(bytes, "II+\0", 4) == 0 || std::memcmp(bytes, "MM\0+", 4) == 0)) {
        const kov::PictureLimits limits{2048, 16 << 20};
        const QImage image = kov::decodeTiff(
            std::string_view(reinterpret_cast<const char*>(bytes), size), &tags, limits);
        if (!image.isNull()) {
            width = image.width();
            height = image.height();
        }
    } else {
        if (size < 8 + 2 * sizeof(double)) return 0;
        auto code = [&](int i) { return bytes[2 * i] | (bytes[2 * i + 1] << 8); };
        tags.hasKeys = tags.hasPixelScale = tags.hasTiePoint = true;
        tags.modelType = code(0) % 4;
        tags.projectedCode = code(1);
        tags.geographicCode = code(2);
        tags.ellipsoidCode = code(3);
        std::memcpy(&tags.tieX, bytes + 8, sizeof(double));
        std::memcpy(&tags.tieY, bytes + 8 + sizeof(double), sizeof(double));
        tags.scaleX = tags.scaleY = 1.0;
    }
    const kov::GeoSystem system = kov::interpretGeoTiffKeys(tags);
    if (system.datum < 0 || system.datum > 1 || system.zone < 0 || system.zone > 60)
        __builtin_trap();
    kov::geoTiffRectangle(tags, width, height);
    return 0;
}
