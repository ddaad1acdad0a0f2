// SPDX-License-Identifier: MIT
#include "core/data/gis/GdalModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/data/LibraryMessages.h"

namespace kov {
namespace {

constexpr const char* kModuleFile = "libkovgdal.so";

struct LoadedModule {
    const GdalEntryPoints* table = nullptr;
    std::string error;
};

// Where the module may be: the file the environment names, else beside the executable (the
// build tree) and in ../lib/kovview/modules/ from it (an installed program).
std::vector<std::string> moduleCandidates() {
    if (const char* named = std::getenv(kGdalModuleVariable); named && *named) return {named};
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    const std::string folder = failed ? std::string(".") : program.parent_path().string();
    return {folder + "/" + kModuleFile, folder + "/../lib/kovview/modules/" + kModuleFile};
}

std::string expectedAbiTag() {
    return std::string(KOV_VERSION) + "/" + std::to_string(sizeof(GdalEntryPoints));
}

LoadedModule failure(const std::string& reason) {
    return {nullptr, std::string("cannot load GDAL (") + kModuleFile + "): " + reason};
}

LoadedModule loadFrom(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return failure(dlerror());
    using Entry = const GdalEntryPoints* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, kGdalEntrySymbol));
    const GdalEntryPoints* table = entry ? entry() : nullptr;
    if (table == nullptr || table->abiTag != expectedAbiTag()) {
        dlclose(handle);
        return failure(path + " was not built with this program");
    }
    bool warnings = false;
    if (LibraryMessagePrinter print = libraryMessagePrinter(&warnings))
        table->routeMessages(print, warnings);
    return {table, {}};
}

LoadedModule loadModule() {
    const std::vector<std::string> candidates = moduleCandidates();
    for (const std::string& path : candidates)
        if (::access(path.c_str(), F_OK) == 0) return loadFrom(path);
    std::string looked;
    for (const std::string& path : candidates)
        looked += (looked.empty() ? "" : ", ") + path;
    return failure("no such file (looked for " + looked + ")");
}

}  // namespace

const GdalEntryPoints* gdalModule(std::string* error) {
    static const LoadedModule loaded = loadModule();
    if (loaded.table == nullptr && error) *error = loaded.error;
    return loaded.table;
}

}  // namespace kov
