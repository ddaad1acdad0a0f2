// SPDX-License-Identifier: MIT
// A track bound to the project document and its map view: receives the view's mouse events as
// map points, keeps the mouse capture in the view, draws its feedback over the view's picture
// and shows its prompt in the status bar.
#pragma once

#include <QCursor>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>
#include <string>

#include "core/data/HMeshProject.h"
#include "core/interaction/TrackStack.h"
#include "ui/view/CKovVView.h"

class QPainter;

namespace kov {

class CKovVDoc;

class KovTrack : public StdTrack {
public:
    // Binds the track to the active document (setActiveDocument) and its view.
    explicit KovTrack(int level);
    ~KovTrack() override;

    // The document new tracks are bound to (StartKovTrack sets it).
    static void setActiveDocument(CKovVDoc* document);

    void End() override;
    void SetCapture() override;
    void ReleaseCapture() override;

    bool HasDocument() const { return document_ != nullptr; }
    CKovVDoc* document() const { return document_; }
    HMeshProject* meshes() const { return meshes_; }
    CKovVView* currentView() const { return currentView_; }
    void setCurrentView(CKovVView* view) { currentView_ = view; }
    CKovVView* captureView() const { return captureView_; }

    QStringList& arguments() { return arguments_; }
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    const FPoint& lastPoint() const { return lastPoint_; }
    bool feedbackShown() const { return feedbackShown_; }
    const QString& prompt() const { return prompt_; }

    virtual void Start() {}
    virtual void Cancel() {}
    virtual std::optional<QCursor> GetCursor() { return cursor_; }

    virtual void OnMouseMove(CKovVView& view, unsigned flags, const FPoint& point);
    virtual void OnLButtonDown(CKovVView&, unsigned, const FPoint&) {}
    virtual void OnRButtonDown(CKovVView&, unsigned, const FPoint&) {}
    virtual void OnMButtonDown(CKovVView&, unsigned, const FPoint&) {}
    virtual void OnLButtonUp(CKovVView&, unsigned, const FPoint&) {}
    virtual void OnMButtonUp(CKovVView&, unsigned, const FPoint&) {}
    virtual void OnRButtonUp(CKovVView&, unsigned, const FPoint&) {}

    // Shows or removes the feedback at a point in every view of the document.
    void DrawFeedbackAll(const FPoint& point, bool remove);
    // Shows or removes the feedback in one view: the pixels are drawn by PaintFeedback when the
    // view paints; here the track asks the view to repaint where the feedback lies, and does
    // what else showing means (the measuring tip, the result rows).
    virtual void DrawFeedback(CKovVView& view, const FPoint& point, bool remove);
    // After the view painted itself: the feedback drawn again over the picture, when shown.
    void RepaintFeedback(CKovVView& view, QPainter& painter);
    // The last point becomes the map point under the cursor and the feedback is shown there.
    void ShowFeedbackAtCursor(CKovVView& view);

    // Shows the text in the status bar and keeps it as the prompt.
    void ShowMessage(const QString& text);

protected:
    // The pixels of the feedback at a point, drawn over the view's picture.
    virtual void PaintFeedback(CKovVView& view, QPainter& painter, const FPoint& point);
    // Where the feedback at a point lies in the view (client pixels); the whole view by default.
    virtual QRect FeedbackRect(CKovVView& view, const FPoint& point);
    // After exclusive-or drawing into the rectangle: the alpha channel, which the exclusive-or
    // cleared along with the colours, made opaque again (the window shows only opaque pixels).
    static void restoreOpacity(QPainter& painter, const QRect& rect);
    // Client pixels of a map point in the view.
    static QPointF toClient(const CKovVView& view, const FPoint& point);

    QStringList arguments_;
    int mode_ = 0;
    CKovVDoc* document_ = nullptr;
    HMeshProject* meshes_ = nullptr;
    QPointer<CKovVView> firstView_;
    QPointer<CKovVView> captureView_;
    QPointer<CKovVView> currentView_;
    std::optional<QCursor> cursor_;
    FPoint lastPoint_;
    bool feedbackShown_ = false;
    QString prompt_;
};

// The current track when it is a KovTrack, else null.
KovTrack* GetCurrentKovTrack();

// Creates a track of the class (registerTrackClass) for the document, hands it the arguments and
// the mode and makes it current (then starts it); a refused track is deleted with a beep and
// false is returned.
bool StartKovTrack(CKovVDoc& document, const std::string& className, const QStringList& arguments,
                   int mode);

// Ends every track (the document closes) and deletes them.
void endAllTracks();

// A document command that starts a track of a class in a mode (the commands pass no arguments).
struct TrackCommand {
    int id;
    int mode;
};
// Registers the track class by its name and the commands that start it.
void registerTrackCommands(const std::string& className, TrackCreator creator,
                           std::initializer_list<TrackCommand> commands);

// Registers the zoom and pan track, the view's event route, the zoom and pan commands and the
// ending of the tracks when a document closes its project.
void registerTracks();

}  // namespace kov
