// SPDX-License-Identifier: MIT
// The progress-reporter interface that long-running loaders take.
#pragma once

#include <string>

namespace kov {

// The base reporter shows nothing and never cancels on its own; the main frame's reporter
// shows progress in the status bar. Loaders call SetPos only when their loop counter masked
// with StepMask(total) is 0.
class HxProgress {
public:
    virtual ~HxProgress() = default;

    virtual int Begin() { return 0; }
    virtual void End() {}
    // 63 while total / 127 is below 63, else the smallest 2^k - 1 of at least total / 127.
    virtual long long StepMask(long long total);
    // Reports the position; answers nonzero when the work is to stop.
    virtual int SetPos(long long /*current*/, long long /*total*/) { return 0; }
    virtual int IsCancelled() const { return cancelled_; }
    virtual void SetCancelled(int flag) { cancelled_ = flag; }
    virtual void SetText(const std::string& /*text*/) {}

    // The smallest 2^k - 1 that is at least quotient, but at least floor.
    static long long maskAtLeast(long long quotient, long long floor);

private:
    int cancelled_ = 0;
};

}  // namespace kov
