// SPDX-License-Identifier: MIT
// The result window of the measuring tools, "図上計測": three rows of a label and a read-only
// value, and "コピー(&C)", which copies the values shown.
//
// The window is modeless and belongs to the window given as parent (the main frame). The
// measuring track that opens it holds it by a QPointer: closing the window (its close box or
// Esc) destroys it, so the pointer turns null, and the track then ends.
//
// The top-left corner inside its frame is kept in the settings section "MeasureMsgDlg" ("XPos",
// "YPos"): written when the window is destroyed, applied the first time it is shown when it lies
// inside the screen.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kov {

class CMeasureMsgDlg : public QDialog {
    Q_OBJECT
public:
    // Our own resource number (its help page is D00583.htm).
    static constexpr unsigned kResourceId = 583;
    static constexpr int kRowCount = 3;
    // Control ids (object names): the labels of rows 0..2, their values, the copy button.
    static constexpr int kIdLabel0 = 2751;
    static constexpr int kIdValue0 = 2101;
    static constexpr int kIdCopy = 2301;

    // Made with empty labels and values; destroyed when closed.
    explicit CMeasureMsgDlg(QWidget* parent);
    // Stores the window's position when it was shown.
    ~CMeasureMsgDlg() override;

    // Rows outside 0..2 are ignored.
    void setLabel(int row, const QString& text);
    void setValue(int row, const QString& text);
    // Hides the label and value of rows fromRow..2.
    void hideRows(int fromRow);

    // What "コピー(&C)" copies: the value of every row not hidden, in row order, each followed
    // by "\r\n".
    QString copyText() const;

    // The first show applies the stored position.
    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<QLabel*, kRowCount> labels_{};
    std::array<QLineEdit*, kRowCount> values_{};
    QPushButton* copy_ = nullptr;
    bool positionApplied_ = false;
};

}  // namespace kov
