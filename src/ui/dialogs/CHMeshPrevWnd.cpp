// SPDX-License-Identifier: MIT
#include "ui/dialogs/CHMeshPrevWnd.h"

#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include "core/display/Dib24Image.h"
#include "core/display/MeshRenderer.h"
#include "ui/widgets/DevicePixels.h"

namespace kov {

CHMeshPrevWnd::CHMeshPrevWnd(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CHMeshPrevWnd::setProject(HMeshProject* project) {
    project_ = project;
    redraw();
}

void CHMeshPrevWnd::redraw() {
    picture_ = QImage();
    update();
}

MapRect CHMeshPrevWnd::fitAspect(const MapRect& extent, int width, int height) {
    MapRect rect = extent;
    if (width <= 0 || height <= 0) return rect;
    const double w = extent.xmax - extent.xmin;
    const double h = extent.ymax - extent.ymin;
    const double aspect = static_cast<double>(width) / height;
    if (w <= 0.0 || h <= 0.0) return rect;
    if (w / h > aspect) {
        const double half = w / aspect / 2.0;
        const double centre = (extent.ymin + extent.ymax) / 2.0;
        rect.ymin = centre - half;
        rect.ymax = centre + half;
    } else {
        const double half = h * aspect / 2.0;
        const double centre = (extent.xmin + extent.xmax) / 2.0;
        rect.xmin = centre - half;
        rect.xmax = centre + half;
    }
    return rect;
}

void CHMeshPrevWnd::makePicture() {
    MapRect extent;
    if (!project_ || !project_->GetExtent(extent)) return;
    const QSize pixels = devicePixelSize(*this, size());
    Dib24 bitmap(pixels.width(), pixels.height());
    if (bitmap.isEmpty()) return;
    const MapRect shown = fitAspect(extent, width(), height());
    renderMeshes(*project_, bitmap, &shown, nullptr, nullptr, project_->stepMode,
                 project_->stepHeight);
    picture_ = forDevice(*this, dib24ToImage(bitmap));
}

void CHMeshPrevWnd::paintEvent(QPaintEvent* /*event*/) {
    if (picture_.isNull()) makePicture();
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    // The picture is centred; the rest of the window shows its background.
    const QSize shown = picture_.deviceIndependentSize().toSize();
    const QPoint offset((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    const QRect placed(offset, shown);
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(placed)));
    painter.fillRect(rect(), palette().window());
    painter.setClipping(false);
    painter.drawImage(offset, picture_);
}

void CHMeshPrevWnd::resizeEvent(QResizeEvent* event) {
    // A new size needs a picture of that size.
    QWidget::resizeEvent(event);
    if (!picture_.isNull() && picture_.deviceIndependentSize().toSize() != event->size()) redraw();
}

}  // namespace kov
