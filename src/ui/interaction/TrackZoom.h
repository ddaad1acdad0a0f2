// SPDX-License-Identifier: MIT
// The zoom and pan track: zoom in to a dragged rectangle (or ×2 at a click), zoom out about the
// view centre, and move the map by dragging it.
#pragma once

#include <QImage>
#include <cstdint>

#include "ui/interaction/KovTrack.h"

namespace kov {

class TrackZoom : public KovTrack {
public:
    static constexpr char kClassName[] = "TrackZoom";
    static constexpr int kLevel = 2;
    enum Mode { kZoomIn = 0, kZoomOut = 1, kPan = 3 };
    // A press and a release closer than this in either direction are a click.
    static constexpr int kClickPixels = 4;
    // In pan mode a release this soon after the press only fixes the grab point.
    static constexpr uint32_t kPanReleaseMs = 500;

    TrackZoom();
    ~TrackZoom() override;

    void Start() override;
    void Cancel() override;
    void OnLButtonDown(CKovVView& view, unsigned flags, const FPoint& point) override;
    void OnLButtonUp(CKovVView& view, unsigned flags, const FPoint& point) override;
    void OnMButtonDown(CKovVView& view, unsigned flags, const FPoint& point) override {
        OnLButtonDown(view, flags, point);
    }
    void OnMButtonUp(CKovVView& view, unsigned flags, const FPoint& point) override {
        OnLButtonUp(view, flags, point);
    }
    void OnRButtonDown(CKovVView&, unsigned, const FPoint&) override { Cancel(); }

    bool anchorSet() const { return anchorSet_ != 0; }
    // Width of the rubber-band frame: the system's sizing-frame width.
    static int frameWidth();

protected:
    void PaintFeedback(CKovVView& view, QPainter& painter, const FPoint& point) override;
    QRect FeedbackRect(CKovVView& view, const FPoint& point) override;

private:
    void Apply(const FPoint& point);
    QRect frameRect(CKovVView& view, const FPoint& point) const;

    uint32_t pressTime_ = 0;
    int32_t anchorSet_ = 0;
    FPoint anchor_;
    QImage snapshot_;
};

}  // namespace kov
