// The file service: opens a path for reading and hands out its whole contents.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/data/LargeBlockAllocator.h"

namespace kov {

// File contents; big files get their memory populated in one call.
using FileBuffer = std::vector<char, LargeBlockAllocator<char>>;

// A file opened for reading, held whole in memory.
class HxFile {
public:
    HxFile(std::string fullPath, FileBuffer contents)
        : fullPath_(std::move(fullPath)), contents_(std::move(contents)) {}
    HxFile(std::string fullPath, std::string_view contents)
        : HxFile(std::move(fullPath), FileBuffer(contents.begin(), contents.end())) {}

    // The file's own full path (absolute for local files).
    const std::string& fullPath() const { return fullPath_; }
    std::string_view contents() const { return {contents_.data(), contents_.size()}; }
    // Hands the buffer back, so that the next openFile can reuse its memory.
    FileBuffer takeContents() { return std::move(contents_); }

private:
    std::string fullPath_;
    FileBuffer contents_;
};

// Opens a file; null when it cannot be opened or is not a regular file, and then *reason (when
// given) says why. Internet paths ("http:", "https:", "ftp:") are fetched whole; their full path
// is the address. A local file's full path is made absolute without resolving symbolic links:
// a file reached through a link is named, and looked for beside, as the link. A buffer from an
// earlier file may be passed in to be reused: readers of many files avoid fresh memory per file.
std::unique_ptr<HxFile> openFile(const std::string& path, FileBuffer buffer = {},
                                 std::string* reason = nullptr);

// Names of the entries of folders, read once; for searches that try many paths in the same
// folders.
class FolderListingCache {
public:
    const std::vector<std::string>& entries(const std::string& folder);

private:
    std::unordered_map<std::string, std::vector<std::string>> listings_;
};

// The path itself when it exists; otherwise the existing path whose components match the given
// ones without regard to ASCII case (a Windows data set copied to Linux may differ in case),
// or an empty string. Internet paths are answered unchanged. Folder listings come from the
// cache when one is given.
std::string findPathIgnoringCase(const std::string& path, FolderListingCache* cache = nullptr);

// Splits at the last '/' or '\\': the folder including its separator, and the file name.
std::pair<std::string, std::string> splitFolder(const std::string& path);
// The file name without its last extension.
std::string baseName(const std::string& path);
// The last extension including the dot, or an empty string.
std::string fileExtension(const std::string& path);
// ASCII case-insensitive comparison, for file extensions and names.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kov
