// SPDX-License-Identifier: MIT
// "図上計測のプロパティ": whether the measuring tools show their results in the result window
// or in a tip beside the cursor, and whether they draw scale ticks on the current segment. The
// choices are the settings "Window" and "Tick" of the section "TrackRange"; OK stores them and
// the next measuring track uses them.
#pragma once

#include <QDialog>

class QCheckBox;
class QRadioButton;

namespace kov {

class CMeasurePropDlg : public QDialog {
    Q_OBJECT
public:
    // Our own resource number (its help page is D00582.htm).
    static constexpr unsigned kResourceId = 582;
    // Control ids (object names).
    static constexpr int kIdWindow = 2401;  // "専用ウィンドウ表示(&W)"
    static constexpr int kIdTip = 2402;     // "ツールチップ表示(&B)"
    static constexpr int kIdTick = 2601;    // "スケールティックを表示(&T)"

    // Shows the stored choices (both on by default).
    explicit CMeasurePropDlg(QWidget* parent = nullptr);

    // OK stores "Window" (1 for the result window, 0 for the tip) and "Tick".
    void done(int result) override;

private:
    QRadioButton* window_ = nullptr;
    QRadioButton* tip_ = nullptr;
    QCheckBox* tick_ = nullptr;
};

// Registers the measurement properties command (32785) with the document.
void registerMeasureDialogs();

}  // namespace kov
