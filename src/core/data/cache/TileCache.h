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
#include <vector>

namespace kov {

class MeshCells;
class ZarHMesh;

// $XDG_CACHE_HOME/kovview, else ~/.cache/kovview; empty when neither can be told.
std::string defaultCacheFolder();

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

    // Writes the mesh's record and cells under key (the cells must be in memory).
    bool storeMesh(const std::string& key, const ZarHMesh& mesh);
    // Fills the mesh's record from the entry of key and leaves its cells let go, to be mapped from
    // the entry when first read; when the entry has gone bad by then, `reread` reads the source
    // again (null when it cannot), whose cells are taken only if its record is the mesh's, and
    // the entry is written anew. False, mesh unchanged, when there is no sound entry. The cache
    // must be held by a shared pointer (the mesh's cells keep it).
    using Reread = std::function<std::unique_ptr<ZarHMesh>()>;
    bool loadMesh(const std::string& key, ZarHMesh& mesh, Reread reread);

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

    // The first problem met since the last call, as one line; none when all went well.
    std::optional<std::string> takeWarning();
    void noteProblem(const std::string& text);

    // The entry file of a key (tests damage entries through it).
    std::string entryPath(const std::string& key) const;

private:
    bool writeEntry(const std::string& key, uint32_t kind, const std::vector<uint8_t>& record,
                    const void* payload, uint64_t payloadBytes, uint32_t cellBits);
    void accountWrite(int64_t bytes);
    void evict();

    std::string folder_;
    int64_t limitBytes_;
    std::mutex lock_;
    bool scanned_ = false;    // the folder's size is known (listed once per process)
    int64_t knownBytes_ = 0;  // the entries' size as of the scan plus what was written since
    std::optional<std::string> warning_;
    bool warned_ = false;
};

// The key of a source file and its companions: each one's absolute path, size and modification
// time in nanoseconds; none when one of them cannot be looked at.
std::optional<std::string> sourceKey(const std::vector<std::string>& paths);

}  // namespace kov
