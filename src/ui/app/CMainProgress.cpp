#include "ui/app/CMainProgress.h"

#include <QString>
#include <cmath>

#include "ui/app/FrameServices.h"

namespace kov {

int CMainProgress::Begin() {
    ProgressReport(-2, QString());
    return 1;
}

void CMainProgress::End() {
    ProgressReport(-3);
}

long long CMainProgress::StepMask(long long total) {
    return maskAtLeast(total / 63, 15);
}

void CMainProgress::SetFraction(double fraction) {
    SetPos(std::llround(fraction * 100.0), 100);
}

int CMainProgress::SetPos(long long current, long long total) {
    ProgressReport(static_cast<int>(current), total);
    return 0;
}

void CMainProgress::SetText(const std::string& /*text*/) {}

}  // namespace kov
