// SPDX-License-Identifier: MIT
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
#include "ui/app/FrameServices.h"
#include "ui/dialogs/CContourDlg.h"
#include "ui/view/CTipWnd.h"
#include "ui/view/VisibleAreaExport.h"
#include "ui/widgets/CHxColorDlg.h"
#include "ui/widgets/DevicePixels.h"
#include "ui/widgets/DialogPrompts.h"

// Resources of a static library are registered by name, outside any namespace.
static void initViewResources() {
    Q_INIT_RESOURCE(view);
}

namespace kov {

namespace {

constexpr const char* kTipSection = "KovViewTip";

// The resolution of the clipboard picture.
constexpr int kClipboardDpi = 96;

ViewTrackRoute* g_trackRoute = nullptr;

unsigned keyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned flags = 0;
    if (buttons & Qt::LeftButton) flags |= ViewTrackRoute::kLeftButton;
    if (buttons & Qt::RightButton) flags |= ViewTrackRoute::kRightButton;
    if (buttons & Qt::MiddleButton) flags |= ViewTrackRoute::kMiddleButton;
    if (modifiers & Qt::ShiftModifier) flags |= ViewTrackRoute::kShift;
    if (modifiers & Qt::ControlModifier) flags |= ViewTrackRoute::kControl;
    return flags;
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

CKovVView::CKovVView(CKovVDoc* document, QWidget* parent) : QWidget(parent), document_(document) {
    initViewResources();
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

    reloadSettings();
}

CKovVView::~CKovVView() = default;

void CKovVView::setTrackRoute(ViewTrackRoute* route) {
    g_trackRoute = route;
}

ViewTrackRoute* CKovVView::trackRoute() {
    return g_trackRoute;
}

void CKovVView::reloadSettings() {
    quickTip_ = settings::readInt(kTipSection, "QTip", 1) != 0;
    scaleBar_ = settings::readInt(kTipSection, "ScaleBar", 1) != 0;
    tipColor_ = colorFromRef(settings::readColor(kTipSection, "Color", 0));
    viewFont_ = readSettingsFont(kTipSection, "LogFont", defaultTipFont());
    // Screens reach some hundreds of pixels per inch; a larger value would draw the scale bar
    // as a block over the map.
    logPixel_ = settings::readIntIn(kTipSection, "LogPixel", 96, 0, 600);
    if (logPixel_ < 1) logPixel_ = 96;
    rubberWidth_ = settings::readIntIn("TrackRange", "Rubber", 3, 0, 7);
    contours_ = readContourDisplay();
    mapPicture_ = QImage();
    tip_->setTipFont(viewFont_);
    tip_->setTextColor(tipColor_);
    if (!quickTip_) tip_->hideTip();
    update();
}

QString CKovVView::versionText(const char* version) {
    int parts[3] = {0, 0, 0};
    std::sscanf(version ? version : "", "%d.%d.%d", &parts[0], &parts[1], &parts[2]);
    return QString::asprintf("Kov View5 Version %d.%d%d", parts[0], parts[1], parts[2]);
}

HMeshProject* CKovVView::currentProject() const {
    return document_ ? document_->meshes() : nullptr;
}

bool CKovVView::HasProject() const {
    return document_ && document_->HasProject() && document_->meshes();
}

bool CKovVView::trackRunning() {
    return g_trackRoute && HasProject() && g_trackRoute->isRunning(*this);
}

void CKovVView::sendStatusText(int pane, const QString& text) {
    setStatusText(pane, text);
}

void CKovVView::sendCommand(int id) {
    postCommand(id);
}

// ---- viewport ------------------------------------------------------------------------------

void CKovVView::setView(const MapRect& rect) {
    shownWhole_.reset();
    const HMeshProject* project = currentProject();
    viewport_.setView(rect, width(), height(), project ? project->GetMaxCellSize() : 0.0);
    invalidateMap();
}

void CKovVView::showWhole(const MapRect& rect) {
    setView(rect);
    shownWhole_ = rect;
}

void CKovVView::invalidateMap() {
    relief_ = QImage();
    mapPicture_ = QImage();
    // The data may have changed under the same collection (a project opened again in its place).
    contourCache_.clear();
    tip_->hideTip();
    update();
    // The map moved under a resting cursor (wheel, keys, scroll pad): the panes follow the
    // point now under it.
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    if (isVisible() && rect().contains(cursor)) updateStatusPanes(cursor);
    emit mapInvalidated();
}

bool CKovVView::canZoomIn() const {
    return HasProject() && viewport_.canZoomIn();
}

bool CKovVView::canZoomOut() const {
    return HasProject() && viewport_.canZoomOut(*currentProject());
}

void CKovVView::applyZoom(const ZoomResult& result) {
    if (!result.zoomed) return;
    shownWhole_.reset();
    invalidateMap();
    if (result.moveCursor) QCursor::setPos(mapToGlobal(result.cursorTarget));
}

bool CKovVView::zoom(int mode, int steps) {
    if (!HasProject()) return false;
    std::optional<QPointF> cursor;
    const QPoint pos = mapFromGlobal(QCursor::pos());
    if (rect().contains(pos)) cursor = QPointF(pos);
    const ZoomResult result = viewport_.zoom(mode, steps, cursor, *currentProject());
    applyZoom(result);
    return result.zoomed;
}

void CKovVView::pan(double fx, double fy) {
    if (!HasProject()) return;
    viewport_.pan(fx, fy);
    shownWhole_.reset();
    invalidateMap();
}

std::optional<FPoint> CKovVView::deviceToMapPoint(QPointF device) const {
    if (!HasProject()) return std::nullopt;
    FPoint p = viewport_.deviceToMap(device);
    p.z = elevationAtMapPoint(*currentProject(), p.x, p.y);
    return p;
}

bool CKovVView::startZoomAndMoveTrack() {
    if (!HasProject() || !g_trackRoute) return false;
    return g_trackRoute->startZoom(*this, ViewTrackRoute::kZoomAndMove, nullptr);
}

void CKovVView::setStartScreen(bool on) {
    startScreen_ = on;
    if (on) tip_->hideTip();
    update();
}

// ---- drawing -------------------------------------------------------------------------------

void CKovVView::renderRelief() {
    HMeshProject& project = *currentProject();
    const QSize pixels = devicePixelSize(*this, size());
    Dib24 dib(pixels.width(), pixels.height());
    const MapRect world = viewport_.world();
    renderMeshes(project, dib, &world, nullptr, nullptr, project.stepMode, project.stepHeight);
    relief_ = forDevice(*this, dib24ToImage(dib));
    // Cells that came from the sources instead of the cache: said once, in the message pane.
    if (const QString warning = takeCacheWarning(); !warning.isEmpty()) sendStatusText(0, warning);
}

void CKovVView::composeMapPicture() {
    contourProblem_.clear();
    if (!contours_.show || relief_.isNull()) {
        mapPicture_ = relief_;
        return;
    }
    // A 32-bit copy: antialiased lines draw fastest there, and the copy keeps the relief's
    // device pixel ratio, so the lines come out sharp on a high-DPI screen.
    mapPicture_ = relief_.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&mapPicture_);
    std::string error;
    if (paintContours(painter, *currentProject(), viewport_, contours_, {1.0, true, font()},
                      contourCache_, &error))
        return;
    contourProblem_ =
        QStringLiteral("等高線を表示できません。間隔を広げるか、拡大してください。\n%1")
            .arg(QString::fromStdString(error));
}

void CKovVView::paintContourProblem(QPainter& painter) {
    painter.setFont(font());
    const QRect text = painter.fontMetrics().boundingRect(QRect(12, 12, width() - 24, height()),
                                                          Qt::TextWordWrap, contourProblem_);
    painter.fillRect(text.adjusted(-4, -2, 4, 2), QColor(255, 255, 192));
    painter.setPen(Qt::black);
    painter.drawText(text, Qt::TextWordWrap, contourProblem_);
}

void CKovVView::setContourDisplay(const ContourDisplay& display) {
    contours_ = display;
    writeContourDisplay(display);
    mapPicture_ = QImage();
    update();
}

void CKovVView::paintStartScreen(QPainter& painter) {
    painter.fillRect(rect(), Qt::white);
    const QString version = versionText(KOV_VERSION);
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
        paintStartScreen(painter);
        return;
    }
    HMeshProject& project = *currentProject();
    if (relief_.isNull() && width() > 0 && height() > 0) renderRelief();
    if (mapPicture_.isNull()) composeMapPicture();
    painter.drawImage(0, 0, mapPicture_);
    const QRegion uncovered =
        QRegion(rect()) - QRegion(QRect(QPoint(), mapPicture_.deviceIndependentSize().toSize()));
    for (const QRect& r : uncovered)
        painter.fillRect(r, Qt::white);

