// SPDX-License-Identifier: MIT
#include "core/data/cache/TileCache.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

#include "core/base/AtomicFile.h"
#include "core/base/PathNames.h"
#include "core/data/HxFile.h"
#include "core/data/ZarHMesh.h"
#include "core/data/cache/CacheEntry.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEntryExtension = ".kce";
constexpr const char* kIndexExtension = ".kci";
// A use refreshes an entry's time (what eviction goes by) at most this often.
constexpr int64_t kUseRefreshSeconds = 24 * 3600;

std::mutex activeLock;
std::shared_ptr<TileCache> activeCache;

uint64_t fnv1a(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// A file descriptor closed on scope exit.
struct Fd {
    int fd = -1;
    explicit Fd(int value) : fd(value) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// A whole entry file mapped read-only; unmapped when the last cells that use it go.
struct Mapping {
    void* address = MAP_FAILED;
    size_t size = 0;
    ~Mapping() {
        if (address != MAP_FAILED) ::munmap(address, size);
    }
};

std::shared_ptr<Mapping> mapFile(const std::string& path) {
    const Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || info.st_size <= 0) return nullptr;
    auto mapping = std::make_shared<Mapping>();
    mapping->size = static_cast<size_t>(info.st_size);
    // Every use reads the whole entry at once (its check sum first): its pages are mapped in
    // this call rather than a fault at a time.
    mapping->address =
        ::mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    if (mapping->address == MAP_FAILED) return nullptr;
    return mapping;
}

// Entries and indexes: what the cache's size counts, eviction and clearing remove.
bool isCacheFile(const fs::path& path) {
    const fs::path extension = path.extension();
    return extension == kEntryExtension || extension == kIndexExtension;
}

std::string hashedName(const std::string& text, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx%s", static_cast<unsigned long long>(fnv1a(text)),
                  extension);
    return name;
}

