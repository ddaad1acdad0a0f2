// SPDX-License-Identifier: MIT
#include "core/base/ScratchFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/base/AtomicFile.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

bool fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// Starts writing a file's data to disk without waiting for it.
void startWriteBack(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // the wait that follows reports it
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
}

// fsync works on folders too: it makes the names in them durable.
bool syncPath(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The files and folders under path and path itself, each folder after what it holds.
bool listTree(const fs::path& path, std::vector<fs::path>& tree) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path, ec))
            if (!listTree(entry.path(), tree)) return false;
        if (ec) return false;
    }
    tree.push_back(path);
    return true;
}

// Makes the files and folders durable. Write-back of every file starts before any is waited for:
// the disk works on all of them together, and the journal commit of the first wait records the
// others' blocks too, so that a write of many files costs about one commit, not one per file.
// (A folder has no data to start; sync_file_range refuses it harmlessly.)
bool syncAll(const std::vector<fs::path>& paths) {
    for (const fs::path& path : paths)
        startWriteBack(path);
    return std::all_of(paths.begin(), paths.end(), syncPath);
}

// Puts a folder where an older one of the same name may stand: the old one is first renamed
// aside (a rename cannot replace a folder that holds files), then removed.
bool moveFolder(const fs::path& from, const fs::path& to, std::string* error) {
    std::error_code ec;
    fs::path aside;
    if (fs::exists(fs::symlink_status(to, ec))) {
        std::string name = scratchTemplate(to.string());
        if (::mkdtemp(name.data()) == nullptr) return fail(error, "cannot move " + to.string());
        aside = fs::path(name) / to.filename();
        fs::rename(to, aside, ec);
        if (ec) return fail(error, "cannot move " + to.string() + ": " + ec.message());
    }
    fs::rename(from, to, ec);
    if (ec) {
        if (!aside.empty()) fs::rename(aside, to, ec);
        return fail(error, "cannot rename " + from.string() + ": " + ec.message());
    }
    if (!aside.empty()) fs::remove_all(aside.parent_path(), ec);
    return true;
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& target) : target_(fs::absolute(target)) {
    removeStaleScratch(target_.string());
    std::string name = scratchTemplate(target_.string());
    if (::mkdtemp(name.data()) != nullptr) path_ = name;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

bool ScratchFolder::moveIntoPlace(std::string* error) {
    if (path_.empty()) return fail(error, "no scratch folder beside " + target_.string());
    std::vector<fs::path> entries;
    std::error_code ec;
    std::vector<fs::path> written;  // all that lies in the scratch folder
    for (const fs::directory_entry& entry : fs::directory_iterator(path_, ec)) {
        if (!listTree(entry.path(), written))
            return fail(error, "cannot list " + entry.path().string());
        if (entry.path().filename() != target_.filename()) entries.push_back(entry.path());
    }
    if (ec) return fail(error, "cannot list " + path_.string() + ": " + ec.message());
    if (!syncAll(written)) return fail(error, "cannot flush " + path_.string());
    entries.push_back(file());
    const fs::path folder = target_.parent_path();
    for (const fs::path& entry : entries) {
        const fs::path to = folder / entry.filename();
        if (fs::is_directory(entry, ec)) {
            if (!moveFolder(entry, to, error)) return false;
            continue;
        }
        // A file written again keeps the permissions its owner gave it.
        const fs::file_status previous = fs::status(to, ec);
        if (fs::is_regular_file(previous)) fs::permissions(entry, previous.permissions(), ec);
        fs::rename(entry, to, ec);
        if (ec) return fail(error, "cannot rename " + entry.string() + ": " + ec.message());
    }
    return syncPath(folder) || fail(error, "cannot flush " + folder.string());
}

}  // namespace kov
