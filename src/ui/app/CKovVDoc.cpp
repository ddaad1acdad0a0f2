// SPDX-License-Identifier: MIT
#include "ui/app/CKovVDoc.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "core/base/CommandIds.h"
#include "core/base/TextCodec.h"
#include "core/data/HxFile.h"
#include "core/flood/FloodEstimate.h"
#include "core/project/KovXmlParser.h"
#include "core/project/LoadProblemText.h"
#include "core/project/ProjectFile.h"
#include "core/project/SettingsDefaults.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/CMainProgress.h"
#include "ui/app/FrameServices.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/WaitCursor.h"

namespace kov {

namespace {

CKovVDoc::ProjectDialog& registeredProjectDialog() {
    static CKovVDoc::ProjectDialog dialog;
    return dialog;
}

CKovVDoc::ColorMapDialog& registeredColorMapDialog() {
    static CKovVDoc::ColorMapDialog dialog;
    return dialog;
}

CKovVDoc::TrackEnder& registeredTrackEnder() {
    static CKovVDoc::TrackEnder ender;
    return ender;
}

void endTracks(const CKovVDoc* owner) {
    if (registeredTrackEnder()) registeredTrackEnder()(owner);
}

std::map<int, CKovVDoc::CommandHandler>& toolCommands() {
    static std::map<int, CKovVDoc::CommandHandler> handlers;
    return handlers;
}

// The commands that other modules carry out, with the names their messages use.
struct ToolCommand {
    int id;
    const char* name;
};
constexpr ToolCommand kToolCommands[] = {
    {kCmdZoomIn, "ズームイン"},
    {kCmdZoomOut, "ズームアウト"},
    {kCmdPan, "移動"},
    {kCmdMeasureDistanceArea, "距離と面積"},
    {kCmdMeasureDistanceSlope, "距離と勾配"},
    {kCmdCrossSection, "断面図"},
    {kCmdExportMeasurement, "計測結果のエクスポート"},
    {kCmdMeasureProperties, "計測のプロパティ"},
    {kCmdFloodByGroundHeight, "簡易浸水想定(地盤高）"},
    {kCmdFloodByDepth, "簡易浸水想定（浸水高）"},
    {kCmdClearFlood, "簡易浸水想定結果のクリアー"},
    {kCmdExportFlood, "浸水範囲のエクスポート"},
    {kCmdPrint, "印刷"},
    {kCmdPrintWithoutDialog, "印刷"},
};

const char* toolName(int id) {
    for (const ToolCommand& t : kToolCommands)
        if (t.id == id) return t.name;
    return nullptr;
}

constexpr int kMaxTitleBytes = 128;

// Bytes of a character in the Windows edition's code page (UTF-8 bytes when it has no form
// there).
int titleBytes(const QString& character) {
    const std::string utf8 = character.toStdString();
    std::string cp932;
    if (utf8ToCp932(utf8, cp932)) return static_cast<int>(cp932.size());
    return static_cast<int>(utf8.size());
}

QWidget* messageParent() {
    return CMainFrame::instance();
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool startingUp() {
    const CKovVApp* app = CKovVApp::instance();
    return app && app->startingUp();
}

}  // namespace

CKovVDoc::CKovVDoc(QObject* parent) : QObject(parent) {}

CKovVDoc::~CKovVDoc() {
    endTracks(this);
}

void CKovVDoc::setProjectDialog(ProjectDialog dialog) {
    registeredProjectDialog() = std::move(dialog);
}

void CKovVDoc::setColorMapDialog(ColorMapDialog dialog) {
    registeredColorMapDialog() = std::move(dialog);
}

void CKovVDoc::setTrackEnder(TrackEnder ender) {
    registeredTrackEnder() = std::move(ender);
}

void CKovVDoc::setCommandHandler(int id, CommandHandler handler) {
    if (handler)
        toolCommands()[id] = std::move(handler);
    else
        toolCommands().erase(id);
}

bool CKovVDoc::HasProject() const {
    return hasProject_ == 1 && meshes_ && meshes_->meshCount() > 0;
}

// ---- titles and paths
// ----------------------------------------------------------------------------

void CKovVDoc::SetTitle(const QString& title) {
    QString cut;
    int bytes = 0;
    for (int i = 0; i < title.size();) {
        const int length = title[i].isHighSurrogate() && i + 1 < title.size() ? 2 : 1;
        const QString character = title.mid(i, length);
        bytes += titleBytes(character);
        if (bytes > kMaxTitleBytes) break;
        cut += character;
        i += length;
    }
    title_ = cut;
}

void CKovVDoc::SetPathName(const QString& path, bool addToRecent) {
    if (path.isEmpty()) return;
    pathName_ = QFileInfo(path).absoluteFilePath();
    if (addToRecent) {
        AddToRecentFileList(pathName_);
        emit recentFilesChanged();
    }
}

// ---- image display
// -------------------------------------------------------------------------------

int CKovVDoc::imageEntryFor(int visible, int transparency) {
    if (!visible) return 0;
    return std::clamp(10 - transparency / 10, 0, 10);
}

void CKovVDoc::imageSettingsFor(int entry, int32_t& visible, int32_t& transparency) {
    entry = std::clamp(entry, 0, 10);
    visible = entry > 0 ? 1 : 0;
    transparency = (10 - entry) * 10;
}

void CKovVDoc::selectImageEntry() {
    CMainFrame* frame = CMainFrame::instance();
    if (frame && meshes_)
        frame->selectImageEntry(imageEntryFor(meshes_->imageVisible, meshes_->imageTransparency));
}

void CKovVDoc::SetImageDisplay(int visible, int transparency) {
    if (!HasProject()) return;
    meshes_->imageVisible = visible;
    meshes_->imageTransparency = transparency;
    selectImageEntry();
    RedrawAllViews();
}

void CKovVDoc::showImages() {
    if (!HasProject() || meshes_->imageVisible != 0) return;
    if (meshes_->imageTransparency >= 100) meshes_->imageTransparency = 20;
    SetImageDisplay(1, meshes_->imageTransparency);
}

void CKovVDoc::RedrawAllViews() {
    if (view_) view_->invalidateMap();
}

// ---- creating, opening, saving
// -------------------------------------------------------------------

void CKovVDoc::installProject(std::unique_ptr<HMeshProject> project) {
    // The tracks of the project that closes end with it.
    endTracks(nullptr);
    meshes_ = std::move(project);
    hasProject_ = 1;
    MapRect extent;
    if (view_ && meshes_->GetExtent(extent)) view_->showWhole(extent);
    coordinates_.setup(meshes_->planeZone, kEllipsoidGrs80);
}

bool CKovVDoc::OnNewDocument() {
    // The empty document of start-up has no collection.
    if (startingUp()) return true;

    auto project = std::make_unique<HMeshProject>(projectDefaultsFromSettings());
    if (CMainFrame* frame = CMainFrame::instance())
        imageSettingsFor(frame->imageEntry(), project->imageVisible, project->imageTransparency);

    bool accepted = false;
    if (registeredProjectDialog()) {
        accepted = registeredProjectDialog()(*project, true);
    } else {
        ShowMessage(messageParent(), QMessageBox::Information,
                    QStringLiteral("プロジェクトの構成ダイアログはまだ利用できません"));
    }
    if (!accepted || project->meshCount() == 0) {
        // The previous project stays.
        if (view_) view_->update();
        return true;
    }
    const WaitCursor waiting;
    installProject(std::move(project));
    // A new project has no file yet: saving it must not overwrite the one shown before.
    pathName_.clear();
    damagedPath_.clear();
    if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
    SetModifiedFlag(true);
    selectImageEntry();
    RedrawAllViews();
    return true;
}

void CKovVDoc::changeProject() {
    if (!registeredProjectDialog()) {
        ShowMessage(messageParent(), QMessageBox::Information,
                    QStringLiteral("プロジェクトの構成ダイアログはまだ利用できません"));
        return;
    }
    const uint64_t before = meshes_->layerRevision();
    // Files added or removed in the dialog stay, whatever button closed it: the map and the
    // modified flag follow the collection.
    if (!registeredProjectDialog()(*meshes_, false) && meshes_->layerRevision() == before) return;
    if (meshes_->meshCount() > 0) {
        hasProject_ = 1;
        if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
        SetModifiedFlag(true);
        selectImageEntry();
        RedrawAllViews();
    } else {
        SetModifiedFlag(false);
        RedrawAllViews();
    }
}

bool CKovVDoc::OnOpenDocument(const QString& path) {
    // A FIFO or device is refused without being opened for reading (that would block).
    const LoadProblem problem = fileProblem(localPath(path), KovXmlParser::kMaxFileBytes);
    if (problem == LoadProblem::TooLarge) {
        ShowMessage(
            messageParent(), QMessageBox::Warning,
            QStringLiteral("%1 は %2 MiB を超えています。プロジェクトファイルとして大きすぎます。")
                .arg(path)
                .arg(KovXmlParser::kMaxFileBytes >> 20));
        return false;
    }
    if (problem != LoadProblem::None) {
        ShowMessage(
            messageParent(), QMessageBox::Warning,
            QStringLiteral("%1 を開けませんでした（%2）。").arg(path, loadProblemText(problem)));
        return false;
    }
    auto project = std::make_unique<HMeshProject>(projectDefaultsFromSettings());
    CMainFrame* frame = CMainFrame::instance();
    if (frame) frame->enableInput(false);
    if (view_) view_->setEnabled(false);

    bool loaded = false;
    ProjectLoadReport report;
    {
        CMainProgress progress;
        ProgressReport(ProgressCode::Begin, QStringLiteral("%1 を読み込み中...").arg(path));
        ProgressReport(ProgressCode::Options, kProgressShowTimes);
        loaded = LoadProjectFile(*project, localPath(path), &progress, &report);
        ProgressReport(ProgressCode::End);
    }
    for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane)
        setStatusText(pane, QString());
    setStatusText(0, takeCacheWarning());
    if (frame) frame->enableInput(true);
    if (view_) view_->setEnabled(true);

