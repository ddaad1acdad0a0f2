// SPDX-License-Identifier: MIT
#include "ui/flood/FloodCommands.h"

#include <QApplication>
#include <QFile>
#include <algorithm>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/base/NumberFormat.h"
#include "core/data/ZarHImage.h"
#include "core/data/gis/CollectionRaster.h"
#include "core/flood/FloodEstimate.h"
#include "core/flood/FloodExport.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/flood/CToolFloodFillDlg.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/WaitCursor.h"

namespace kov {
namespace {

QWidget* parentOf(CKovVDoc& document) {
    return document.View() ? document.View()->window() : nullptr;
}

// Tells why a flood gave no layer. A start outside the data only beeps: the pick goes on. The
// causes another start point would not mend (the grid's size, memory) get no hint to click again.
void explain(CKovVDoc& document, const FloodRefusal& refusal, const FloodParameters& p,
             bool fromStart) {
    QString text;
    bool anotherStartHelps = true;
    switch (refusal.cause) {
        case FloodFailure::Outside:
        case FloodFailure::None:
            QApplication::beep();
            return;
        case FloodFailure::NothingFilled:
            text = QStringLiteral("起点から想定高さ %1 m 以下の地盤に浸水が広がりません。")
                       .arg(QString::fromStdString(formatShort(p.height, 3)));
            break;
        case FloodFailure::NothingRanked:
            text = fromStart ? QStringLiteral("浸水範囲のセルはどのランクにも該当しません。")
                             : QStringLiteral("どのランクにも該当するセルがありません。");
            text += QStringLiteral("\nランキングリストの値を確認してください。");
            break;
        case FloodFailure::GridTooLarge:
        case FloodFailure::LayerLimit:
        case FloodFailure::BudgetTooSmall:
        case FloodFailure::OutOfMemory:
        case FloodFailure::NoGrid:
            text = QString::fromStdString(refusalTextJapanese(refusal));
            anotherStartHelps = false;
            break;
    }
    if (fromStart && anotherStartHelps)
        text += QStringLiteral(
            "\n別の起点をクリックするか、右クリックまたは Esc キーで中止して"
            "ください。");
    ShowMessage(parentOf(document),
                anotherStartHelps ? QMessageBox::Information : QMessageBox::Warning, text);
}

// Adds the result as the topmost image, shows the images and repaints.
bool install(CKovVDoc& document, std::unique_ptr<ZarHImage>& layer) {
    if (!addFloodLayer(*document.meshes(), layer)) {
        ShowMessage(parentOf(document), QMessageBox::Warning,
                    QStringLiteral("メモリが不足しているため、簡易浸水想定の結果を追加できません"));
        return false;
    }
    document.showImages();
    document.RedrawAllViews();
    return true;
}

void runEstimation(CKovVDoc& document, int id) {
    HMeshProject* project = document.meshes();
    if (!document.HasProject() || !project || project->meshCount() == 0) return;
    CToolFloodFillDlg dialog(id == kCmdFloodByDepth ? CToolFloodFillDlg::kDepthResource
                                                    : CToolFloodFillDlg::kGroundHeightResource,
                             document.trace().size() >= 2, parentOf(document));
    if (runModal(dialog) != QDialog::Accepted) return;
    const FloodParameters parameters = dialog.parameters();
    if (!dialog.fromStartPoint) {
        std::optional<FloodOutcome> result;
        FloodRefusal refusal;
        {
            WaitCursor wait;
            result = floodWholeArea(*project, parameters, &refusal);
        }
        if (result)
            install(document, result->layer);
        else
            explain(document, refusal, parameters, false);
        return;
    }
    const bool wall = dialog.lineAsWall;
    setFloodStarter([parameters, wall](CKovVDoc& d, const FPoint& start) {
        return runFloodFromPoint(d, parameters, wall, start);
    });
    startMeasuringTrack(document, 4);
}

void clearResults(CKovVDoc& document, int) {
    if (!document.meshes()) return;
    if (clearFloodLayers(*document.meshes()) > 0) document.RedrawAllViews();
}

// The flood result drawn on top: the last one among the images.
const ZarHImage* topmostFloodResult(const HMeshProject& project) {
    for (int i = project.imageCount() - 1; i >= 0; --i)
        if (project.GetImage(i)->isFloodResult()) return project.GetImage(i);
    return nullptr;
}

// Saves the ranks of the topmost flood result as polygons in a vector file the user names (the
// file dialog asks before replacing a file).
void exportResult(CKovVDoc& document, int) {
    const HMeshProject* project = document.meshes();
    const ZarHImage* layer = project ? topmostFloodResult(*project) : nullptr;
    if (!layer) return;
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = QStringLiteral("gpkg");
    request.filter = QStringLiteral(
        "GeoPackage ファイル (*.gpkg)|*.gpkg|GeoJSON ファイル (*.geojson)|*.geojson|"
        "シェープファイル (*.shp)|*.shp||");
    request.initialPath = QString::fromStdString(layer->name) + QStringLiteral(".gpkg");
    const std::optional<QString> chosen = promptFileName(parentOf(document), request);
    if (!chosen) return;
    std::string error;
    bool written = false;
    {
        WaitCursor wait;
        written = writeFloodPolygons(*layer, nullptr, collectionEpsg(*project),
                                     QFile::encodeName(*chosen).toStdString(), &error);
    }
    if (!written)
        ShowMessage(parentOf(document), QMessageBox::Warning,
                    QStringLiteral("浸水範囲を %1 に保存できませんでした。\n%2")
                        .arg(*chosen, QString::fromStdString(error)));
}

}  // namespace

bool runFloodFromPoint(CKovVDoc& document, const FloodParameters& parameters, bool wallFromTrace,
                       const FPoint& start) {
    HMeshProject* project = document.meshes();
    if (!project || project->meshCount() == 0) return false;
    std::optional<FloodOutcome> result;
    FloodRefusal refusal;
    {
        WaitCursor wait;
        const bool wall = wallFromTrace && document.trace().size() >= 2;
        result = floodFromPoint(*project, parameters, start, wall ? &document.trace() : nullptr,
                                &refusal);
    }
    if (!result) {
        explain(document, refusal, parameters, true);
        return false;
    }
    install(document, result->layer);
    return true;
}

void registerFloodCommands() {
    CKovVDoc::setCommandHandler(kCmdFloodByGroundHeight, runEstimation);
    CKovVDoc::setCommandHandler(kCmdFloodByDepth, runEstimation);
    CKovVDoc::setCommandHandler(kCmdClearFlood, clearResults);
    CKovVDoc::setCommandHandler(kCmdExportFlood, exportResult);
}

}  // namespace kov
