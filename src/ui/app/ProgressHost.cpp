// SPDX-License-Identifier: MIT
#include "ui/app/ProgressHost.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "core/base/HxProgress.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/StatusPane.h"

namespace kov {

namespace {

ProgressHost::Clock& installedClock() {
    static ProgressHost::Clock clock;
    return clock;
}

int64_t now() {
    if (installedClock()) return installedClock()();
    return QDateTime::currentMSecsSinceEpoch();
}

QString durationText(int64_t seconds) {
    return QString::asprintf("%2d:%02d:%02d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
}

}  // namespace

ProgressHost::ProgressHost(CMainFrame& frame) : frame_(frame) {
    qApp->installEventFilter(this);
}

ProgressHost::~ProgressHost() {
    qApp->removeEventFilter(this);
    endWaitCursor();
}

void ProgressHost::setClock(Clock clock) {
    installedClock() = std::move(clock);
}

long long ProgressHost::stepMask(long long total) {
    return HxProgress::maskAtLeast(total / 63, 15);
}

// ---- reports -----------------------------------------------------------------------------------

int32_t ProgressHost::report(ProgressCode code, long long argument, const QString* text) {
    if (!frame_.statusBarShown()) return 0;
    switch (code) {
        case ProgressCode::StepMask:
            return static_cast<int32_t>(std::min<long long>(stepMask(argument), INT32_MAX));
        case ProgressCode::Begin:
        case ProgressCode::BeginPersistent:
            begin(code, text);
            return 0;
        case ProgressCode::End:
        case ProgressCode::EndPersistent:
            end(code);
            return 0;
        case ProgressCode::Message:
            if (text) {
                showPane0(*text);
                state_.message = *text;
            }
            return 0;
        case ProgressCode::NextStage: {
            const int32_t step = argument < 1 ? state_.lastTotal : static_cast<int32_t>(argument);
            state_.base += step;
            state_.offset += step;
            return 0;
        }
        case ProgressCode::IndicatorPane:
            moveIndicator(static_cast<int>(std::clamp<long long>(argument, 0, 3)));
            return 0;
        case ProgressCode::Options:
            state_.options = static_cast<int32_t>(argument);
            return 0;
        case ProgressCode::ShowMessage:
            showPane0(state_.message);
            return 0;
    }
    return 0;
}

void ProgressHost::begin(ProgressCode code, const QString* text) {
    pump();
    waitForEscapeRelease();
    state_.base = 0;
    state_.offset = 0;
    state_.options = 0;
    state_.lastTotal = 0;
    state_.message.clear();
    if (code == ProgressCode::Begin || text) state_.savedTexts << frame_.PaneText(0);
    if (text) {
        showPane0(*text);
        state_.message = *text;
    }
    if (!state_.persistent) {
        indicator()->setIndicator(0, -1);
        startWaitCursor();
        state_.startTime = now();
        if (code == ProgressCode::BeginPersistent) state_.persistent = true;
    }
}

void ProgressHost::end(ProgressCode code) {
    const QString popped = state_.savedTexts.isEmpty() ? QString() : state_.savedTexts.takeLast();
    if (code == ProgressCode::End && state_.persistent) {
        // An inner end: the indicator runs on.
        showPane0(popped);
        frame_.statusBar()->repaint();
        pump();
        return;
    }
    stopIndicator();
    showPane0(popped);
    frame_.statusBar()->repaint();
    pump();
    waitForEscapeRelease();
    endWaitCursor();
    const QStringList saved = state_.savedTexts;
    state_ = State{};
    state_.savedTexts = saved;
}

void ProgressHost::moveIndicator(int pane) {
    if (pane != state_.indicatorPane && indicator()) {
        // A running indicator moves along.
        StatusPane* old = indicator();
        frame_.statusPane(pane)->setIndicator(old->progress, old->marquee);
        old->setIndicator(-1, -1);
    }
    state_.indicatorPane = pane;
}

int32_t ProgressHost::position(int32_t current, int32_t total) {
    if (!frame_.statusBarShown() || current < 0) return 0;
    if (total == 0) {
        state_.offset = (state_.offset + 1) % 100;
        indicator()->setIndicator(-1, state_.offset);
        if (waitCursor_) QApplication::changeOverrideCursor(Qt::WaitCursor);
        return 0;
    }
    const int64_t all = int64_t{total} + state_.base;
    const int64_t done = std::min<int64_t>(int64_t{current} + state_.offset, all);
    state_.lastTotal = static_cast<int32_t>(all);
    const int percent = all > 0 ? static_cast<int>(std::llround(100.0 * done / all)) : 0;
    indicator()->setIndicator(std::clamp(percent, 0, 100), -1);
    if (waitCursor_) QApplication::changeOverrideCursor(Qt::WaitCursor);
    if ((state_.options & kProgressShowTimes) && done > 0 && all > 0) showTimes(done, all);
    pump();
    return testEscape() ? 1 : 0;
}

void ProgressHost::showTimes(int64_t done, int64_t all) {
    const int64_t elapsed = (now() - state_.startTime) / 1000;
    if (elapsed < 1) return;
    // E x (2 - r) / r with r = done / all: runs ahead of the plain proportion while the work is
    // young and meets it at the end.
    const int64_t estimated = elapsed * (2 * all - done) / done;
    const bool japanese = QLocale().language() == QLocale::Japanese;
    const QString format = japanese ? QStringLiteral("%1  経過 %2   推定所要 %3")
                                    : QStringLiteral("%1  Elapsed %2  Total Estimated %3");
    showPane0(format.arg(state_.message, durationText(elapsed), durationText(estimated)));
}

void ProgressHost::abandon() {
    pumping_ = false;
    stopIndicator();
    endWaitCursor();
    const QStringList saved = state_.savedTexts;
    state_ = State{};
    if (!saved.isEmpty()) showPane0(saved.front());
}

// ---- the display -------------------------------------------------------------------------------

StatusPane* ProgressHost::indicator() const {
    return frame_.statusPane(state_.indicatorPane);
}

void ProgressHost::stopIndicator() {
    for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane)
        if (StatusPane* p = frame_.statusPane(pane)) p->setIndicator(-1, -1);
}

void ProgressHost::showPane0(const QString& text) {
    frame_.SetPaneText(0, text);
}

void ProgressHost::startWaitCursor() {
    if (waitCursor_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor_ = true;
}

void ProgressHost::endWaitCursor() {
    if (!waitCursor_) return;
    QApplication::restoreOverrideCursor();
    waitCursor_ = false;
}

// ---- events ------------------------------------------------------------------------------------

void ProgressHost::pump() {
    const QScopedValueRollback<bool> pumping(pumping_, true);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool ProgressHost::testEscape() {
    const bool escape = escapeDown_ || escapePressed_;
    escapePressed_ = false;
    return escape;
}

void ProgressHost::waitForEscapeRelease() {
    QElapsedTimer waited;
    waited.start();
    // A release that never arrives (the key went up in another window) must not hang us.
    while (escapeDown_ && waited.elapsed() < 3000) {
        const QScopedValueRollback<bool> pumping(pumping_, true);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    escapeDown_ = false;
    escapePressed_ = false;
}

bool ProgressHost::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (type == QEvent::KeyPress) {
                escapeDown_ = true;
                escapePressed_ = true;
            } else if (!key->isAutoRepeat()) {
                escapeDown_ = false;
            }
        }
    }
    if (!pumping_) return false;

    switch (type) {
        case QEvent::ContextMenu:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::MouseButtonDblClick:
        case QEvent::Shortcut:
            return true;
        case QEvent::Close:
            // Closing a window is a system command.
            event->ignore();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride: {
            // System keys: anything with Alt, and F10, which opens the menu.
            const auto* key = static_cast<QKeyEvent*>(event);
            return key->key() == Qt::Key_Alt || key->key() == Qt::Key_F10 ||
                   (key->modifiers() & Qt::AltModifier);
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            // Opening a menu.
            return qobject_cast<QMenuBar*>(watched) != nullptr ||
                   qobject_cast<QMenu*>(watched) != nullptr;
        default:
            return false;
    }
}

}  // namespace kov
