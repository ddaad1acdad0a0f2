// SPDX-License-Identifier: MIT
#include "ui/measure/MeasureExportCommands.h"

#include <QApplication>
#include <QFile>

#include "core/base/CommandIds.h"
#include "core/measure/MeasureExport.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

QString askExportPath(QWidget* parent, ExportKind kind, const QString& title) {
    FileDialogRequest request;
    request.save = true;  // asks before an existing file is replaced (the dialog's default)
    request.title = title;
    request.defaultExtension = QStringLiteral("geojson");
    request.filter = QStringLiteral(
        "GeoJSON ファイル (*.geojson *.json)|*.geojson;*.json|"
        "GeoPackage ファイル (*.gpkg)|*.gpkg|");
    if (kind == ExportKind::MeasuredLine)  // a shapefile holds lines or points, not both
        request.filter += QStringLiteral("シェープファイル (*.shp)|*.shp|");
    request.filter += QStringLiteral("KML ファイル (*.kml)|*.kml||");
    return promptFileName(parent, request).value_or(QString());
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
