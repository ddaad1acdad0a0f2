// SPDX-License-Identifier: MIT
// The zip module: libzip opens, inflates and writes archives for ZipArchive.
#include <zip.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/base/ModuleLoader.h"
#include "core/data/dem/ZipModule.h"

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

bool setError(std::string& error, std::string reason) {
    error = std::move(reason);
    return false;
}

std::string openErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Lists the members of an opened archive; false when there are too many.
bool listEntries(zip_t* archive, int64_t maxMembers, std::vector<ZipArchive::Entry>& entries,
                 std::string& error) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0) return setError(error, "the archive's directory is unreadable");
    if (count > maxMembers)
        return setError(error, "the archive holds " + std::to_string(count) +
                                   " members, more than " + std::to_string(maxMembers));
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

void* openArchive(const char* path, const uint8_t* bytes, size_t size, int64_t maxMembers,
                  std::vector<ZipArchive::Entry>& entries, std::string& error) {
    ZipHandle archive;
    if (path) {
        int code = 0;
        archive.reset(zip_open(path, ZIP_RDONLY | ZIP_CHECKCONS, &code));
        if (!archive) {
            setError(error,
                     std::string(path) + " is not a readable zip archive: " + openErrorText(code));
            return nullptr;
        }
    } else {
        zip_error_t zipError;
        zip_error_init(&zipError);
        std::unique_ptr<zip_source_t, SourceFree> source(
            zip_source_buffer_create(bytes, size, 0, &zipError));
        if (source)
            archive.reset(
                zip_open_from_source(source.get(), ZIP_RDONLY | ZIP_CHECKCONS, &zipError));
        if (!archive) {
            setError(error,
                     std::string("not a readable zip archive: ") + zip_error_strerror(&zipError));
            zip_error_fini(&zipError);
            return nullptr;
        }
        source.release();  // the archive owns it now
        zip_error_fini(&zipError);
    }
    if (!listEntries(archive.get(), maxMembers, entries, error)) return nullptr;
    return archive.release();
}

bool readMember(void* opened, size_t index, const std::string& name, size_t stated,
                std::vector<uint8_t>& out, std::string& error) {
    auto* archive = static_cast<zip_t*>(opened);
    std::unique_ptr<zip_file_t, ZipFileClose> file(zip_fopen_index(archive, index, 0));
    if (!file) return setError(error, name + " cannot be read: " + zip_strerror(archive));
    // Read one byte past the stated size, so that more data than stated shows.
    size_t filled = 0;
    while (true) {
        const size_t want = std::min(kReadPiece, stated + 1 - filled);
        out.resize(filled + want);
        const zip_int64_t got = zip_fread(file.get(), out.data() + filled, want);
        if (got < 0) {
            const std::string reason = zip_file_strerror(file.get());
            out.clear();
            return setError(error, name + " is damaged: " + reason);
        }
        filled += static_cast<size_t>(got);
        if (filled > stated) {
            out.clear();
            return setError(error, name + " inflates past its stated size of " +
                                       std::to_string(stated) + " bytes");
        }
        if (got == 0) break;
    }
    out.resize(filled);
    if (filled != stated) {
        out.clear();
        return setError(error, name + " inflates to " + std::to_string(filled) +
                                   " bytes, not its stated " + std::to_string(stated));
    }
    return true;
}

void closeArchive(void* archive) {
    zip_discard(static_cast<zip_t*>(archive));
}

bool archiveOf(const std::vector<std::pair<std::string, std::string>>& members, std::string& out,
               std::string& error) {
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

}  // namespace
}  // namespace kov

extern "C" __attribute__((visibility("default"))) const void* kovZipEntryPoints() {
    static const std::string tag = kov::moduleTag(sizeof(kov::ZipEntryPoints));
    static const kov::ZipEntryPoints table = {tag.c_str(), kov::openArchive, kov::readMember,
                                              kov::closeArchive, kov::archiveOf};
    return &table;
}
