// SPDX-License-Identifier: MIT
#include "core/base/ProcessMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kov {

int64_t residentSetBytes() {
    // statm: total and resident size in pages, and more; one read of a short line, made anew by
    // every read from its start (a flood asks often: the file stays open).
    static const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0) return 0;
    text[got] = '\0';
    long long pages = 0, resident = 0;
    if (std::sscanf(text, "%lld %lld", &pages, &resident) != 2 || resident < 0) return 0;
    return static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
}

void returnFreedHeap() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

size_t roundedToHugePages(size_t bytes) {
    constexpr size_t kHuge = HugePageRegion::kHugePage;
    return (bytes + kHuge - 1) / kHuge * kHuge;
}

uint8_t* mapHugePages(size_t bytes) {
    constexpr size_t kHuge = HugePageRegion::kHugePage;
    const size_t size = roundedToHugePages(bytes);
    if (size == 0 || size < bytes) throw std::bad_alloc();
    // The size and one huge page more, cut down to the size on a 2 MiB boundary, where a huge
    // page can lie.
    void* raw =
        ::mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHuge - 1) & ~(uintptr_t{kHuge} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const size_t tail = start + kHuge - aligned; tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    auto* data = reinterpret_cast<uint8_t*>(aligned);
    ::madvise(data, size, MADV_HUGEPAGE);  // only a hint: small pages work too
    return data;
}

void unmapHugePages(uint8_t* data, size_t bytes) noexcept {
    if (data) ::munmap(data, roundedToHugePages(bytes));
}

bool populatePages(uint8_t* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // A kernel without it (EINVAL) lets the pages come as they are written.
    return !data || ::madvise(data, bytes, MADV_POPULATE_WRITE) == 0 || errno == EINVAL;
#else
    return true;
#endif
}

HugePageRegion::HugePageRegion(size_t bytes) {
    if (bytes == 0) return;
    data_ = mapHugePages(bytes);
    size_ = roundedToHugePages(bytes);
}

HugePageRegion::~HugePageRegion() {
    unmapHugePages(data_, size_);
}

HugePageRegion::HugePageRegion(HugePageRegion&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

HugePageRegion& HugePageRegion::operator=(HugePageRegion&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

}  // namespace kov
