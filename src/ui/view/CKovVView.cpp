#include "ui/view/CKovVView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <cstdio>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/display/Dib24Image.h"
#include "core/display/MapOverlays.h"
#include "core/display/MapStatusText.h"
#include "core/display/MeshRenderer.h"
#include "core/display/ScaleBar.h"
#include "core/print/PageComposer.h"
#include "ui/app/CKovVDoc.h"
#include "ui/view/CTipWnd.h"
#include "ui/widgets/CHxColorDlg.h"
#include "ui/widgets/DialogPrompts.h"

// Resources of a static library are registered by name, outside any namespace.
static void InitViewResources() {
    Q_INIT_RESOURCE(view);
}

namespace kov {

namespace {

constexpr const char* kTipSection = "KovViewTip";

// The resolution of the clipboard picture.
constexpr int kClipboardDpi = 96;

ViewTrackRoute* g_trackRoute = nullptr;

unsigned KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned flags = 0;
    if (buttons & Qt::LeftButton) flags |= ViewTrackRoute::kLeftButton;
    if (buttons & Qt::RightButton) flags |= ViewTrackRoute::kRightButton;
    if (buttons & Qt::MiddleButton) flags |= ViewTrackRoute::kMiddleButton;
    if (modifiers & Qt::ShiftModifier) flags |= ViewTrackRoute::kShift;
    if (modifiers & Qt::ControlModifier) flags |= ViewTrackRoute::kControl;
    return flags;
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

CKovVView::CKovVView(CKovVDoc* document, QWidget* parent) : QWidget(parent), document_(document) {
    InitViewResources();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    startPicture_ = QImage(QStringLiteral(":/view/start.png"));
    tip_ = new CTipWnd(this);

    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(kHoverDelay);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] { OnHover(); });
    rearmTimer_.setInterval(kHoverRearmPeriod);
    connect(&rearmTimer_, &QTimer::timeout, this, [this] { OnRearmTimer(); });
    rearmTimer_.start();

    ReloadSettings();
}

CKovVView::~CKovVView() = default;

void CKovVView::SetTrackRoute(ViewTrackRoute* route) {
    g_trackRoute = route;
}

ViewTrackRoute* CKovVView::TrackRoute() {
    return g_trackRoute;
}

void CKovVView::ReloadSettings() {
    quickTip_ = settings::readInt(kTipSection, "QTip", 1) != 0;
    scaleBar_ = settings::readInt(kTipSection, "ScaleBar", 1) != 0;
    tipColor_ = ColorFromRef(settings::readColor(kTipSection, "Color", 0));
    viewFont_ = ReadSettingsFont(kTipSection, "LogFont", DefaultTipFont());
    logPixel_ = settings::readInt(kTipSection, "LogPixel", 96);
    if (logPixel_ < 1) logPixel_ = 96;
    rubberWidth_ = settings::readInt("TrackRange", "Rubber", 3);
    tip_->SetTipFont(viewFont_);
    tip_->SetTextColor(tipColor_);
    if (!quickTip_) tip_->HideTip();
    update();
}

QString CKovVView::VersionText(const char* version) {
    int parts[3] = {0, 0, 0};
    std::sscanf(version ? version : "", "%d.%d.%d", &parts[0], &parts[1], &parts[2]);
    return QString::asprintf("Kov View5 Version %d.%d%d", parts[0], parts[1], parts[2]);
}

HMeshProject* CKovVView::Project() const {
    return document_ ? document_->Meshes() : nullptr;
}

bool CKovVView::HasProject() const {
    return document_ && document_->HasProject() && document_->Meshes();
}

bool CKovVView::TrackRunning() {
    return g_trackRoute && HasProject() && g_trackRoute->IsRunning(*this);
}

void CKovVView::SendStatusText(int pane, const QString& text) {
    SetStatusText(pane, text);
}

void CKovVView::SendCommand(int id) {
    PostCommand(id);
}

// ---- viewport ------------------------------------------------------------------------------

void CKovVView::setView(const MapRect& rect) {
    const HMeshProject* project = Project();
    viewport_.setView(rect, width(), height(), project ? project->GetMaxCellSize() : 0.0);
    invalidateMap();
}

void CKovVView::invalidateMap() {
    relief_ = QImage();
    tip_->HideTip();
    update();
    emit mapInvalidated();
}

