// SPDX-License-Identifier: MIT
#include "ui/view/VisibleAreaExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <string>

#include "core/data/gis/CollectionRaster.h"
#include "core/data/gis/GisRaster.h"
#include "core/display/ContourOverlay.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainProgress.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/WaitCursor.h"

namespace kov {
namespace {

const char kFilter[] =
    "GeoTIFF (*.tif)|*.tif;*.tiff|ESRI ASCII グリッド (*.asc)|*.asc|"
    "VRT とGeoTIFF タイル (*.vrt)|*.vrt||";

// The project's folder and title, with the GeoTIFF extension.
QString suggestedPath(const CKovVDoc& document) {
    const QString title = document.Title().isEmpty() ? QStringLiteral("標高") : document.Title();
    const QString name = QFileInfo(title).completeBaseName() + QStringLiteral(".tif");
    if (document.PathName().isEmpty()) return name;
    return QFileInfo(document.PathName()).dir().filePath(name);
}

std::optional<QString> askTarget(CKovVView& view) {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = QStringLiteral("tif");
    request.filter = QString::fromUtf8(kFilter);
    request.initialPath = suggestedPath(*view.document());
    return promptFileName(&view, request);
}

// Samples and writes; false with the reason in error.
bool writeArea(const HMeshProject& project, const MapRect& area, const QString& path,
               RasterFormat format, std::string* error) {
    const RasterPlacement placement =
        collectionPlacement(project, area, finestMeshCellSize(project));
    if (placement.cols == 0) {
        *error = "the visible area holds no cells";
        return false;
    }
    WaitCursor wait;
    ElevationRaster raster;
    CMainProgress progress;
    progress.Begin();
    const bool written =
        sampleCollection(project, placement, raster, error, kMaxVisibleExportCells, &progress) &&
        writeElevationRaster(raster, QFile::encodeName(path).toStdString(), format, error, {},
                             &progress);
    progress.End();
    return written;
}

}  // namespace

std::optional<MapRect> exportArea(const HMeshProject& project, const MapRect& rect) {
    MapRect extent;
    if (!project.GetExtent(extent)) return std::nullopt;
    const MapRect area{std::max(rect.xmin, extent.xmin), std::max(rect.ymin, extent.ymin),
                       std::min(rect.xmax, extent.xmax), std::min(rect.ymax, extent.ymax)};
    if (!(area.xmax > area.xmin) || !(area.ymax > area.ymin)) return std::nullopt;
    return area;
}

bool exportVisibleElevation(CKovVView& view) {
    const HMeshProject* project = view.document() ? view.document()->meshes() : nullptr;
    if (!project) return false;
    const std::optional<MapRect> area = exportArea(*project, view.viewport().world());
    if (!area) {
        ShowMessage(&view, QMessageBox::Information,
                    QStringLiteral("表示範囲に標高データがありません"));
        return false;
    }
    const std::optional<QString> path = askTarget(view);
    if (!path) return false;
    const std::optional<RasterFormat> format =
        rasterFormatOfPath(QFile::encodeName(*path).toStdString());
    if (!format) {
        ShowMessage(&view, QMessageBox::Warning,
                    QStringLiteral(
                        "%1 は書き出せません。拡張子を .tif、.asc、.vrt のいずれかにしてください")
                        .arg(*path));
        return false;
    }
    std::string error;
    if (!writeArea(*project, *area, *path, *format, &error)) {
        ShowMessage(&view, QMessageBox::Critical,
                    QStringLiteral("%1 へ標高を書き出せませんでした\n%2")
                        .arg(*path, QString::fromStdString(error)));
        return false;
    }
    ShowMessage(&view, QMessageBox::Information,
                QStringLiteral("表示範囲の標高を %1 へ書き出しました").arg(*path));
    return true;
}

}  // namespace kov
