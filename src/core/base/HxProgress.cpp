// SPDX-License-Identifier: MIT
#include "core/base/HxProgress.h"

namespace kov {

long long HxProgress::maskAtLeast(long long quotient, long long floor) {
    if (quotient < floor) return floor;
    long long mask = 1;
    while (mask < quotient)
        mask = mask * 2 + 1;
    return mask;
}

long long HxProgress::StepMask(long long total) {
    return maskAtLeast(total / 127, 63);
}

}  // namespace kov
