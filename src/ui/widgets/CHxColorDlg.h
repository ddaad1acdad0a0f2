// SPDX-License-Identifier: MIT
// The colour dialog of the program: keeps its 16 custom colours between runs in the settings
// store ("HxColorDlg" / "CustumColors", 64 bytes: 16 colours 0x00BBGGRR, little-endian).
#pragma once

#include <QColor>
#include <QColorDialog>
#include <cstdint>

namespace kov {

// 0x00BBGGRR (red in the low byte; the top byte is ignored) and back.
QColor colorFromRef(uint32_t color);
uint32_t refFromColor(const QColor& color);

class CHxColorDlg : public QColorDialog {
    Q_OBJECT
public:
    // Loads the stored custom colours; starts at `color` (0x00BBGGRR).
    explicit CHxColorDlg(uint32_t color, QWidget* parent = nullptr);

    // The chosen colour as 0x00BBGGRR.
    uint32_t color() const { return refFromColor(currentColor()); }

    // Runs the dialog; on OK `color` takes the chosen colour (top byte kept) and true is answered.
    static bool GetColor(QWidget* parent, uint32_t& color);

    // The 16 custom colours of every colour dialog from the settings store (nothing changes
    // when the stored block is absent or not 64 bytes) and back into it.
    static void loadCustomColors();
    static void saveCustomColors();

    void done(int result) override;
};

}  // namespace kov
