// SPDX-License-Identifier: MIT
// A folder of cache entries: the cells of a source file in binary, written on its first load, so
// that later loads read only a small record and map the cells when they are needed. An entry is
// named by a hash of its key (the source's path, size and time, and the format version), echoes
// the key in full and carries checksums: a damaged, truncated, foreign or colliding entry is
// refused (and rewritten by the next load), never trusted. Every failure of the folder (read-only,
// full, deleted) falls back to the sources; the first problem is kept as a one-line warning.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/data/cache/CacheEntry.h"

namespace kov {

class MeshCells;
class ZarHMesh;

// $XDG_CACHE_HOME/kovview, else ~/.cache/kovview; empty when neither can be told.
std::string defaultCacheFolder();

// What went wrong with the cache; the program read the sources instead.
struct CacheProblem {
    enum class Kind {
        FolderUnwritable,  // subject: the folder; reason: the system's words
        EntryDamaged,      // subject: the entry file (damaged, cut short or of another version)
        IndexDamaged,      // subject: the index file
        EntryGone,         // subject: the tile whose cells' entry went away under it
        SourceChanged,     // subject: the tile whose files changed while it was loaded
    };
    Kind kind = Kind::EntryDamaged;
    std::string subject;
    std::string reason;
};
// The problem as one line, in English or in the window's Japanese (UTF-8).
std::string cacheProblemText(const CacheProblem& problem, bool japanese);

class TileCache : public std::enable_shared_from_this<TileCache> {
public:
    static constexpr int64_t kDefaultLimitBytes = int64_t{8} << 30;
    static constexpr uint32_t kFormatVersion = 1;

    explicit TileCache(std::string folder, int64_t limitBytes = kDefaultLimitBytes);
    TileCache(const TileCache&) = delete;
    TileCache& operator=(const TileCache&) = delete;

    const std::string& folder() const { return folder_; }
    int64_t limitBytes() const { return limitBytes_; }

    // The cache the readers use (none: every load reads its source).
    static std::shared_ptr<TileCache> active();
    static void setActive(std::shared_ptr<TileCache> cache);

    // Writes the mesh's record and cells under key (the cells must be in memory). With the
    // source file named, its record goes into the index of the source's folder as well.
    bool storeMesh(const std::string& key, const ZarHMesh& mesh, const std::string& source = {});
    // Fills the mesh's record from the entry of key and leaves its cells let go, to be mapped from
    // the entry when first read; when the entry has gone bad by then, `reread` reads the source
    // again (null when it cannot), whose cells are taken only if its record is the mesh's, and
    // the entry is written anew. False, mesh unchanged, when there is no sound entry. The cache
    // must be held by a shared pointer (the mesh's cells keep it).
    // With the source file named, the record comes from the index of its folder when the index
    // holds it under the very key (no entry is opened then), else from the entry, and is noted
    // in the index.
    using Reread = std::function<std::unique_ptr<ZarHMesh>()>;
    bool loadMesh(const std::string& key, ZarHMesh& mesh, Reread reread,
                  const std::string& source = {});
    // After storeMesh under key: the entry becomes the mesh's cell source. Its cells stay in
    // memory until a trim lets them go, and then come back from the entry (or `reread`, as for
    // loadMesh), so that a first load holds no more cells than a later one.
    void serveFromEntry(const std::string& key, ZarHMesh& mesh, Reread reread);
    // Writes the index of every folder whose records changed since it was read (at the end of
    // a load: one file per folder, so that the next load reads its records in one go), and lets
    // the indexes in memory go.
    void saveIndexes();
    // Other records of a source kept in the index of its folder (what a raster's probe found):
    // the record noted under the very key, and noting one, which saveIndexes writes.
    std::optional<std::string> indexedRecord(const std::string& source, const std::string& key);
    void noteIndexed(const std::string& source, const std::string& key, std::string record);

    // Bytes of other kinds of data (overviews), verified like a mesh entry.
    bool storeBlob(const std::string& key, const std::vector<uint8_t>& bytes);
    std::optional<std::vector<uint8_t>> loadBlob(const std::string& key);

    struct Usage {
        int64_t entries = 0;
        int64_t bytes = 0;
    };
    Usage usage() const;
    // Removes every entry and scratch file; false with the reason when some could not be.
    bool clear(std::string* error);

    // The first problem met since the last call; none when all went well.
    std::optional<CacheProblem> takeWarning();
    void noteProblem(CacheProblem problem);

    // The entry file of a key, the index file of a folder (tests damage them through it).
    std::string entryPath(const std::string& key) const;
    std::string indexPath(const std::string& folder) const;

private:
    // A folder's index: per file name in it, the key and the encoded record last seen. The
    // file's bytes are kept and looked up in place (sorted by name); what this process noted
    // since goes before them.
    struct IndexItem {
        std::string key;
        std::string record;
    };
    struct FolderIndex {
        std::string bytes;
        std::vector<IndexedFile> files;  // into bytes, by name
        std::unordered_map<std::string, IndexItem> noted;
        bool changed = false;     // holds what its file does not
        bool refreshUse = false;  // its file is old: the entries read through it are touched
        // The key and record of a file name; none when the index holds none.
        std::optional<std::pair<std::string_view, std::string_view>> find(
            std::string_view name) const;
    };
    FolderIndex& folderIndex(const std::string& folder);  // indexLock_ held
    bool writeFile(const std::string& target, const void* first, size_t firstBytes,
                   const void* second, size_t secondBytes);
    bool writeEntry(const std::string& key, uint32_t kind, const std::vector<uint8_t>& record,
                    const void* payload, uint64_t payloadBytes, uint32_t cellBits);
    void accountWrite(int64_t bytes);
    void evict();

    std::string folder_;
    int64_t limitBytes_;
    std::mutex lock_;
    bool scanned_ = false;    // the folder's size is known (listed once per process)
    int64_t knownBytes_ = 0;  // the entries' size as of the scan plus what was written since
    std::optional<CacheProblem> warning_;
    bool warned_ = false;
    std::mutex indexLock_;
    std::unordered_map<std::string, FolderIndex> indexes_;  // by folder, read on first use
};

// The key of a source file and its companions: each one's absolute path, size and modification
// time in nanoseconds; none when one of them cannot be looked at.
std::optional<std::string> sourceKey(const std::vector<std::string>& paths);
// Adds one file to a key made by sourceKey; false when it cannot be looked at.
bool addToSourceKey(std::string& key, const std::string& path);
// What rasters were read from besides the files named (GDAL's companions: .prj, .aux.xml, world
// files, a VRT's sources): their sizes and times, and the times of their folders (a companion
// added later changes its folder's). None when one cannot be looked at.
std::optional<std::string> companionKey(const std::vector<std::string>& files);

}  // namespace kov
