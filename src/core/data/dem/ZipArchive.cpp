// SPDX-License-Identifier: MIT
#include "core/data/dem/ZipArchive.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/base/AtomicFile.h"

namespace kov {
namespace {

constexpr size_t kReadPiece = size_t{1} << 20;  // the output grows by at most this per read

struct ZipClose {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipClose>;

bool setError(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

std::string openErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
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
    ZipHandle archive;
    std::vector<Entry> entries;
    ZipLimits limits;
};

ZipArchive::ZipArchive(std::unique_ptr<State> state) : state_(std::move(state)) {}
ZipArchive::~ZipArchive() = default;

namespace {

// Lists the members of an opened archive into state; false when there are too many.
bool listEntries(zip_t* archive, const ZipLimits& limits, std::vector<ZipArchive::Entry>& entries,
                 std::string* error) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0) return setError(error, "the archive's directory is unreadable");
    if (count > limits.maxMembers)
        return setError(error, "the archive holds " + std::to_string(count) +
                                   " members, more than " + std::to_string(limits.maxMembers));
    entries.reserve(static_cast<size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !st.name)
            return setError(error, "member " + std::to_string(i) + " of the archive is damaged");
        ZipArchive::Entry entry;
        entry.name = st.name;
        entry.size = (st.valid & ZIP_STAT_SIZE) ? static_cast<int64_t>(st.size) : 0;
        entry.encrypted =
            (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        entry.directory = !entry.name.empty() && entry.name.back() == '/';
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace

std::unique_ptr<ZipArchive> ZipArchive::openFile(const std::string& path, std::string* error,
                                                 const ZipLimits& limits) {
    if (!isRegularFile(path)) {
        setError(error, path + " is not a regular file");
        return nullptr;
    }
    int code = 0;
    auto state = std::make_unique<State>();
    state->archive.reset(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!state->archive) {
        setError(error, path + " is not a readable zip archive: " + openErrorText(code));
        return nullptr;
    }
    state->limits = limits;
    if (!listEntries(state->archive.get(), limits, state->entries, error)) return nullptr;
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(state)));
}

std::unique_ptr<ZipArchive> ZipArchive::openBytes(std::vector<uint8_t> bytes, std::string* error,
                                                  const ZipLimits& limits) {
    auto state = std::make_unique<State>();
    state->bytes = std::move(bytes);
    state->limits = limits;
    zip_error_t zipError;
    zip_error_init(&zipError);
    std::unique_ptr<zip_source_t, SourceFree> source(
        zip_source_buffer_create(state->bytes.data(), state->bytes.size(), 0, &zipError));
    if (source) {
        state->archive.reset(
            zip_open_from_source(source.get(), ZIP_RDONLY | ZIP_CHECKCONS, &zipError));
    }
    if (!state->archive) {
        setError(error,
                 std::string("not a readable zip archive: ") + zip_error_strerror(&zipError));
        zip_error_fini(&zipError);
        return nullptr;
    }
    source.release();  // the archive owns it now
    zip_error_fini(&zipError);
    if (!listEntries(state->archive.get(), limits, state->entries, error)) return nullptr;
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
    std::unique_ptr<zip_file_t, ZipFileClose> file(
        zip_fopen_index(state_->archive.get(), index, 0));
    if (!file)
        return setError(error,
                        entry.name + " cannot be read: " + zip_strerror(state_->archive.get()));
    // Read one byte past the stated size, so that more data than stated shows.
    const size_t stated = static_cast<size_t>(entry.size);
    size_t filled = 0;
    while (true) {
        const size_t want = std::min(kReadPiece, stated + 1 - filled);
        out.resize(filled + want);
        const zip_int64_t got = zip_fread(file.get(), out.data() + filled, want);
        if (got < 0) {
            const std::string reason = zip_file_strerror(file.get());
            out.clear();
            return setError(error, entry.name + " is damaged: " + reason);
        }
        filled += static_cast<size_t>(got);
        if (filled > stated) {
            out.clear();
            return setError(error, entry.name + " inflates past its stated size of " +
                                       std::to_string(stated) + " bytes");
        }
        if (got == 0) break;
    }
    out.resize(filled);
    if (filled != stated) {
        out.clear();
        return setError(error, entry.name + " inflates to " + std::to_string(filled) +
                                   " bytes, not its stated " + std::to_string(stated));
    }
    return true;
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
    zip_error_t zipError;
    zip_error_init(&zipError);
    std::unique_ptr<zip_source_t, SourceFree> sink(
        zip_source_buffer_create(nullptr, 0, 0, &zipError));
    ZipHandle archive(sink ? zip_open_from_source(sink.get(), ZIP_TRUNCATE, &zipError) : nullptr);
    zip_error_fini(&zipError);
    if (!archive) return setError(error, "cannot start a zip archive in memory");
    zip_source_keep(sink.get());  // read back after the archive is closed
    for (const auto& [name, data] : members) {
        zip_source_t* source = zip_source_buffer(archive.get(), data.data(), data.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            return setError(error, "cannot add " + name + ": " + zip_strerror(archive.get()));
        }
        zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                 0);
        // A fixed date, not the clock's: the same members make the same bytes.
        constexpr zip_uint16_t kMidnight = 0, k1October2016 = ((2016 - 1980) << 9) | (10 << 5) | 1;
        zip_file_set_dostime(archive.get(), static_cast<zip_uint64_t>(index), kMidnight,
                             k1October2016, 0);
    }
    if (zip_close(archive.get()) != 0)
        return setError(error,
                        std::string("cannot write the archive: ") + zip_strerror(archive.get()));
    archive.release();  // zip_close freed it
    zip_stat_t st;
    if (zip_source_stat(sink.get(), &st) != 0 || zip_source_open(sink.get()) != 0)
        return setError(error, "cannot read the archive back");
    out.resize(static_cast<size_t>(st.size));
    const zip_int64_t got = zip_source_read(sink.get(), out.data(), out.size());
    zip_source_close(sink.get());
    if (got != static_cast<zip_int64_t>(out.size()))
        return setError(error, "cannot read the archive back");
    return true;
}

bool writeZipFile(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& members,
                  std::string* error) {
    std::string bytes;
    return zipBytes(members, bytes, error) && replaceFileAtomically(path, bytes, error);
}

}  // namespace kov