    drawShapes(painter, project, viewport_, logicalDpiX());
    if (scaleBar_) drawScaleBar(painter, rect(), viewport_.unitsPerPixel, logPixel_, viewFont_);
    const std::vector<FPoint>& trace = document_->trace();
    if (trace.size() >= 2) drawTraceLine(painter, viewport_, trace, rubberWidth_);
    if (project.showSheetInfo) {
        drawMapSheets(painter, viewport_, project.planeZone, logicalDpiX(), viewFont_);
    }
    if (!contourProblem_.isEmpty()) paintContourProblem(painter);
    if (trackRunning()) g_trackRoute->paintFeedback(*this, painter);
}

void CKovVView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (HasProject() && shownWhole_)
        viewport_.setView(*shownWhole_, width(), height(), *currentProject());
    else if (HasProject())
        viewport_.resize(width(), height(), *currentProject());
    invalidateMap();
}

// ---- status bar and tip --------------------------------------------------------------------

void CKovVView::clearStatusPanes() {
    for (int pane = 1; pane <= 4; ++pane)
        sendStatusText(pane, QString());
}

void CKovVView::updateStatusPanes(QPointF device) {
    const std::optional<FPoint> p = deviceToMapPoint(device);
    if (!p || startScreen_) {
        clearStatusPanes();
        return;
    }
    const StatusTexts texts =
        statusTexts(document_->coordinates(), currentProject()->planeZone, p->x, p->y, p->z);
    sendStatusText(1, QString::fromStdString(texts.latLong));
    sendStatusText(2, QString::fromStdString(texts.plane));
    sendStatusText(3, QString::fromStdString(texts.sheet));
    sendStatusText(4, QString::fromStdString(texts.elevation));
}

