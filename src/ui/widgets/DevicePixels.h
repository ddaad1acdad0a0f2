// SPDX-License-Identifier: MIT
// Pictures drawn for a widget at the screen's own resolution: on a high-DPI screen (device pixel
// ratio 2) a picture of the widget's size in device pixels, marked with that ratio, is drawn
// sharp at the widget's logical size instead of being scaled up.
#pragma once

#include <QImage>
#include <QWidget>
#include <cmath>

namespace kov {

inline QSize devicePixelSize(const QWidget& widget, QSize logical) {
    const qreal ratio = widget.devicePixelRatioF();
    return {static_cast<int>(std::lround(logical.width() * ratio)),
            static_cast<int>(std::lround(logical.height() * ratio))};
}

// The picture marked with the widget's ratio, so that painters place it in logical pixels.
inline QImage forDevice(const QWidget& widget, QImage picture) {
    picture.setDevicePixelRatio(widget.devicePixelRatioF());
    return picture;
}

}  // namespace kov