// A file's whole content; none when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path, struct stat* info) {
    const Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0 || ::fstat(file.fd, info) != 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(info->st_size), '\0');
    if (::pread(file.fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        return std::nullopt;
    return bytes;
}

// The absolute, lexically normal form of a folder ("/a/b/"); the last answer is kept per thread,
// as a load asks for the same folder tile after tile.
std::string normalFolder(const std::string& folder, std::error_code& error) {
    struct Answer {
        std::string asked, normal;
    };
    // A tile's folder and its header folder: the last few answers serve a whole load.
    thread_local Answer answers[4];
    thread_local size_t oldest = 0;
    const bool absolute = !folder.empty() && folder[0] == '/';
    if (absolute)  // a relative folder depends on the working folder: never kept
        for (const Answer& answer : answers)
            if (answer.asked == folder) return answer.normal;
    std::string normal =
        fs::absolute(folder.empty() ? "." : folder, error).lexically_normal().string();
    if (error) return {};
    if (normal.empty() || normal.back() != '/') normal += '/';
    if (absolute) {
        answers[oldest] = {folder, normal};
        oldest = (oldest + 1) % std::size(answers);
    }
    return normal;
}

bool isScratchName(const std::string& name) {
    return name.find(".tmp-") != std::string::npos;
}

// The process id in a scratch name "<entry>.tmp-<pid>-XXXXXX"; 0 when there is none.
long scratchProcess(const std::string& name) {
    const size_t at = name.find(".tmp-");
    return at == std::string::npos ? 0 : std::strtol(name.c_str() + at + 5, nullptr, 10);
}

bool processRuns(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The cells an entry brings back when a mesh's cells were let go.
class EntryCells : public CellSource {
public:
    EntryCells(std::shared_ptr<TileCache> cache, std::string key, CacheRecord record,
               TileCache::Reread reread)
        : cache_(std::move(cache)),
          key_(std::move(key)),
          record_(std::move(record)),
          reread_(std::move(reread)) {}

    bool fetch(MeshCells& into) const override {
        if (fetchFromEntry(into)) return true;
        cache_->noteProblem({CacheProblem::Kind::EntryGone, record_.name, {}});
        return fetchFromSource(into);
    }

private:
    bool fetchFromEntry(MeshCells& into) const {
        const std::shared_ptr<Mapping> mapping = mapFile(cache_->entryPath(key_));
        if (!mapping) return false;
        const auto* bytes = static_cast<const uint8_t*>(mapping->address);
        const std::optional<EntryView> entry = readEntry(bytes, mapping->size, mapping->size);
        const size_t count = static_cast<size_t>(record_.cols) * record_.rows;
        if (!entry || entry->key != key_ || !entry->payloadWhole ||
            entry->payloadBytes != count * (entry->cellBits / 8) || entry->cellBits < 16 ||
            !verifyPayload(*entry, bytes) || !(decodeRecord(entry->record) == record_))
            return false;
        const uint8_t* cells = bytes + entry->payloadOffset;
        if (entry->cellBits == 16) {
            into.adoptCompact(reinterpret_cast<const uint16_t*>(cells), count, record_.coding,
                              mapping);
            return true;
        }
        std::vector<int32_t, LargeBlockAllocator<int32_t>> codes(count);
        std::memcpy(codes.data(), cells, count * sizeof(int32_t));
        into.adoptFull(std::move(codes));
        return true;
    }

    // Cells only from a source that still gives the very mesh (else they read as no data).
    bool fetchFromSource(MeshCells& into) const {
        const std::unique_ptr<ZarHMesh> fresh = reread_ ? reread_() : nullptr;
        if (!fresh || !(recordOfMesh(*fresh) == record_)) {
            cache_->noteProblem({CacheProblem::Kind::SourceChanged, record_.name, {}});
            return false;
        }
        cache_->storeMesh(key_, *fresh);
        const size_t count = fresh->cells.size();
        std::vector<int32_t, LargeBlockAllocator<int32_t>> codes(count);
        const int32_t* from = fresh->cells.codes(0, count, codes.data());
        if (from != codes.data()) std::memcpy(codes.data(), from, count * sizeof(int32_t));
        into.adoptFull(std::move(codes));
        return true;
    }

    std::shared_ptr<TileCache> cache_;
    std::string key_;
    CacheRecord record_;
    TileCache::Reread reread_;
};

}  // namespace

std::string defaultCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/kovview";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.cache/kovview";
    return {};
}

bool addToSourceKey(std::string& key, const std::string& path) {
    struct stat info {};
    // Within a load, each folder's path is walked once.
    FolderListingCache* const listings = FolderListingScope::current();
    const int status = listings ? listings->statInFolder(path, &info) : ::stat(path.c_str(), &info);
    if (status != 0 || !S_ISREG(info.st_mode)) return false;
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::error_code error;
    const std::string normal = normalFolder(folder, error);
    if (error) return false;
    const int64_t nanoseconds = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
    key += '\n';
    key += normal;
    key.append(path, slash == std::string::npos ? 0 : slash + 1);
    key += '\n';
    key += std::to_string(info.st_size);
    key += '\n';
    key += std::to_string(nanoseconds);
    return true;
}

std::optional<std::string> sourceKey(const std::vector<std::string>& paths) {
    std::string key = "v" + std::to_string(TileCache::kFormatVersion);
    for (const std::string& path : paths)
        if (!addToSourceKey(key, path)) return std::nullopt;
    return key;
}

std::optional<std::string> companionKey(const std::vector<std::string>& files) {
    std::optional<std::string> key = sourceKey(files);
    if (!key) return std::nullopt;
    std::set<std::string> folders;
    for (const std::string& file : files)
        folders.insert(splitFolder(file).first);
    for (const std::string& folder : folders) {
        struct stat info {};
        if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return std::nullopt;
        *key += "\n" + folder + "\n" +
                std::to_string(int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec);
    }
    return key;
}