void CKovVView::OnHover() {
    hoverSpent_ = true;
    if (!quickTip_ || !HasProject() || startScreen_ || trackRunning()) return;
    const QPoint pos = lastMouse_;
    if (!rect().contains(pos)) return;
    const std::optional<FPoint> p = deviceToMapPoint(pos);
    if (!p) return;
    const std::string text =
        quickTipText(document_->coordinates(), currentProject()->planeZone, p->x, p->y, p->z);
    tip_->showTip(QString::fromStdString(text),
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
    tip_->hideTip();
    QWidget::leaveEvent(event);
}

// ---- input ---------------------------------------------------------------------------------

void CKovVView::updateTrackCursor() {
    std::optional<QCursor> cursor;
    if (trackRunning()) cursor = g_trackRoute->Cursor(*this);
    if (cursor) {
        setCursor(*cursor);
    } else {
        unsetCursor();
    }
}

void CKovVView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    lastMouse_ = pos.toPoint();
    updateStatusPanes(pos);
    if (!HasProject() || startScreen_) return;
    if (trackRunning()) {
        if (const std::optional<FPoint> p = deviceToMapPoint(pos)) {
            g_trackRoute->OnMouse(*this, ViewTrackRoute::MouseMove,
                                  keyFlags(event->buttons(), event->modifiers()), *p);
        }
    }
    updateTrackCursor();
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
        if (button == Qt::LeftButton) sendCommand(kCmdNewProject);
        return;
    }
    tip_->hideTip();
    const std::optional<FPoint> p = deviceToMapPoint(event->position());
    if (!p || !g_trackRoute) return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (trackRunning()) {
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
        g_trackRoute->OnMouse(*this, kind, keyFlags(event->buttons(), event->modifiers()), *p);
    } else if (button == Qt::LeftButton && shift) {
        g_trackRoute->startZoom(*this, ViewTrackRoute::kZoomAndMove, &*p);
    } else if ((button == Qt::MiddleButton || (button == Qt::LeftButton && ctrl)) && canZoomIn()) {
        g_trackRoute->startZoom(*this, ViewTrackRoute::kZoomIn, &*p);
    } else if (button == Qt::RightButton && ctrl && canZoomOut()) {
        g_trackRoute->startZoom(*this, ViewTrackRoute::kZoomOut, &*p);
    }
    updateTrackCursor();
}

