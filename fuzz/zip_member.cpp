// SPDX-License-Identifier: MIT
// Fuzzes the zip member reader: the bytes opened as an archive and every member read, then the
// same bytes walked with the archives inside them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/data/dem/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kov::ZipLimits limits;
    limits.maxMemberBytes = 1 << 20;  // what one member may cost the fuzzer
    limits.maxMembers = 1000;
    limits.maxDepth = 3;
    const std::vector<uint8_t> input(bytes, bytes + size);

    std::string error;
    if (const auto archive = kov::ZipArchive::openBytes(input, &error, limits)) {
        std::vector<uint8_t> member;
        for (size_t i = 0; i < archive->entries().size(); ++i) {
            const bool read = archive->read(i, member, &error);
            // A member read holds exactly its stated size, within the bound.
            if (read && static_cast<int64_t>(member.size()) != archive->entries()[i].size)
                __builtin_trap();
            if (!read && !member.empty()) __builtin_trap();
        }
    }

    std::vector<kov::RefusedMember> refused;
    size_t visited = 0;
    kov::visitArchiveBytes(
        input, "fuzz.zip", {},
        [&](const std::string&, std::vector<uint8_t>& data) {
            if (static_cast<int64_t>(data.size()) > limits.maxMemberBytes) __builtin_trap();
            return ++visited < 10000;
        },
        &refused, &error, limits);
    return 0;
}