TileCache::TileCache(std::string folder, int64_t limitBytes)
    : folder_(std::move(folder)), limitBytes_(limitBytes) {}

std::shared_ptr<TileCache> TileCache::active() {
    const std::lock_guard hold(activeLock);
    return activeCache;
}

void TileCache::setActive(std::shared_ptr<TileCache> cache) {
    const std::lock_guard hold(activeLock);
    activeCache = std::move(cache);
}

std::string TileCache::entryPath(const std::string& key) const {
    return folder_ + "/" + hashedName(key, kEntryExtension);
}

std::string TileCache::indexPath(const std::string& folder) const {
    return folder_ + "/" + hashedName(folder, kIndexExtension);
}

void TileCache::noteProblem(CacheProblem problem) {
    const std::lock_guard hold(lock_);
    if (!warned_) warning_ = std::move(problem);
    warned_ = true;
}

std::optional<CacheProblem> TileCache::takeWarning() {
    const std::lock_guard hold(lock_);
    std::optional<CacheProblem> warning = std::move(warning_);
    warning_.reset();
    warned_ = false;
    return warning;
}

bool TileCache::writeFile(const std::string& target, const void* first, size_t firstBytes,
                          const void* second, size_t secondBytes) {
    // No flush to disk: a torn file fails its checksums and is written again.
    auto write = [&]() {
        std::string scratch = scratchTemplate(target);
        const Fd file(::mkstemp(scratch.data()));
        if (file.fd < 0) return errno;
        const bool written =
            ::write(file.fd, first, firstBytes) == static_cast<ssize_t>(firstBytes) &&
            (secondBytes == 0 ||
             ::write(file.fd, second, secondBytes) == static_cast<ssize_t>(secondBytes));
        const int error = written ? 0 : (errno ? errno : ENOSPC);
        if (error != 0 || ::rename(scratch.c_str(), target.c_str()) != 0) {
            const int failure = error ? error : errno;
            ::unlink(scratch.c_str());
            return failure;
        }
        return 0;
    };
    int error = write();
    if (error == ENOENT) {  // the folder is not there (yet, or no longer)
        std::error_code created;
        fs::create_directories(folder_, created);
        error = write();
    }
    if (error != 0) {
        noteProblem({CacheProblem::Kind::FolderUnwritable, folder_, std::strerror(error)});
        return false;
    }
    accountWrite(static_cast<int64_t>(firstBytes + secondBytes));
    return true;
}

bool TileCache::writeEntry(const std::string& key, uint32_t kind,
                           const std::vector<uint8_t>& record, const void* payload,
                           uint64_t payloadBytes, uint32_t cellBits) {
    const std::vector<uint8_t> head =
        encodeEntryHead(key, kind, record, payload, payloadBytes, cellBits);
    return writeFile(entryPath(key), head.data(), head.size(), payload, payloadBytes);
}

std::optional<std::pair<std::string_view, std::string_view>> TileCache::FolderIndex::find(
    std::string_view name) const {
    if (!noted.empty()) {
        const auto found = noted.find(std::string(name));
        if (found != noted.end())
            return std::pair<std::string_view, std::string_view>{found->second.key,
                                                                 found->second.record};
    }
    const auto found =
        std::lower_bound(files.begin(), files.end(), name,
                         [](const IndexedFile& file, std::string_view n) { return file.name < n; });
    if (found == files.end() || found->name != name) return std::nullopt;
    return std::pair{found->key, found->record};
}

