// SPDX-License-Identifier: MIT
#include "core/base/ScratchFolder.h"

#include <fcntl.h>
#include <unistd.h>

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

// fsync works on folders too: it makes the names in them durable.
bool syncPath(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool syncTree(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path, ec))
            if (!syncTree(entry.path())) return false;
        if (ec) return false;
    }
    return syncPath(path);
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
    for (const fs::directory_entry& entry : fs::directory_iterator(path_, ec)) {
        if (!syncTree(entry.path())) return fail(error, "cannot flush " + entry.path().string());
        if (entry.path().filename() != target_.filename()) entries.push_back(entry.path());
    }
    if (ec) return fail(error, "cannot list " + path_.string() + ": " + ec.message());
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
