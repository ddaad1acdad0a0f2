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
      // Enough reads in flight to keep every core busy and the loop from waiting on each one
      // (tiles from the cache are read in microseconds); each holds one tile in memory.
      depth_(std::max<size_t>(2, 8 * std::thread::hardware_concurrency())) {
    for (size_t i = 0; i < paths_.size(); ++i)
        tiles_ += readsAhead(i);
}

TileReadAhead::~TileReadAhead() {
    {
        const std::lock_guard hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

bool TileReadAhead::readsAhead(size_t i) const {
    // The extension decides a tile (no content is looked at for it).
    return equalsIgnoringCase(fileExtension(paths_[i]), ".kov") && !isInternetPath(paths_[i]);
}

void TileReadAhead::work() {
    // The load's folder listings serve this thread too.
    const FolderListingScope join(listings_);
    std::unique_lock hold(lock_);
    for (;;) {
        changed_.wait(hold,
                      [this] { return stopping_ || next_ < std::min(window_, paths_.size()); });
        if (stopping_) return;
        const size_t i = next_++;
        if (!readsAhead(i)) continue;
        reading_.insert(i);
        hold.unlock();
        Read read;
        try {
            read.layer.emplace(loadLayer(paths_[i], LayerKind::MeshTile, 0.0, nullptr));
        } catch (...) {
            read.failure = std::current_exception();
        }
        hold.lock();
        reading_.erase(i);
        done_.emplace(i, std::move(read));
        changed_.notify_all();
    }
}

std::optional<LoadedLayer> TileReadAhead::take(size_t i) {
    if (i >= paths_.size() || tiles_ < 2 || !readsAhead(i)) return std::nullopt;
    std::unique_lock hold(lock_);
    // A position the loop skipped is dropped; the workers go on `depth_` past this one.
    done_.erase(done_.begin(), done_.lower_bound(i));
    next_ = std::max(next_, i);
    window_ = i + depth_;
    if (workers_.empty()) {
        const size_t count =
            std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), tiles_);
        for (size_t t = 0; t < count; ++t)
            workers_.emplace_back([this] { work(); });
    }
    changed_.notify_all();
    changed_.wait(hold,
                  [&] { return done_.count(i) != 0 || (reading_.count(i) == 0 && next_ > i); });
    const auto found = done_.find(i);
    if (found == done_.end()) return std::nullopt;  // taken before this call skipped to it
    Read read = std::move(found->second);
    done_.erase(found);
    hold.unlock();
    if (read.failure) std::rethrow_exception(read.failure);
    return std::move(read.layer);
}

}  // namespace kov
