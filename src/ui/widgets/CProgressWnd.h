// SPDX-License-Identifier: MIT
// A small progress window for one long read (a DSM point file): title, message, progress bar
// and a cancel button. It is the progress reporter handed to the reader; while it is shown, it
// keeps input away from the other windows and lets them repaint.
#pragma once

#include <QWidget>
#include <string>

#include "core/base/HxProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kov {

class CProgressWnd : public QWidget, public HxProgress {
    Q_OBJECT
public:
    CProgressWnd(QWidget* parent, const QString& title, const QString& message);

    // Shows the window (centred on its parent).
    int Begin() override;
    // Hides it.
    void End() override;
    // Moves the bar, lets pending events run and answers the cancel flag (Cancel button or Esc).
    int SetPos(long long current, long long total) override;
    void SetText(const std::string& text) override;

    QString Message() const;
    // Position of the bar in per mille of the range.
    int permille() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* message_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

}  // namespace kov
