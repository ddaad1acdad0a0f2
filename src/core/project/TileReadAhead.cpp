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
      depth_(std::clamp<size_t>(32 * std::thread::hardware_concurrency(), 2, 1024)),
      batch_(std::max<size_t>(1, depth_ / 4 / std::max(1u, std::thread::hardware_concurrency()))) {
    // The extension decides a tile (no content is looked at for it).
    readsAhead_.reserve(paths_.size());
    for (const std::string& path : paths_) {
        readsAhead_.push_back(equalsIgnoringCase(fileExtension(path), ".kov") &&
                              !isInternetPath(path));
        tiles_ += readsAhead_.back();
    }
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

void TileReadAhead::work() {
    // The load's folder listings serve this thread too.
    const FolderListingScope join(listings_);
    std::unique_lock hold(lock_);
    std::vector<std::pair<size_t, Read>> reads;
    for (;;) {
        changed_.wait(hold,
                      [this] { return stopping_ || next_ < std::min(window_, paths_.size()); });
        if (stopping_) return;
        // A run of positions at a time: a tile from the cache takes microseconds, less than
        // handing it over does.
        const size_t end = std::min({window_, paths_.size(), next_ + batch_});
        std::vector<size_t> taken;
        for (; next_ < end; ++next_)
            if (readsAhead_[next_]) {
                taken.push_back(next_);
                reading_.insert(next_);
            }
        hold.unlock();
        for (const size_t i : taken) {
            Read read;
            try {
                read.layer.emplace(loadLayer(paths_[i], LayerKind::MeshTile, 0.0, nullptr));
            } catch (...) {
                read.failure = std::current_exception();
            }
            reads.emplace_back(i, std::move(read));
        }
        hold.lock();
        for (auto& [i, read] : reads) {
            reading_.erase(i);
            done_.emplace(i, std::move(read));
        }
        reads.clear();
        if (!taken.empty()) changed_.notify_all();
    }
}

std::optional<LoadedLayer> TileReadAhead::take(size_t i) {
    if (i >= paths_.size() || tiles_ < 2 || !readsAhead_[i]) return std::nullopt;
    std::unique_lock hold(lock_);
    // A position the loop skipped is dropped; the workers go on `depth_` past this one.
    done_.erase(done_.begin(), done_.lower_bound(i));
    next_ = std::max(next_, i);
    // The workers are woken when a whole run lies below the new window (or the loop waits).
    const bool wake = workers_.empty() || done_.count(i) == 0 ||
                      std::min(i + depth_, paths_.size()) >= next_ + batch_;
    window_ = i + depth_;
    if (workers_.empty()) {
        const size_t count =
            std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), tiles_);
        for (size_t t = 0; t < count; ++t)
            workers_.emplace_back([this] { work(); });
    }
    if (wake) changed_.notify_all();
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