bool CKovVView::canZoomIn() const {
    return HasProject() && viewport_.canZoomIn();
}

bool CKovVView::canZoomOut() const {
    return HasProject() && viewport_.canZoomOut(*Project());
}

void CKovVView::ApplyZoom(const ZoomResult& result) {
    if (!result.zoomed) return;
    invalidateMap();
    if (result.moveCursor) QCursor::setPos(mapToGlobal(result.cursorTarget));
}

bool CKovVView::zoom(int mode, int steps) {
    if (!HasProject()) return false;
    std::optional<QPointF> cursor;
    const QPoint pos = mapFromGlobal(QCursor::pos());
    if (rect().contains(pos)) cursor = QPointF(pos);
    const ZoomResult result = viewport_.zoom(mode, steps, cursor, *Project());
    ApplyZoom(result);
    return result.zoomed;
}

void CKovVView::pan(double fx, double fy) {
    if (!HasProject()) return;
    viewport_.pan(fx, fy);
    invalidateMap();
}

std::optional<FPoint> CKovVView::deviceToMapPoint(QPointF device) const {
    if (!HasProject()) return std::nullopt;
    FPoint p = viewport_.deviceToMap(device);
    p.z = elevationAtMapPoint(*Project(), p.x, p.y);
    return p;
}

bool CKovVView::startZoomAndMoveTrack() {
    if (!HasProject() || !g_trackRoute) return false;
    return g_trackRoute->StartZoom(*this, ViewTrackRoute::kZoomAndMove, nullptr);
}

void CKovVView::setStartScreen(bool on) {
    startScreen_ = on;
    if (on) tip_->HideTip();
    update();
}

// ---- drawing -------------------------------------------------------------------------------

void CKovVView::RenderRelief() {
    HMeshProject& project = *Project();
    Dib24 dib(width(), height());
    const MapRect world = viewport_.world();
    renderMeshes(project, dib, &world, nullptr, nullptr, project.stepMode, project.stepHeight);
    relief_ = Dib24ToImage(dib);
}

void CKovVView::PaintStartScreen(QPainter& painter) {
    painter.fillRect(rect(), Qt::white);
    const QString version = VersionText(KOV_VERSION);
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    const int textHeight = painter.fontMetrics().height();
    const QSize picture = startPicture_.size();
    const int top = (height() - picture.height() - textHeight - 12) / 2;
    if (!startPicture_.isNull()) {
        painter.drawImage((width() - picture.width()) / 2, top, startPicture_);
    }
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(QRect(0, top + picture.height() + 12, width(), textHeight), Qt::AlignCenter,
                     version);
}

void CKovVView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!HasProject() || startScreen_) {
        PaintStartScreen(painter);
        return;
    }
    HMeshProject& project = *Project();
    if (relief_.isNull() && width() > 0 && height() > 0) RenderRelief();
    painter.drawImage(0, 0, relief_);
    const QRegion uncovered = QRegion(rect()) - QRegion(0, 0, relief_.width(), relief_.height());
    for (const QRect& r : uncovered)
        painter.fillRect(r, Qt::white);

    drawShapes(painter, project, viewport_, logicalDpiX());
    if (scaleBar_) drawScaleBar(painter, rect(), viewport_.unitsPerPixel, logPixel_, viewFont_);
    const std::vector<FPoint>& trace = document_->Trace();
    if (trace.size() >= 2) drawTraceLine(painter, viewport_, trace, rubberWidth_);
    if (project.showSheetInfo) {
        drawMapSheets(painter, viewport_, project.planeZone, logicalDpiX(), viewFont_);
    }
    if (TrackRunning()) g_trackRoute->PaintFeedback(*this, painter);
}

void CKovVView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (HasProject()) viewport_.resize(width(), height(), *Project());
    invalidateMap();
}

// ---- status bar and tip --------------------------------------------------------------------

void CKovVView::ClearStatusPanes() {
    for (int pane = 1; pane <= 4; ++pane)
        SendStatusText(pane, QString());
}

void CKovVView::UpdateStatusPanes(QPointF device) {
    const std::optional<FPoint> p = deviceToMapPoint(device);
    if (!p || startScreen_) {
        ClearStatusPanes();
        return;
    }
    const StatusTexts texts =
        statusTexts(document_->Coordinates(), Project()->planeZone, p->x, p->y, p->z);
    SendStatusText(1, QString::fromStdString(texts.latLong));
    SendStatusText(2, QString::fromStdString(texts.plane));
    SendStatusText(3, QString::fromStdString(texts.sheet));
    SendStatusText(4, QString::fromStdString(texts.elevation));
}

