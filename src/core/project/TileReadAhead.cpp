// SPDX-License-Identifier: MIT
#include "core/project/TileReadAhead.h"

#include <algorithm>
#include <thread>

#include "core/base/PathNames.h"
#include "core/data/HxFile.h"

namespace kov {

TileReadAhead::TileReadAhead(std::vector<std::string> paths)
    : paths_(std::move(paths)),
      listings_(FolderListingScope::current()),
      // Enough reads in flight to keep every core busy; each holds one tile in memory.
      depth_(std::max<size_t>(2, 2 * std::thread::hardware_concurrency())) {}

TileReadAhead::~TileReadAhead() {
    for (auto& [i, read] : running_)
        if (read.valid()) read.wait();
}

bool TileReadAhead::readsAhead(size_t i) const {
    // The extension decides a tile (no content is looked at for it).
    return equalsIgnoringCase(fileExtension(paths_[i]), ".kov") && !isInternetPath(paths_[i]);
}

void TileReadAhead::startUpTo(size_t end) {
    end = std::min(end, paths_.size());
    for (; next_ < end; ++next_) {
        if (!readsAhead(next_)) continue;
        running_.emplace(
            next_, std::async(std::launch::async, [path = paths_[next_], listings = listings_] {
                // The load's folder listings serve this thread too.
                const FolderListingScope join(listings);
                return loadLayer(path, LayerKind::MeshTile, 0.0, nullptr);
            }));
    }
}

std::optional<LoadedLayer> TileReadAhead::take(size_t i) {
    if (i >= paths_.size()) return std::nullopt;
    // Keep `depth_` tiles in flight from here on; a position the loop skipped is dropped.
    for (auto it = running_.begin(); it != running_.end() && it->first < i;)
        it = running_.erase(it);
    next_ = std::max(next_, i);
    startUpTo(i + depth_);
    const auto found = running_.find(i);
    if (found == running_.end()) return std::nullopt;
    LoadedLayer layer = found->second.get();  // a failure to allocate is rethrown here
    running_.erase(found);
    return layer;
}

}  // namespace kov
