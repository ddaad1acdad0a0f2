// SPDX-License-Identifier: MIT
#include "ui/app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QUrl>
#include <algorithm>
#include <new>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/data/InternetFetch.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/StatusPane.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQuickBar.h"
#include "ui/widgets/DialogPrompts.h"

// The icons and help pages built into kovui; a static library needs its resources registered.
static void initShellResources() {
    Q_INIT_RESOURCE(kovview);
}

namespace kov {

namespace {

CMainFrame* g_mainFrame = nullptr;

// Menu texts, status-bar prompts (before the line feed) and tooltips (after it) of the commands.
struct CommandText {
    int id;
    const char* text;
    const char* prompt;
};

constexpr CommandText kCommandTexts[] = {
    {kCmdNewProject, "プロジェクトを新規作成(&N)",
     "新しいプロジェクトを作成します\nプロジェクトの新規作成"},
    {kCmdOpenProject, "プロジェクトを開く(&O)...",
     "既存のプロジェクトファイルを開きます\nプロジェクトを開く"},
    {kCmdChangeProject, "プロジェクトの変更(&U)...", "プロジェクトの設定\nプロジェクトの設定"},
    {kCmdPrint, "印刷(&P)...", "縮尺を指定して地図を印刷します\n印刷"},
    {kCmdCopyViewToClipboard, "表示画面をクリップボードにコピー(&C)",
     "表示中の画面をイメージにしてクリップボードにコピーします\nクリップボードにコピー"},
    {kCmdExportVisibleElevation, "表示範囲の標高をエクスポート(&G)...",
     "表示中の範囲の標高を GeoTIFF などの GIS "
     "ラスターに書き出します\n表示範囲の標高をエクスポート"},
    {kCmdSaveProject, "上書き保存(&S)", "プロジェクトを上書き保存します\n上書き保存"},
    {kCmdSaveProjectAs, "名前を付けて保存(&A)...",
     "プロジェクトに名前を付けて保存します\n名前を付けて保存"},
    {kCmdExit, "アプリケーションの終了(&X)", "アプリケーションを終了します\n終了"},
    {kCmdEditColorMap, "カラーマップの設定(&C)...",
     "標高の色分けと段彩を設定します\nカラーマップの設定"},
    {kCmdShowWholeArea, "全領域(&A)", "プロジェクトの全領域を表示します\n全領域"},
    {kCmdZoomIn, "ズームイン(&Z)", "クリックした位置を拡大します\nズームイン"},
    {kCmdZoomOut, "ズームアウト(&O)", "クリックした位置を縮小します\nズームアウト"},
    {kCmdPan, "移動(&P)", "ドラッグして表示位置を移動します\n移動"},
    {kCmdRedraw, "再描画", "地図を描き直します\n再描画"},
    {kCmdToggleQuickCoordinates, "クイック座標表示(&Q)",
     "カーソル位置の座標と標高をチップで表示します\nクイック座標表示"},
    {kCmdToggleScrollPad, "スクロールパッド(&P)",
     "スクロールパッドの表示/非表示を切り替えます\nスクロールパッド"},
    {kCmdToggleScaleBar, "スケールバー(&M)",
     "スケールバーの表示/非表示を切り替えます\nスケールバー"},
    {kCmdToggleSheetInfo, "図郭情報の表示(&G)",
     "図郭の境界線と図郭番号の表示を切り替えます\n図郭情報の表示"},
    {kCmdToggleContours, "等高線(&C)", "地図に等高線を重ねて表示します\n等高線"},
    {kCmdContourSettings, "等高線の設定(&I)...", "等高線の表示と間隔を設定します\n等高線の設定"},
    {kCmdToggleToolBar, "ツールバー(&T)",
     "ツールバーの表示/非表示を切り替えます\nツールバーの表示切り替え"},
    {kCmdToggleStatusBar, "ステータスバー(&S)",
     "ステータスバーの表示/非表示を切り替えます\nステータスバーの表示切り替え"},
    {kCmdMeasureDistanceArea, "距離と面積(&A)",
     "クリックした線の距離と囲んだ面積を計測します\n距離と面積"},
    {kCmdMeasureDistanceSlope, "距離と勾配(&G)",
     "クリックした線の距離と勾配を計測します\n距離と勾配"},
    {kCmdClearTrace, "軌跡のクリアー(&C)", "計測した軌跡を消去します\n軌跡のクリアー"},
    {kCmdExportMeasurement, "計測結果のエクスポート(&M)...",
     "計測した線の距離・面積・区間ごとの勾配を GIS "
     "のファイルに書き出します\n計測結果のエクスポート"},
    {kCmdMeasureProperties, "計測のプロパティ(&P)...",
     "計測結果の表示方法を設定します\n計測のプロパティ"},
    {kCmdCrossSection, "断面図(&S)", "クリックした線に沿った断面図を表示します\n断面図"},
    {kCmdFloodByGroundHeight, "簡易浸水想定(地盤高）(&F)...",
     "地盤高でランク分けした簡易浸水想定図を作成します\n簡易浸水想定(地盤高）"},
    {kCmdFloodByDepth, "簡易浸水想定（浸水高）(&E)...",
     "浸水の深さでランク分けした簡易浸水想定図を作成します\n簡易浸水想定（浸水高）"},
    {kCmdClearFlood, "簡易浸水想定結果のクリアー(&R)...",
     "簡易浸水想定の結果をすべて消去します\n簡易浸水想定結果のクリアー"},
    {kCmdExportFlood, "浸水範囲のエクスポート(&X)...",
     "最前面の簡易浸水想定の結果をランクごとのポリゴンとして保存します\n浸水範囲のエクスポート"},
    {kCmdHelpContents, "このビューワの使い方(&H)", "ヘルプの目次を表示します\nヘルプ"},
    {kCmdAbout, "このプログラムの情報(&A)...",
     "プログラムの情報とバージョンを表示します\nバージョン情報"},
    {kCmdScrollWest, "左スクロール", "左スクロール\n左スクロール"},
    {kCmdScrollEast, "右スクロール", "右スクロール\n右スクロール"},
    {kCmdScrollNorth, "上スクロール", "上スクロール\n上スクロール"},
    {kCmdScrollSouth, "下スクロール", "下スクロール\n下スクロール"},
    {kCmdHelpForCurrent, "ヘルプ", "選択中の項目のヘルプを表示します\nヘルプ"},
    {kCmdHelpMode, "ヘルプモード", "クリックした項目のヘルプを表示します\nヘルプモード"},
};

// Commands that show a check mark.
constexpr int kCheckCommands[] = {
    kCmdToggleQuickCoordinates, kCmdToggleScrollPad, kCmdToggleScaleBar, kCmdToggleSheetInfo,
    kCmdToggleContours,         kCmdToggleToolBar,   kCmdToggleStatusBar};

// The toolbar in order; 0 is a separator, kImageComboId the drop-down.
// clang-format off
constexpr int kToolBarLayout[] = {
    kCmdNewProject, kCmdOpenProject, kCmdSaveProject, kCmdSaveProjectAs, 0,
    kCmdPrint, kCmdChangeProject, kCmdEditColorMap, CMainFrame::kImageComboId, 0,
    kCmdToggleSheetInfo, kCmdShowWholeArea, kCmdZoomIn, kCmdZoomOut, kCmdPan, kCmdRedraw, 0,
    kCmdToggleQuickCoordinates, kCmdToggleScrollPad, kCmdToggleScaleBar, kCmdToggleToolBar,
    kCmdToggleStatusBar, 0,
    kCmdScrollWest, kCmdScrollEast, kCmdScrollNorth, kCmdScrollSouth, 0,
    kCmdCopyViewToClipboard, 0,
    kCmdMeasureDistanceArea, kCmdMeasureDistanceSlope, kCmdCrossSection, kCmdClearTrace, 0,
    kCmdHelpContents};
// clang-format on

struct MenuLayout {
    const char* title;
    std::initializer_list<int> entries;  // 0: separator, -1: recent files
};

const MenuLayout kMenuLayout[] = {
    {"ファイル(&F)",
     {kCmdNewProject, kCmdOpenProject, 0, kCmdChangeProject, 0, kCmdPrint, kCmdCopyViewToClipboard,
      kCmdExportVisibleElevation, 0, kCmdSaveProject, kCmdSaveProjectAs, 0, -1, 0, kCmdExit}},
    {"設定(&S)", {kCmdEditColorMap}},
    {"表示(&V)",
     {kCmdShowWholeArea, kCmdZoomIn, kCmdZoomOut, kCmdPan, 0, kCmdRedraw, 0,
      kCmdToggleQuickCoordinates, kCmdToggleScrollPad, kCmdToggleScaleBar, kCmdToggleSheetInfo, 0,
      kCmdToggleContours, kCmdContourSettings, 0, kCmdToggleToolBar, kCmdToggleStatusBar}},
    {"図上計測(&R)",
     {kCmdMeasureDistanceArea, kCmdMeasureDistanceSlope, 0, kCmdClearTrace, kCmdExportMeasurement,
      kCmdMeasureProperties, 0, kCmdCrossSection, 0, kCmdFloodByGroundHeight, kCmdFloodByDepth,
      kCmdClearFlood, kCmdExportFlood}},
    {"ヘルプ(&H)", {kCmdHelpContents, 0, kCmdAbout}},
};

int commandIdOf(const QObject* object) {
    bool ok = false;
    const int id = object->objectName().toInt(&ok);
    return ok ? id : 0;
}

}  // namespace

// ---- toolbar
// -------------------------------------------------------------------------------------

KovToolBar::KovToolBar(QWidget* parent) : QToolBar(parent) {
    comboFont_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

// ---- placement ---------------------------------------------------------------------------------

FramePlacement FramePlacement::Load() {
    FramePlacement p;
    p.x = settings::readInt("MainFrame", "XPos", -1);
    p.y = settings::readInt("MainFrame", "YPos", -1);
    p.width = settings::readInt("MainFrame", "XSize", -1);
    p.height = settings::readInt("MainFrame", "YSize", -1);
    p.zoom = settings::readInt("MainFrame", "Zoom", 0);
    return p;
}

bool FramePlacement::fits(const QSize& screen) const {
    return x > 0 && y > 0 && width > 0 && height > 0 && x < screen.width() - 32 &&
           y < screen.height() - 32 && width <= screen.width() && height <= screen.height();
}

// ---- the frame ---------------------------------------------------------------------------------

CMainFrame::CMainFrame(CKovVDoc* document, QWidget* parent)
    : QMainWindow(parent), document_(document) {
    initShellResources();
    g_mainFrame = this;
    // The caption is the program's own title, never the document's.
    setWindowTitle(QStringLiteral("Kov View5"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kovview.png")));
    setObjectName(QString::number(kMainFrameResource));
    stored_ = FramePlacement::Load();
    // A fetch of an internet path keeps the window alive and stops on Esc.
    setFetchCancelCheck([] {
        CMainFrame* frame = instance();
        if (!frame) return false;
        frame->PumpMessages();
        return frame->progressHost().testEscape();
    });
}

CMainFrame::~CMainFrame() {
    if (!placementSaved_ && everShown_) savePlacement();
    if (document_ && document_->View() == view_) document_->setView(nullptr);
    if (g_mainFrame == this) {
        g_mainFrame = nullptr;
        setFetchCancelCheck({});
    }
}

CMainFrame* CMainFrame::instance() {
    return g_mainFrame;
}

bool CMainFrame::Create() {
    createActions();
    view_ = new CKovVView(document_, this);
    setCentralWidget(view_);
    // Keys go to the map (zoom, pan) whenever the window is active.
    view_->setFocus();
    if (document_) document_->setView(view_);
    createToolBar();
    createStatusBar();
    createScrollPadBar();
    createMenuBar();
    if (!toolBar_ || !imageCombo_ || !panes_[0] || !scrollPadBar_ || !fileMenu_) return false;
    if (document_)
        connect(document_, &CKovVDoc::recentFilesChanged, this, &CMainFrame::rebuildRecentFileMenu);
    applyStoredPlacement();
    // Toolbar buttons follow their commands' states while the program is idle.
    connect(&idleTimer_, &QTimer::timeout, this, &CMainFrame::updateCommandStates);
    idleTimer_.start(250);
    updateCommandStates();
    return true;
}

QAction* CMainFrame::makeAction(int id) {
    auto* action = new QAction(this);
    action->setObjectName(QString::number(id));
    for (const CommandText& t : kCommandTexts) {
        if (t.id != id) continue;
        action->setText(QString::fromUtf8(t.text));
        const QStringList parts = QString::fromUtf8(t.prompt).split(QLatin1Char('\n'));
        action->setStatusTip(parts.value(0));
        action->setToolTip(parts.value(1, parts.value(0)));
    }
    const QString iconPath = QStringLiteral(":/icons/%1.png").arg(id);
    if (QFileInfo::exists(iconPath)) action->setIcon(QIcon(iconPath));
    action->setIconVisibleInMenu(false);
    for (int check : kCheckCommands)
        if (check == id) action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
    actions_[id] = action;
    return action;
}

void CMainFrame::createActions() {
    for (const CommandText& t : kCommandTexts)
        makeAction(t.id);
    Action(kCmdNewProject)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Action(kCmdOpenProject)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Action(kCmdSaveProject)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Action(kCmdRedraw)->setShortcut(QKeySequence(Qt::Key_F5));
    Action(kCmdHelpForCurrent)->setShortcut(QKeySequence(Qt::Key_F1));
    Action(kCmdHelpMode)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    // Accelerators without a menu entry belong to the window itself.
    addAction(Action(kCmdHelpForCurrent));
    addAction(Action(kCmdHelpMode));
}

void CMainFrame::createToolBar() {
    toolBar_ = new KovToolBar(this);
    toolBar_->setObjectName(QString::number(kMainFrameResource));
    toolBar_->setWindowTitle(QStringLiteral("標準"));
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->setMovable(true);
    for (int id : kToolBarLayout) {
        if (id == 0) {
            toolBar_->addSeparator();
        } else if (id == kImageComboId) {
            imageCombo_ = new QComboBox(toolBar_);
            imageCombo_->setObjectName(QString::number(kImageComboId));
            imageCombo_->setFixedWidth(kImageComboWidth);
            imageCombo_->setFont(toolBar_->comboFont());
            imageCombo_->addItems(imageEntryTexts());
            imageCombo_->setCurrentIndex(0);
            imageCombo_->setFocusPolicy(Qt::ClickFocus);
            imageCombo_->setToolTip(QStringLiteral("画像の表示"));
            connect(imageCombo_, &QComboBox::activated, this, &CMainFrame::OnImageEntryChosen);
            toolBar_->addWidget(imageCombo_);
        } else {
            toolBar_->addAction(Action(id));
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

QStringList CMainFrame::imageEntryTexts() {
    QStringList texts{QStringLiteral("画像非表示")};
    for (int t = 90; t >= 10; t -= 10)
        texts << QString::asprintf("画像表示（透明 %d %%）", t);
    texts << QStringLiteral("画像表示(不透明）");
    return texts;
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    status_ = bar;
    bar->setObjectName(QStringLiteral("StatusBar"));
    // The panes are measured in average character widths of the status-bar font. Fonts whose
    // average is narrower than their digits would cut the coordinates off, so the width of a
    // digit counts when it is larger.
    const QFontMetrics metrics(bar->font());
    const int charWidth = std::max(metrics.averageCharWidth(), metrics.horizontalAdvance(u'0'));
    auto widest = [bar](const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts)
            width = std::max(width, StatusPane::textWidth(bar->font(), text));
        return width;
    };
    // Each pane is as wide as the widest text it shows: the prompts of the measuring tools, the
    // latitude and longitude, the plane coordinates, the sheet code and the elevation.
    const int fullWidths[] = {
        widest(TrackRangeOp::promptTexts()),
        widest({QStringLiteral("B: -35:40:33.7 L: 139:46:27.4")}),
        widest({QStringLiteral("19系 X:-135,940.3 Y: -75,345.9 (m)")}),
        std::max(charWidth * 10, widest({QStringLiteral("09LD1843")})),
        std::max(charWidth * 10, widest({QStringLiteral("H: -9,999.9 (m)")})),
    };
    auto* row = new StatusPaneRow(bar);
    for (int i = 0; i < kPaneCount; ++i) {
        // Pane 0 elides in the middle: paths and the progress estimate keep their ends.
        auto* pane = new StatusPane(row, i == 0 ? Qt::ElideMiddle : Qt::ElideRight, fullWidths[i],
                                    i == 0 ? charWidth * 10 : fullWidths[i] / 3);
        pane->setFrameStyle(i == 0 ? int(QFrame::NoFrame) : QFrame::Panel | QFrame::Sunken);
        // The coordinates keep their width while pane 0 says little (menu prompts, nothing).
        pane->setWidthFollowsText(i == 0);
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        row->addPane(pane);
        panes_[i] = pane;
    }
    bar->addWidget(row, 1);
}

void CMainFrame::createScrollPadBar() {
    scrollPadBar_ = new QDockWidget(QStringLiteral("ｽｸﾛｰﾙﾊﾟｯﾄﾞ"), this);
    scrollPadBar_->setObjectName(QStringLiteral("ScrollPad"));
    scrollPadBar_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    scrollPadBar_->setWidget(new CQuickBar(document_, scrollPadBar_));
    // Wide enough for its title beside the float and close buttons.
    scrollPadBar_->setMinimumWidth(
        QFontMetrics(scrollPadBar_->font()).horizontalAdvance(scrollPadBar_->windowTitle()) + 56);
    addDockWidget(Qt::LeftDockWidgetArea, scrollPadBar_);
    scrollPadBar_->setVisible(settings::readInt("MainFrame", "ScrollPad", 0) != 0);
    // Closed with its own close button: remembered as the menu command would remember it. (A
    // bar hidden only because the main window is hidden is not itself hidden.)
    // The bar, not the frame, is the connection's context: the frame's destruction hides it too.
    QDockWidget* bar = scrollPadBar_;
    connect(bar, &QDockWidget::visibilityChanged, bar, [bar](bool visible) {
        if (!visible && bar->isHidden()) settings::writeInt("MainFrame", "ScrollPad", 0);
    });
}

void CMainFrame::createMenuBar() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("129"));
    for (const MenuLayout& layout : kMenuLayout) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(layout.title));
        for (int id : layout.entries) {
            if (id == 0) {
                menu->addSeparator();
            } else if (id == -1) {
                fileMenu_ = menu;
                recentAnchor_ = menu->addSeparator();
                recentAnchor_->setVisible(false);
            } else {
                menu->addAction(Action(id));
            }
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { updateMenu(menu); });
    }
    rebuildRecentFileMenu();
}

void CMainFrame::rebuildRecentFileMenu() {
    if (!fileMenu_ || !recentAnchor_) return;
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    const QStringList files = recentFileList();
    if (files.isEmpty()) {
        auto* empty = new QAction(QStringLiteral("最近使ったファイル"), this);
        empty->setObjectName(QString::number(kCmdFirstRecentFile));
        empty->setEnabled(false);
        recentActions_ << empty;
    }
    const QFontMetrics metrics(fileMenu_->font());
    for (int i = 0; i < files.size(); ++i) {
        const int id = kCmdFirstRecentFile + i;
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QString shown = metrics.elidedText(QDir::toNativeSeparators(files[i]), Qt::ElideMiddle,
                                           metrics.averageCharWidth() * 48);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(number + QLatin1Char(' ') + shown, this);
        action->setObjectName(QString::number(id));
        action->setStatusTip(QStringLiteral("このプロジェクトを開きます"));
        connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        recentActions_ << action;
    }
    // The entries go between the separator before them and the one after them.
    const QList<QAction*> all = fileMenu_->actions();
    const int anchor = all.indexOf(recentAnchor_);
    QAction* before = anchor >= 0 && anchor + 1 < all.size() ? all[anchor + 1] : nullptr;
    fileMenu_->insertActions(before, recentActions_);
}

QAction* CMainFrame::Action(int id) const {
    const auto it = actions_.find(id);
    if (it != actions_.end()) return it->second;
    for (QAction* action : recentActions_)
        if (commandIdOf(action) == id) return action;
    return nullptr;
}

// ---- command route
// -------------------------------------------------------------------------------

bool CMainFrame::routeUpdate(int id, CommandState& state) {
    state = CommandState{};
    if (view_ && view_->OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    if (document_ && document_->OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    if (OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    CKovVApp* app = CKovVApp::instance();
    if (app && app->OnUpdateCommand(id, state)) return true;
    state = CommandState{false, false};
    return false;
}

void CMainFrame::RouteCommand(int id) {
    CommandState state;
    if (!routeUpdate(id, state) || !state.enabled) {
        updateCommandStates();
        return;
    }
    QPointer<CMainFrame> self(this);
    try {
        if (!(view_ && view_->OnCommand(id)) && !(document_ && document_->OnCommand(id)) &&
            !OnCommand(id)) {
            if (CKovVApp* app = CKovVApp::instance()) app->OnCommand(id);
        }
    } catch (const std::bad_alloc&) {
        if (self) recoverFromOutOfMemory();
    }
    if (self) updateCommandStates();
}

void CMainFrame::updateMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        const int id = commandIdOf(action);
        if (id == 0) continue;
        CommandState state;
        const bool handled = routeUpdate(id, state);
        action->setEnabled(handled && state.enabled);
        if (action->isCheckable() || state.checked) {
            action->setCheckable(true);
            action->setChecked(state.checked);
        }
    }
}

void CMainFrame::updateCommandStates() {
    for (const auto& [id, action] : actions_) {
        CommandState state;
        const bool handled = routeUpdate(id, state);
        action->setEnabled(handled && state.enabled);
        if (action->isCheckable() || state.checked) {
            action->setCheckable(true);
            action->setChecked(state.checked);
        }
    }
}

bool CMainFrame::OnCommand(int id) {
    CKovVApp* app = CKovVApp::instance();
    switch (id) {
        case kCmdToggleScrollPad: {
            const bool show = scrollPadBar_->isHidden();
            scrollPadBar_->setVisible(show);
            settings::writeInt("MainFrame", "ScrollPad", show ? 1 : 0);
            return true;
        }
        case kCmdToggleToolBar:
            toolBar_->setVisible(toolBar_->isHidden());
            return true;
        case kCmdToggleStatusBar:
            statusBar()->setVisible(statusBar()->isHidden());
            return true;
        case kCmdHelpContents:
            if (app) app->WinHelp(0, kHelpFinder);
            return true;
        case kCmdHelpIndex:
            if (app) app->WinHelp(0, kHelpIndex);
            return true;
        case kCmdHelpForCurrent:
            if (app) app->OnHelp();
            return true;
        case kCmdHelpMode:
            if (app) app->enterHelpMode();
            return true;
        default:
            return false;
    }
}

bool CMainFrame::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case kCmdToggleScrollPad:
            state.enabled = scrollPadBar_ != nullptr;
            state.checked = scrollPadBar_ && !scrollPadBar_->isHidden();
            return true;
        case kCmdToggleToolBar:
            state.checked = toolBar_ && !toolBar_->isHidden();
            return true;
        case kCmdToggleStatusBar:
            state.checked = !statusBar()->isHidden();
            return true;
        case kCmdHelpContents:
        case kCmdHelpMode:
        case kCmdHelpForCurrent:
        case kCmdHelpIndex:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

// ---- status bar
// ----------------------------------------------------------------------------------

void CMainFrame::SetPaneText(int pane, const QString& text) {
    if (pane < 0 || pane >= kPaneCount || !panes_[pane]) return;
    // Control characters would break the one-line pane.
    QString clean = text;
    for (QChar& c : clean)
        if (c.unicode() < 0x20) c = QLatin1Char(' ');
    if (pane == 0 && showingPrompt_) {
        textUnderPrompt_ = clean;
        return;
    }
    panes_[pane]->setText(clean);
}

QString CMainFrame::PaneText(int pane) const {
    if (pane < 0 || pane >= kPaneCount || !panes_[pane]) return {};
    if (pane == 0 && showingPrompt_) return textUnderPrompt_;
    return panes_[pane]->text();
}

int CMainFrame::paneWidth(int pane) const {
    if (pane < 0 || pane >= kPaneCount || !panes_[pane]) return 0;
    return panes_[pane]->width();
}

int CMainFrame::paneProgress(int pane) const {
    if (pane < 0 || pane >= kPaneCount || !panes_[pane]) return -1;
    return panes_[pane]->progress;
}

StatusPane* CMainFrame::statusPane(int pane) const {
    return pane >= 0 && pane < kPaneCount ? panes_[pane] : nullptr;
}

bool CMainFrame::statusBarShown() const {
    return isVisible() && status_ && status_->isVisible() && panes_[0];
}

// ---- image display
// -------------------------------------------------------------------------------

void CMainFrame::selectImageEntry(int entry) {
    if (!imageCombo_) return;
    imageCombo_->setCurrentIndex(std::clamp(entry, 0, kImageEntryCount - 1));
}

int CMainFrame::imageEntry() const {
    return imageCombo_ ? imageCombo_->currentIndex() : 0;
}

void CMainFrame::OnImageEntryChosen(int entry) {
    if (document_) {
        if (HMeshProject* project = document_->meshes()) {
            CKovVDoc::imageSettingsFor(entry, project->imageVisible, project->imageTransparency);
            document_->RedrawAllViews();
        }
    }
    if (view_)
        view_->setFocus();
    else
        setFocus();
}

// ---- placement
// -----------------------------------------------------------------------------------

void CMainFrame::applyStoredPlacement() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    if (stored_.fits(screenSize)) {
        move(stored_.x, stored_.y);
        resize(stored_.width, stored_.height);
        adjustFrameOnShow_ = true;
    } else {
        resize(std::min(1100, screenSize.width() * 9 / 10),
               std::min(760, screenSize.height() * 9 / 10));
    }
}

void CMainFrame::showInitial() {
    if (stored_.zoom == 1)
        showMaximized();
    else
        show();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    everShown_ = true;
    if (!adjustFrameOnShow_) return;
    adjustFrameOnShow_ = false;
    // The stored size is the outer one; once the window manager has framed the window, take the
    // frame off again.
    QPointer<CMainFrame> self(this);
    QTimer::singleShot(100, this, [self] {
        if (!self || self->isMaximized()) return;
        const int dw = self->frameGeometry().width() - self->width();
        const int dh = self->frameGeometry().height() - self->height();
        if (dw <= 0 && dh <= 0) return;
        self->resize(self->stored_.width - dw, self->stored_.height - dh);
        self->move(self->stored_.x, self->stored_.y);
    });
}

void CMainFrame::savePlacement() {
    placementSaved_ = true;
    const bool maximized = isMaximized();
    if (!isMinimized() && !maximized) {
        const QRect outer = frameGeometry();
        settings::writeInt("MainFrame", "XPos", outer.x());
        settings::writeInt("MainFrame", "YPos", outer.y());
        settings::writeInt("MainFrame", "XSize", outer.width());
        settings::writeInt("MainFrame", "YSize", outer.height());
    }
    settings::writeInt("MainFrame", "Zoom", maximized ? 1 : 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (document_ && !document_->SaveModified()) {
        event->ignore();
        return;
    }
    savePlacement();
    if (CKovVApp* app = CKovVApp::instance()) app->closeHelpWindow();
    event->accept();
}

// ---- dropped files
// -------------------------------------------------------------------------------

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    QMainWindow::dragEnterEvent(event);
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QString path;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            path = url.toLocalFile();
            break;
        }
    }
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    activateWindow();
    // Opened after the drop has finished, so that the dragging program is not kept waiting.
    QTimer::singleShot(0, this, [path] {
        if (CKovVApp* app = CKovVApp::instance()) app->OpenDocumentFile(path);
    });
}

// ---- events
// --------------------------------------------------------------------------------------

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip && panes_[0]) {
        // Menu and toolbar prompts show over pane 0 and give its text back when they end.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty()) {
            if (!showingPrompt_) {
                textUnderPrompt_ = panes_[0]->text();
                showingPrompt_ = true;
            }
            panes_[0]->setText(tip);
        } else if (showingPrompt_) {
            showingPrompt_ = false;
            panes_[0]->setText(textUnderPrompt_);
        }
        return true;
    }
    return QMainWindow::event(event);
}

// ---- long work
// -----------------------------------------------------------------------------------

void CMainFrame::enableInput(bool enable) {
    menuBar()->setEnabled(enable);
    if (toolBar_) toolBar_->setEnabled(enable);
    if (scrollPadBar_) scrollPadBar_->setEnabled(enable);
    if (view_) view_->setEnabled(enable);
    // Disabling the map took the keyboard focus from it; the map takes the keys again.
    if (enable && view_) view_->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::recoverFromOutOfMemory() {
    progress_.abandon();
    enableInput(true);
    ShowMessage(this, QMessageBox::Critical,
                QStringLiteral("メモリが不足しています。処理を中止しました。"));
}

}  // namespace kov