TileCache::FolderIndex& TileCache::folderIndex(const std::string& folder) {
    const auto [found, added] = indexes_.try_emplace(folder);
    FolderIndex& index = found->second;
    if (!added) return index;
    const std::string path = indexPath(folder);
    struct stat info {};
    std::optional<std::string> bytes = readWholeFile(path, &info);
    if (!bytes) return index;  // none yet
    index.bytes = std::move(*bytes);
    std::optional<std::vector<IndexedFile>> files = readIndex(index.bytes, folder);
    if (!files) {
        noteProblem({CacheProblem::Kind::IndexDamaged, path, {}});
        index.bytes.clear();
        index.changed = true;
        return index;
    }
    index.files = std::move(*files);
    const auto byName = [](const IndexedFile& a, const IndexedFile& b) { return a.name < b.name; };
    if (!std::is_sorted(index.files.begin(), index.files.end(), byName))
        std::stable_sort(index.files.begin(), index.files.end(), byName);
    // The entries read through an old index have their use refreshed (for eviction), and the
    // index its time by being written again.
    index.refreshUse = ::time(nullptr) - info.st_mtim.tv_sec > kUseRefreshSeconds;
    index.changed = index.refreshUse;
    return index;
}

void TileCache::noteIndexed(const std::string& source, const std::string& key, std::string record) {
    const auto [folder, name] = splitFolder(source);
    const std::lock_guard hold(indexLock_);
    FolderIndex& index = folderIndex(folder);
    const auto known = index.find(name);
    if (known && known->first == key && known->second == record) return;
    index.noted.insert_or_assign(name, IndexItem{key, std::move(record)});
    index.changed = true;
}

std::optional<std::string> TileCache::indexedRecord(const std::string& source,
                                                    const std::string& key) {
    const auto [folder, name] = splitFolder(source);
    const std::lock_guard hold(indexLock_);
    const auto found = folderIndex(folder).find(name);
    if (!found || found->first != key) return std::nullopt;
    return std::string(found->second);
}

void TileCache::saveIndexes() {
    const std::lock_guard hold(indexLock_);
    for (const auto& [folder, index] : indexes_) {
        if (!index.changed) continue;
        std::vector<IndexedFile> files;
        files.reserve(index.files.size() + index.noted.size());
        for (const auto& [name, item] : index.noted)
            files.push_back({name, item.key, item.record});
        for (const IndexedFile& file : index.files)
            if (index.noted.count(std::string(file.name)) == 0) files.push_back(file);
        std::sort(files.begin(), files.end(),
                  [](const IndexedFile& a, const IndexedFile& b) { return a.name < b.name; });
        const std::vector<uint8_t> bytes = encodeIndex(folder, files);
        writeFile(indexPath(folder), bytes.data(), bytes.size(), nullptr, 0);
    }
    // The next load reads them again: between loads they take no memory.
    indexes_.clear();
}

bool TileCache::storeMesh(const std::string& key, const ZarHMesh& mesh, const std::string& source) {
    if (!mesh.cells.isResident() || mesh.cells.empty()) return false;
    const CacheRecord record = recordOfMesh(mesh);
    const std::vector<uint8_t> encoded = encodeRecord(record);
    const size_t count = mesh.cells.size();
    bool stored = false;
    if (const uint16_t* compact = mesh.cells.compactValues()) {
        stored = writeEntry(key, kMeshEntry, encoded, compact, count * sizeof(uint16_t), 16);
    } else {
        std::vector<int32_t> scratch(count);
        const int32_t* codes = mesh.cells.codes(0, count, scratch.data());
        stored = codes && writeEntry(key, kMeshEntry, encoded, codes, count * sizeof(int32_t), 32);
    }
    if (stored && !source.empty())
        noteIndexed(source, key, std::string(encoded.begin(), encoded.end()));
    return stored;
}

void TileCache::serveFromEntry(const std::string& key, ZarHMesh& mesh, Reread reread) {
    mesh.cells.setSource(std::make_shared<EntryCells>(shared_from_this(), key, recordOfMesh(mesh),
                                                      std::move(reread)));
}