    if (!loaded) {
        // Why, in the window's words, and for a project whose every layer failed, each reason.
        QStringList lines{
            QStringLiteral("%1 は標高メッシュプロジェクトファイルと識別できません").arg(path),
            loadProblemText(report.problem) + QStringLiteral("。")};
        const QStringList problems = loadProblemLines(path, report);
        if (!problems.isEmpty()) lines << QString() << problems;
        ShowMessage(messageParent(), QMessageBox::NoIcon, lines.join(QLatin1Char('\n')));
        return false;
    }
    const std::vector<std::string> overBudget = project->budgetRefusals();
    installProject(std::move(project));
    SetPathName(path, true);
    if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
    if (view_) view_->invalidateMap();
    selectImageEntry();
    SetModifiedFlag(false);
    damagedPath_ = report.damaged ? pathName_ : QString();
    reportLoadProblems(path, report);
    if (!overBudget.empty())
        ShowMessage(messageParent(), QMessageBox::Warning, overBudgetMessage(overBudget));
    return true;
}

QStringList CKovVDoc::loadProblemLines(const QString& path, const ProjectLoadReport& report) {
    constexpr int kMaxListed = 20;
    QStringList lines;
    if (report.damaged)
        lines << QStringLiteral("%1 は破損しています（エラー %2、%3 行 %4 桁: %5）。")
                     .arg(path)
                     .arg(report.errorCode)
                     .arg(report.errorLine)
                     .arg(report.errorColumn)
                     .arg(xmlErrorText(report.errorCode));
    QStringList layers;
    for (const UnreadableLayer& layer : report.unreadable)
        layers << QStringLiteral("%1: %2").arg(QFile::decodeName(layer.path.c_str()),
                                               loadProblemText(layer.problem));
    for (const std::string& missing : report.missing)
        layers << QStringLiteral("%1: 見つかりません").arg(QFile::decodeName(missing.c_str()));
    if (!layers.isEmpty()) {
        if (!lines.isEmpty()) lines << QString();
        lines << QStringLiteral("次のレイヤーを読み込めませんでした:");
        const int listed = std::min<int>(static_cast<int>(layers.size()), kMaxListed);
        lines << layers.mid(0, listed);
        if (layers.size() > listed)
            lines << QStringLiteral("ほか %1 件").arg(layers.size() - listed);
    }
    return lines;
}

void CKovVDoc::reportLoadProblems(const QString& path, const ProjectLoadReport& report) {
    QStringList lines = loadProblemLines(path, report);
    if (report.damaged) lines[0] += QStringLiteral("読み込めた部分だけを開きました。");
    if (!lines.isEmpty())
        ShowMessage(messageParent(), QMessageBox::Warning, lines.join(QLatin1Char('\n')));
}

bool CKovVDoc::OnSaveDocument(const QString& path) {
    // Saving over a file that opened damaged would replace what could not be read: ask first.
    if (!damagedPath_.isEmpty() && QFileInfo(path).absoluteFilePath() == damagedPath_ &&
        ShowMessage(messageParent(), QMessageBox::Question,
                    QStringLiteral("%1 は破損していたため一部しか読み込めていません。"
                                   "上書き保存しますか?")
                        .arg(path),
                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    if (!meshes_ || !SaveProjectFile(*meshes_, localPath(path))) {
        ShowMessage(messageParent(), QMessageBox::Warning,
                    QStringLiteral("%1 への保存に失敗しました").arg(path));
        return false;
    }
    if (QFileInfo(path).absoluteFilePath() == damagedPath_) damagedPath_.clear();
    SetPathName(path, true);
    SetModifiedFlag(false);
    ShowMessage(messageParent(), QMessageBox::Information,
                QStringLiteral("%1へ構成情報を保存しました").arg(path));
    return true;
}

bool CKovVDoc::DoFileSave() {
    QString path = pathName_;
    if (path.isEmpty()) {
        FileDialogRequest request;
        request.save = true;
        request.defaultExtension = QStringLiteral("kovv5");
        request.filter = QStringLiteral("KovView5 ﾌｧｲﾙ (*.kovv5)|*.kovv5||");
        request.initialPath =
            (title_.isEmpty() ? QStringLiteral("無題") : title_) + QStringLiteral(".kovv5");
        const std::optional<QString> chosen = promptFileName(messageParent(), request);
        if (!chosen) return false;
        path = *chosen;
    }
    return OnSaveDocument(path);
}

bool CKovVDoc::SaveModified() {
    if (!modified_) return true;
    QString question;
    if (!pathName_.isEmpty())
        question = QStringLiteral("%1 への変更を保存しますか?").arg(pathName_);
    else
        question = QStringLiteral("%1 を保存しますか")
                       .arg(title_.isEmpty() ? QStringLiteral("無題") : title_);
    const QMessageBox::StandardButton answer =
        ShowMessage(messageParent(), QMessageBox::Question, question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    return DoFileSave();
}

void CKovVDoc::saveAs() {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = QStringLiteral("kovv5");
    request.filter = QStringLiteral("5M標高メッシュプロジェクト(*.kovv5)|*.kovv5||");
    request.initialPath = pathName_;
    const std::optional<QString> chosen = promptFileName(messageParent(), request);
    if (chosen) OnSaveDocument(*chosen);
}

// ---- commands
// ------------------------------------------------------------------------------------

void CKovVDoc::editColorMap() {
    if (!registeredColorMapDialog()) {
        ShowMessage(messageParent(), QMessageBox::Information,
                    QStringLiteral("カラーマップの設定ダイアログはまだ利用できません"));
        return;
    }
    // The dialog edits a copy and stores it, with the step settings, only on OK.
    if (!registeredColorMapDialog()(*meshes_)) return;
    RedrawAllViews();
    SetModifiedFlag(true);
}

void CKovVDoc::runToolCommand(int id) {
    const auto it = toolCommands().find(id);
    if (it != toolCommands().end()) {
        it->second(*this, id);
        return;
    }
    ShowMessage(messageParent(), QMessageBox::Information,
                QStringLiteral("「%1」はこのバージョンではまだ使用できません")
                    .arg(QString::fromUtf8(toolName(id))));
}

bool CKovVDoc::OnCommand(int id) {
    CommandState state;
    if (!OnUpdateCommand(id, state)) return false;
    if (!state.enabled) return true;
    switch (id) {
        case kCmdChangeProject:
            changeProject();
            break;
        case kCmdRedraw:
            RedrawAllViews();
            break;
        case kCmdShowWholeArea: {
            MapRect extent;
            if (view_ && meshes_->GetExtent(extent)) view_->showWhole(extent);
            RedrawAllViews();
            break;
        }
        case kCmdClearTrace:
            std::vector<FPoint>().swap(trace_);
            if (view_) view_->update();
            break;
        case kCmdEditColorMap:
            editColorMap();
            break;
        case kCmdToggleSheetInfo:
            meshes_->showSheetInfo = meshes_->showSheetInfo ? 0 : 1;
            RedrawAllViews();
            break;
        case kCmdSaveProject:
            OnSaveDocument(QFile::decodeName(meshes_->projectPath.c_str()));
            break;
        case kCmdSaveProjectAs:
            saveAs();
            break;
        default:
            if (toolName(id)) runToolCommand(id);
            break;
    }
    return true;
}

bool CKovVDoc::OnUpdateCommand(int id, CommandState& state) {
    const bool has = HasProject();
    switch (id) {
        case kCmdChangeProject:
        case kCmdRedraw:
        case kCmdShowWholeArea:
        case kCmdPan:
        case kCmdMeasureDistanceArea:
        case kCmdMeasureDistanceSlope:
        case kCmdCrossSection:
        case kCmdFloodByGroundHeight:
        case kCmdFloodByDepth:
        case kCmdEditColorMap:
        case kCmdSaveProjectAs:
        case kCmdPrint:
        case kCmdPrintWithoutDialog:
            state.enabled = has;
            return true;
        case kCmdZoomIn:
            state.enabled = has && view_ && view_->viewport().canZoomIn();
            return true;
        case kCmdZoomOut:
            state.enabled = has && view_ && view_->viewport().canZoomOut(*meshes_);
            return true;
        case kCmdExportMeasurement:
            state.enabled = has && trace_.size() >= 2;
            return true;
        case kCmdClearTrace:
            state.enabled = has && !trace_.empty();
            return true;
        case kCmdClearFlood:
        case kCmdExportFlood:
            state.enabled = meshes_ && hasFloodLayer(*meshes_);
            return true;
        case kCmdMeasureProperties:
            state.enabled = true;
            return true;
        case kCmdToggleSheetInfo:
            state.enabled = meshes_ != nullptr;
            state.checked = meshes_ && meshes_->showSheetInfo == 1;
            return true;
        case kCmdSaveProject:
            state.enabled = has && !meshes_->projectPath.empty();
            return true;
        default:
            return false;
    }
}

}  // namespace kov
