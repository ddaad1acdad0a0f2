// SPDX-License-Identifier: MIT
// Fuzzes the reader of tile cache entries: the input is an entry file as found in the cache, and
// also a raster's probe as a record of a folder's index.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data/cache/CacheEntry.h"
#include "core/data/dem/RasterProbeCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // The whole file, and only its head as the loader reads it before the cells are needed.
    for (const size_t available : {size, size < 8192 ? size : size_t{8192}}) {
        const std::optional<kov::EntryView> entry = kov::readEntry(bytes, available, size);
        if (!entry) continue;
        if (entry->payloadOffset + entry->payloadBytes != size) __builtin_trap();
        const kov::CacheRecord record = kov::decodeRecord(entry->record);
        if (record.valid && record.name.size() > entry->record.size()) __builtin_trap();
        if (entry->payloadWhole) kov::verifyPayload(*entry, bytes);
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    // A record read is one that writes back as the very bytes.
    if (const auto probe = kov::decodeRasterProbe(text))
        if (kov::encodeRasterProbe(probe->first, probe->second) != text) __builtin_trap();
    return 0;
}
