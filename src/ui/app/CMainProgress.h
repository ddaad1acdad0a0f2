// The progress reporter that loaders get while the main window shows their progress: it forwards
// to the main frame's progress function (status bar indicator, elapsed and estimated time).
#pragma once

#include <string>

#include "core/base/HxProgress.h"

namespace kov {

class CMainProgress : public HxProgress {
public:
    // Starts the indicator (progress code -2 without a text); answers 1.
    int Begin() override;
    // Ends it (code -3).
    void End() override;
    // 15 while total / 63 is below 15, else the smallest 2^k - 1 of at least total / 63.
    long long StepMask(long long total) override;
    // SetPos(fraction x 100 rounded half away from zero, 100).
    void SetFraction(double fraction) override;
    // Shows the position; never asks the loader to stop (answers 0).
    int SetPos(long long current, long long total) override;
    // Texts of the loaders are not shown: the document shows its own message.
    void SetText(const std::string& text) override;
};

}  // namespace kov
