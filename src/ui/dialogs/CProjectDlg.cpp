// SPDX-License-Identifier: MIT
#include "ui/dialogs/CProjectDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/base/PlaneConverter.h"
#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHImage.h"
#include "core/data/dem/ZonePlacement.h"
#include "core/project/LayerLoader.h"
#include "core/project/LayerRegistry.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/FrameServices.h"
#include "ui/dialogs/CColorMapDlg.h"
#include "ui/dialogs/CDsmResoDlg.h"
#include "ui/dialogs/CHMeshPrevWnd.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/CProgressWnd.h"
#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/LineHeight.h"
#include "ui/widgets/WaitCursor.h"

namespace kov {
namespace {

constexpr char kSection[] = "ProjectDlg";
constexpr char kLastDir[] = "LastDir";
constexpr int kImageEntries = 11;

void setId(QWidget* widget, int id) {
    widget->setObjectName(QString::number(id));
}

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The local files of dragged data.
QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile());
    return files;
}

// Progress of one load in the main frame's status bar, in persistent mode so that one
// indicator runs over all files. The loader reports (file index, file count) before each file
// and then its message; positions of the readers inside a file are not shown in the status
// bar (nor do they take the Esc that stops the load), except that a DSM point file is read
// under a progress window of its own.
class CompositionProgress : public HxProgress {
public:
    CompositionProgress(QWidget* owner, const std::vector<std::string>& files)
        : owner_(owner), files_(files) {}
    ~CompositionProgress() override { closeWindow(); }

    int Begin() override {
        ProgressReport(ProgressCode::BeginPersistent);
        ProgressReport(ProgressCode::Options, kProgressShowTimes);
        return 1;
    }
    void End() override {
        closeWindow();
        ProgressReport(ProgressCode::EndPersistent);
    }
    int SetPos(long long current, long long total) override {
        // The loader tells tiles once a step: a position may pass over files.
        if (total == static_cast<long long>(files_.size()) && current >= next_ && current < total) {
            closeWindow();
            file_ = static_cast<size_t>(current);
            next_ = current + 1;
            expectMessage_ = true;
            setStatusText(2, fromUtf8(baseName(files_[file_])));
            return ProgressPosition(current, total);
        }
        if (window_) return window_->SetPos(current, total);
        return 0;
    }
    int IsCancelled() const override {
        return window_ ? window_->IsCancelled() : HxProgress::IsCancelled();
    }
    void SetText(const std::string& text) override {
        // Only the loader's message of each file; a reader's own texts are not shown.
        if (!expectMessage_) return;
        expectMessage_ = false;
        const QString message = fromUtf8(text);
        ProgressReport(ProgressCode::Message, message);
        if (equalsIgnoringCase(fileExtension(files_[file_]), ".txt")) {  // a DSM point file
            window_ =
                std::make_unique<CProgressWnd>(owner_, fromUtf8(baseName(files_[file_])), message);
            window_->Begin();
        }
    }

private:
    void closeWindow() {
        if (!window_) return;
        window_->End();
        window_.reset();
    }

    QWidget* owner_;
    const std::vector<std::string>& files_;
    long long next_ = 0;
    size_t file_ = 0;
    bool expectMessage_ = false;
    std::unique_ptr<CProgressWnd> window_;
};

}  // namespace

