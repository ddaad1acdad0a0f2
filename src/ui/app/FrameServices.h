// SPDX-License-Identifier: MIT
// What windows ask of the main frame: status-bar texts, progress reporting and command routing.
// The main frame provides these; without a main frame (tests of single windows, kovtool) every
// call does nothing and answers 0.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/app/ProgressCode.h"

namespace kov {

// Enabling and check state of a command (menu entry, toolbar button).
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

// A window or the document in the command route: the map view first, then the document, the
// main frame and the application.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when the target handled the command.
    virtual bool OnCommand(int id) = 0;
    // True when the target handles the command; state then says whether it is enabled/checked.
    virtual bool OnUpdateCommand(int id, CommandState& state) = 0;
};

// Sets the text of status-bar pane 0..4 (characters below 0x20 become spaces); nothing when the
// main window or its status bar is not visible.
void setStatusText(int pane, const QString& text);

// The tile cache's problem since the last call, one line in the window's words; empty when
// there was none. The program read the sources instead: a warning, never a message box.
QString takeCacheWarning();

// Sends a command through the main frame's command route after the current event (as a menu
// entry or toolbar button would).
void postCommand(int id);

// The process-wide progress display of the main frame (ProgressHost): the code says what to do
// with the argument (see ProgressCode.h). Answers the step mask for ProgressCode::StepMask, else
// 0; 0 without a visible status bar.
int32_t ProgressReport(ProgressCode code, long long argument = 0);
// The codes that take a text (Begin, BeginPersistent, Message); an empty text counts as none.
int32_t ProgressReport(ProgressCode code, const QString& text);
// Shows the position current of total (total 0: an endless indicator); answers 1 when the user
// pressed Esc to stop the work.
int32_t ProgressPosition(long long current, long long total);

// The message naming the layers that a load left out because they would take the project past
// its memory budget.
QString overBudgetMessage(const std::vector<std::string>& paths);

}  // namespace kov
