// SPDX-License-Identifier: MIT
// libzip works in a module of its own, libkovzip.so, loaded on the first zip read or written:
// linked into the programs, libzip brought OpenSSL's libcrypto into every start. Nothing here
// names a libzip type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/data/dem/ZipArchive.h"

namespace kov {

// The module's entry points (core/base/ModuleLoader.h: a table starts with its tag).
struct ZipEntryPoints {
    const char* tag;
    // The archive in the file at path, or (path null) in size bytes at bytes, which must outlive
    // it; its members into entries. Null with the reason when it cannot be read or holds more
    // than maxMembers members.
    void* (*open)(const char* path, const uint8_t* bytes, size_t size, int64_t maxMembers,
                  std::vector<ZipArchive::Entry>& entries, std::string& error);
    // Inflates member index (name), stated to hold `stated` bytes, into out; false (out
    // cleared) with the reason when it cannot be read or inflates to other than its stated size.
    bool (*read)(void* archive, size_t index, const std::string& name, size_t stated,
                 std::vector<uint8_t>& out, std::string& error);
    void (*close)(void* archive);
    // A zip archive of the members (name, bytes), deflated, in order, each dated 1 October 2016.
    bool (*zipBytes)(const std::vector<std::pair<std::string, std::string>>& members,
                     std::string& out, std::string& error);
};

inline constexpr const char* kZipEntrySymbol = "kovZipEntryPoints";
// The environment variable that names another module file (tests of a missing one).
inline constexpr const char* kZipModuleVariable = "KOV_ZIP_MODULE";

}  // namespace kov
