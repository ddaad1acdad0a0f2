// SPDX-License-Identifier: MIT
#include "ui/widgets/CColorWell.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

#include "ui/widgets/CHxColorDlg.h"

namespace kov {

CColorWell::CColorWell(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, this, &CColorWell::choose);
}

void CColorWell::setColor(uint32_t color) {
    if (color == color_) return;
    color_ = color;
    update();
}

QSize CColorWell::sizeHint() const {
    const QSize base = QPushButton::sizeHint();
    return QSize(std::max(base.height() * 2, 40), base.height());
}

void CColorWell::choose() {
    uint32_t color = color_;
    if (!CHxColorDlg::GetColor(this, color)) return;
    setColor(color);
    emit colorChanged(color_);
}

void CColorWell::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    // The colour fills the face inside a small margin, framed by a dark line.
    const int margin = std::max(4, height() / 5);
    QRect swatch = rect().adjusted(margin, margin, -margin - 1, -margin - 1);
    if (isDown()) swatch.translate(1, 1);
    QColor fill = colorFromRef(color_);
    if (!isEnabled()) fill = QColor::fromHsv(fill.hsvHue(), fill.hsvSaturation() / 3, fill.value());
    painter.fillRect(swatch, fill);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawRect(swatch);
}

}  // namespace kov
