// SPDX-License-Identifier: MIT
// Why a file (a layer or a project file) could not be used: a code the window names in its own
// words, beside the English text that logs and kovtool show.
#pragma once

#include <cstdint>
#include <string>

namespace kov {

enum class LoadProblem {
    None,
    NotFound,
    Folder,
    NotRegularFile,  // a FIFO, a device
    NoPermission,
    TooLarge,
    ReadError,
    NotAMeshFile,      // a project's mesh entry names a file of another kind
    HeaderMissing,     // a 5 m tile's header is found neither beside it nor in ../Header
    HeaderUnreadable,  // the header is there but cannot be read
    NotXml,            // a project file that is no XML document
    NotAProject,       // an XML document without a project element
    NoMesh,            // a project none of whose meshes could be read
    Damaged,           // the reader refused what the file holds
};

// What keeps the file at path from being read, found without reading it (a FIFO is never
// opened): None when it opens for reading and holds at most maxBytes, and for internet paths.
// *text (when given) says it in English.
LoadProblem fileProblem(const std::string& path, uint64_t maxBytes, std::string* text = nullptr);

}  // namespace kov