bool TileCache::loadMesh(const std::string& key, ZarHMesh& mesh, Reread reread,
                         const std::string& source) {
    // A record that fits the mesh: its cells are then mapped from the entry when first read.
    auto attach = [&](CacheRecord record, uint64_t payloadBytes, uint32_t cellBits) {
        const int64_t cellCount = int64_t{record.cols} * record.rows;
        if (!record.valid || record.className != mesh.className() || cellCount <= 0 ||
            cellCount > ZarHMesh::kMaxCells ||
            (cellBits != 0 && payloadBytes != static_cast<uint64_t>(cellCount) * (cellBits / 8)))
            return false;
        applyRecord(record, mesh);
        mesh.cells.adoptCompact(nullptr, static_cast<size_t>(cellCount), record.coding, nullptr);
        mesh.cells.setSource(std::make_shared<EntryCells>(shared_from_this(), key,
                                                          std::move(record), std::move(reread)));
        mesh.cells.release();
        return true;
    };
    if (!source.empty()) {
        std::optional<CacheRecord> indexed;
        bool refreshUse = false;
        {
            const auto [folder, name] = splitFolder(source);
            const std::lock_guard hold(indexLock_);
            const FolderIndex& index = folderIndex(folder);
            const auto found = index.find(name);
            if (found && found->first == key) indexed = decodeRecord(found->second);
            refreshUse = index.refreshUse;
        }
        if (indexed && refreshUse) ::utimensat(AT_FDCWD, entryPath(key).c_str(), nullptr, 0);
        // The entry's own checks run when the cells are mapped.
        if (indexed && attach(std::move(*indexed), 0, 0)) return true;
    }
    const std::string path = entryPath(key);
    const Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) return false;
    // The fixed part and the record fit a few kilobytes; the cells are not read here.
    std::vector<uint8_t> head(std::min<size_t>(static_cast<size_t>(info.st_size), 8192));
    if (::pread(file.fd, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()))
        return false;
    const std::optional<EntryView> entry =
        readEntry(head.data(), head.size(), static_cast<uint64_t>(info.st_size));
    if (!entry || entry->kind != kMeshEntry || entry->key != key) {
        noteProblem({CacheProblem::Kind::EntryDamaged, path, {}});
        return false;
    }
    const std::string record(entry->record);
    if (!attach(decodeRecord(record), entry->payloadBytes, entry->cellBits)) {
        noteProblem({CacheProblem::Kind::EntryDamaged, path, {}});
        return false;
    }
    if (::time(nullptr) - info.st_mtim.tv_sec > kUseRefreshSeconds)
        ::futimens(file.fd, nullptr);  // its use, for eviction
    if (!source.empty()) noteIndexed(source, key, record);
    return true;
}

bool TileCache::storeBlob(const std::string& key, const std::vector<uint8_t>& bytes) {
    return writeEntry(key, kBlobEntry, {}, bytes.data(), bytes.size(), 8);
}

std::optional<std::vector<uint8_t>> TileCache::loadBlob(const std::string& key) {
    const std::shared_ptr<Mapping> mapping = mapFile(entryPath(key));
    if (!mapping) return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(mapping->address);
    const std::optional<EntryView> entry = readEntry(bytes, mapping->size, mapping->size);
    if (!entry || entry->kind != kBlobEntry || entry->key != key || !entry->payloadWhole ||
        !verifyPayload(*entry, bytes)) {
        noteProblem({CacheProblem::Kind::EntryDamaged, entryPath(key), {}});
        return std::nullopt;
    }
    const uint8_t* payload = bytes + entry->payloadOffset;
    return std::vector<uint8_t>(payload, payload + entry->payloadBytes);
}

TileCache::Usage TileCache::usage() const {
    Usage usage;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder_, error)) {
        if (!isCacheFile(item.path())) continue;
        usage.entries += item.path().extension() == kEntryExtension;
        usage.bytes += static_cast<int64_t>(item.file_size(error));
    }
    return usage;
}

