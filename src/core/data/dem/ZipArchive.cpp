// SPDX-License-Identifier: MIT
#include "core/data/dem/ZipArchive.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/base/AtomicFile.h"
#include "core/base/ModuleLoader.h"
#include "core/data/dem/ZipModule.h"

namespace kov {
namespace {

bool setError(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// The zip module, or null with the line that says why in error.
const ZipEntryPoints* zipModule(std::string* error) {
    return loadModuleOnce<ZipEntryPoints>(
        {"libkovzip.so", kZipModuleVariable, kZipEntrySymbol, "libzip", sizeof(ZipEntryPoints)},
        error);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWithZip(std::string_view name) {
    if (name.size() < 4) return false;
    std::string tail(name.substr(name.size() - 4));
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".zip";
}

}  // namespace

struct ZipArchive::State {
    std::vector<uint8_t> bytes;  // the archive's bytes when opened from memory
    const ZipEntryPoints* module = nullptr;
    void* archive = nullptr;  // the module's
    std::vector<Entry> entries;
    ZipLimits limits;
    ~State() {
        if (archive) module->close(archive);
    }
};

ZipArchive::ZipArchive(std::unique_ptr<State> state) : state_(std::move(state)) {}
ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::openFile(const std::string& path, std::string* error,
                                                 const ZipLimits& limits) {
    if (!isRegularFile(path)) {
        setError(error, path + " is not a regular file");
        return nullptr;
    }
    return open(path.c_str(), {}, error, limits);
}

std::unique_ptr<ZipArchive> ZipArchive::openBytes(std::vector<uint8_t> bytes, std::string* error,
                                                  const ZipLimits& limits) {
    return open(nullptr, std::move(bytes), error, limits);
}

std::unique_ptr<ZipArchive> ZipArchive::open(const char* path, std::vector<uint8_t> bytes,
                                             std::string* error, const ZipLimits& limits) {
    auto state = std::make_unique<State>();
    state->module = zipModule(error);
    if (!state->module) return nullptr;
    state->bytes = std::move(bytes);
    state->limits = limits;
    std::string why;
    state->archive = state->module->open(path, state->bytes.data(), state->bytes.size(),
                                         limits.maxMembers, state->entries, why);
    if (!state->archive) {
        setError(error, why);
        return nullptr;
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(state)));
}

const std::vector<ZipArchive::Entry>& ZipArchive::entries() const {
    return state_->entries;
}

bool ZipArchive::read(size_t index, std::vector<uint8_t>& out, std::string* error) const {
    out.clear();
    if (index >= state_->entries.size()) return setError(error, "no such member");
    const Entry& entry = state_->entries[index];
    if (entry.encrypted) return setError(error, entry.name + " is encrypted");
    if (entry.size > state_->limits.maxMemberBytes)
        return setError(error, entry.name + " states " + std::to_string(entry.size) +
                                   " bytes, more than the bound of " +
                                   std::to_string(state_->limits.maxMemberBytes));
    std::string why;
    if (state_->module->read(state_->archive, index, entry.name, static_cast<size_t>(entry.size),
                             out, why))
        return true;
    return setError(error, why);
}

bool looksLikeZip(std::string_view head) {
    return head.substr(0, 4) == std::string_view("PK\3\4", 4) ||
           head.substr(0, 4) == std::string_view("PK\5\6", 4);
}

std::string ArchivePath::joined() const {
    std::string path = file;
    for (const std::string& member : members)
        path += "/" + member;
    return path;
}

bool splitArchivePath(const std::string& path, ArchivePath& out) {
    // The longest leading part first: the file may sit in folders named like archives.
    for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        const std::string file = path.substr(0, slash);
        if (!isRegularFile(file)) continue;
        ArchivePath split{file, {}};
        size_t at = slash + 1;
        while (at <= path.size()) {
            size_t end = path.find('/', at);
            if (end == std::string::npos) end = path.size();
            if (end == at) return false;  // an empty member name
            split.members.push_back(path.substr(at, end - at));
            at = end + 1;
        }
        out = std::move(split);
        return true;
    }
    return false;
}

bool isSafeMemberName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos || (name.size() > 1 && name[1] == ':')) {
        return false;
    }
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find('/', at);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(at, end - at) == "..") return false;
        at = end + 1;
    }
    return true;
}

