// SPDX-License-Identifier: MIT
#include "ui/measure/TrackRangeOp.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <cstdint>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/measure/MeasureGeometry.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/FrameServices.h"
#include "ui/measure/CMeasureMsgDlg.h"
#include "ui/measure/MeasureExportCommands.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CTipWnd.h"

namespace kov {

namespace {

constexpr const char* kSection = "TrackRange";
const QColor kRubberGrey(128, 128, 128);

void copyText(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

}  // namespace

QString TrackRangeOp::promptText(int id) {
    switch (id) {
        case 53524:
            return QStringLiteral(
                "図上計測  最初の点を指定  右（終了）　　矢印キイで上下左右スクロール、　"
                "PageUp/Dounキイで拡大縮小");
        case 53525:
            return QStringLiteral(
                "図上計測  次の点を指定  右（確定）　　　矢印キイで上下左右スクロール、　"
                "PageUp/Dounキイで拡大縮小");
        case 53997:
            return QStringLiteral(
                "図上計測 （距離と勾配） 最初の点を指定  右（終了）　　　矢印キイで上下左右"
                "スクロール、　PageUp/Dounキイで拡大縮小");
        case 53998:
            return QStringLiteral(
                "図上計測 （距離と勾配） 次の点を指定  右（確定）　　　矢印キイで上下左右"
                "スクロール、　PageUp/Dounキイで拡大縮小");
        case 53530:
            return QStringLiteral(
                "図上計測（断面図）  最初の点を指定  右（終了）　　　矢印キイで上下左右"
                "スクロール、　PageUp/Dounキイで拡大縮小");
        case 53531:
            return QStringLiteral(
                "図上計測（断面図）  次の点を指定  右（確定）　　　矢印キイで上下左右"
                "スクロール、　PageUp/Dounキイで拡大縮小");
        case 53999:
            return QStringLiteral("簡易浸水想定　起点位置を指定　　　　右（キャンセル）");
        default:
            return {};
    }
}

QStringList TrackRangeOp::promptTexts() {
    QStringList texts;
    for (int id : {53524, 53525, 53997, 53998, 53530, 53531, 53999})
        texts << promptText(id);
    return texts;
}

TrackRangeOp::TrackRangeOp() : KovTrack(kLevel) {
    lineWidth_ = settings::readIntIn(kSection, "Rubber", 3, 1, 7);
    displayFlags_ = 0;
    if (settings::readInt(kSection, "Check1", 1)) displayFlags_ |= kShowSegment;
    if (settings::readInt(kSection, "Check2", 1)) displayFlags_ |= kShowTotal;
    if (settings::readInt(kSection, "Check3", 1)) displayFlags_ |= kShowArea;
    if (settings::readInt(kSection, "Check5", 0)) displayFlags_ |= kShowSlope;
    showTicks_ = settings::readInt(kSection, "Tick", 1) != 0;
    useWindow_ = settings::readInt(kSection, "Window", 1) != 0;
    // A stored font description of any other length than the platform's is not used.
    uint8_t bytes[kLogFontSize + 4] = {};
    const size_t n = settings::readBinary(kSection, "LogFont", bytes, sizeof bytes);
    tipFont_ =
        n == kLogFontSize ? fontFromLogFont(bytes, n, QApplication::font()) : QApplication::font();
    tip_ = new CTipWnd();
    tip_->setTipFont(tipFont_);
}

TrackRangeOp::~TrackRangeOp() {
    delete window_.data();
    delete tip_;
}

void TrackRangeOp::Start() {
    vertices_.clear();
    switch (mode_) {
        case kDistanceArea:
            ShowMessage(promptText(53524));
            break;
        case kDistanceSlope:
            ShowMessage(promptText(53997));
            displayFlags_ = kShowSegment | kShowSlope;
            break;
        case kCrossSection:
            ShowMessage(promptText(53530));
            displayFlags_ = kShowSegment | kShowTotal;
            break;
        case kFloodStart:
            ShowMessage(promptText(53999));
            break;
        default:
            break;
    }
    if (!useWindow_) return;
    if (mode_ != kDistanceArea && mode_ != kDistanceSlope) {
        useWindow_ = 0;
        return;
    }
    QWidget* owner = CMainFrame::instance();
    if (!owner && firstView_) owner = firstView_->window();
    window_ = new CMeasureMsgDlg(owner);
    window_->show();
    window_->setLabel(0, QStringLiteral("区間距離"));
    window_->setValue(0, QString());
    if (mode_ == kDistanceArea) {
        window_->setLabel(1, QStringLiteral("延長距離"));
        window_->setLabel(2, QStringLiteral("面　　積"));
        window_->setValue(1, QString());
        window_->setValue(2, QString());
    } else {
        window_->hideRows(2);
        window_->setLabel(1, QStringLiteral("勾　　配"));
        window_->setValue(1, QString());
    }
    // The keys go on reaching the map.
    if (firstView_) {
        firstView_->window()->activateWindow();
        firstView_->setFocus(Qt::OtherFocusReason);
    }
}

void TrackRangeOp::Resume() {
    ShowMessage(prompt_);
}

void TrackRangeOp::End() {
    if (window_) {
        delete window_.data();
        window_ = nullptr;
    }
    tip_->hideTip();
    KovTrack::End();
    setStatusText(0, QString());
}

void TrackRangeOp::endSelf() {
    ReleaseCapture();
    EndTrack(this);
}

CMeasureMsgDlg* TrackRangeOp::openWindow() const {
    if (!useWindow_ || !window_ || !window_->isVisible()) return nullptr;
    return window_;
}

void TrackRangeOp::Cancel() {
    if (state_ != 1) {
        endSelf();
        return;
    }
    if (feedbackShown_) DrawFeedbackAll(lastPoint_, true);
    FinishLine();
}

void TrackRangeOp::OnMouseMove(CKovVView& view, unsigned flags, const FPoint& point) {
    if (useWindow_ && !openWindow()) {
        endSelf();
        return;
    }
    KovTrack::OnMouseMove(view, flags, point);
}

void TrackRangeOp::OnLButtonDown(CKovVView&, unsigned, const FPoint& point) {
    if (feedbackShown_) DrawFeedbackAll(lastPoint_, true);
    vertices_.push_back(point);
    switch (mode_) {
        case kDistanceArea:
            if (state_ == 1) distanceAreaReport();
            ShowMessage(promptText(53525));
            break;
        case kDistanceSlope:
            ShowMessage(promptText(53998));
            if (vertices_.size() >= 2) {
                slopeReport();
                vertices_.erase(vertices_.begin());
            }
            break;
        case kCrossSection:
            ShowMessage(promptText(53531));
            break;
        default:
            break;
    }
    if (mode_ == kFloodStart) {
        ReleaseCapture();
        const FloodStarter& start = floodStarter();
        if (document_ && start && start(*document_, point)) {
            EndTrack(this);
            return;
        }
        vertices_.clear();
    } else {
        state_ = 1;
    }
    lastPoint_ = point;
    DrawFeedbackAll(point, false);
}

void TrackRangeOp::OnRButtonDown(CKovVView&, unsigned, const FPoint&) {
    DrawFeedbackAll(lastPoint_, true);
    DrawFeedbackAll(lastPoint_, false);
    Cancel();
}

void TrackRangeOp::FinishLine() {
    switch (mode_) {
        case kDistanceSlope:
            slopeReport();
            [[fallthrough]];
        case kDistanceArea:
            distanceAreaReport();
            vertices_.push_back(lastPoint_);
            if (document_) {
                document_->trace() = vertices_;
                if (CKovVView* view = document_->View()) view->update();
            }
            state_ = 0;
            vertices_.clear();
            break;
        case kCrossSection: {
            vertices_.push_back(lastPoint_);
            if (document_) {
                document_->trace() = vertices_;
                if (CKovVView* view = document_->View()) view->update();
                if (const CrossSectionBuilder& build = crossSectionBuilder())
                    build(*document_, vertices_);
            }
            endSelf();
            break;
        }
        case kFloodStart:
            state_ = 0;
            vertices_.clear();
            break;
        default:
            break;
    }
}

void TrackRangeOp::distanceAreaReport() {
    if (vertices_.size() < 2) return;
    if (!useWindow_) copyText(kov::distanceAreaReport(ComputeMeasures(vertices_, lastPoint_)));
    ShowMessage(promptText(53524));
}

void TrackRangeOp::slopeReport() {
    if (vertices_.size() < 2 || useWindow_ || !meshes_) return;
    FPoint from = vertices_[vertices_.size() - 2];
    FPoint to = vertices_.back();
    if (!meshes_->FindElevation(from.x, from.y, from.z) ||
        !meshes_->FindElevation(to.x, to.y, to.z))
        return;
    const double total = ComputeMeasures(vertices_, lastPoint_).total;
    copyText(kov::slopeReport(from, to, total, slopeOf(from.z, to.z, total)));
    ShowMessage(promptText(53997));
}

QRect TrackRangeOp::FeedbackRect(CKovVView& view, const FPoint& point) {
    if (state_ == 0 || vertices_.empty()) return {};
    std::vector<QPointF> line{toClient(view, point)};
    for (const FPoint& v : vertices_)
        line.push_back(toClient(view, v));
    return rubberLineRect(line, lineWidth_);
}

void TrackRangeOp::PaintFeedback(CKovVView& view, QPainter& painter, const FPoint& point) {
    if (state_ == 0 || vertices_.empty()) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setBrush(Qt::NoBrush);
    // From the mouse point back through the vertices, closed to the mouse point in area mode.
    QPolygonF line;
    line << toClient(view, point);
    for (auto it = vertices_.rbegin(); it != vertices_.rend(); ++it)
        line << toClient(view, *it);
    if (mode_ == kDistanceArea && vertices_.size() >= 2) line << toClient(view, point);
    // The outline of the wide line as one shape, so that each pixel is inverted once where the
    // segments and their round joins overlap.
    QPainterPath path;
    path.addPolygon(line);
    QPainterPathStroker stroker;
    stroker.setWidth(lineWidth_);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    painter.fillPath(stroker.createStroke(path).simplified(), kRubberGrey);
    if (showTicks_) {
        const Measures m = ComputeMeasures(vertices_, point);
        painter.setPen(QPen(kRubberGrey, 1));
        for (const TickLine& tick :
             scaleTicks(toClient(view, vertices_.back()), toClient(view, point), m.segment))
            painter.drawLine(tick.from, tick.to);
    }
    restoreOpacity(painter, FeedbackRect(view, point));
}

void TrackRangeOp::DrawFeedback(CKovVView& view, const FPoint& point, bool remove) {
    if (remove) tip_->hideTip();
    if (state_ == 0) return;
    KovTrack::DrawFeedback(view, point, remove);
    if (remove) return;
    const Measures m = ComputeMeasures(vertices_, point);
    if (m.flags == 0) return;
    CMeasureMsgDlg* window = openWindow();
    QStringList tip;
    const size_t n = vertices_.size();
    if ((displayFlags_ & kShowSegment) && n >= 1) {
        if (window) window->setValue(0, lengthText(m.segment));
        tip << QStringLiteral("区間距離: ") + lengthText(m.segment);
    }
    if (displayFlags_ & kShowTotal) {
        if (n >= 2) {
            if (window) {
                window->setLabel(1, QStringLiteral("延長距離"));
                window->setValue(1, lengthText(m.total));
            }
            tip << QStringLiteral("延長距離: ") + lengthText(m.total);
        } else if (window) {
            window->setValue(1, QString());
        }
    }
    if (displayFlags_ & kShowArea) {
        if (n >= 2) {
            if (window) {
                window->setLabel(2, QStringLiteral("面　　積"));
                window->setValue(2, areaText(m.area));
            }
            tip << QStringLiteral("面　　積: ") + areaText(m.area);
        } else if (window) {
            window->setValue(2, QString());
        }
    }
    if (displayFlags_ & kShowSlope) {
        const std::optional<Slope> slope =
            meshes_ ? segmentSlope(*meshes_, vertices_, point) : std::nullopt;
        if (slope) {
            if (window) {
                window->setLabel(1, QStringLiteral("勾　　配"));
                window->setValue(1, slopeText(*slope));
            }
            tip << QStringLiteral("勾　　配: ") + slopeText(*slope);
        } else if (window) {
            window->setValue(1, QString());
        }
    }
    if (!tip.isEmpty() && !useWindow_) {
        const QPoint at = view.mapToGlobal(toClient(view, point).toPoint());
        tip_->showTip(tip.join(QStringLiteral("\r\n")), at + QPoint(kTipOffset, -kTipOffset));
    }
}

void registerMeasuringTracks() {
    // The cross-section command draws the line that the cross-section window builds.
    registerTrackCommands(TrackRangeOp::kClassName, [] { return std::make_unique<TrackRangeOp>(); },
                          {{kCmdMeasureDistanceArea, TrackRangeOp::kDistanceArea},
                           {kCmdMeasureDistanceSlope, TrackRangeOp::kDistanceSlope},
                           {kCmdCrossSection, TrackRangeOp::kCrossSection}});
    setMeasuringTrackStarter([](CKovVDoc& document, int mode) {
        return StartKovTrack(document, TrackRangeOp::kClassName, {}, mode);
    });
    // The measured line out to GIS files, from the 図上計測 menu.
    registerMeasureExport();
}

}  // namespace kov
