// SPDX-License-Identifier: MIT
// Colour-well button: a push button whose face shows a colour; a click opens the colour dialog
// and a chosen colour replaces the well's colour.
#pragma once

#include <QPushButton>
#include <cstdint>

namespace kov {

class CColorWell : public QPushButton {
    Q_OBJECT
public:
    explicit CColorWell(QWidget* parent = nullptr);

    // The colour as 0x00BBGGRR; the top byte is kept as it was set but not drawn.
    uint32_t color() const { return color_; }
    // Sets the colour without emitting colorChanged.
    void setColor(uint32_t color);

    QSize sizeHint() const override;

signals:
    // The user chose a colour in the colour dialog.
    void colorChanged(uint32_t color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void choose();

    uint32_t color_ = 0;
};

}  // namespace kov
