#include "ui/app/CKovVDoc.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "core/base/CommandIds.h"
#include "core/base/TextCodec.h"
#include "core/project/ProjectFile.h"
#include "core/project/SettingsDefaults.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/CMainProgress.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

namespace {

CKovVDoc::ProjectDialog& RegisteredProjectDialog() {
    static CKovVDoc::ProjectDialog dialog;
    return dialog;
}

CKovVDoc::ColorMapDialog& RegisteredColorMapDialog() {
    static CKovVDoc::ColorMapDialog dialog;
    return dialog;
}

std::map<int, CKovVDoc::CommandHandler>& ToolCommands() {
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
    {kCmdMeasureProperties, "計測のプロパティ"},
    {kCmdFloodByGroundHeight, "簡易浸水想定(地盤高）"},
    {kCmdFloodByDepth, "簡易浸水想定（浸水高）"},
    {kCmdClearFlood, "簡易浸水想定結果のクリアー"},
    {kCmdPrint, "印刷"},
    {kCmdPrintWithoutDialog, "印刷"},
};

const char* ToolName(int id) {
    for (const ToolCommand& t : kToolCommands)
        if (t.id == id) return t.name;
    return nullptr;
}

constexpr int kMaxTitleBytes = 128;

// Bytes of a character in the Windows edition's code page (UTF-8 bytes when it has no form
// there).
int TitleBytes(const QString& character) {
    const std::string utf8 = character.toStdString();
    std::string cp932;
    if (Utf8ToCp932(utf8, cp932)) return static_cast<int>(cp932.size());
    return static_cast<int>(utf8.size());
}

QWidget* MessageParent() {
    return CMainFrame::instance();
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool StartingUp() {
    const CKovVApp* app = CKovVApp::instance();
    return app && app->StartingUp();
}

}  // namespace

CKovVDoc::CKovVDoc(QObject* parent) : QObject(parent) {}

CKovVDoc::~CKovVDoc() = default;

void CKovVDoc::SetProjectDialog(ProjectDialog dialog) {
    RegisteredProjectDialog() = std::move(dialog);
}

void CKovVDoc::SetColorMapDialog(ColorMapDialog dialog) {
    RegisteredColorMapDialog() = std::move(dialog);
}

void CKovVDoc::SetCommandHandler(int id, CommandHandler handler) {
    if (handler)
        ToolCommands()[id] = std::move(handler);
    else
        ToolCommands().erase(id);
}

bool CKovVDoc::HasProject() const {
    return hasProject_ == 1 && meshes_ && meshes_->MeshCount() > 0;
}

// ---- titles and paths
// ----------------------------------------------------------------------------

void CKovVDoc::SetTitle(const QString& title) {
    QString cut;
    int bytes = 0;
    for (int i = 0; i < title.size();) {
        const int length = title[i].isHighSurrogate() && i + 1 < title.size() ? 2 : 1;
        const QString character = title.mid(i, length);
        bytes += TitleBytes(character);
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
        emit RecentFilesChanged();
    }
}

// ---- image display
// -------------------------------------------------------------------------------

int CKovVDoc::ImageEntryFor(int visible, int transparency) {
    if (!visible) return 0;
    return std::clamp(10 - transparency / 10, 0, 10);
}

void CKovVDoc::ImageSettingsFor(int entry, int32_t& visible, int32_t& transparency) {
    entry = std::clamp(entry, 0, 10);
    visible = entry > 0 ? 1 : 0;
    transparency = (10 - entry) * 10;
}

void CKovVDoc::SelectImageEntry() {
    CMainFrame* frame = CMainFrame::instance();
    if (frame && meshes_)
        frame->SelectImageEntry(ImageEntryFor(meshes_->imageVisible, meshes_->imageTransparency));
}

void CKovVDoc::SetImageDisplay(int visible, int transparency) {
    if (!HasProject()) return;
    meshes_->imageVisible = visible;
    meshes_->imageTransparency = transparency;
    SelectImageEntry();
    RedrawAllViews();
}

void CKovVDoc::ShowImages() {
    if (!HasProject() || meshes_->imageVisible != 0) return;
    if (meshes_->imageTransparency >= 100) meshes_->imageTransparency = 20;
    SetImageDisplay(1, meshes_->imageTransparency);
}

void CKovVDoc::RedrawAllViews() {
    if (view_) view_->invalidateMap();
}

// ---- creating, opening, saving
// -------------------------------------------------------------------

void CKovVDoc::InstallProject(std::unique_ptr<HMeshProject> project) {
    meshes_ = std::move(project);
    hasProject_ = 1;
    MapRect extent;
    if (view_ && meshes_->GetExtent(extent)) view_->setView(extent);
    coordinates_.setup(meshes_->planeZone, kEllipsoidGrs80);
}

bool CKovVDoc::OnNewDocument() {
    // The empty document of start-up has no collection.
    if (StartingUp()) return true;

    auto project = std::make_unique<HMeshProject>(projectDefaultsFromSettings());
    if (CMainFrame* frame = CMainFrame::instance())
        ImageSettingsFor(frame->ImageEntry(), project->imageVisible, project->imageTransparency);

    bool accepted = false;
    if (RegisteredProjectDialog()) {
        accepted = RegisteredProjectDialog()(*project, true);
    } else {
        ShowMessage(MessageParent(), QMessageBox::Information,
                    QStringLiteral("プロジェクトの構成ダイアログはまだ利用できません"));
    }
    if (!accepted || project->MeshCount() == 0) {
        // The previous project stays.
        if (view_) view_->update();
        return true;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    InstallProject(std::move(project));
    // A new project has no file yet: saving it must not overwrite the one shown before.
    pathName_.clear();
    if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
    SetModifiedFlag(true);
    SelectImageEntry();
    RedrawAllViews();
    QApplication::restoreOverrideCursor();
    return true;
}

void CKovVDoc::ChangeProject() {
    if (!RegisteredProjectDialog()) {
        ShowMessage(MessageParent(), QMessageBox::Information,
                    QStringLiteral("プロジェクトの構成ダイアログはまだ利用できません"));
        return;
    }
    if (!RegisteredProjectDialog()(*meshes_, false)) return;
    if (meshes_->MeshCount() > 0) {
        hasProject_ = 1;
        if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
        SetModifiedFlag(true);
        SelectImageEntry();
        RedrawAllViews();
    } else {
        SetModifiedFlag(false);
        RedrawAllViews();
    }
}

bool CKovVDoc::OnOpenDocument(const QString& path) {
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ShowMessage(MessageParent(), QMessageBox::Warning,
                        QStringLiteral("%1 を開けませんでした。").arg(path));
            return false;
        }
    }
    auto project = std::make_unique<HMeshProject>(projectDefaultsFromSettings());
    CMainFrame* frame = CMainFrame::instance();
    if (frame) frame->EnableInput(false);
    if (view_) view_->setEnabled(false);

