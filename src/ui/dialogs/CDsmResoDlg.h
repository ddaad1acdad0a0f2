// SPDX-License-Identifier: MIT
// Asks for the cell size at which DSM point files are gridded: 1, 2, 5, 10 or 50 m, or a whole
// number of metres of the user's own. The choice is kept in the settings section "DsmResoDlg".
#pragma once

#include <QDialog>
#include <array>
#include <optional>

class QLineEdit;
class QRadioButton;

namespace kov {

class CDsmResoDlg : public QDialog {
    Q_OBJECT
public:
    // Our own resource number (its help page is D00503.htm).
    static constexpr unsigned kResourceId = 503;
    // Control ids (object names): the six radio buttons in order, then the custom value.
    static constexpr int kIdMode0 = 1001;  // "1m" .. kIdMode0 + 5 "指定"
    static constexpr int kIdCustomValue = 1007;
    static constexpr int kModeCount = 6;
    static constexpr int kCustomMode = 5;

    // Shows the stored mode (default 2, 5 m) and custom value (default 20).
    explicit CDsmResoDlg(QWidget* parent = nullptr);

    int mode() const;
    // The custom edit field as an integer (0 when it holds no number).
    int customValue() const;
    // The cell size of the current choice in metres.
    double cellSize() const { return cellSizeOfMode(mode(), customValue()); }
    // Modes 0..4: 1, 2, 5, 10, 50 m; mode 5: the custom whole metres.
    static double cellSizeOfMode(int mode, int customValue);

    // Runs the dialog; the cell size when it ends with OK and the size is at least 0.1 m.
    static std::optional<double> ask(QWidget* parent);

    // OK stores the mode and the custom value.
    void done(int result) override;

private:
    std::array<QRadioButton*, kModeCount> modes_{};
    QLineEdit* custom_ = nullptr;
};

}  // namespace kov
