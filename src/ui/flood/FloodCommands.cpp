#include "ui/flood/FloodCommands.h"

#include <QApplication>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/base/NumberFormat.h"
#include "core/data/ZarHImage.h"
#include "core/flood/FloodEstimate.h"
#include "ui/app/CKovVDoc.h"
#include "ui/flood/CToolFloodFillDlg.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QWidget* parentOf(CKovVDoc& document) {
    return document.View() ? document.View()->window() : nullptr;
}

// Tells why a flood gave no layer. A start outside the data only beeps: the pick goes on.
void explain(CKovVDoc& document, FloodRefusal refusal, const FloodParameters& p, bool fromStart) {
    QString text;
    switch (refusal) {
        case FloodRefusal::kOutsideData:
        case FloodRefusal::kNone:
            QApplication::beep();
            return;
        case FloodRefusal::kNothingFlooded:
            text = QStringLiteral("起点から想定高さ %1 m 以下の地盤に浸水が広がりません。")
                       .arg(QString::fromStdString(formatShort(p.height, 3)));
            break;
        case FloodRefusal::kNothingRanked:
            text = fromStart ? QStringLiteral("浸水範囲のセルはどのランクにも該当しません。")
                             : QStringLiteral("どのランクにも該当するセルがありません。");
            text += QStringLiteral("\nランキングリストの値を確認してください。");
            break;
        case FloodRefusal::kCannotMake:
            text = QStringLiteral(
                "範囲が広すぎるか、メモリが不足しているため、"
                "簡易浸水想定の結果を作成できません。");
            break;
    }
    if (fromStart)
        text += QStringLiteral(
            "\n別の起点をクリックするか、右クリックまたは Esc キーで中止して"
            "ください。");
    ShowMessage(parentOf(document), QMessageBox::Information, text);
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
        FloodRefusal refusal = FloodRefusal::kNone;
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

}  // namespace

bool runFloodFromPoint(CKovVDoc& document, const FloodParameters& parameters, bool wallFromTrace,
                       const FPoint& start) {
    HMeshProject* project = document.meshes();
    if (!project || project->meshCount() == 0) return false;
    std::optional<FloodOutcome> result;
    FloodRefusal refusal = FloodRefusal::kNone;
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
}

}  // namespace kov
