// SPDX-License-Identifier: MIT
// Rows of a fill classified on other cores before the fill needs them. A seed fill takes a row
// when it first touches it, and the rows it has touched always form one band (the filled region
// is connected): helper threads classify the rows just beyond either end of that band, at most
// `reach` rows out. Every row is classified once, by whichever thread claims it first, so what
// the fill sees does not depend on who classified it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kov {

// Waits until `value` no longer holds `old`. A fill hands rows over every few microseconds: a
// thread put to sleep would often be woken only at the system's next tick, milliseconds later,
// so the wait spins for a while before it sleeps.
template <class T>
void waitForChange(const std::atomic<T>& value, T old) {
    const auto sleepAfter = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    for (int spin = 0;; ++spin) {
        if (value.load(std::memory_order_acquire) != old) return;
        if ((spin & 63) == 63 && std::chrono::steady_clock::now() > sleepAfter) break;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#else
        std::this_thread::yield();
#endif
    }
    value.wait(old, std::memory_order_acquire);
}

template <class Row, class Scratch>
class RowsAhead {
public:
    // classify(y, row, scratch) must be safe to call from several threads at once; Scratch is
    // each thread's own. The band starts around row `first`, where the fill will begin.
    using Classify = std::function<void(int y, Row& row, Scratch& scratch)>;

    RowsAhead(int rows, int first, int reach, int helpers, Classify classify)
        : classify_(std::move(classify)),
          reach_(std::max(reach, 1)),
          state_(std::make_unique<std::atomic<uint8_t>[]>(static_cast<size_t>(rows))),
          slotOf_(static_cast<size_t>(rows), -1),
          rows_(rows),
          low_(first),
          high_(first) {
        // Ready rows lie within reach of either end of the band; each helper and the caller may
        // be classifying one more.
        slots_.resize(static_cast<size_t>(2 * reach_ + 2 + helpers + 1));
        for (int s = static_cast<int>(slots_.size()) - 1; s >= 0; --s)
            freeSlots_.push_back(s);
        scratch_.resize(static_cast<size_t>(helpers));
        for (int h = 0; h < helpers; ++h) {
            try {
                threads_.emplace_back([this, h] { help(scratch_[static_cast<size_t>(h)]); });
            } catch (const std::system_error&) {
                break;  // no more threads: the caller classifies what they would have
            }
        }
    }

    ~RowsAhead() {
        stopping_.store(true, std::memory_order_release);
        moved();
        threads_.clear();  // joins
    }

    RowsAhead(const RowsAhead&) = delete;
    RowsAhead& operator=(const RowsAhead&) = delete;

    // Row y, classified, handed to use(const Row&) on the calling thread. A row a helper is still
    // classifying is waited for while the caller classifies another row ahead.
    template <class Use>
    void take(int y, Use&& use) {
        low_.store(std::min(low_.load(std::memory_order_relaxed), y), std::memory_order_release);
        high_.store(std::max(high_.load(std::memory_order_relaxed), y), std::memory_order_release);
        moved();
        std::atomic<uint8_t>& state = state_[static_cast<size_t>(y)];
        for (;;) {
            uint8_t seen = kOpen;
            if (state.compare_exchange_strong(seen, kTaken, std::memory_order_acq_rel)) {
                classify_(y, own_, ownScratch_);
                use(static_cast<const Row&>(own_));
                return;
            }
            if (seen == kReady) {
                state.store(kTaken, std::memory_order_relaxed);
                const int slot = slotOf_[static_cast<size_t>(y)];
                use(static_cast<const Row&>(slots_[static_cast<size_t>(slot)]));
                giveBack(slot);
                moved();
                return;
            }
            if (!classifyOneAhead(ownScratch_)) waitForChange(state, uint8_t{kClaimed});
        }
    }

private:
    enum : uint8_t { kOpen, kClaimed, kReady, kTaken };

    void help(Scratch& scratch) {
        while (!stopping_.load(std::memory_order_acquire)) {
            const uint32_t seen = moves_.load(std::memory_order_acquire);
            if (!classifyOneAhead(scratch)) waitForChange(moves_, seen);
        }
    }

    // Claims the open row nearest the band, within reach, and classifies it into a slot.
    bool classifyOneAhead(Scratch& scratch) {
        if (stopping_.load(std::memory_order_acquire)) return false;
        const int slot = takeSlot();
        if (slot < 0) return false;
        const int y = claimNearBand();
        if (y < 0) {
            giveBack(slot);
            return false;
        }
        std::atomic<uint8_t>& state = state_[static_cast<size_t>(y)];
        try {
            classify_(y, slots_[static_cast<size_t>(slot)], scratch);
        } catch (...) {
            // The row goes back to open: the fill classifies it itself and meets the failure.
            giveBack(slot);
            state.store(kOpen, std::memory_order_release);
            state.notify_all();
            stopping_.store(true, std::memory_order_release);
            return false;
        }
        slotOf_[static_cast<size_t>(y)] = slot;
        state.store(kReady, std::memory_order_release);
        state.notify_all();
        return true;
    }

    int claimNearBand() {
        const int low = low_.load(std::memory_order_acquire);
        const int high = high_.load(std::memory_order_acquire);
        for (int d = 0; d <= reach_; ++d)
            for (const int y : {high + d, low - d}) {
                if (y < 0 || y >= rows_) continue;
                uint8_t open = kOpen;
                if (state_[static_cast<size_t>(y)].compare_exchange_strong(
                        open, kClaimed, std::memory_order_acq_rel))
                    return y;
            }
        return -1;
    }

    int takeSlot() {
        const std::lock_guard hold(slotLock_);
        if (freeSlots_.empty()) return -1;
        const int slot = freeSlots_.back();
        freeSlots_.pop_back();
        return slot;
    }

    void giveBack(int slot) {
        const std::lock_guard hold(slotLock_);
        freeSlots_.push_back(slot);
    }

    // The band grew, a slot came free or the helpers are to stop.
    void moved() {
        moves_.fetch_add(1, std::memory_order_release);
        moves_.notify_all();
    }

    Classify classify_;
    int reach_;
    std::unique_ptr<std::atomic<uint8_t>[]> state_;
    std::vector<int> slotOf_;  // written before the row's state turns ready
    int rows_;
    std::atomic<int> low_;
    std::atomic<int> high_;
    std::atomic<uint32_t> moves_{0};
    std::atomic<bool> stopping_{false};
    std::vector<Row> slots_;
    std::mutex slotLock_;
    std::vector<int> freeSlots_;
    Row own_;
    Scratch ownScratch_;
    std::vector<Scratch> scratch_;
    std::vector<std::jthread> threads_;  // last: joined before anything they use goes
};

}  // namespace kov
