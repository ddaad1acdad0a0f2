// SPDX-License-Identifier: MIT
// The progress reporter that loaders get while the main window shows their progress: it forwards
// to the main frame's progress function (status bar indicator, elapsed and estimated time).
#pragma once

#include <string>

#include "core/base/HxProgress.h"

namespace kov {

class CMainProgress : public HxProgress {
public:
    // Starts the indicator (without a text: the document shows its own); answers 1.
    int Begin() override;
    void End() override;
    // The main window's cadence (ProgressHost::stepMask).
    long long StepMask(long long total) override;
    // Shows the position; never asks the loader to stop (answers 0).
    int SetPos(long long current, long long total) override;
    // Texts of the loaders are not shown: the document shows its own message.
    void SetText(const std::string& text) override;
};

}  // namespace kov
