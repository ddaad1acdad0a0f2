// SPDX-License-Identifier: MIT
// Bytes that arrive piece by piece (a download), held where they first land.
#pragma once

#include <cstddef>
#include <string_view>

namespace kov {

// Address space for the most bytes that may come is reserved up front, and memory is committed
// only as they arrive; they never move. A body of n bytes so costs about n bytes at every moment,
// where a growing array holds its old and its new copy together while it grows.
class ReceivedBytes {
public:
    ReceivedBytes() = default;
    // Reserves room for capacity bytes; capacity() is 0 when the address space cannot be had.
    explicit ReceivedBytes(size_t capacity);
    ~ReceivedBytes();
    ReceivedBytes(ReceivedBytes&& other) noexcept;
    ReceivedBytes& operator=(ReceivedBytes&& other) noexcept;
    ReceivedBytes(const ReceivedBytes&) = delete;
    ReceivedBytes& operator=(const ReceivedBytes&) = delete;

    size_t capacity() const { return capacity_; }
    // Appends the piece; false, with nothing appended, past the capacity or when memory cannot
    // be committed.
    bool append(std::string_view piece);
    std::string_view view() const { return {base_, size_}; }

private:
    void release() noexcept;
    char* base_ = nullptr;
    size_t capacity_ = 0;
    size_t reserved_ = 0;   // bytes of address space (whole pages)
    size_t committed_ = 0;  // bytes from base_ that may be written
    size_t size_ = 0;
};

}  // namespace kov