CProjectDlg::CProjectDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kResourceId));
    setProperty("helpId", kResourceId);  // F1 and help mode open its page
    setWindowTitle(QStringLiteral("標高メッシュデータの構成"));

    // Controls in the order of the dialog (also the tab order).
    auto* titleLabel = new QLabel(QStringLiteral("タイトル(&T)"), this);
    title_ = new QLineEdit(this);
    setId(title_, kIdTitle);
    titleLabel->setBuddy(title_);

    layers_ = new QListWidget(this);
    layers_->setItemDelegate(new EvenRowDelegate(layers_));
    setId(layers_, kIdLayers);
    // Files dragged from a file manager onto the list are loaded like chosen ones.
    layers_->viewport()->setAcceptDrops(true);
    layers_->viewport()->installEventFilter(this);
    layers_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layers_->setMinimumSize(300, 160);

    auto* add = new QPushButton(QStringLiteral("追加(&A)..."), this);
    setId(add, kIdAdd);
    auto* addFolder = new QPushButton(QStringLiteral("フォルダ指定で追加(&F)..."), this);
    setId(addFolder, kIdAddFolder);
    remove_ = new QPushButton(QStringLiteral("解除(&R)"), this);
    setId(remove_, kIdRemove);
    removeAll_ = new QPushButton(QStringLiteral("すべて解除"), this);
    setId(removeAll_, kIdRemoveAll);

    auto* previewGroup = new QGroupBox(QStringLiteral("プレビュー"), this);
    preview_ = new CHMeshPrevWnd(previewGroup);
    setId(preview_, kIdPreview);
    preview_->setMinimumSize(320, 220);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->addWidget(preview_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("2"));

    sheetInfo_ = new QCheckBox(QStringLiteral("図郭情報の表示"), this);
    setId(sheetInfo_, kIdSheetInfo);
    auto* imageLabel = new QLabel(QStringLiteral("画像重ね合わせ"), this);
    setId(imageLabel, kIdImageLabel);
    imageDisplay_ = new QComboBox(this);
    setId(imageDisplay_, kIdImageDisplay);

    // The shapefile pen width and fill colour are not offered: they stay hidden and the
    // collection's shape settings are left as they are.
    auto* penWidthLabel = new QLabel(QStringLiteral("シェープペン幅"), this);
    setId(penWidthLabel, kIdPenWidthLabel);
    penWidth_ = new QComboBox(this);
    setId(penWidth_, kIdPenWidth);
    auto* fillColorLabel = new QLabel(QStringLiteral("シェープフィルカラー"), this);
    setId(fillColorLabel, kIdFillColorLabel);
    fillColor_ = new CColorWell(this);
    fillColor_->setText(QStringLiteral("C"));
    setId(fillColor_, kIdFillColor);
    for (QWidget* hidden :
         {static_cast<QWidget*>(penWidthLabel), static_cast<QWidget*>(penWidth_),
          static_cast<QWidget*>(fillColorLabel), static_cast<QWidget*>(fillColor_)})
        hidden->hide();
    penWidth_->setEnabled(false);
    fillColor_->setEnabled(false);

    auto* colorMap = new QPushButton(QStringLiteral("カラーマップ >>"), this);
    setId(colorMap, kIdColorMap);

    // Where FG-GML DEM files and raster DEMs are placed.
    auto* zoneLabel = new QLabel(QStringLiteral("平面直角座標系(&Z)"), this);
    zone_ = new QComboBox(this);
    setId(zone_, kIdZone);
    zoneLabel->setBuddy(zone_);
    static const char* const kRoman[kZoneCount] = {
        "I",  "II",  "III",  "IV",  "V",  "VI",  "VII",  "VIII",  "IX", "X",
        "XI", "XII", "XIII", "XIV", "XV", "XVI", "XVII", "XVIII", "XIX"};
    for (int zone = 1; zone <= kZoneCount; ++zone)
        zone_->addItem(QStringLiteral("第%1系").arg(QString::fromLatin1(kRoman[zone - 1])), zone);
    zone_->setCurrentIndex(8);
    zone_->setToolTip(
        QStringLiteral("基盤地図情報DEM・GeoTIFF等の標高データを配置する系（既定: "
                       "データの中心に原点が最も近い系）"));
    auto* cellLabel = new QLabel(QStringLiteral("配置セルサイズ(&S)"), this);
    cellSize_ = new QComboBox(this);
    setId(cellSize_, kIdCellSize);
    cellLabel->setBuddy(cellSize_);
    cellSize_->addItem(QStringLiteral("元データの間隔"), 0.0);
    for (double size : {0.5, 1.0, 2.0, 5.0, 10.0})
        cellSize_->addItem(QStringLiteral("%1 m").arg(size), size);

    // Layout: title on top; the list with its buttons; the preview with OK, Cancel and the
    // display settings beside it.
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(titleLabel);
    titleRow->addWidget(title_, 1);

    auto* listButtons = new QVBoxLayout;
    for (QPushButton* button : {add, addFolder, remove_, removeAll_})
        listButtons->addWidget(button);
    listButtons->addStretch();

    auto* settingsColumn = new QVBoxLayout;
    settingsColumn->addWidget(ok);
    settingsColumn->addWidget(cancel);
    settingsColumn->addStretch();
    settingsColumn->addWidget(sheetInfo_);
    settingsColumn->addWidget(imageLabel);
    settingsColumn->addWidget(imageDisplay_);
    settingsColumn->addWidget(penWidthLabel);
    settingsColumn->addWidget(penWidth_);
    settingsColumn->addWidget(fillColorLabel);
    settingsColumn->addWidget(fillColor_);
    settingsColumn->addSpacing(8);
    settingsColumn->addWidget(zoneLabel);
    settingsColumn->addWidget(zone_);
    settingsColumn->addWidget(cellLabel);
    settingsColumn->addWidget(cellSize_);
    settingsColumn->addSpacing(8);
    settingsColumn->addWidget(colorMap);

    auto* grid = new QGridLayout;
    grid->addWidget(layers_, 0, 0);
    grid->addLayout(listButtons, 0, 1);
    grid->addWidget(previewGroup, 1, 0);
    grid->addLayout(settingsColumn, 1, 1);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addLayout(grid, 1);

    // Image display: hidden, transparency 90 % .. 10 %, opaque.
    imageDisplay_->addItem(QStringLiteral("非表示"));
    for (int transparency = 90; transparency >= 10; transparency -= 10)
        imageDisplay_->addItem(QStringLiteral("表示（透明 %1 %）").arg(transparency));
    imageDisplay_->addItem(QStringLiteral("表示(不透明）"));

    connect(add, &QPushButton::clicked, this, &CProjectDlg::addFiles);
    connect(addFolder, &QPushButton::clicked, this, &CProjectDlg::addFolder);
    connect(remove_, &QPushButton::clicked, this, &CProjectDlg::removeSelected);
    connect(removeAll_, &QPushButton::clicked, this, &CProjectDlg::removeAll);
    connect(colorMap, &QPushButton::clicked, this, &CProjectDlg::editColorMap);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(layers_, &QListWidget::itemSelectionChanged, this, &CProjectDlg::updateButtons);
    connect(imageDisplay_, &QComboBox::activated, this, &CProjectDlg::imageDisplayChanged);
    connect(zone_, &QComboBox::activated, this, &CProjectDlg::zoneChosen);
    connect(cellSize_, &QComboBox::activated, this, &CProjectDlg::cellSizeChosen);

    updateButtons();
}

