// SPDX-License-Identifier: MIT
// The round eight-way scroll pad: a click on one of its eight sectors scrolls the map half a view
// that way, a click on its centre starts the zoom-and-move track.
#pragma once

#include <QAbstractButton>
#include <QCursor>
#include <QPixmap>

#include "core/base/CommandIds.h"

namespace kov {

// The pad's size in pixels and its centre.
inline constexpr int kScrollPadSize = 79;
inline constexpr int kScrollPadCentre = 35;
// The command of a point of the pad (button pixels, y down): the centre command within 8 pixels
// of the centre, otherwise the scroll command of the 45-degree sector the point lies in.
int scrollPadCommand(int x, int y);

class CScrButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CScrButton(QWidget* parent = nullptr);

    // The command of the zone under the pointer at the last mouse move or click.
    int Command() const { return command_; }
    QSize sizeHint() const override { return face_.size(); }

protected:
    // Sends the command through the main frame's command route.
    virtual void sendCommand(int command);

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void trackZone(const QPoint& pos);

    QPixmap face_;
    QCursor centreCursor_;
    int command_ = kCmdScrollCentre;
};

}  // namespace kov
