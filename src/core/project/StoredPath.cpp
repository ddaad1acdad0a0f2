// SPDX-License-Identifier: MIT
#include "core/project/StoredPath.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>
#include <vector>

#include "core/base/PathNames.h"
#include "core/data/HxFile.h"

namespace kov {
namespace {

// Deeper folders keep only their last components for the run search: the candidates grow with
// the square of both counts.
constexpr size_t kMaxRunComponents = 10;

// Folder components, each with its leading separator; the final "/" of the folder is dropped
// (it is never part of a run).
std::vector<std::string> components(const std::string& folder) {
    std::vector<std::string> components;
    size_t pos = 0;
    while (pos < folder.size()) {
        size_t next = folder.find('/', pos + 1);
        if (next == std::string::npos) next = folder.size();
        components.push_back(folder.substr(pos, next - pos));
        pos = next;
    }
    if (!components.empty() && components.back() == "/") components.pop_back();
    if (components.size() > kMaxRunComponents)
        components.erase(components.begin(), components.end() - kMaxRunComponents);
    return components;
}

std::string join(const std::vector<std::string>& components, size_t begin, size_t end) {
    std::string run;
    for (size_t i = begin; i < end; ++i)
        run += components[i];
    return run;
}

// Runs of consecutive components in order of increasing end, then increasing start.
std::vector<std::string> runs(const std::vector<std::string>& components) {
    std::vector<std::string> runs;
    for (size_t end = 0; end <= components.size(); ++end)
        for (size_t begin = 0; begin <= end; ++begin) {
            if (begin == end && end > 0) continue;  // the empty run is listed once
            runs.push_back(join(components, begin, end));
        }
    return runs;
}

// Where the first zip of a path ends when members follow it ("d/a.zip/b.xml" -> 7); npos for a
// path that names no member of a zip.
size_t archiveEnd(const std::string& path) {
    const std::string lower = lowerAscii(path);
    for (size_t at = lower.find(".zip"); at != std::string::npos; at = lower.find(".zip", at + 1)) {
        const size_t end = at + 4;
        if (end < path.size() && (path[end] == '/' || path[end] == '\\')) return end;
    }
    return std::string::npos;
}

}  // namespace

ResolvedPath ResolveStoredPath(const std::string& storedPath, const std::string& projectPath) {
    for (const char* scheme : {"http:", "https:", "ftp:", "file:"})
        if (startsWithIgnoringCase(storedPath, scheme)) return {storedPath, true};
    if (storedPath.empty()) return {storedPath, false};
    // A name of this system may hold '\': the path as written comes first.
    std::error_code error;
    if (std::filesystem::exists(storedPath, error)) return {storedPath, true};
    // A member of a zip: the zip is looked for as any stored file, the member path kept.
    if (const size_t end = archiveEnd(storedPath); end != std::string::npos) {
        ResolvedPath archive = ResolveStoredPath(storedPath.substr(0, end), projectPath);
        if (!archive.found) return {storedPath, false};
        std::string member = storedPath.substr(end + 1);
        std::replace(member.begin(), member.end(), '\\', '/');
        return {archive.path + "/" + member, true};
    }
    const WindowsPathParts stored = splitWindowsPath(storedPath);
    // Drive letters and shares of Windows paths do not exist on this system.
    if (stored.drive.empty()) {
        const std::string existing = findPathIgnoringCase(stored.folder + stored.file);
        if (!existing.empty()) return {existing, true};
    }
    if (projectPath.empty()) return {storedPath, false};

    std::filesystem::path absolute = std::filesystem::absolute(projectPath, error);
    const WindowsPathParts project = splitWindowsPath(error ? projectPath : absolute.string());
    const std::string& name = stored.file;

    std::unordered_set<std::string> tried;
    // A load lists each folder once for all its entries (its FolderListingScope); a lone call
    // lists them once for its own candidates.
    FolderListingCache ownListings;
    FolderListingCache* listings = FolderListingScope::current();
    if (!listings) listings = &ownListings;
    std::string found;
    auto attempt = [&](std::string candidate) {
        if (!tried.insert(candidate).second) return false;
        found = findPathIgnoringCase(candidate, listings);
        return !found.empty();
    };

    std::string storedFolder = stored.folder;
    if (!storedFolder.empty() && storedFolder[0] == '/') storedFolder.erase(0, 1);
    if (attempt(project.folder + storedFolder + name) || attempt("/" + storedFolder + name) ||
        attempt(project.folder + name))
        return {found, true};

    const std::vector<std::string> projectRuns = runs(components(project.folder));
    const std::vector<std::string> storedRuns = runs(components("/" + storedFolder));
    // The project's drive is the root of this system; a drive letter or share of the stored
    // path is never available here, so its candidates are not tried.
    for (const std::string& p : projectRuns)
        for (const std::string& s : storedRuns)
            if (attempt(p + s + "/" + name) || attempt(s + p + "/" + name)) return {found, true};
    return {storedPath, false};
}

}  // namespace kov
