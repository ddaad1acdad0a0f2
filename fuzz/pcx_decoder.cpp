// SPDX-License-Identifier: MIT
// Fuzzes the PCX picture decoder.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data/image/PcxDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // Large pictures only slow the fuzzer down; the size limit itself has a test.
    const kov::PictureLimits limits{4096, 16 << 20};
    kov::decodePcx(std::string_view(reinterpret_cast<const char*>(bytes), size), limits);
    return 0;
}
