// SPDX-License-Identifier: MIT
// Modules of this build: shared libraries of ours that the programs load with dlopen on first
// use, so that libraries with long dependency trees (GDAL, qpdf) are not mapped and relocated at
// every start. A module exports one function, const void* entry(), answering its table of entry
// points; the table's first member is the tag of the build that made it.
#pragma once

#include <cstddef>
#include <string>

namespace kov {

struct ModuleFile {
    const char* file;         // the module's file name, "libkovgdal.so"
    const char* variable;     // the environment variable that names another file (tests)
    const char* entrySymbol;  // the exported function answering the table
    const char* library;      // what it brings, for messages: "GDAL"
    size_t tableSize;         // the size of the table, part of the tag
};

// The tag a module's table starts with: the version and the table's size, so that a program and
// a module of different builds never call each other.
inline std::string moduleTag(size_t tableSize) {
    return std::string(KOV_VERSION) + "/" + std::to_string(tableSize);
}

// Loads the module: the file the variable names, else the first found beside the executable
// (the build tree) and in ../lib/kovview/modules/ from it (an installed program). Answers its
// table, or null with one line in error ("cannot load GDAL (libkovgdal.so): ...").
const void* loadModule(const ModuleFile& module, std::string& error);

// The table of a module loaded on the first call (thread-safe; one module per table type), made
// ready by prepare once; null when it cannot be loaded, with the line in error when given.
template <class Table>
const Table* loadModuleOnce(const ModuleFile& module, std::string* error,
                            void (*prepare)(const Table&) = nullptr) {
    struct Loaded {
        const Table* table = nullptr;
        std::string error;
    };
    static const Loaded loaded = [&] {
        Loaded m;
        m.table = static_cast<const Table*>(loadModule(module, m.error));
        if (m.table && prepare) prepare(*m.table);
        return m;
    }();
    if (loaded.table == nullptr && error) *error = loaded.error;
    return loaded.table;
}

}  // namespace kov