void CKovVView::mouseReleaseEvent(QMouseEvent* event) {
    if (startScreen_ || !trackRunning()) return;
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
    g_trackRoute->OnMouse(*this, kind, keyFlags(event->buttons(), event->modifiers()), *p);
    updateTrackCursor();
}

void CKovVView::wheelEvent(QWheelEvent* event) {
    if (!HasProject() || startScreen_) {
        event->ignore();
        return;
    }
    std::optional<QPointF> cursor = event->position();
    if (!viewport_.contains(*cursor)) cursor.reset();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    applyZoom(viewport_.wheel(event->angleDelta().y(), modifiers & Qt::ShiftModifier,
                              modifiers & Qt::ControlModifier, cursor, *currentProject()));
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
        if (isModifierKey(key)) {
            QWidget::keyPressEvent(event);
        } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            sendCommand(kCmdOpenProject);
        } else if (key != Qt::Key_F1) {
            sendCommand(kCmdNewProject);
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
    } else if (key == Qt::Key_Escape && trackRunning()) {
        g_trackRoute->Cancel(*this);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// ---- commands ------------------------------------------------------------------------------

PageStyle CKovVView::pageStyle() const {
    PageStyle style;
    style.scaleBar = scaleBar_;
    style.font = viewFont_;
    style.contours = contours_;
    return style;
}

void CKovVView::copyToClipboard() {
    if (!HasProject()) return;
    const QImage picture = composePage(*currentProject(), viewport_.world(), width(), height(),
                                       kClipboardDpi, true, pageStyle());
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
            if (HasProject() && currentProject()->GetExtent(extent)) showWhole(extent);
            return true;
        }
        case kCmdZoomIn:
        case kCmdZoomOut:
            // With the tracks installed the document starts the zoom track; else one step about
            // the centre.
            if (g_trackRoute) return false;
            zoom(kZoomAtCentre, id == kCmdZoomIn ? 1 : 0);
            return true;
        case kCmdToggleQuickCoordinates:
            quickTip_ = !quickTip_;
            settings::writeInt(kTipSection, "QTip", quickTip_ ? 1 : 0);
            if (!quickTip_) tip_->hideTip();
            return true;
        case kCmdToggleScaleBar:
            scaleBar_ = !scaleBar_;
            settings::writeInt(kTipSection, "ScaleBar", scaleBar_ ? 1 : 0);
            update();
            return true;
        case kCmdCopyViewToClipboard:
            copyToClipboard();
            return true;
        case kCmdToggleContours: {
            ContourDisplay display = contours_;
            display.show = !display.show;
            setContourDisplay(display);
            return true;
        }
        case kCmdContourSettings:
            if (const auto chosen =
                    CContourDlg::ask(this, contours_, autoContourInterval(viewport_.unitsPerPixel)))
                setContourDisplay(*chosen);
            return true;
        case kCmdExportVisibleElevation:
            if (HasProject()) exportVisibleElevation(*this);
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
        case kCmdExportVisibleElevation:
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
        case kCmdToggleContours:
            state.enabled = true;
            state.checked = contours_.show;
            return true;
        case kCmdContourSettings:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

}  // namespace kov
