// SPDX-License-Identifier: MIT
#include "core/data/HxFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/base/PathNames.h"
#include "core/data/InternetFetch.h"

namespace kov {
namespace {

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Sets *reason when asked; answers null for the caller's return.
std::nullptr_t refuse(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return nullptr;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::atomic<uint64_t> listingsRead{0};
thread_local FolderListingCache* scopedCache = nullptr;

// findPathIgnoringCase component by component, listings from cache when given.
std::string walkIgnoringCase(const std::string& path, FolderListingCache* cache);

// Calls onEntry with the name of every entry of folder until it answers true.
template <typename OnEntry>
void forEachEntry(const std::string& folder, OnEntry onEntry) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    ++listingsRead;
    while (dirent* entry = ::readdir(dir)) {
        if (onEntry(entry->d_name)) break;
    }
    ::closedir(dir);
}

// The entry of folder whose name equals name without regard to ASCII case; empty when none.
std::string findEntryIgnoringCase(const std::string& folder, const std::string& name,
                                  FolderListingCache* cache) {
    if (cache) return cache->findIgnoringCase(folder, name);
    std::string found;
    forEachEntry(folder, [&](const char* entry) {
        if (!equalsIgnoringCase(entry, name)) return false;
        found = entry;
        return true;
    });
    return found;
}

}  // namespace

FolderListingCache::FolderListingCache() {
    static std::atomic<uint64_t> caches{0};
    serial_ = ++caches;
}

FolderListingCache::~FolderListingCache() {
    for (const auto& [folder, handle] : handles_)
        if (handle >= 0) ::close(handle);
}

int FolderListingCache::statInFolder(const std::string& path, struct stat* info) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return ::stat(path.c_str(), info);
    // The last folders this thread asked for, without the lock: a tile's and its header's.
    struct Known {
        uint64_t serial = 0;
        std::string folder;
        int handle = -1;
    };
    thread_local Known known[2];
    thread_local size_t oldest = 0;
    const std::string_view folder(path.data(), slash);
    int handle = -1;
    bool found = false;
    for (const Known& k : known)
        if (k.serial == serial_ && k.folder == folder) {
            handle = k.handle;
            found = true;
        }
    if (!found) {
        // A few folders' handles at most: a load of many folders must not run out of files.
        constexpr size_t kMaxHandles = 64;
        const std::lock_guard hold(lock_);
        auto at = handles_.find(std::string(folder));
        if (at == handles_.end() && handles_.size() < kMaxHandles) {
            at = handles_.emplace(std::string(folder), -1).first;
            at->second = ::open(at->first.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (at != handles_.end()) {
            handle = at->second;
            known[oldest] = {serial_, at->first, handle};
            oldest = (oldest + 1) % std::size(known);
        }
    }
    if (handle < 0) return ::stat(path.c_str(), info);
    return ::fstatat(handle, path.c_str() + slash + 1, info, 0);
}

std::string FolderListingCache::findIgnoringCase(const std::string& folder,
                                                 const std::string& name) {
    const std::lock_guard hold(lock_);
    const auto inserted = listings_.try_emplace(folder);
    auto& entries = inserted.first->second;
    if (inserted.second)
        forEachEntry(folder, [&](const char* entry) {
            entries.try_emplace(lowerAscii(entry), entry);
            return false;
        });
    const auto found = entries.find(lowerAscii(name));
    return found == entries.end() ? std::string() : found->second;
}

std::string FolderListingCache::resolveFolder(const std::string& folder) {
    {
        const std::lock_guard hold(lock_);
        if (const auto known = folders_.find(folder); known != folders_.end()) return known->second;
    }
    // Worked out without the lock: the walk lists folders through this cache.
    std::string resolved = walkIgnoringCase(folder, this);
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    const std::lock_guard hold(lock_);
    return folders_.try_emplace(folder, std::move(resolved)).first->second;
}

FolderListingScope::FolderListingScope() : outer_(scopedCache) {
    scopedCache = &cache_;
}

FolderListingScope::FolderListingScope(FolderListingCache* shared) : outer_(scopedCache) {
    scopedCache = shared;
}

FolderListingScope::~FolderListingScope() {
    scopedCache = outer_;
}

FolderListingCache* FolderListingScope::current() {
    return scopedCache;
}

uint64_t folderListingsRead() {
    return listingsRead;
}

namespace {

// Opens a local path for reading without blocking: a FIFO without a writer (or a device) would
// otherwise hold the open for ever. Only a regular file is kept open, in blocking mode.
int openRegularFile(const std::string& path, struct stat& st, std::string* reason = nullptr) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (reason) *reason = std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        if (reason) *reason = "not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool isReadableFile(const std::string& path) {
    if (isInternetPath(path)) return true;
    struct stat st;
    FileDescriptor fd(openRegularFile(path, st));
    return fd.get() >= 0;
}

namespace {

// Reads from fd into buffer[filled..wanted); answers the bytes read in all, or -1 (errno set).
ssize_t readUpTo(int fd, char* buffer, size_t wanted) {
    size_t filled = 0;
    while (filled < wanted) {
        const ssize_t n = ::read(fd, buffer + filled, wanted - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(filled);
}

}  // namespace

std::unique_ptr<HxFile> openFile(const std::string& path, FileBuffer buffer, std::string* reason,
                                 uint64_t maxBytes, const HeadCheck& headCheck) {
    if (path.empty()) return refuse(reason, "no such file");
    if (isInternetPath(path)) {
        std::optional<ReceivedBytes> fetched = fetchWhole(path, reason, maxBytes);
        if (!fetched) return nullptr;
        if (headCheck) {
            std::string refusal = headCheck(fetched->view().substr(0, kHeadBytes));
            if (!refusal.empty()) return refuse(reason, std::move(refusal));
        }
        return std::make_unique<HxFile>(path, std::move(*fetched));
    }
    struct stat st;
    FileDescriptor fd(openRegularFile(path, st, reason));
    if (fd.get() < 0) return nullptr;
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size > maxBytes)
        return refuse(reason, "larger than " + std::to_string(maxBytes) + " bytes");
    if (headCheck) {
        char head[kHeadBytes];
        const ssize_t n = readUpTo(fd.get(), head, std::min<uint64_t>(size, kHeadBytes));
        if (n < 0) return refuse(reason, std::strerror(errno));
        std::string refusal = headCheck(std::string_view(head, static_cast<size_t>(n)));
        if (!refusal.empty()) return refuse(reason, std::move(refusal));
        if (::lseek(fd.get(), 0, SEEK_SET) != 0) return refuse(reason, std::strerror(errno));
    }

    try {
        // One byte more than the file's size tells whether it grew while it was read: what was
        // held would then be a part of it, and a file that keeps growing must not take all the
        // memory.
        buffer.resize(static_cast<size_t>(size) + 1);
        const ssize_t filled = readUpTo(fd.get(), buffer.data(), buffer.size());
        if (filled < 0) return refuse(reason, std::strerror(errno));
        if (static_cast<uint64_t>(filled) > size)
            return refuse(
                reason, "it grew beyond its " + std::to_string(size) + " bytes while it was read");
        buffer.resize(static_cast<size_t>(filled));
    } catch (const std::bad_alloc&) {
        return refuse(reason,
                      "not enough memory to hold its " + std::to_string(st.st_size) + " bytes");
    }
    return std::make_unique<HxFile>(absolutePath(path), std::move(buffer));
}

std::string findPathIgnoringCase(const std::string& path, FolderListingCache* cache) {
    if (path.empty()) return {};
    if (!cache) cache = scopedCache;
    if (exists(path) || isInternetPath(path)) return path;
    const size_t slash = path.rfind('/');
    if (!cache || slash == std::string::npos || slash + 1 == path.size())
        return walkIgnoringCase(path, cache);
    // The folder once per cache, then the name in its listing.
    const std::string folder = cache->resolveFolder(path.substr(0, slash + 1));
    if (folder.empty()) return {};
    const std::string name = path.substr(slash + 1);
    const std::string match = cache->findIgnoringCase(folder, name);
    if (match.empty()) return {};
    // Names that differ only in case: the one asked for when it exists as written.
    if (match != name && exists(folder + name)) return folder + name;
    return folder + match;
}

namespace {

std::string walkIgnoringCase(const std::string& path, FolderListingCache* cache) {
    if (exists(path)) return path;
    // Walk the components, replacing each that does not exist by a case-insensitive match.
    std::string resolved = path[0] == '/' ? "/" : "";
    size_t pos = path[0] == '/' ? 1 : 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        std::string candidate = resolved + component;
        if (!exists(candidate)) {
            if (component == "." || component == "..") return {};
            const std::string match = findEntryIgnoringCase(resolved, component, cache);
            if (match.empty()) return {};
            candidate = resolved + match;
        }
        resolved = candidate;
        if (end < path.size()) resolved += '/';
    }
    return exists(resolved) ? resolved : std::string();
}

}  // namespace

}  // namespace kov
