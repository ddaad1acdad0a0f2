// SPDX-License-Identifier: MIT
#include "core/base/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kov {
namespace {

std::vector<std::string> candidates(const ModuleFile& module) {
    if (const char* named = std::getenv(module.variable); named && *named) return {named};
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    const std::string folder = failed ? std::string(".") : program.parent_path().string();
    return {folder + "/" + module.file, folder + "/../lib/kovview/modules/" + module.file};
}

const void* refused(const ModuleFile& module, const std::string& reason, std::string& error) {
    error = std::string("cannot load ") + module.library + " (" + module.file + "): " + reason;
    return nullptr;
}

}  // namespace

const void* loadModule(const ModuleFile& module, std::string& error) {
    const std::vector<std::string> paths = candidates(module);
    for (const std::string& path : paths) {
        if (::access(path.c_str(), F_OK) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return refused(module, dlerror(), error);
        using Entry = const void* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(handle, module.entrySymbol));
        const void* table = entry ? entry() : nullptr;
        // Every table starts with its tag.
        const char* tag = table ? *static_cast<const char* const*>(table) : nullptr;
        if (tag == nullptr || tag != moduleTag(module.tableSize)) {
            dlclose(handle);
            return refused(module, path + " was not built with this program", error);
        }
        return table;
    }
    std::string looked;
    for (const std::string& path : paths)
        looked += (looked.empty() ? "" : ", ") + path;
    return refused(module, "no such file (looked for " + looked + ")", error);
}

}  // namespace kov
