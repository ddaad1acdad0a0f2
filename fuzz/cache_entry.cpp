// SPDX-License-Identifier: MIT
// Fuzzes the reader of tile cache entries: the input is an entry file as found in the cache.
#include <cstddef>
#include <cstdint>

#include "core/data/cache/CacheEntry.h"

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
    return 0;
}
