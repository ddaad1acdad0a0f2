// SPDX-License-Identifier: MIT
#include "ui/interaction/TrackZoom.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <chrono>
#include <cmath>

#include "ui/interaction/TrackCursors.h"
#include "ui/view/CKovVView.h"

namespace kov {

namespace {

// Milliseconds since an arbitrary start, wrapping like a 32-bit tick count.
uint32_t tickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

TrackZoom::TrackZoom() : KovTrack(kLevel), pressTime_(tickCount()) {}

TrackZoom::~TrackZoom() = default;

int TrackZoom::frameWidth() {
    const int w = QApplication::style()
                      ? QApplication::style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth)
                      : 0;
    return w > 0 ? w : 4;
}

void TrackZoom::Start() {
    if (mode_ == kPan && firstView_) snapshot_ = firstView_->grab().toImage();
    cursor_ = trackCursor(mode_ == kZoomIn    ? kCursorZoomIn
                          : mode_ == kZoomOut ? kCursorZoomOut
                                              : kCursorPan);
    if (arguments_.size() >= 2) {
        bool okX = false, okY = false;
        const double x = arguments_[0].toDouble(&okX);
        const double y = arguments_[1].toDouble(&okY);
        if (okX && okY) {
            anchor_ = {x, y, 0.0};
            if (mode_ == kZoomOut) {
                Apply(anchor_);
                return;
            }
            lastPoint_ = anchor_;
            anchorSet_ = 1;
            SetCapture();
        }
    }
    pressTime_ = tickCount();
}

void TrackZoom::Cancel() {
    ReleaseCapture();
    EndTrack(this);
}

void TrackZoom::OnLButtonDown(CKovVView&, unsigned, const FPoint& point) {
    if (mode_ == kZoomOut) {
        Apply(point);
        return;
    }
    if (feedbackShown_) DrawFeedbackAll(lastPoint_, true);
    pressTime_ = tickCount();
    if (!anchorSet_) {
        lastPoint_ = anchor_ = point;
        anchorSet_ = 1;
        SetCapture();
        return;
    }
    Apply(point);
}

void TrackZoom::OnLButtonUp(CKovVView& view, unsigned flags, const FPoint& point) {
    if (mode_ == kZoomOut) return;
    if (mode_ == kPan && tickCount() - pressTime_ < kPanReleaseMs) return;
    OnLButtonDown(view, flags, point);
}

void TrackZoom::Apply(const FPoint& point) {
    CKovVView* view = currentView_ ? currentView_.data() : firstView_.data();
    if (view) {
        const MapRect world = view->viewport().world();
        const double w = world.xmax - world.xmin;
        const double h = world.ymax - world.ymin;
        MapRect rect = world;
        if (mode_ == kZoomIn) {
            const QPointF a = toClient(*view, anchor_);
            const QPointF p = toClient(*view, point);
            if (std::abs(a.x() - p.x()) < kClickPixels || std::abs(a.y() - p.y()) < kClickPixels) {
                const double cx = (anchor_.x + point.x) / 2;
                const double cy = (anchor_.y + point.y) / 2;
                rect = {cx - w / 4, cy - h / 4, cx + w / 4, cy + h / 4};
            } else {
                rect = {std::min(anchor_.x, point.x), std::min(anchor_.y, point.y),
                        std::max(anchor_.x, point.x), std::max(anchor_.y, point.y)};
            }
        } else if (mode_ == kZoomOut) {
            const double cx = (world.xmin + world.xmax) / 2;
            const double cy = (world.ymin + world.ymax) / 2;
            rect = {cx - w, cy - h, cx + w, cy + h};
        } else {
            const double dx = anchor_.x - point.x;
            const double dy = anchor_.y - point.y;
            rect = {world.xmin + dx, world.ymin + dy, world.xmax + dx, world.ymax + dy};
        }
        view->setView(rect);
    }
    anchorSet_ = 0;
    ReleaseCapture();
    EndTrack(this);
}

QRect TrackZoom::frameRect(CKovVView& view, const FPoint& point) const {
    const QPoint a = toClient(view, anchor_).toPoint();
    const QPoint p = toClient(view, point).toPoint();
    return QRect(QPoint(std::min(a.x(), p.x()), std::min(a.y(), p.y())),
                 QPoint(std::max(a.x(), p.x()), std::max(a.y(), p.y())));
}

QRect TrackZoom::FeedbackRect(CKovVView& view, const FPoint& point) {
    if (!anchorSet_ || mode_ == kZoomOut) return {};
    if (mode_ == kPan) return view.rect();
    return frameRect(view, point).adjusted(-1, -1, 1, 1);
}

void TrackZoom::PaintFeedback(CKovVView& view, QPainter& painter, const FPoint& point) {
    if (!anchorSet_) return;
    if (mode_ == kPan) {
        const QPoint a = toClient(view, anchor_).toPoint();
        const QPoint p = toClient(view, point).toPoint();
        const int dx = p.x() - a.x();
        const int dy = p.y() - a.y();
        const int w = view.width();
        const int h = view.height();
        // The strips the picture moved away from are white.
        if (dx > 0) painter.fillRect(0, 0, dx, h, Qt::white);
        if (dx < 0) painter.fillRect(w + dx, 0, -dx, h, Qt::white);
        if (dy > 0) painter.fillRect(0, 0, w, dy, Qt::white);
        if (dy < 0) painter.fillRect(0, h + dy, w, -dy, Qt::white);
        painter.drawImage(dx, dy, snapshot_);
        return;
    }
    if (mode_ != kZoomIn) return;
    // A ring as wide as the sizing frame along the inside of the rectangle, inverted through a
    // half-tone pattern.
    const QRect r = frameRect(view, point);
    if (r.width() <= 0 || r.height() <= 0) return;
    const int fw = frameWidth();
    QRegion ring(r);
    ring -= QRegion(r.adjusted(fw, fw, -fw, -fw));
    painter.setClipRegion(ring);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.fillRect(r, QBrush(Qt::white, Qt::Dense4Pattern));
    restoreOpacity(painter, r);
}

}  // namespace kov
