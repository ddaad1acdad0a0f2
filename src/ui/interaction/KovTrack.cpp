// SPDX-License-Identifier: MIT
#include "ui/interaction/KovTrack.h"

#include <QApplication>
#include <QPainter>

#include "core/base/CommandIds.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/FrameServices.h"
#include "ui/interaction/TrackZoom.h"
#include "ui/view/CKovVView.h"

namespace kov {

namespace {

CKovVDoc* g_activeDocument = nullptr;

}  // namespace

KovTrack::KovTrack(int level) : StdTrack(level), cursor_(QCursor(Qt::CrossCursor)) {
    document_ = g_activeDocument;
    if (document_) {
        meshes_ = document_->meshes();
        firstView_ = document_->View();
        captureView_ = firstView_;
        currentView_ = firstView_;
    }
}

KovTrack::~KovTrack() = default;

void KovTrack::setActiveDocument(CKovVDoc* document) {
    g_activeDocument = document;
}

void KovTrack::End() {
    if (captured()) ReleaseCapture();
    if (feedbackShown_) DrawFeedbackAll(lastPoint_, true);
}

// The view that took the press receives the moves and the release of that button wherever the
// mouse goes (the window system's implicit grab); an explicit grab of the pointer is not taken,
// so that a lost release can never leave the display grabbed. The flag keeps other tracks out.
void KovTrack::SetCapture() {
    if (currentView_) captureView_ = currentView_;
    StdTrack::SetCapture();
}

void KovTrack::ReleaseCapture() {
    StdTrack::ReleaseCapture();
}

void KovTrack::OnMouseMove(CKovVView&, unsigned, const FPoint& point) {
    if (feedbackShown_) DrawFeedbackAll(lastPoint_, true);
    lastPoint_ = point;
    DrawFeedbackAll(lastPoint_, false);
}

void KovTrack::DrawFeedbackAll(const FPoint& point, bool remove) {
    // The document has one map view.
    if (firstView_) DrawFeedback(*firstView_, point, remove);
    feedbackShown_ = !remove;
}

void KovTrack::DrawFeedback(CKovVView& view, const FPoint& point, bool) {
    const QRect r = FeedbackRect(view, point);
    if (!r.isEmpty()) view.update(r);
}

void KovTrack::RepaintFeedback(CKovVView& view, QPainter& painter) {
    if (!feedbackShown_) return;
    painter.save();
    PaintFeedback(view, painter, lastPoint_);
    painter.restore();
}

void KovTrack::ShowFeedbackAtCursor(CKovVView& view) {
    const std::optional<FPoint> p = view.deviceToMapPoint(view.mapFromGlobal(QCursor::pos()));
    if (!p) return;
    lastPoint_ = *p;
    DrawFeedback(view, lastPoint_, false);
    feedbackShown_ = true;
}

void KovTrack::PaintFeedback(CKovVView&, QPainter&, const FPoint&) {}

QRect KovTrack::FeedbackRect(CKovVView& view, const FPoint&) {
    return view.rect();
}

void KovTrack::restoreOpacity(QPainter& painter, const QRect& rect) {
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rect, Qt::black);
}

QPointF KovTrack::toClient(const CKovVView& view, const FPoint& point) {
    return view.viewport().mapToDevice(point.x, point.y);
}

void KovTrack::ShowMessage(const QString& text) {
    prompt_ = text;
    setStatusText(0, text);
}

KovTrack* GetCurrentKovTrack() {
    return dynamic_cast<KovTrack*>(currentTrack());
}

bool StartKovTrack(CKovVDoc& document, const std::string& className, const QStringList& arguments,
                   int mode) {
    KovTrack::setActiveDocument(&document);
    std::unique_ptr<StdTrack> created = createTrack(className);
    KovTrack::setActiveDocument(nullptr);
    auto* track = dynamic_cast<KovTrack*>(created.get());
    if (!track) return false;
    track->arguments().append(arguments);
    track->setMode(mode);
    if (!PushTrack(std::move(created))) {
        QApplication::beep();
        return false;
    }
    track->Start();
    if (CKovVView* view = document.View()) view->update();
    return true;
}

void endAllTracks() {
    while (KovTrack* track = GetCurrentKovTrack()) {
        track->ReleaseCapture();
        EndTrack(track);
    }
    PurgeEndedTracks();
}

namespace {

// The current track when it is bound to the view's document, else null.
KovTrack* trackOf(const CKovVView& view) {
    KovTrack* track = GetCurrentKovTrack();
    return track && track->document() == view.document() ? track : nullptr;
}

// The view's events go to the current track of its document.
class TrackRoute : public ViewTrackRoute {
public:
    bool isRunning(CKovVView& view) override { return trackOf(view) != nullptr; }

    void OnMouse(CKovVView& view, MouseEvent event, unsigned flags, const FPoint& point) override {
        KovTrack* track = trackOf(view);
        if (!track) return;
        // During the capture a point outside the view belongs to the view under the cursor; the
        // document has one view, so the point stays as received.
        track->setCurrentView(&view);
        switch (event) {
            case MouseMove:
                track->OnMouseMove(view, flags, point);
                break;
            case LButtonDown:
                track->OnLButtonDown(view, flags, point);
                break;
            case MButtonDown:
                track->OnMButtonDown(view, flags, point);
                break;
            case LButtonUp:
                track->OnLButtonUp(view, flags, point);
                break;
            case MButtonUp:
                track->OnMButtonUp(view, flags, point);
                break;
            case RButtonDown:
                track->OnRButtonDown(view, flags, point);
                break;
            case RButtonUp:
                track->OnRButtonUp(view, flags, point);
                break;
        }
    }

    void Cancel(CKovVView& view) override {
        if (KovTrack* track = trackOf(view)) track->Cancel();
    }

    bool startZoom(CKovVView& view, int mode, const FPoint* anchor) override {
        if (!view.document()) return false;
        QStringList arguments;
        if (anchor) {
            arguments << QString::asprintf("%.6f", anchor->x)
                      << QString::asprintf("%.6f", anchor->y);
        }
        return StartKovTrack(*view.document(), TrackZoom::kClassName, arguments, mode);
    }

    void paintFeedback(CKovVView& view, QPainter& painter) override {
        if (KovTrack* track = GetCurrentKovTrack()) track->RepaintFeedback(view, painter);
    }

    std::optional<QCursor> Cursor(CKovVView& view) override {
        KovTrack* track = trackOf(view);
        return track ? track->GetCursor() : std::nullopt;
    }
};

}  // namespace

void registerTrackCommands(const std::string& className, TrackCreator creator,
                           std::initializer_list<TrackCommand> commands) {
    registerTrackClass(className, std::move(creator));
    for (const TrackCommand& command : commands) {
        CKovVDoc::setCommandHandler(command.id,
                                    [className, mode = command.mode](CKovVDoc& document, int) {
                                        StartKovTrack(document, className, {}, mode);
                                    });
    }
}

void registerTracks() {
    registerTrackCommands(TrackZoom::kClassName, [] { return std::make_unique<TrackZoom>(); },
                          {{kCmdZoomIn, TrackZoom::kZoomIn},
                           {kCmdZoomOut, TrackZoom::kZoomOut},
                           {kCmdPan, TrackZoom::kPan}});
    static TrackRoute route;
    CKovVView::setTrackRoute(&route);
    CKovVDoc::setTrackEnder([](const CKovVDoc* owner) {
        const KovTrack* track = GetCurrentKovTrack();
        if (!owner || (track && track->document() == owner)) endAllTracks();
    });
}

}  // namespace kov
