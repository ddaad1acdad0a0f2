#include "ui/measure/MeasureExportCommands.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>

#include "core/base/CommandIds.h"
#include "core/measure/MeasureExport.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

namespace {

struct FormatFilter {
    const char* label;   // as QFileDialog takes it: the patterns in the closing parentheses
    const char* suffix;  // added to a name without an extension
    bool holdsProfile;
};

constexpr FormatFilter kFilters[] = {
    {"GeoJSON ファイル (*.geojson *.json)", "geojson", true},
    {"GeoPackage ファイル (*.gpkg)", "gpkg", true},
    {"シェープファイル (*.shp)", "shp", false},
    {"KML ファイル (*.kml)", "kml", true},
};

QString suffixOf(const QString& label) {
    for (const FormatFilter& filter : kFilters)
        if (label == QString::fromUtf8(filter.label)) return QString::fromLatin1(filter.suffix);
    return {};
}

bool canExportTrace(CKovVDoc* document) {
    return document && document->HasProject() && document->trace().size() >= 2;
}

// The menu of the menu bar that holds the action.
QMenu* menuHolding(QAction* action) {
    if (!action) return nullptr;
    for (QObject* object : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(object)) return menu;
    return nullptr;
}

// Gives every main frame the command when it is first shown (its menus are built by then).
class FrameWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* frame = qobject_cast<CMainFrame*>(watched)) addMeasureExportCommand(*frame);
        return false;
    }
};

}  // namespace

QString askExportPath(QWidget* parent, ExportKind kind, const QString& title) {
    QStringList labels;
    for (const FormatFilter& filter : kFilters)
        if (kind == ExportKind::MeasuredLine || filter.holdsProfile)
            labels << QString::fromUtf8(filter.label);
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(labels);
    dialog.setDefaultSuffix(suffixOf(labels.constFirst()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& label) { dialog.setDefaultSuffix(suffixOf(label)); });
    // Asks before an existing file is replaced (the dialog's default).
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool writeExport(QWidget* parent, const QString& path, const ExportWriter& write) {
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = write(QFile::encodeName(path).toStdString(), &error);
    QApplication::restoreOverrideCursor();
    if (!written)
        ShowMessage(parent, QMessageBox::Warning,
                    QStringLiteral("%1 に書き出せませんでした。\n%2")
                        .arg(path, QString::fromStdString(error)));
    return written;
}

void exportTrace(CKovVDoc& document, QWidget* parent) {
    if (!canExportTrace(&document)) return;
    const QString path =
        askExportPath(parent, ExportKind::MeasuredLine, QStringLiteral("計測結果のエクスポート"));
    if (path.isEmpty()) return;
    const HMeshProject& project = *document.meshes();
    const std::vector<FPoint> line = document.trace();
    writeExport(parent, path, [&](const std::string& target, std::string* error) {
        return exportMeasuredLine(project, line, target, error);
    });
}

void addMeasureExportCommand(CMainFrame& frame) {
    const QString name = QString::number(kCmdExportMeasurement);
    if (frame.findChild<QAction*>(name)) return;
    QAction* clear = frame.Action(kCmdClearTrace);
    QMenu* menu = menuHolding(clear);
    if (!menu) return;
    auto* action = new QAction(QStringLiteral("計測結果のエクスポート(&X)..."), &frame);
    action->setObjectName(name);
    action->setStatusTip(
        QStringLiteral("計測した線の距離・面積・区間ごとの勾配を GIS のファイルに書き出します"));
    action->setToolTip(QStringLiteral("計測結果のエクスポート"));
    const QList<QAction*> entries = menu->actions();
    const qsizetype at = entries.indexOf(clear) + 1;
    menu->insertAction(at < entries.size() ? entries[at] : nullptr, action);
    QObject::connect(action, &QAction::triggered, &frame, [&frame] {
        if (CKovVDoc* document = frame.document()) exportTrace(*document, &frame);
    });
    // The frame's own update of the menu knows only its commands (it disables this one as
    // unknown); this runs after it.
    QObject::connect(menu, &QMenu::aboutToShow, action,
                     [&frame, action] { action->setEnabled(canExportTrace(frame.document())); });
    action->setEnabled(canExportTrace(frame.document()));
}

void registerMeasureExport() {
    static FrameWatcher* watcher = nullptr;
    if (watcher || !qApp) return;
    watcher = new FrameWatcher(qApp);
    qApp->installEventFilter(watcher);
}

}  // namespace kov
