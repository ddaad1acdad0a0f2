// SPDX-License-Identifier: MIT
// What a report to the main window's progress display asks for (see ProgressReport in
// FrameServices.h). Positions are reported apart, with ProgressPosition.
#pragma once

namespace kov {

enum class ProgressCode {
    // Answers the mask of loop counts between two reports for a total of `argument`.
    StepMask = -1,
    // Starts the indicator and the wait cursor; a text replaces pane 0 until End.
    Begin = -2,
    End = -3,
    // Shows a text in pane 0 and keeps it as the message of the running work.
    Message = -4,
    // A new stage: the positions that follow continue after `argument` counts (after the last
    // total shown when `argument` is below 1).
    NextStage = -5,
    // Moves the indicator to pane `argument` (0 .. 3).
    IndicatorPane = -6,
    // Display options: the bits of `argument` (kProgressShowTimes).
    Options = -7,
    // Shows the kept message in pane 0 again.
    ShowMessage = -8,
    // Like Begin, but one indicator then runs over every Begin/End pair inside, until
    // EndPersistent.
    BeginPersistent = -9,
    EndPersistent = -10,
};

// An option bit: pane 0 adds the elapsed time and the estimated whole time to the message.
constexpr long long kProgressShowTimes = 1;

}  // namespace kov