    bool loaded = false;
    {
        CMainProgress progress;
        ProgressReport(-2, QStringLiteral("%1 を読み込み中...").arg(path));
        ProgressReport(-7, 1);
        loaded = LoadProjectFile(*project, LocalPath(path), &progress);
        ProgressReport(-3);
    }
    for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane)
        SetStatusText(pane, QString());
    if (frame) frame->EnableInput(true);
    if (view_) view_->setEnabled(true);

    if (!loaded) {
        ShowMessage(
            MessageParent(), QMessageBox::NoIcon,
            QStringLiteral("%1 は標高メッシュプロジェクトファイルと識別できません").arg(path));
        return false;
    }
    InstallProject(std::move(project));
    SetPathName(path, true);
    if (!meshes_->projectTitle.empty()) SetTitle(QString::fromStdString(meshes_->projectTitle));
    if (view_) view_->invalidateMap();
    SelectImageEntry();
    SetModifiedFlag(false);
    return true;
}

bool CKovVDoc::OnSaveDocument(const QString& path) {
    if (!meshes_ || !SaveProjectFile(*meshes_, LocalPath(path))) {
        ShowMessage(MessageParent(), QMessageBox::Warning,
                    QStringLiteral("%1 への保存に失敗しました").arg(path));
        return false;
    }
    SetPathName(path, true);
    SetModifiedFlag(false);
    ShowMessage(MessageParent(), QMessageBox::Information,
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
        const std::optional<QString> chosen = PromptFileName(MessageParent(), request);
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
        ShowMessage(MessageParent(), QMessageBox::Question, question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    return DoFileSave();
}

void CKovVDoc::SaveAs() {
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = QStringLiteral("kovv5");
    request.filter = QStringLiteral("5M標高メッシュプロジェクト(*.kovv5)|*.kovv5||");
    request.initialPath = pathName_;
    const std::optional<QString> chosen = PromptFileName(MessageParent(), request);
    if (chosen) OnSaveDocument(*chosen);
}

// ---- commands
// ------------------------------------------------------------------------------------

void CKovVDoc::EditColorMap() {
    if (!RegisteredColorMapDialog()) {
        ShowMessage(MessageParent(), QMessageBox::Information,
                    QStringLiteral("カラーマップの設定ダイアログはまだ利用できません"));
        return;
    }
    // The dialog edits a copy and stores it, with the step settings, only on OK.
    if (!RegisteredColorMapDialog()(*meshes_)) return;
    RedrawAllViews();
    SetModifiedFlag(true);
}

void CKovVDoc::RunToolCommand(int id) {
    const auto it = ToolCommands().find(id);
    if (it != ToolCommands().end()) {
        it->second(*this, id);
        return;
    }
    ShowMessage(MessageParent(), QMessageBox::Information,
                QStringLiteral("「%1」はこのバージョンではまだ使用できません")
                    .arg(QString::fromUtf8(ToolName(id))));
}

bool CKovVDoc::OnCommand(int id) {
    CommandState state;
    if (!OnUpdateCommand(id, state)) return false;
    if (!state.enabled) return true;
    switch (id) {
        case kCmdChangeProject:
            ChangeProject();
            break;
        case kCmdRedraw:
            RedrawAllViews();
            break;
        case kCmdShowWholeArea: {
            MapRect extent;
            if (view_ && meshes_->GetExtent(extent)) view_->setView(extent);
            RedrawAllViews();
            break;
        }
        case kCmdClearTrace:
            std::vector<FPoint>().swap(trace_);
            if (view_) view_->update();
            break;
        case kCmdEditColorMap:
            EditColorMap();
            break;
        case kCmdToggleSheetInfo:
            meshes_->showSheetInfo = meshes_->showSheetInfo ? 0 : 1;
            RedrawAllViews();
            break;
        case kCmdSaveProject:
            OnSaveDocument(QFile::decodeName(meshes_->projectPath.c_str()));
            break;
        case kCmdSaveProjectAs:
            SaveAs();
            break;
        default:
            if (ToolName(id)) RunToolCommand(id);
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
        case kCmdClearFlood:
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
        case kCmdClearTrace:
            state.enabled = has && !trace_.empty();
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
