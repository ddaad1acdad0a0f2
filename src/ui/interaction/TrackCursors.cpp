// SPDX-License-Identifier: MIT
#include "ui/interaction/TrackCursors.h"

#include <QPixmap>
#include <QString>

// Resources of a static library are registered by name, outside any namespace.
static void initCursorResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(kovview);
        return true;
    }();
    (void)done;
}

namespace kov {

QCursor trackCursor(int id) {
    initCursorResources();
    const QPixmap picture(QStringLiteral(":/icons/cursor%1.png").arg(id));
    if (picture.isNull()) return QCursor(Qt::CrossCursor);
    if (id == kCursorPan) return QCursor(picture, 16, 17);
    return QCursor(picture, 12, 12);
}

}  // namespace kov
