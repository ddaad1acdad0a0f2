// SPDX-License-Identifier: MIT
// The main window's progress display: the indicator in a status-bar pane, the message with the
// elapsed and estimated time in pane 0, the wait cursor, and the event pumping that keeps the
// window alive during long work while Esc asks it to stop.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "ui/app/ProgressCode.h"

namespace kov {

class CMainFrame;
class StatusPane;

class ProgressHost : public QObject {
public:
    // Watches the whole application's input (Esc, and the input dropped while pumping).
    explicit ProgressHost(CMainFrame& frame);
    ~ProgressHost() override;

    // Does what the code asks (see ProgressCode); `text` is null when none was given. Answers the
    // step mask for StepMask, else 0; nothing happens without a visible status bar.
    int32_t report(ProgressCode code, long long argument, const QString* text);
    // Shows current of total (total 0: an endless indicator) and lets waiting events run;
    // answers 1 when Esc asks the work to stop. Negative positions are ignored.
    int32_t position(int32_t current, int32_t total);
    // The loop counts between two reports: 15 while total / 63 is below 15, else the smallest
    // 2^k - 1 of at least total / 63.
    static long long stepMask(long long total);

    // Lets waiting events run, except the input that could start other work: context menus,
    // clicks on window frames, system keys, menus, shortcuts, double clicks and window closing.
    void pump();
    // True when Esc is down or was pressed since the last test; clears the pressed mark.
    bool testEscape();
    // Ends whatever runs (indicator, wait cursor, pumping) after work that ran out of memory, and
    // gives pane 0 the text it had before the outermost Begin.
    void abandon();

    // The millisecond clock of the elapsed time (tests install their own; empty: the real one).
    using Clock = std::function<int64_t()>;
    static void setClock(Clock clock);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct State {
        QString message;
        int32_t base = 0;
        int32_t offset = 0;
        int32_t lastTotal = 0;
        long long options = 0;
        int indicatorPane = 1;
        int64_t startTime = 0;
        bool persistent = false;
        QStringList savedTexts;  // pane 0 before each Begin, innermost last
    };

    void begin(ProgressCode code, const QString* text);
    void end(ProgressCode code);
    void moveIndicator(int pane);
    void showTimes(int64_t done, int64_t all);
    void waitForEscapeRelease();
    void startWaitCursor();
    void endWaitCursor();
    void stopIndicator();
    StatusPane* indicator() const;
    void showPane0(const QString& text);

    CMainFrame& frame_;
    State state_;
    bool waitCursor_ = false;
    bool pumping_ = false;
    bool escapeDown_ = false;
    bool escapePressed_ = false;
};

}  // namespace kov
