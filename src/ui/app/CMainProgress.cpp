// SPDX-License-Identifier: MIT
#include "ui/app/CMainProgress.h"

#include <cmath>

#include "ui/app/FrameServices.h"
#include "ui/app/ProgressHost.h"

namespace kov {

int CMainProgress::Begin() {
    ProgressReport(ProgressCode::Begin);
    return 1;
}

void CMainProgress::End() {
    ProgressReport(ProgressCode::End);
}

long long CMainProgress::StepMask(long long total) {
    return ProgressHost::stepMask(total);
}

int CMainProgress::SetPos(long long current, long long total) {
    ProgressPosition(current, total);
    return 0;
}

void CMainProgress::SetText(const std::string& /*text*/) {}

}  // namespace kov