namespace {

// One walk over an archive and the archives inside it.
struct MemberWalk {
    const std::function<bool(const std::string&)>& select;
    const std::function<bool(const std::string&, std::vector<uint8_t>&)>& visit;
    std::vector<RefusedMember>* refused;
    const ZipLimits& limits;
    bool stopped = false;

    void refuse(const std::string& path, std::string reason) {
        if (refused) refused->push_back({path, std::move(reason)});
    }

    void walk(const ZipArchive& archive, const std::string& prefix, int depth) {
        std::vector<uint8_t> bytes;
        const auto& entries = archive.entries();
        for (size_t i = 0; i < entries.size() && !stopped; ++i) {
            const ZipArchive::Entry& entry = entries[i];
            if (entry.directory) continue;
            const std::string path = prefix + "/" + entry.name;
            if (!isSafeMemberName(entry.name)) {
                refuse(path, "the member name is unsafe (absolute, or climbing with \"..\")");
                continue;
            }
            const bool nested = endsWithZip(entry.name);
            if (!nested && select && !select(path)) continue;
            if (nested && depth >= limits.maxDepth) {
                refuse(path, "archives nested deeper than " + std::to_string(limits.maxDepth));
                continue;
            }
            std::string reason;
            if (!archive.read(i, bytes, &reason)) {
                refuse(path, reason);
                continue;
            }
            const bool zipInside =
                nested && looksLikeZip({reinterpret_cast<const char*>(bytes.data()),
                                        std::min<size_t>(bytes.size(), 4)});
            if (zipInside) {
                walkInner(std::move(bytes), path, depth + 1);
                bytes = {};
            } else if ((!nested || !select || select(path)) && !visit(path, bytes)) {
                stopped = true;
            }
        }
    }

    void walkInner(std::vector<uint8_t> bytes, const std::string& path, int depth) {
        std::string reason;
        const auto inner = ZipArchive::openBytes(std::move(bytes), &reason, limits);
        if (!inner) return refuse(path, reason);
        walk(*inner, path, depth);
    }
};

}  // namespace

bool visitArchiveMembers(
    const std::string& path, const std::function<bool(const std::string& memberPath)>& select,
    const std::function<bool(const std::string& memberPath, std::vector<uint8_t>& bytes)>& visit,
    std::vector<RefusedMember>* refused, std::string* error, const ZipLimits& limits) {
    const auto archive = ZipArchive::openFile(path, error, limits);
    if (!archive) return false;
    MemberWalk walk{select, visit, refused, limits};
    walk.walk(*archive, path, 1);
    return true;
}

bool visitArchiveBytes(
    std::vector<uint8_t> bytes, const std::string& path,
    const std::function<bool(const std::string& memberPath)>& select,
    const std::function<bool(const std::string& memberPath, std::vector<uint8_t>& bytes)>& visit,
    std::vector<RefusedMember>* refused, std::string* error, const ZipLimits& limits) {
    const auto archive = ZipArchive::openBytes(std::move(bytes), error, limits);
    if (!archive) return false;
    MemberWalk walk{select, visit, refused, limits};
    walk.walk(*archive, path, 1);
    return true;
}

bool zipBytes(const std::vector<std::pair<std::string, std::string>>& members, std::string& out,
              std::string* error) {
    const ZipEntryPoints* module = zipModule(error);
    if (!module) return false;
    std::string why;
    if (module->zipBytes(members, out, why)) return true;
    return setError(error, why);
}

bool writeZipFile(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& members,
                  std::string* error) {
    std::string bytes;
    return zipBytes(members, bytes, error) && replaceFileAtomically(path, bytes, error);
}

}  // namespace kov
