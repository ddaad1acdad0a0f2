// SPDX-License-Identifier: MIT
// The file service: opens a path for reading and hands out its whole contents.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

struct stat;
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/base/LargeBlockAllocator.h"
#include "core/data/ReceivedBytes.h"

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
    // A fetched file, held where its bytes arrived.
    HxFile(std::string fullPath, ReceivedBytes received)
        : fullPath_(std::move(fullPath)), received_(std::move(received)) {}

    // The file's own full path (absolute for local files).
    const std::string& fullPath() const { return fullPath_; }
    std::string_view contents() const {
        return received_.view().empty() ? std::string_view(contents_.data(), contents_.size())
                                        : received_.view();
    }
    // Hands the buffer back, so that the next openFile can reuse its memory (empty for a
    // fetched file).
    FileBuffer takeContents() { return std::move(contents_); }

private:
    std::string fullPath_;
    FileBuffer contents_;
    ReceivedBytes received_;
};

// No bound on the size of a file but the memory that can be had.
inline constexpr uint64_t kAnyFileSize = UINT64_MAX;

// Judges a file by its first bytes (at most kHeadBytes; fewer when the file is shorter) before
// the rest is read: answers why the file is refused, or an empty text to read it whole.
using HeadCheck = std::function<std::string(std::string_view head)>;
inline constexpr size_t kHeadBytes = 4096;

// Opens a file; null when it cannot be opened, is not a regular file (a FIFO, device or folder
// never blocks the open: it is refused without being read), holds more than maxBytes, fails the
// head check, or grows while it is read (no byte beyond the size it had when opened is held), and
// then *reason (when given) says why. Internet paths ("http:", "https:", "ftp:") are fetched whole;
// their full path is the address. A local file's full path is made absolute without resolving
// symbolic links: a file reached through a link is named, and looked for beside, as the link. A
// buffer from an earlier file may be passed in to be reused: readers of many files avoid fresh
// memory per file.
std::unique_ptr<HxFile> openFile(const std::string& path, FileBuffer buffer = {},
                                 std::string* reason = nullptr, uint64_t maxBytes = kAnyFileSize,
                                 const HeadCheck& headCheck = {});

// Whether openFile may read the path: an internet path, or a regular file that can be opened for
// reading. Answers at once for a FIFO or device.
bool isReadableFile(const std::string& path);

// Names of the entries of folders, read once; for searches that try many paths in the same
// folders.
class FolderListingCache {
public:
    FolderListingCache();
    ~FolderListingCache();
    FolderListingCache(const FolderListingCache&) = delete;
    FolderListingCache& operator=(const FolderListingCache&) = delete;

    // The file's status looked up relative to its folder, which is opened once per cache (a
    // load): the folder's path is walked once, not once per file. Answers as ::stat does.
    int statInFolder(const std::string& path, struct stat* info);
    // The entry of folder whose name equals name without regard to ASCII case; empty when none.
    // Threads reading the files of one load may share the cache.
    std::string findIgnoringCase(const std::string& folder, const std::string& name);
    // The existing folder (ending in '/') that folder names, matched as findPathIgnoringCase
    // matches; empty when there is none. Worked out once per folder: a search that tries many
    // names in the same folders costs one look-up per name.
    std::string resolveFolder(const std::string& folder);

private:
    std::mutex lock_;
    // Per folder: entry names by their lower-case form (the first of equal forms wins).
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
    std::unordered_map<std::string, std::string> folders_;  // resolveFolder's answers
    std::unordered_map<std::string, int> handles_;          // statInFolder's folders (-1: none)
    uint64_t serial_;  // tells this cache from an earlier one at the same address
};

// While an object of this class lives, every findPathIgnoringCase on this thread without a
// cache of its own shares one: a load of many files lists each folder at most once. Scopes
// nest; the innermost one is used.
class FolderListingScope {
public:
    FolderListingScope();
    // This thread shares another scope's cache (a thread reading files for that load); null:
    // no cache.
    explicit FolderListingScope(FolderListingCache* shared);
    ~FolderListingScope();
    // The cache this thread's innermost scope uses; null without a scope.
    static FolderListingCache* current();
    FolderListingScope(const FolderListingScope&) = delete;
    FolderListingScope& operator=(const FolderListingScope&) = delete;

private:
    FolderListingCache cache_;
    FolderListingCache* outer_;
};

// How many folder listings the case-insensitive search has read in this process (for
// diagnostics: a load should list each folder once, not once per file).
uint64_t folderListingsRead();

// The path itself when it exists; otherwise the existing path whose components match the given
// ones without regard to ASCII case (a Windows data set copied to Linux may differ in case),
// or an empty string. Internet paths are answered unchanged. Folder listings come from the
// given cache, else from the thread's FolderListingScope when there is one.
std::string findPathIgnoringCase(const std::string& path, FolderListingCache* cache = nullptr);

}  // namespace kov
