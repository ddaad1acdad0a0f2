// SPDX-License-Identifier: MIT
// What the running process holds in memory, as the system counts it.
#pragma once

#include <cstdint>

namespace kov {

// The process's resident set in bytes (its pages in memory, mapped files included); 0 when the
// system does not tell.
int64_t residentSetBytes();

}  // namespace kov
