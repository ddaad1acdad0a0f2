// SPDX-License-Identifier: MIT
// What the running process holds in memory, as the system counts it.
#pragma once

#include <cstdint>

namespace kov {

// The process's resident set in bytes (its pages in memory, mapped files included); 0 when the
// system does not tell.
int64_t residentSetBytes();
// Gives the pages of freed heap blocks back to the system: the heap keeps many small blocks
// freed together (a flood's rows) for reuse, where the system counts them as held.
void returnFreedHeap();

}  // namespace kov
