// SPDX-License-Identifier: MIT
// The measuring track: the user clicks a line on the map and reads, while moving the mouse, the
// length of the current segment, the total length, the enclosed area or the slope of the
// segment, in the result window or in a tip beside the cursor; finished lines become the
// document's trace and their figures go to the clipboard. In other modes the same track draws
// the line of a cross-section and picks the start point of a flood estimation.
#pragma once

#include <QFont>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "ui/interaction/KovTrack.h"
#include "ui/measure/CMeasureMsgDlg.h"

namespace kov {

class CTipWnd;

class TrackRangeOp : public KovTrack {
public:
    static constexpr char kClassName[] = "TrackRangeOp";
    static constexpr int kLevel = 0;
    enum Mode { kDistanceArea = 0, kCrossSection = 1, kDistanceSlope = 3, kFloodStart = 4 };
    // Display flags.
    static constexpr uint32_t kShowSegment = 0x1;
    static constexpr uint32_t kShowTotal = 0x2;
    static constexpr uint32_t kShowArea = 0x4;
    static constexpr uint32_t kShowSlope = 0x10;
    // Where the tip opens, relative to the cursor: right and up.
    static constexpr int kTipOffset = 12;

    // Reads the settings of section "TrackRange".
    TrackRangeOp();
    ~TrackRangeOp() override;

    void End() override;
    void Resume() override;
    void Start() override;
    void Cancel() override;
    void OnMouseMove(CKovVView& view, unsigned flags, const FPoint& point) override;
    void OnLButtonDown(CKovVView& view, unsigned flags, const FPoint& point) override;
    void OnRButtonDown(CKovVView& view, unsigned flags, const FPoint& point) override;
    void OnMButtonDown(CKovVView& view, unsigned flags, const FPoint& point) override {
        OnLButtonDown(view, flags, point);
    }
    void DrawFeedback(CKovVView& view, const FPoint& point, bool remove) override;

    int state() const { return state_; }
    const std::vector<FPoint>& vertices() const { return vertices_; }
    int lineWidth() const { return lineWidth_; }
    uint32_t displayFlags() const { return displayFlags_; }
    bool useWindow() const { return useWindow_ != 0; }
    const QFont& tipFont() const { return tipFont_; }
    CMeasureMsgDlg* window() const { return window_; }
    CTipWnd* tip() const { return tip_; }

    // The status prompts of the measuring modes, by string-table id.
    static QString promptText(int id);
    // All of them, for the status bar to make room for the widest.
    static QStringList promptTexts();

protected:
    void PaintFeedback(CKovVView& view, QPainter& painter, const FPoint& point) override;
    QRect FeedbackRect(CKovVView& view, const FPoint& point) override;

private:
    void FinishLine();
    void endSelf();
    void distanceAreaReport();
    void slopeReport();
    // The window when it is used and the user has not closed it.
    CMeasureMsgDlg* openWindow() const;

    int32_t state_ = 0;
    std::vector<FPoint> vertices_;
    CTipWnd* tip_ = nullptr;
    QFont tipFont_;
    int32_t lineWidth_ = 3;
    uint32_t displayFlags_ = 0;
    int32_t showTicks_ = 1;
    int32_t useWindow_ = 1;
    QPointer<CMeasureMsgDlg> window_;
};

// Registers the measuring track, the commands that start it, its starter for other tools and
// the export of the measured line.
void registerMeasuringTracks();

}  // namespace kov