void CProjectDlg::setProject(HMeshProject* project) {
    project_ = project;
    preview_->setProject(project);
    if (!project_) return;
    int entry = project_->imageVisible ? 10 - project_->imageTransparency / 10 : 0;
    imageDisplay_->setCurrentIndex(std::clamp(entry, 0, kImageEntries - 1));
    title_->setText(fromUtf8(project_->projectTitle));
    sheetInfo_->setChecked(project_->showSheetInfo != 0);
    fillList();
}

void CProjectDlg::writeValues() {
    if (!project_) return;
    project_->projectTitle = title_->text().toStdString();
    project_->showSheetInfo = sheetInfo_->isChecked() ? 1 : 0;
    const int entry = imageDisplay_->currentIndex();
    if (entry <= 0) {
        project_->imageVisible = 0;  // the transparency is kept for the next time
    } else {
        project_->imageVisible = 1;
        project_->imageTransparency = (10 - entry) * 10;
    }
}

void CProjectDlg::fillList() {
    const int top = layers_->verticalScrollBar()->value();
    layers_->clear();
    if (project_) {
        for (int i = 0; i < project_->meshCount(); ++i)
            layers_->addItem(fromUtf8(project_->GetMesh(i)->name));
        for (int i = 0; i < project_->imageCount(); ++i)
            layers_->addItem(fromUtf8(project_->GetImage(i)->name));
        for (int i = 0; i < project_->shapeCount(); ++i)
            layers_->addItem(fromUtf8(project_->GetShape(i)->path) + QStringLiteral("(SHP)"));
    }
    layers_->verticalScrollBar()->setValue(top);
    updateButtons();
}