void CKovVView::OnHover() {
    hoverSpent_ = true;
    if (!quickTip_ || !HasProject() || startScreen_ || TrackRunning()) return;
    const QPoint pos = lastMouse_;
    if (!rect().contains(pos)) return;
    const std::optional<FPoint> p = deviceToMapPoint(pos);
    if (!p) return;
    const std::string text =
        quickTipText(document_->Coordinates(), Project()->planeZone, p->x, p->y, p->z);
    tip_->ShowTip(QString::fromStdString(text),
                  mapToGlobal(pos) + QPoint(kTipOffsetX, kTipOffsetY));
}

void CKovVView::OnRearmTimer() {
    // A cursor resting on the map gets its tip back after the map changed under it.
    if (!HasProject() || startScreen_ || !hoverSpent_ || !underMouse()) return;
    hoverSpent_ = false;
    hoverTimer_.start();
}

void CKovVView::leaveEvent(QEvent* event) {
    hoverTimer_.stop();
    hoverSpent_ = false;
    tip_->HideTip();
    QWidget::leaveEvent(event);
}

// ---- input ---------------------------------------------------------------------------------

void CKovVView::UpdateTrackCursor() {
    std::optional<QCursor> cursor;
    if (TrackRunning()) cursor = g_trackRoute->Cursor(*this);
    if (cursor) {
        setCursor(*cursor);
    } else {
        unsetCursor();
    }
}

void CKovVView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    lastMouse_ = pos.toPoint();
    UpdateStatusPanes(pos);
    if (!HasProject() || startScreen_) return;
    if (TrackRunning()) {
        if (const std::optional<FPoint> p = deviceToMapPoint(pos)) {
            g_trackRoute->OnMouse(*this, ViewTrackRoute::MouseMove,
                                  KeyFlags(event->buttons(), event->modifiers()), *p);
        }
    }
    UpdateTrackCursor();
    hoverSpent_ = false;
    hoverTimer_.start();
}

void CKovVView::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (startScreen_) {
        if (button == Qt::LeftButton) setStartScreen(false);
        return;
    }
    if (!HasProject()) {
        if (button == Qt::LeftButton) SendCommand(kCmdNewProject);
        return;
    }
    tip_->HideTip();
    const std::optional<FPoint> p = deviceToMapPoint(event->position());
    if (!p || !g_trackRoute) return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (TrackRunning()) {
        ViewTrackRoute::MouseEvent kind;
        if (button == Qt::LeftButton) {
            kind = ctrl ? ViewTrackRoute::MButtonDown : ViewTrackRoute::LButtonDown;
        } else if (button == Qt::MiddleButton) {
            kind = ViewTrackRoute::MButtonDown;
        } else if (button == Qt::RightButton) {
            kind = ViewTrackRoute::RButtonDown;
        } else {
            return;
        }
        g_trackRoute->OnMouse(*this, kind, KeyFlags(event->buttons(), event->modifiers()), *p);
    } else if (button == Qt::LeftButton && shift) {
        g_trackRoute->StartZoom(*this, ViewTrackRoute::kZoomAndMove, &*p);
    } else if ((button == Qt::MiddleButton || (button == Qt::LeftButton && ctrl)) && canZoomIn()) {
        g_trackRoute->StartZoom(*this, ViewTrackRoute::kZoomIn, &*p);
    } else if (button == Qt::RightButton && ctrl && canZoomOut()) {
        g_trackRoute->StartZoom(*this, ViewTrackRoute::kZoomOut, &*p);
    }
    UpdateTrackCursor();
}

void CKovVView::mouseReleaseEvent(QMouseEvent* event) {
    if (startScreen_ || !TrackRunning()) return;
    const std::optional<FPoint> p = deviceToMapPoint(event->position());
    if (!p) return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    ViewTrackRoute::MouseEvent kind;
    switch (event->button()) {
        case Qt::LeftButton:
            kind = ctrl ? ViewTrackRoute::MButtonUp : ViewTrackRoute::LButtonUp;
            break;
        case Qt::MiddleButton:
            kind = ViewTrackRoute::MButtonUp;
            break;
        case Qt::RightButton:
            kind = ViewTrackRoute::RButtonUp;
            break;
        default:
            return;
    }
    g_trackRoute->OnMouse(*this, kind, KeyFlags(event->buttons(), event->modifiers()), *p);
    UpdateTrackCursor();
}