bool TileCache::clear(std::string* error) {
    std::error_code failure;
    int kept = 0;
    for (const auto& item : fs::directory_iterator(folder_, failure)) {
        const std::string name = item.path().filename().string();
        const bool ours = isCacheFile(item.path()) || isScratchName(name);
        std::error_code removal;
        if (ours && !fs::remove(item.path(), removal)) ++kept;
    }
    if (failure && failure != std::errc::no_such_file_or_directory) {
        if (error) *error = folder_ + ": " + failure.message();
        return false;
    }
    if (kept > 0) {
        if (error) *error = std::to_string(kept) + " entries in " + folder_ + " stay";
        return false;
    }
    {
        const std::lock_guard hold(indexLock_);
        indexes_.clear();
    }
    const std::lock_guard hold(lock_);
    scanned_ = false;
    return true;
}

void TileCache::accountWrite(int64_t bytes) {
    const std::lock_guard hold(lock_);
    if (!scanned_) {
        // Once per process: the folder's size, and the scratch that killed writers left.
        scanned_ = true;
        knownBytes_ = 0;
        std::error_code error;
        for (const auto& item : fs::directory_iterator(folder_, error)) {
            const std::string name = item.path().filename().string();
            std::error_code ignored;
            if (isCacheFile(item.path()))
                knownBytes_ += static_cast<int64_t>(item.file_size(ignored));
            else if (isScratchName(name) && !processRuns(scratchProcess(name)))
                fs::remove(item.path(), ignored);
        }
    } else {
        knownBytes_ += bytes;
    }
    if (knownBytes_ > limitBytes_) evict();
}

void TileCache::evict() {
    // Oldest use first, down to nine tenths of the limit so that eviction runs seldom.
    struct Item {
        int64_t used;
        int64_t bytes;
        std::string path;
    };
    std::vector<Item> items;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder_, error)) {
        struct stat info {};
        if (!isCacheFile(item.path()) || ::stat(item.path().c_str(), &info) != 0) continue;
        items.push_back({int64_t{info.st_mtim.tv_sec}, int64_t{info.st_size}, item.path()});
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.used < b.used; });
    int64_t total = 0;
    for (const Item& item : items)
        total += item.bytes;
    const int64_t goal = limitBytes_ / 10 * 9;
    for (const Item& item : items) {
        if (total <= goal) break;
        // A mapped entry stays readable after its name is gone.
        if (::unlink(item.path.c_str()) == 0) total -= item.bytes;
    }
    knownBytes_ = total;
}

std::string cacheProblemText(const CacheProblem& problem, bool japanese) {
    const std::string& what = problem.subject;
    switch (problem.kind) {
        case CacheProblem::Kind::FolderUnwritable:
            return japanese ? "キャッシュフォルダー " + what + " に書き込めません（" +
                                  problem.reason + "）。元のファイルを読み込みます"
                            : "the cache folder " + what + " cannot be written (" + problem.reason +
                                  "); the sources are read";
        case CacheProblem::Kind::EntryDamaged:
            return japanese
                       ? "キャッシュ " + what + " が壊れているか別の版のものです。作り直しました"
                       : "the cache entry " + what + " is damaged or of another version; rebuilt";
        case CacheProblem::Kind::IndexDamaged:
            return japanese
                       ? "キャッシュの索引 " + what +
                             " が壊れているか別の版のものです。作り直しました"
                       : "the cache index " + what + " is damaged or of another version; rebuilt";
        case CacheProblem::Kind::EntryGone:
            return japanese ? what +
                                  " のキャッシュが見つからないか壊れています。元のファイルを読み直"
                                  "しました"
                            : "the cache entry of " + what +
                                  " is gone or damaged; its source is read again";
        case CacheProblem::Kind::SourceChanged:
            return japanese
                       ? what +
                             " のファイルが読み込み後に変更されました。そのセルは欠測として扱います"
                       : "the source of " + what +
                             " changed since it was loaded; its cells read as no data";
    }
    return {};
}

}  // namespace kov