void CProjectDlg::updateButtons() {
    remove_->setEnabled(!layers_->selectedItems().isEmpty());
    removeAll_->setEnabled(project_ && project_->meshCount() > 0);
    showZone();
}

namespace {

// Whether every mesh was placed from an elevation source (so that it can be placed again).
bool onlyPlacedMeshes(const HMeshProject& project) {
    for (int i = 0; i < project.meshCount(); ++i)
        if (!dynamic_cast<const ZarDemMesh*>(project.GetMesh(i))) return false;
    return true;
}

}  // namespace

void CProjectDlg::showZone() {
    if (!project_) return;
    if (project_->meshCount() > 0) {
        const int index = zone_->findData(project_->GetMesh(0)->zone);
        if (index >= 0) zone_->setCurrentIndex(index);
    }
    const bool free = onlyPlacedMeshes(*project_);
    zone_->setEnabled(free);
    zone_->setToolTip(free ? QString() : QStringLiteral("標高メッシュの系に合わせて配置します"));
}

DemSettings CProjectDlg::demSettings() const {
    DemSettings settings;
    // Without the user's choice a new project takes the zone nearest to the data.
    if (zoneChosenByUser_ || (project_ && project_->meshCount() > 0))
        settings.zone = zone_->currentData().toInt();
    if (const double size = cellSize_->currentData().toDouble(); size > 0) settings.cellSize = size;
    return settings;
}

void CProjectDlg::zoneChosen() {
    zoneChosenByUser_ = true;
    placeAgain();
}

void CProjectDlg::cellSizeChosen() {
    placeAgain();
}

void CProjectDlg::placeAgain() {
    if (!project_ || loading_ || project_->meshCount() == 0 || !onlyPlacedMeshes(*project_)) return;
    DemSettings settings = demSettings();
    settings.zone = zone_->currentData().toInt();
    loading_ = true;
    {
        WaitCursor wait;
        LoadReport report;
        placeSourcesAgain(*project_, settings, false, report, nullptr);
    }
    loading_ = false;
    refresh();
}

void CProjectDlg::refresh() {
    fillList();
    preview_->redraw();
}

void CProjectDlg::imageDisplayChanged() {
    writeValues();
    refresh();
}

QString CProjectDlg::fileFilter() {
    static const char* const kFilters[] = {
        "ミラド 5mメッシュ（標高）(*.kov)",
        "イメージデータ(JPG) (*.jpg)",
        "DSMデータ (*.txt)",
        "シェープファイル (*.shp)",
        "基盤地図情報 数値標高モデル (*.xml *.zip)",
        "標高ラスタ GeoTIFF 等 (*.tif *.tiff *.asc *.img *.vrt)",
        "イメージデータ (*.png *.jpg *.jpeg *.tif *.tiff *.bmp *.gif *.pcx)",
        "読み込めるすべてのファイル (*.kov *.txt *.shp *.xml *.zip *.asc *.img *.vrt *.png *.jpg "
        "*.jpeg *.tif *.tiff *.bmp *.gif *.pcx)",
        "すべてのファイル (*)",
    };
    QStringList filters;
    for (const char* filter : kFilters)
        filters.push_back(QString::fromUtf8(filter));
    return filters.join(QStringLiteral(";;"));
}

int CProjectDlg::loadFiles(const QStringList& paths) {
    std::vector<std::string> list;
    for (const QString& path : paths)
        list.push_back(path.toStdString());
    return loadFiles(list);
}

int CProjectDlg::loadFiles(const std::vector<std::string>& paths) {
    if (!project_ || loading_) return 0;
    loading_ = true;
    int added = 0;
    std::vector<std::string> overBudget;
    {
        WaitCursor wait;
        const std::vector<std::string> files = expandLayerPaths(paths);
        CompositionProgress progress(this, files);
        LoadOptions options;
        options.dsmCellSize = 2.0;  // until the user is asked
        options.progress = &progress;
        options.fitColourMap = &fitColourMap_;
        options.dem = demSettings();
        options.askDsmCellSize = [this]() {
            QApplication::restoreOverrideCursor();
            const std::optional<double> size = CDsmResoDlg::ask(this);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            return size;
        };
        LoadReport report;  // files that fail are skipped without a message
        added = loadLayerPaths(files, *project_, report, options);
        if (added > 0) refresh();
        for (int pane = 0; pane <= 4; ++pane)
            setStatusText(pane, QString());
        overBudget = std::move(report.overBudget);
    }
    loading_ = false;
    if (!overBudget.empty()) ShowMessage(this, QMessageBox::Warning, overBudgetMessage(overBudget));
    return added;
}

