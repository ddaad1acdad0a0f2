// SPDX-License-Identifier: MIT
#include "core/data/ReceivedBytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace kov {
namespace {

// Memory is committed in steps of this many bytes: few system calls, little held beyond the body.
constexpr size_t kCommitStep = size_t{1} << 20;

size_t roundUp(size_t bytes, size_t step) {
    return bytes / step * step + (bytes % step ? step : 0);
}

}  // namespace

ReceivedBytes::ReceivedBytes(size_t capacity) {
    const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    if (capacity == 0 || capacity > SIZE_MAX / 2) return;
    const size_t reserved = roundUp(capacity, page);
    void* base =
        ::mmap(nullptr, reserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return;
    base_ = static_cast<char*>(base);
    capacity_ = capacity;
    reserved_ = reserved;
}

ReceivedBytes::~ReceivedBytes() {
    release();
}

ReceivedBytes::ReceivedBytes(ReceivedBytes&& other) noexcept {
    *this = std::move(other);
}

ReceivedBytes& ReceivedBytes::operator=(ReceivedBytes&& other) noexcept {
    if (this != &other) {
        release();
        base_ = std::exchange(other.base_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        reserved_ = std::exchange(other.reserved_, 0);
        committed_ = std::exchange(other.committed_, 0);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void ReceivedBytes::release() noexcept {
    if (base_) ::munmap(base_, reserved_);
    base_ = nullptr;
}

bool ReceivedBytes::append(std::string_view piece) {
    if (piece.size() > capacity_ - size_) return false;
    const size_t needed = size_ + piece.size();
    if (needed > committed_) {
        const size_t commit = std::min(reserved_, roundUp(needed, kCommitStep));
        if (::mprotect(base_ + committed_, commit - committed_, PROT_READ | PROT_WRITE) != 0)
            return false;
        committed_ = commit;
    }
    if (!piece.empty()) std::memcpy(base_ + size_, piece.data(), piece.size());
    size_ = needed;
    return true;
}

}  // namespace kov
