// SPDX-License-Identifier: MIT
// The map window: keeps the viewport, turns mouse and keyboard input into zooming and panning,
// draws the relief with its overlays, shows coordinates and elevation under the cursor, and
// copies the visible map to the clipboard. Without a project it shows the start screen.
#pragma once

#include <QCursor>
#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "core/display/ContourOverlay.h"
#include "core/display/MapViewport.h"
#include "core/print/PageComposer.h"
#include "ui/app/FrameServices.h"

class QPainter;

namespace kov {

class CKovVDoc;
class CKovVView;
class CTipWnd;
class HMeshProject;

// Where the view hands its mouse and key events while an interaction track of its document runs,
// and how it starts the zoom-and-move track. The measurement module installs one
// (CKovVView::setTrackRoute); without it the events stop at the view.
class ViewTrackRoute {
public:
    // The mouse operations of a track.
    enum MouseEvent {
        MouseMove,
        LButtonDown,
        MButtonDown,
        LButtonUp,
        MButtonUp,
        RButtonDown,
        RButtonUp
    };
    // Key flags of mouse events: buttons and modifiers held.
    static constexpr unsigned kLeftButton = 0x1;
    static constexpr unsigned kRightButton = 0x2;
    static constexpr unsigned kShift = 0x4;
    static constexpr unsigned kControl = 0x8;
    static constexpr unsigned kMiddleButton = 0x10;
    // Zoom-track modes.
    static constexpr int kZoomIn = 0;
    static constexpr int kZoomOut = 1;
    static constexpr int kZoomAndMove = 3;

    virtual ~ViewTrackRoute() = default;
    // A track of the view's document is current.
    virtual bool isRunning(CKovVView& view) = 0;
    virtual void OnMouse(CKovVView& view, MouseEvent event, unsigned keyFlags,
                         const FPoint& point) = 0;
    // Esc: cancels the current track.
    virtual void Cancel(CKovVView& view) = 0;
    // Starts the zoom track in a mode, anchored at the point when one is given; false when
    // refused.
    virtual bool startZoom(CKovVView& view, int mode, const FPoint* anchor) = 0;
    // Draws the current track's feedback over the freshly painted map.
    virtual void paintFeedback(CKovVView& view, QPainter& painter) = 0;
    // The cursor of the current track over the map, if it has one.
    virtual std::optional<QCursor> Cursor(CKovVView& view) = 0;
};

class CKovVView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    // How long the cursor rests before the quick coordinate tip opens, milliseconds.
    static constexpr int kHoverDelay = 400;
    // The period of the timer that re-arms the hover, milliseconds.
    static constexpr int kHoverRearmPeriod = 1000;
    // The tip's top-left corner relative to the cursor.
    static constexpr int kTipOffsetX = 12;
    static constexpr int kTipOffsetY = 20;

    explicit CKovVView(CKovVDoc* document, QWidget* parent = nullptr);
    ~CKovVView() override;

    CKovVDoc* document() const { return document_; }
    // Fits the rectangle into the window and redraws.
    void setView(const MapRect& rect);
    // Fits the rectangle and keeps it fitted whole whenever the window changes size, until the
    // map is zoomed or moved: a project opened at start-up is shown whole even when the window
    // manager gives the window its final size only afterwards.
    void showWhole(const MapRect& rect);
    // Drops the cached relief and repaints (every viewport change does this).
    void invalidateMap();
    const MapViewport& viewport() const { return viewport_; }
    void setStartScreen(bool on);
    bool startScreen() const { return startScreen_; }
    // Renders the view with its legend and puts it on the clipboard.
    void copyToClipboard();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // One zoom level in (steps >= 1) or out about an anchor (ZoomMode); false beyond the limits.
    bool zoom(int mode, int steps);
    // Moves the view by fractions of half its size.
    void pan(double fx, double fy);
    bool canZoomIn() const;
    bool canZoomOut() const;
    // Client pixel to map point, with the elevation there as z (kElevationWater,
    // kElevationNoData); empty without a project.
    std::optional<FPoint> deviceToMapPoint(QPointF device) const;
    // The map point under the cursor becomes the centre of a zoom-and-move track (the scroll
    // pad's centre): handed to the track route; false without one or when refused.
    bool startZoomAndMoveTrack();

    // Settings of section "KovViewTip" as the view holds them; re-read by reloadSettings.
    bool quickTip() const { return quickTip_; }
    bool scaleBar() const { return scaleBar_; }
    // The font of the tip, the scale bar and the sheet codes.
    const QFont& viewFont() const { return viewFont_; }
    void reloadSettings();
    // The cached relief, null until the next paint renders it.
    const QImage& reliefImage() const { return relief_; }
    // The relief with the contour lines (the relief itself while they are off), null until the
    // next paint.
    const QImage& mapPicture() const { return mapPicture_; }
    // The contour lines as shown (settings section "Contour").
    const ContourDisplay& contourDisplay() const { return contours_; }
    // How pages composed from this view look: scale bar, font and contours as on the screen.
    PageStyle pageStyle() const;
    CTipWnd* tipWindow() const { return tip_; }

    // The start screen's version line for a version "major.minor.patch".
    static QString versionText(const char* version);

    static void setTrackRoute(ViewTrackRoute* route);
    static ViewTrackRoute* trackRoute();

signals:
    // The cached relief was dropped (the view, its colours or its data changed).
    void mapInvalidated();

protected:
    // The frame services the view uses; tests replace them.
    virtual void sendStatusText(int pane, const QString& text);
    virtual void sendCommand(int id);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

    CKovVDoc* document_;
    MapViewport viewport_;
    bool startScreen_ = false;

private:
    HMeshProject* currentProject() const;
    bool HasProject() const;
    void renderRelief();
    // The relief with the contours over it; the problem is kept when they cannot be drawn.
    void composeMapPicture();
    // Says over the map why its contours are missing.
    void paintContourProblem(QPainter& painter);
    // The contour display changed: stored, and the map redrawn without rendering the relief.
    void setContourDisplay(const ContourDisplay& display);
    void paintStartScreen(QPainter& painter);
    void updateStatusPanes(QPointF device);
    void clearStatusPanes();
    void OnHover();
    void OnRearmTimer();
    void applyZoom(const ZoomResult& result);
    bool trackRunning();
    void updateTrackCursor();

    QImage relief_;
    QImage mapPicture_;
    ContourDisplay contours_;
    ContourCache contourCache_;
    QString contourProblem_;             // why the contours are missing; empty while they are drawn
    std::optional<MapRect> shownWhole_;  // what showWhole keeps fitted
    QImage startPicture_;
    CTipWnd* tip_ = nullptr;
    QTimer hoverTimer_;
    QTimer rearmTimer_;
    bool hoverSpent_ = false;
    QPoint lastMouse_;  // client position of the last mouse move
    bool quickTip_ = true;
    bool scaleBar_ = true;
    int logPixel_ = 96;
    int rubberWidth_ = 3;
    QFont viewFont_;
    QColor tipColor_;
};

}  // namespace kov
