// SPDX-License-Identifier: MIT
// Reads the 5 m tiles of a load on other threads, ahead of the loop that adds the layers in
// order: the tiles' text is parsed on every core while the loop shows progress and adds what was
// read. Only local tile files are read ahead (their reader shares nothing between threads);
// internet paths, DSM files, shapefiles and images are read by the loop itself. A few worker
// threads (one per core) take the positions in order, at most `depth` ahead of the loop; a load
// of a single tile reads it on the calling thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/project/LayerRegistry.h"

namespace kov {

class FolderListingCache;

class TileReadAhead {
public:
    // `paths` in the order the loop will ask for them. The readers share the folder listings of
    // the calling thread's FolderListingScope.
    explicit TileReadAhead(std::vector<std::string> paths);
    // Waits for the reads still running (a load stopped by Esc leaves some) and ends the workers.
    ~TileReadAhead();
    TileReadAhead(const TileReadAhead&) = delete;
    TileReadAhead& operator=(const TileReadAhead&) = delete;

    // The layer at position i of the paths, read ahead; none when that path is not read ahead
    // (the caller reads it). Starts the reads of the tiles after it.
    std::optional<LoadedLayer> take(size_t i);

private:
    struct Read {
        std::optional<LoadedLayer> layer;
        std::exception_ptr failure;  // a failure to allocate, rethrown by take
    };
    void work();

    std::vector<std::string> paths_;
    FolderListingCache* listings_;  // the load's folder listings, shared with the readers
    size_t depth_;
    size_t batch_;                  // positions a worker takes at a time
    std::vector<bool> readsAhead_;  // per position: a local tile
    size_t tiles_ = 0;              // positions read ahead

    std::mutex lock_;
    std::condition_variable changed_;
    size_t next_ = 0;    // the first position no worker has taken
    size_t window_ = 0;  // workers take positions below it
    bool stopping_ = false;
    std::set<size_t> reading_;
    std::map<size_t, Read> done_;
    std::vector<std::thread> workers_;
};

}  // namespace kov
