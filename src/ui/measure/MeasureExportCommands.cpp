#include "ui/measure/MeasureExportCommands.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

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
    if (!document.meshes() || document.trace().size() < 2) return;
    const QString path =
        askExportPath(parent, ExportKind::MeasuredLine, QStringLiteral("計測結果のエクスポート"));
    if (path.isEmpty()) return;
    const HMeshProject& project = *document.meshes();
    const std::vector<FPoint> line = document.trace();
    writeExport(parent, path, [&](const std::string& target, std::string* error) {
        return exportMeasuredLine(project, line, target, error);
    });
}

void registerMeasureExport() {
    CKovVDoc::setCommandHandler(kCmdExportMeasurement, [](CKovVDoc& document, int) {
        exportTrace(document, CMainFrame::instance());
    });
}

}  // namespace kov
