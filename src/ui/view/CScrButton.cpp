// SPDX-License-Identifier: MIT
#include "ui/view/CScrButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "ui/app/FrameServices.h"

// Resources of a static library are registered by name, outside any namespace.
static void initViewResources() {
    Q_INIT_RESOURCE(view);
}

namespace kov {

int scrollPadCommand(int x, int y) {
    const int dx = x - kScrollPadCentre;
    const int dy = kScrollPadCentre - y;  // upward positive
    if (dx * dx + dy * dy < 64) return kCmdScrollCentre;
    const double a = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
    constexpr double kPi = std::numbers::pi;
    // Sectors of 45 degrees bounded at odd multiples of 22.5 degrees; each bound belongs to the
    // sector below it, and the left sector takes both sides of the +-180 degree seam.
    if (a <= -7 * kPi / 8) return kCmdScrollWest;
    if (a <= -5 * kPi / 8) return kCmdScrollSouthWest;
    if (a <= -3 * kPi / 8) return kCmdScrollSouth;
    if (a <= -kPi / 8) return kCmdScrollSouthEast;
    if (a <= kPi / 8) return kCmdScrollEast;
    if (a <= 3 * kPi / 8) return kCmdScrollNorthEast;
    if (a <= 5 * kPi / 8) return kCmdScrollNorth;
    if (a < 7 * kPi / 8) return kCmdScrollNorthWest;
    return kCmdScrollWest;
}

CScrButton::CScrButton(QWidget* parent) : QAbstractButton(parent) {
    initViewResources();
    setObjectName(QString::number(kCmdScrollPad));
    face_ = QPixmap(QStringLiteral(":/view/scrollpad.png"));
    if (face_.isNull()) face_ = QPixmap(kScrollPadSize, kScrollPadSize);
    const QPixmap cursor(QStringLiteral(":/view/pan_cursor.png"));
    centreCursor_ = cursor.isNull() ? QCursor(Qt::SizeAllCursor)
                                    : QCursor(cursor, cursor.width() / 2, cursor.height() / 2);
    setFixedSize(face_.size());
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { sendCommand(command_); });
}

void CScrButton::sendCommand(int command) {
    postCommand(command);
}

void CScrButton::trackZone(const QPoint& pos) {
    command_ = scrollPadCommand(pos.x(), pos.y());
    if (command_ == kCmdScrollCentre) {
        setCursor(centreCursor_);
    } else {
        unsetCursor();
    }
}

void CScrButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The face sinks by a pixel while the button is held down.
    const int shift = isDown() ? 1 : 0;
    if (shift) painter.fillRect(rect(), palette().button());
    painter.drawPixmap(shift, shift, face_);
}

void CScrButton::mouseMoveEvent(QMouseEvent* event) {
    trackZone(event->position().toPoint());
    QAbstractButton::mouseMoveEvent(event);
}

void CScrButton::mousePressEvent(QMouseEvent* event) {
    trackZone(event->position().toPoint());
    QAbstractButton::mousePressEvent(event);
}

void CScrButton::mouseReleaseEvent(QMouseEvent* event) {
    trackZone(event->position().toPoint());
    QAbstractButton::mouseReleaseEvent(event);
}

}  // namespace kov
