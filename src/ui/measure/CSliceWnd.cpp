// SPDX-License-Identifier: MIT
#include "ui/measure/CSliceWnd.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScreen>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/measure/EmfWriter.h"
#include "core/measure/MeasureExport.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/SharedPrinter.h"
#include "ui/measure/MeasureExportCommands.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

namespace {

constexpr const char* kSection = "SliceWnd";
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 400;

QPointer<CSliceWnd> g_current;

CSliceWnd::SavePrompt& savePrompt() {
    static CSliceWnd::SavePrompt prompt;
    return prompt;
}

// The client area: the profile over a white ground, repainted whole on every resize.
class SlicePlot : public QWidget {
public:
    explicit SlicePlot(CSliceWnd* window) : QWidget(window), window_(window) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setObjectName(QStringLiteral("SlicePlot"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        ProfileStyle style;
        style.dpi = logicalDpiX();
        style.showMarks = window_->showControlPoints();
        drawProfile(painter, QRectF(rect()), window_->data(), style);
    }
    void resizeEvent(QResizeEvent*) override { update(); }

private:
    CSliceWnd* window_;
};

}  // namespace

SlicePlacement SlicePlacement::Load() {
    SlicePlacement p;
    p.x = settings::readInt(kSection, "XPos", -1);
    p.y = settings::readInt(kSection, "YPos", -1);
    p.width = settings::readInt(kSection, "XSize", -1);
    p.height = settings::readInt(kSection, "YSize", -1);
    return p;
}

bool SlicePlacement::fits(const QSize& screen) const {
    return x > 0 && y > 0 && width >= 1 && height >= 1 && x < screen.width() - 32 &&
           y < screen.height() - 32 && width <= screen.width() && height <= screen.height();
}

CSliceWnd* CSliceWnd::Open(const ProfileData& data, QWidget* owner, std::vector<FPoint> line,
                           int epsg) {
    if (g_current) {
        g_current->close();
        delete g_current.data();
    }
    auto* window = new CSliceWnd(data, owner, std::move(line), epsg);
    g_current = window;
    window->show();
    return window;
}

CSliceWnd* CSliceWnd::current() {
    return g_current.data();
}

void CSliceWnd::setSavePrompt(SavePrompt prompt) {
    savePrompt() = std::move(prompt);
}

CSliceWnd::CSliceWnd(const ProfileData& data, QWidget* owner, std::vector<FPoint> line, int epsg)
    : QMainWindow(owner, Qt::Window), data_(data), line_(std::move(line)), epsg_(epsg) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("断面図"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kovview.png")));
    showMarks_ = settings::readInt(kSection, "FPos", 1) != 0;
    plot_ = new SlicePlot(this);
    setCentralWidget(plot_);
    createMenus();
    // The stored placement when it lies on the screen; "Zoom" is never applied.
    const SlicePlacement stored = SlicePlacement::Load();
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    if (stored.fits(screenSize)) {
        setGeometry(stored.x, stored.y, stored.width, stored.height);
    } else {
        resize(kDefaultWidth, kDefaultHeight);
    }
}

CSliceWnd::~CSliceWnd() {
    if (!placementSaved_ && isVisible()) savePlacement();
}

QAction* CSliceWnd::action(int id) const {
    return findChild<QAction*>(QString::number(id));
}

void CSliceWnd::createMenus() {
    menuBar()->setObjectName(QStringLiteral("162"));
    auto add = [this](QMenu* menu, int id, const char* text, auto handler) {
        auto* a = menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::number(id));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    add(file, kCmdPrinterSetup, "プリンタの設定(&R)...", [this] { runPrinterSetup(this); });
    add(file, kCmdPrint, "印刷(&P)", [this] { OnPrint(); });
    add(file, kCmdSaveMetafile, "メタファイルにして保存(&S)...", [this] { OnSaveMetafile(); });
    QAction* exportEntry =
        add(file, kCmdExportProfile, "断面のエクスポート(&E)...", [this] { OnExportProfile(); });
    exportEntry->setEnabled(line_.size() >= 2);  // a window opened without its line
    file->addSeparator();
    // Close posts the request, so the window is not destroyed inside its own menu.
    add(file, kCmdCloseWindow, "閉じる(&C)",
        [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&D)"));
    QAction* marks = add(view, kCmdToggleControlPoints, "制御点マークの表示(&M)",
                         [this] { OnToggleControlPoints(); });
    marks->setCheckable(true);
    marks->setChecked(showMarks_);
}

void CSliceWnd::OnToggleControlPoints() {
    showMarks_ = !showMarks_;
    settings::writeInt(kSection, "FPos", showMarks_ ? 1 : 0);
    if (QAction* a = action(kCmdToggleControlPoints)) a->setChecked(showMarks_);
    plot_->update();
}

bool CSliceWnd::printTo(QPrinter& printer) {
    printer.setDocName(QStringLiteral("Slice"));
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // The painter's origin is the printable area's corner; place by the whole page.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double aw = std::max(1, plot_->width()), ah = std::max(1, plot_->height());
    double w = paper.width() * 0.9;
    double h = w * ah / aw;
    if (h > paper.height() * 0.9) {
        h = paper.height() * 0.9;
        w = h * aw / ah;
    }
    const QRectF target(paper.left() + paper.width() * 0.05 - page.left(),
                        paper.top() + paper.height() * 0.05 - page.top(), w, h);
    ProfileStyle style;
    style.dpi = printer.logicalDpiX();
    style.showMarks = showMarks_;
    drawProfile(painter, target, data_, style);
    return painter.end() && finishPdfFile(printer);
}

void CSliceWnd::OnPrint() {
    if (!printTo(sharedPrinter()))
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("印刷を開始できませんでした"));
}

bool CSliceWnd::saveMetafile(const QString& path, std::string* error) {
    // The window's screen is the reference device: its size in pixels and millimetres.
    EmfReference reference;
    if (const QScreen* s = screen()) {
        reference.pixels = s->size();
        reference.millimetres = QSizeF(s->size().width() * 25.4 / s->logicalDotsPerInchX(),
                                       s->size().height() * 25.4 / s->logicalDotsPerInchY());
    }
    EmfDevice emf(plot_->size(), reference, windowTitle());
    QPainter painter;
    if (!painter.begin(&emf)) return false;
    ProfileStyle style;
    style.dpi = emf.logicalDpiX();
    style.metafile = true;
    style.showMarks = showMarks_;
    drawProfile(painter, QRectF(QPointF(0, 0), QSizeF(plot_->size())), data_, style);
    painter.end();
    return emf.save(path.toStdString(), error);
}

void CSliceWnd::OnSaveMetafile() {
    const QString filter = QStringLiteral("拡張メタファイル(emf) (*.emf)");
    QString path;
    if (savePrompt()) {
        path = savePrompt()(this, filter);
    } else {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(QStringLiteral("emf"));
        // Asks before an existing file is replaced (the dialog's default).
        if (runModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (path.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = saveMetafile(path);
    QApplication::restoreOverrideCursor();
    // A file that could not be written is said, never passed over.
    if (!saved)
        ShowMessage(this, QMessageBox::Warning,
                    QStringLiteral("%1 への保存に失敗しました").arg(path));
}

void CSliceWnd::OnExportProfile() {
    if (line_.size() < 2) return;
    const QString path =
        askExportPath(this, ExportKind::Profile, QStringLiteral("断面のエクスポート"));
    if (path.isEmpty()) return;
    writeExport(this, path, [this](const std::string& target, std::string* error) {
        return exportProfile(line_, data_, epsg_, target, error);
    });
}

void CSliceWnd::savePlacement() {
    placementSaved_ = true;
    if (isMinimized()) return;
    const bool maximized = isMaximized();
    // A maximised window keeps its last normal place for the next opening.
    const QRect normal = maximized ? normalGeometry() : geometry();
    if (normal.isValid()) {
        settings::writeInt(kSection, "XPos", normal.x());
        settings::writeInt(kSection, "YPos", normal.y());
        settings::writeInt(kSection, "XSize", normal.width());
        settings::writeInt(kSection, "YSize", normal.height());
    }
    settings::writeInt(kSection, "Zoom", maximized ? 1 : 0);
}

void CSliceWnd::closeEvent(QCloseEvent* event) {
    if (!placementSaved_) savePlacement();
    event->accept();
}

void registerCrossSectionWindow() {
    setCrossSectionBuilder([](CKovVDoc& document, const std::vector<FPoint>& line) {
        const HMeshProject* project = document.meshes();
        if (!project) return;
        const std::string stepText = settings::readString("CrossSection", "Step", "");
        const int maxPoints = settings::readInt("CrossSection", "MaxPoint", 10000);
        const std::optional<ProfileData> data = buildProfile(*project, line, stepText, maxPoints);
        if (!data) return;  // a line without length or no mesh: no window
        CSliceWnd::Open(*data, CMainFrame::instance(), line, collectionEpsg(*project));
    });
}

}  // namespace kov
