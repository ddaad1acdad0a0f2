// SPDX-License-Identifier: MIT
// Reads the 5 m tiles of a load on other threads, ahead of the loop that adds the layers in
// order: the tiles' text is parsed on every core while the loop shows progress and adds what was
// read. Only local tile files are read ahead (their reader shares nothing between threads);
// internet paths, DSM files, shapefiles and images are read by the loop itself.
#pragma once

#include <cstddef>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/project/LayerRegistry.h"

namespace kov {

class FolderListingCache;

class TileReadAhead {
public:
    // `paths` in the order the loop will ask for them. The readers share the folder listings of
    // the calling thread's FolderListingScope.
    explicit TileReadAhead(std::vector<std::string> paths);
    // Waits for the reads still running (a load stopped by Esc leaves some).
    ~TileReadAhead();
    TileReadAhead(const TileReadAhead&) = delete;
    TileReadAhead& operator=(const TileReadAhead&) = delete;

    // The layer at position i of the paths, read ahead; none when that path is not read ahead
    // (the caller reads it). Starts the reads of the tiles after it.
    std::optional<LoadedLayer> take(size_t i);

private:
    bool readsAhead(size_t i) const;
    void startUpTo(size_t end);

    std::vector<std::string> paths_;
    FolderListingCache* listings_;  // the load's folder listings, shared with the readers
    size_t depth_;
    size_t next_ = 0;  // the first position not yet started
    std::map<size_t, std::future<LoadedLayer>> running_;
};

}  // namespace kov
