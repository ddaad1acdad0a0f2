// SPDX-License-Identifier: MIT
#include "core/base/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kov {
namespace {

bool fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names: a symbolic link (or a chain of them) is followed to its target, which
// need not exist yet.
std::string followLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return path;
        target.resize(static_cast<size_t>(n));
        path = target.starts_with('/') ? target : folderOf(path) + "/" + target;
    }
    return path;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

constexpr std::string_view kScratchTag = ".tmp-";
constexpr size_t kUniqueChars = 6;  // the XXXXXX of mkstemp and mkdtemp

// The process id of a scratch name "<file>.tmp-<pid>-XXXXXX" of file, or 0 for any other name.
pid_t scratchOwner(std::string_view name, std::string_view file) {
    if (!name.starts_with(file)) return 0;
    name.remove_prefix(file.size());
    if (!name.starts_with(kScratchTag)) return 0;
    name.remove_prefix(kScratchTag.size());
    pid_t pid = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    const std::string_view rest(end, static_cast<size_t>(name.data() + name.size() - end));
    if (ec != std::errc() || pid <= 0 || rest.size() != 1 + kUniqueChars || rest[0] != '-')
        return 0;
    return pid;
}

bool processIsGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A scratch folder holds the files of one write: they go, then the folder; anything else in it
// keeps it.
void removeScratchFolder(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(folder);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

struct UnlinkOnFailure {
    std::string path;
    bool keep = false;
    ~UnlinkOnFailure() {
        if (!keep && !path.empty()) ::unlink(path.c_str());
    }
};

}  // namespace

std::string scratchTemplate(const std::string& target) {
    return target + std::string(kScratchTag) + std::to_string(::getpid()) + "-XXXXXX";
}

void removeStaleScratch(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* folder = ::opendir(folderOf(target).c_str());
    if (!folder) return;
    const int fd = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t owner = scratchOwner(entry->d_name, file);
        if (owner == 0 || !processIsGone(owner)) continue;
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode))
            removeScratchFolder(fd, entry->d_name);
        else if (S_ISREG(st.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(folder);
}

std::optional<std::string> replaceableTarget(const std::string& requested, std::string* error) {
    std::string path = followLinks(requested);
    struct stat existing;
    if (::stat(path.c_str(), &existing) != 0) return path;
    if (!S_ISREG(existing.st_mode)) {
        fail(error, "not a regular file");
        return std::nullopt;
    }
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        fail(error, "the file is read-only");
        return std::nullopt;
    }
    return path;
}

bool replaceFileAtomically(const std::string& requested, std::string_view bytes,
                           std::string* error) {
    const std::optional<std::string> target = replaceableTarget(requested, error);
    if (!target) return false;
    const std::string& path = *target;
    struct stat existing;
    const bool exists = ::stat(path.c_str(), &existing) == 0;

    // Beside the target: mkstemp makes the name unique and creates it exclusively, so concurrent
    // saves and unrelated files of a similar name are never touched.
    removeStaleScratch(path);
    std::string temporary = scratchTemplate(path);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail(error, systemError("cannot create a file in its folder"));
    UnlinkOnFailure cleanup{temporary};

    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string reason;
    auto check = [&reason](bool done, const char* what) {
        if (!done && reason.empty()) reason = systemError(what);
        return done;
    };
    bool ok = check(writeAll(fd, bytes), "cannot write") &&
              check(::fchmod(fd, mode) == 0, "cannot set permissions") &&
              check(::fsync(fd) == 0, "cannot flush to disk");
    ok = check(::close(fd) == 0, "cannot write") && ok;
    ok = ok && check(::rename(temporary.c_str(), path.c_str()) == 0, "cannot replace the file");
    if (!ok) return fail(error, reason);
    cleanup.keep = true;

    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace kov