void CProjectDlg::addFiles() {
    if (!project_ || loading_) return;
    // Both add dialogs start in the last folder used, not in the process's working folder.
    const QString start = fromUtf8(settings::readString(kSection, kLastDir, ""));
    const QStringList files = promptOpenFileNames(this, QString(), start, fileFilter());
    if (files.isEmpty()) return;
    settings::writeString(
        kSection, kLastDir,
        (QFileInfo(files.front()).absolutePath() + QLatin1Char('/')).toStdString());
    loadFiles(files);
}

void CProjectDlg::addFolder() {
    if (!project_ || loading_) return;
    const QString start = fromUtf8(settings::readString(kSection, kLastDir, ""));
    const QString folder =
        promptExistingDirectory(this, QStringLiteral("ミラド 標高メッシュデータ"), start);
    if (folder.isEmpty()) return;
    QString stored = folder;
    if (!stored.endsWith(QLatin1Char('/'))) stored += QLatin1Char('/');
    settings::writeString(kSection, kLastDir, stored.toStdString());

    std::vector<std::string> tiles = tilesOfFolder(folder.toStdString());
    for (std::string& source : demSourcesOfFolder(folder.toStdString()))
        tiles.push_back(std::move(source));
    if (tiles.empty()) {
        ShowMessage(this, QMessageBox::Warning,
                    QStringLiteral("指定のフォルダには標高メッシュデータが見つかりません"));
        return;
    }
    loadFiles(tiles);
}

void CProjectDlg::removeSelected() {
    if (!project_ || loading_) return;
    std::vector<int> rows;
    for (const QModelIndex& index : layers_->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.rbegin(), rows.rend());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last line to the first, so that earlier indices stay valid.
    const int meshes = project_->meshCount();
    const int images = project_->imageCount();
    for (int row : rows) {
        if (row < meshes) {
            project_->RemoveMesh(row);
        } else if (row < meshes + images) {
            project_->RemoveImage(row - meshes);
        } else {
            project_->RemoveShape(row - meshes - images);
        }
    }
    project_->SortMeshes();
    project_->UpdateExtent();
    refresh();
}

void CProjectDlg::removeAll() {
    if (!project_ || loading_) return;
    while (project_->meshCount() > 0)
        project_->RemoveMesh(project_->meshCount() - 1);
    while (project_->imageCount() > 0)
        project_->RemoveImage(project_->imageCount() - 1);
    project_->UpdateExtent();
    refresh();
}

void CProjectDlg::editColorMap() {
    if (!project_ || loading_) return;
    if (!kov::editColorMap(this, *project_)) return;
    refresh();
}

bool CProjectDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != layers_->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!loading_ && !localFiles(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = localFiles(drop->mimeData());
            if (files.isEmpty() || loading_) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            loadFiles(files);
            return true;
        }
        default:
            return QDialog::eventFilter(watched, event);
    }
}

void CProjectDlg::done(int result) {
    // Loading lets events through (progress display); the dialog stays open until it ends.
    if (loading_) return;
    if (result == QDialog::Accepted) writeValues();
    QDialog::done(result);
}

void registerCompositionDialogs() {
    CKovVDoc::setProjectDialog([](HMeshProject& project, bool newProject) {
        CProjectDlg dialog(QApplication::activeWindow());
        dialog.setFitColourMap(newProject);
        dialog.setProject(&project);
        return runModal(dialog) == QDialog::Accepted;
    });
    CKovVDoc::setColorMapDialog(
        [](HMeshProject& project) { return editColorMap(QApplication::activeWindow(), project); });
}

}  // namespace kov
