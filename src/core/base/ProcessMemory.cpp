// SPDX-License-Identifier: MIT
#include "core/base/ProcessMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

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

}  // namespace kov