void CKovVView::wheelEvent(QWheelEvent* event) {
    if (!HasProject() || startScreen_) {
        event->ignore();
        return;
    }
    std::optional<QPointF> cursor = event->position();
    if (!viewport_.contains(*cursor)) cursor.reset();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    ApplyZoom(viewport_.wheel(event->angleDelta().y(), modifiers & Qt::ShiftModifier,
                              modifiers & Qt::ControlModifier, cursor, *Project()));
    event->accept();
}

void CKovVView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (startScreen_) {
        setStartScreen(false);
        return;
    }
    if (!HasProject()) {
        // Modifier keys alone are the start of a shortcut, not a key of their own.
        if (IsModifierKey(key)) {
            QWidget::keyPressEvent(event);
        } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            SendCommand(kCmdOpenProject);
        } else if (key != Qt::Key_F1) {
            SendCommand(kCmdNewProject);
        } else {
            QWidget::keyPressEvent(event);
        }
        return;
    }
    if (key == Qt::Key_PageUp) {
        zoom(kZoomAtCentre, 1);
    } else if (key == Qt::Key_PageDown) {
        zoom(kZoomAtCentre, 0);
    } else if (const std::optional<QPointF> f = arrowKeyPan(key)) {
        pan(f->x(), f->y());
    } else if (key == Qt::Key_Escape && TrackRunning()) {
        g_trackRoute->Cancel(*this);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// ---- commands ------------------------------------------------------------------------------

void CKovVView::copyToClipboard() {
    if (!HasProject()) return;
    PageStyle style;
    style.scaleBar = scaleBar_;
    style.font = viewFont_;
    const QImage picture =
        composePage(*Project(), viewport_.world(), width(), height(), kClipboardDpi, true, style);
    if (picture.isNull()) return;
    QGuiApplication::clipboard()->setImage(picture);
    ShowMessage(this, QMessageBox::Information,
                QStringLiteral("現在の画面表示をイメージにして、クリップボードにコピーしました"));
}

bool CKovVView::OnCommand(int id) {
    if (isScrollCommand(id)) {
        if (!HasProject()) return true;
        if (id == kCmdScrollCentre) {
            startZoomAndMoveTrack();
        } else if (const std::optional<QPointF> f = scrollCommandPan(id)) {
            pan(f->x(), f->y());
        }
        return true;
    }
    switch (id) {
        case kCmdShowWholeArea: {
            MapRect extent;
            if (HasProject() && Project()->GetExtent(extent)) setView(extent);
            return true;
        }
        case kCmdZoomIn:
            // One step about the centre until the zoom track takes these commands over.
            zoom(kZoomAtCentre, 1);
            return true;
        case kCmdZoomOut:
            zoom(kZoomAtCentre, 0);
            return true;
        case kCmdToggleQuickCoordinates:
            quickTip_ = !quickTip_;
            settings::writeInt(kTipSection, "QTip", quickTip_ ? 1 : 0);
            if (!quickTip_) tip_->HideTip();
            return true;
        case kCmdToggleScaleBar:
            scaleBar_ = !scaleBar_;
            settings::writeInt(kTipSection, "ScaleBar", scaleBar_ ? 1 : 0);
            update();
            return true;
        case kCmdCopyViewToClipboard:
            copyToClipboard();
            return true;
        default:
            return false;
    }
}

bool CKovVView::OnUpdateCommand(int id, CommandState& state) {
    if (isScrollCommand(id)) {
        state.enabled = HasProject();
        return true;
    }
    switch (id) {
        case kCmdShowWholeArea:
        case kCmdCopyViewToClipboard:
            state.enabled = HasProject();
            return true;
        case kCmdZoomIn:
            state.enabled = canZoomIn();
            return true;
        case kCmdZoomOut:
            state.enabled = canZoomOut();
            return true;
        case kCmdToggleQuickCoordinates:
            state.enabled = true;
            state.checked = quickTip_;
            return true;
        case kCmdToggleScaleBar:
            state.enabled = true;
            state.checked = scaleBar_;
            return true;
        default:
            return false;
    }
}

}  // namespace kov
