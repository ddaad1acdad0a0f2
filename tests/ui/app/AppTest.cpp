// SPDX-License-Identifier: MIT
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QWidgetAction>

#include <sys/stat.h>
#include <array>

#include <QElapsedTimer>
#include <filesystem>
#include <memory>
#include <new>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/data/HxFile.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/cache/TileCache.h"
#include "core/project/KovXmlParser.h"
#include "core/project/LayerLoader.h"
#include "core/project/ProjectFile.h"
#include "sample/SampleProject.h"
#include "support/LocalHttpServer.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/CMainProgress.h"
#include "ui/app/StatusPane.h"
#include "ui/dialogs/CColorMapDlg.h"
#include "ui/dialogs/CDsmResoDlg.h"
#include "ui/dialogs/CHelpWindow.h"
#include "ui/dialogs/CProjectDlg.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CQuickBar.h"

namespace kov {
namespace {

// A counter of the events a widget receives.
class EventCounter : public QWidget {
public:
    std::map<QEvent::Type, int> seen;

protected:
    bool event(QEvent* event) override {
        ++seen[event->type()];
        return QWidget::event(event);
    }
};

// A document, the main frame made on demand over it, or a whole application; file dialogs
// answer chosenFile_.
class AppTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        reloadRecentFileList();
        document_ = std::make_unique<CKovVDoc>();
        setFileDialogHook([this](const FileDialogRequest& request) {
            fileRequests_.push_back(request);
            return chosenFile_;
        });
    }
    void TearDown() override {
        if (app_) app_->ExitInstance(0);
        app_.reset();
        frame_.reset();
        document_.reset();
        setFileDialogHook({});
        CKovVDoc::setProjectDialog({});
        CKovVDoc::setColorMapDialog({});
        ProgressHost::setClock({});
        QLocale::setDefault(QLocale::c());
        test::SampleWindowTest::TearDown();
    }

    // A new frame over the document; the previous one is closed first and stores its placement.
    CMainFrame& makeFrame() {
        frame_.reset();
        frame_ = std::make_unique<CMainFrame>(document_.get());
        EXPECT_TRUE(frame_->Create());
        return *frame_;
    }
    void openSample() { ASSERT_TRUE(document_->OnOpenDocument(sampleProject())); }
    // "1" or "0" per command: the enabled state of its action in the frame (made when missing).
    std::string states(const std::vector<int>& ids) {
        if (!frame_) makeFrame();
        frame_->updateCommandStates();
        std::string result;
        for (int id : ids) {
            QAction* action = frame_->Action(id);
            EXPECT_NE(action, nullptr) << id;
            result += action && action->isEnabled() ? '1' : '0';
        }
        return result;
    }
    // The text of pane 0 and the progress shown in the pane.
    std::tuple<QString, int> status(int pane = 1) const {
        return {frame_->PaneText(0), frame_->paneProgress(pane)};
    }
    QString file(const std::string& name) const { return QString::fromStdString(dir_.file(name)); }
    // Ends the running application and starts another with the arguments.
    bool start(const QStringList& arguments) {
        if (app_) app_->ExitInstance(0);
        app_.reset();
        app_ = std::make_unique<CKovVApp>();
        app_->setKeepSettingsLocation(true);
        return app_->InitInstance(arguments);
    }

    test::TempDir dir_;
    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<CKovVApp> app_;
    std::vector<FileDialogRequest> fileRequests_;
    std::optional<QString> chosenFile_;
};

TEST_F(AppTest, StatusBarPanesToolbarIconsAndScrollPadBar) {
    CMainFrame& frame = makeFrame();
    for (QAction* action : frame.toolBar()->actions())
        EXPECT_TRUE(action->isSeparator() || qobject_cast<QWidgetAction*>(action) ||
                    !action->icon().isNull())
            << action->objectName().toStdString();
    frame.resize(1400, 700);
    frame.show();
    EXPECT_GT(frame.paneWidth(0), frame.paneWidth(1)) << "pane 0 takes the remaining width";

    // Control characters become spaces; nothing is written while the status bar is hidden.
    setStatusText(2, QStringLiteral("a\tb\r\nc"));
    frame.RouteCommand(kCmdToggleStatusBar);
    setStatusText(2, QStringLiteral("hidden"));
    EXPECT_EQ(std::tuple(frame.statusBar()->isHidden(), frame.PaneText(2)),
              std::tuple(true, QStringLiteral("a b  c")));
    frame.RouteCommand(kCmdToggleStatusBar);

    // The scroll pad starts hidden and remembers its visibility.
    EXPECT_TRUE(frame.scrollPadBar()->isHidden());
    frame.RouteCommand(kCmdToggleScrollPad);
    frame.updateCommandStates();
    EXPECT_TRUE(frame.Action(kCmdToggleScrollPad)->isChecked());
    CMainFrame& again = makeFrame();
    again.show();
    EXPECT_FALSE(again.scrollPadBar()->isHidden());

    // Closed with its own close button, it stays closed next time.
    auto* close = again.scrollPadBar()->findChild<QAbstractButton*>(
        QStringLiteral("qt_dockwidget_closebutton"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_TRUE(again.scrollPadBar()->isHidden());
    EXPECT_TRUE(makeFrame().scrollPadBar()->isHidden());
}

// The status bar keeps its height whatever text arrives, its panes never overlap however narrow
// the window, a long pane-0 text keeps its end (the progress estimate), and the scroll pad's
// legend gives up height in a low window.
TEST_F(AppTest, StatusBarAndScrollPadDegradeWithoutOverlapOrJumps) {
    CMainFrame& frame = makeFrame();
    frame.RouteCommand(kCmdToggleScrollPad);
    frame.resize(1100, 760);
    frame.show();
    QApplication::processEvents();
    const int barHeight = frame.statusBar()->height();
    const QString loading = QStringLiteral(
        "/home/user/データ/東京都/DEM5A/FG-GML-5339-45-DEM5A-20161001.xml を読み込み中... "
        "Elapsed 0:00:01 Total Estimated 0:00:07");
    setStatusText(0, loading);
    setStatusText(2, QStringLiteral("9系 X: -35,940.3 Y:  -5,345.9 (m)"));
    QApplication::processEvents();
    EXPECT_EQ(frame.statusBar()->height(), barHeight);

    auto pane = [&](int i) {
        return static_cast<StatusPane*>(frame.findChild<QFrame*>(QStringLiteral("pane%1").arg(i)));
    };
    // At the default size the coordinates are whole beside a menu prompt, and every prompt of
    // the measuring tools is whole (the coordinates giving way).
    setStatusText(0, QStringLiteral("プロジェクトの全領域を表示します"));
    EXPECT_EQ(pane(2)->shownText(), pane(2)->text());
    for (const QString& prompt : TrackRangeOp::promptTexts()) {
        setStatusText(0, prompt);
        EXPECT_EQ(pane(0)->shownText(), prompt);
    }
    setStatusText(0, loading);
    const QString elevation = QStringLiteral("H: 3,776.0 (m)");
    setStatusText(4, elevation);
    auto* quickBar = qobject_cast<CQuickBar*>(frame.scrollPadBar()->widget());
    ASSERT_NE(quickBar, nullptr);
    EXPECT_EQ(quickBar->legend()->height(), CQuickBar::kLegendHeight);
    for (int width : {760, 600}) {
        frame.resize(width, 500);
        QApplication::processEvents();
        for (int i = 0; i + 1 < CMainFrame::kPaneCount; ++i) {
            EXPECT_GT(pane(i)->width(), 0) << width << " pane " << i;
            EXPECT_LE(pane(i)->geometry().right(), pane(i + 1)->geometry().left())
                << width << " panes " << i << " and " << i + 1;
        }
        EXPECT_LE(pane(4)->geometry().right(), frame.statusBar()->width());
        EXPECT_EQ(pane(4)->shownText(), elevation) << width << ": the coordinates give way";
        if (width == 760) {
            EXPECT_TRUE(pane(0)->shownText().endsWith(QStringLiteral("0:00:07")));
        }
    }

    frame.resize(600, 380);
    QApplication::processEvents();
    EXPECT_LE(frame.height(), 380) << "the scroll pad lets the window be low";
    EXPECT_TRUE(frame.scrollPadBar()->isVisible());
    EXPECT_LT(quickBar->legend()->height(), CQuickBar::kLegendHeight);
    EXPECT_GE(quickBar->legend()->height(), CQuickBar::kLegendMinimumHeight);
}

TEST_F(AppTest, ProjectCommandsNeedAProject) {
    CKovVApp app;
    makeFrame().show();
    // One command of each owner (document, view, frame) per rule; then the recent file, clearing
    // the trace, and commands that are always there.
    const std::vector<int> ids = {kCmdSaveProject,         kCmdPrint,          kCmdZoomIn,
                                  kCmdMeasureDistanceArea, kCmdFloodByDepth,   kCmdToggleSheetInfo,
                                  kCmdFirstRecentFile,     kCmdClearTrace,     kCmdNewProject,
                                  kCmdMeasureProperties,   kCmdToggleScrollPad};
    EXPECT_EQ(states(ids), "00000000111");
    openSample();
    EXPECT_EQ(states(ids), "11111110111");
    EXPECT_EQ(frame_->Action(kCmdToggleSheetInfo)->isChecked(),
              document_->meshes()->showSheetInfo == 1);
    EXPECT_TRUE(
        frame_->Action(kCmdFirstRecentFile)->text().endsWith(QStringLiteral("sample.kovv5")));

    document_->trace().push_back({1.0, 2.0, 3.0});
    EXPECT_EQ(states({kCmdClearTrace}), "1");
    frame_->RouteCommand(kCmdClearTrace);
    EXPECT_TRUE(document_->trace().empty());

    // The sheet toggle flips the check and leaves the document unmodified.
    const bool sheets = frame_->Action(kCmdToggleSheetInfo)->isChecked();
    frame_->RouteCommand(kCmdToggleSheetInfo);
    EXPECT_EQ(std::tuple(frame_->Action(kCmdToggleSheetInfo)->isChecked(), document_->IsModified()),
              std::tuple(!sheets, false));
}

TEST_F(AppTest, ImageDropDownAndProjectImageSettingsFollowEachOther) {
    makeFrame().show();
    openSample();
    HMeshProject& project = *document_->meshes();
    EXPECT_EQ(frame_->imageEntry(),
              CKovVDoc::imageEntryFor(project.imageVisible, project.imageTransparency));
    frame_->OnImageEntryChosen(5);
    EXPECT_EQ(std::tuple(project.imageVisible, project.imageTransparency), std::tuple(1, 50));
    frame_->OnImageEntryChosen(0);
    EXPECT_EQ(std::tuple(project.imageVisible, document_->IsModified()), std::tuple(0, false));

    document_->SetImageDisplay(1, 30);
    EXPECT_EQ(frame_->imageEntry(), 7);
    document_->SetImageDisplay(0, 30);
    document_->showImages();
    EXPECT_EQ(std::tuple(project.imageVisible, frame_->imageEntry()), std::tuple(1, 7));
}

TEST_F(AppTest, PlacementIsUsedOnlyWhenItLiesOnTheScreen) {
    for (const auto& [p, fits] : {std::pair{FramePlacement{100, 80, 640, 480, 0}, true},
                                  {{1567, 967, 1600, 1000, 0}, true},
                                  {{1568, 80, 640, 480, 0}, false},
                                  {{100, 968, 640, 480, 0}, false},
                                  {{100, 80, 1601, 480, 0}, false},
                                  {{100, 80, 640, 1001, 0}, false},
                                  {{0, 80, 640, 480, 0}, false}})
        EXPECT_EQ(p.fits(QSize(1600, 1000)), fits) << p.x << " " << p.y << " " << p.width;
}

TEST_F(AppTest, PlacementRoundTripAndMaximisedWindow) {
    const char* const keys[] = {"XPos", "YPos", "XSize", "YSize", "Zoom"};
    auto stored = [&keys] {
        std::vector<int> values;
        for (const char* key : keys)
            values.push_back(settings::readInt("MainFrame", key, -1));
        return values;
    };
    for (int i = 0; i < 4; ++i)
        settings::writeInt("MainFrame", keys[i], std::array{40, 30, 500, 400}[i]);
    makeFrame();
    EXPECT_EQ(std::tuple(frame_->pos(), frame_->size()),
              std::tuple(QPoint(40, 30), QSize(500, 400)));
    frame_->show();
    frame_->setGeometry(60, 50, 520, 410);
    const QRect outer = frame_->frameGeometry();  // the frame is included
    frame_.reset();
    EXPECT_EQ(stored(), (std::vector<int>{outer.x(), outer.y(), outer.width(), outer.height(), 0}));

    // Maximised: only "Zoom" is written, the normal placement stays for the next run.
    makeFrame().showInitial();
    frame_->showMaximized();
    frame_.reset();
    EXPECT_EQ(stored(), (std::vector<int>{outer.x(), outer.y(), outer.width(), outer.height(), 1}));
    makeFrame().showInitial();
    EXPECT_TRUE(frame_->isMaximized());
    frame_.reset();

    // A stored size larger than the screen is ignored.
    settings::writeInt("MainFrame", "Zoom", 0);
    settings::writeInt("MainFrame", "XSize", QGuiApplication::primaryScreen()->size().width() + 1);
    EXPECT_NE(makeFrame().pos(), QPoint(60, 50));
}

TEST_F(AppTest, ProgressShowsElapsedAndEstimatedTime) {
    int64_t now = 1000;
    ProgressHost::setClock([&now] { return now; });
    makeFrame().show();
    frame_->SetPaneText(0, QStringLiteral("before"));

    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    ProgressReport(ProgressCode::Begin, QStringLiteral("読み込み中"));
    ProgressReport(ProgressCode::Options, kProgressShowTimes);
    now += 500;
    ProgressPosition(10, 100);
    EXPECT_EQ(status(), std::tuple(QStringLiteral("読み込み中"), 10)) << "below a second: no times";
    now = 13000;
    ProgressPosition(30, 100);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中  経過  0:00:12   推定所要  0:01:08"));

    QLocale::setDefault(QLocale::c());
    // Hours include whole days.
    now = 1000 + (26 * 3600 + 5) * int64_t{1000};
    ProgressPosition(50, 100);
    EXPECT_EQ(frame_->PaneText(0),
              QStringLiteral("読み込み中  Elapsed 26:00:05  Total Estimated 78:00:15"));
    ProgressReport(ProgressCode::End);
    EXPECT_EQ(status(), std::tuple(QStringLiteral("before"), -1));
}

TEST_F(AppTest, ProgressStagesPanesAndPersistentMode) {
    makeFrame().show();
    ProgressReport(ProgressCode::Begin, QStringLiteral("one"));
    ProgressPosition(80, 100);
    // The next stage adds the last total shown to base and offset.
    ProgressReport(ProgressCode::NextStage, 0);
    ProgressPosition(50, 100);
    EXPECT_EQ(frame_->paneProgress(1), 75);
    ProgressPosition(500, 100);
    EXPECT_EQ(frame_->paneProgress(1), 100) << "the position is capped at the total";
    // The indicator moves to another pane.
    ProgressReport(ProgressCode::IndicatorPane, 7);
    EXPECT_EQ(std::tuple(frame_->paneProgress(3), frame_->paneProgress(1)), std::tuple(100, -1));
    ProgressReport(ProgressCode::Message, QStringLiteral("two"));
    frame_->SetPaneText(0, QStringLiteral("other"));
    ProgressReport(ProgressCode::ShowMessage);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("two"));
    ProgressReport(ProgressCode::End);
    EXPECT_EQ(status(3), std::tuple(QString(), -1));

    // Persistent mode keeps one indicator across inner begin/end pairs.
    ProgressReport(ProgressCode::BeginPersistent, QStringLiteral("all"));
    ProgressReport(ProgressCode::Begin, QStringLiteral("file 1"));
    ProgressPosition(40, 100);
    ProgressReport(ProgressCode::End);
    EXPECT_EQ(status(), std::tuple(QStringLiteral("all"), 40));
    ProgressReport(ProgressCode::EndPersistent);
    EXPECT_EQ(status(), std::tuple(QString(), -1));

    // Without a visible status bar nothing happens.
    frame_->statusBar()->hide();
    EXPECT_EQ(ProgressReport(ProgressCode::StepMask, 100000), 0);
    ProgressReport(ProgressCode::Begin, QStringLiteral("unseen"));
    EXPECT_EQ(status(), std::tuple(QString(), -1));
}

TEST_F(AppTest, StepMasksEscapeAndTheLoadersReporter) {
    makeFrame().show();
    // The window's cadence, for the loaders' reporter as for the process-wide function: at least
    // 15, else total / 63 rounded up to 2^k - 1.
    CMainProgress progress;
    for (const auto& [total, mask] : {std::pair{500LL, 15}, {63LL * 127, 127}, {63LL * 128, 255}}) {
        EXPECT_EQ(ProgressReport(ProgressCode::StepMask, total), mask) << total;
        EXPECT_EQ(progress.StepMask(total), mask) << total;
    }

    auto escape = [this] { QTest::keyClick(frame_.get(), Qt::Key_Escape); };
    // Esc pressed before begin does not cancel the first step.
    escape();
    frame_->SetPaneText(0, QStringLiteral("ready"));
    progress.Begin();
    EXPECT_EQ(ProgressPosition(1, 10), 0);
    escape();
    EXPECT_EQ(ProgressPosition(2, 10), 1) << "pressed since the last test";
    EXPECT_EQ(ProgressPosition(3, 10), 0);
    // The loaders' reporter never cancels a loader, and it shows the position.
    escape();
    EXPECT_EQ(progress.SetPos(5, 8), 0);
    EXPECT_EQ(frame_->paneProgress(1), 63) << "62.5 % rounds half away from zero";
    // An endless indicator for a total of 0.
    ProgressPosition(5, 0);
    EXPECT_EQ(frame_->paneProgress(1), -1);
    progress.End();
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("ready")) << "a begin without a text keeps it";
}

TEST_F(AppTest, OutOfMemoryEndsTheCommandWithAMessageAndEscStopsAFetch) {
    makeFrame().show();
    openSample();
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea, [this](CKovVDoc&, int) {
        frame_->enableInput(false);
        ProgressReport(ProgressCode::Begin, QStringLiteral("work"));
        throw std::bad_alloc();
    });
    frame_->SetPaneText(0, QStringLiteral("ready"));
    frame_->RouteCommand(kCmdMeasureDistanceArea);
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea, {});
    EXPECT_TRUE(onlyMessage().startsWith(QStringLiteral("メモリが不足しています")));
    EXPECT_TRUE(frame_->View()->isEnabled());
    EXPECT_EQ(status(), std::tuple(QStringLiteral("ready"), -1)) << "the progress display ended";

    // A fetch keeps the window's events flowing, and Esc ends it.
    test::LocalHttpServer server;
    server.trickle("/slow.kov", 300, 100);  // thirty seconds
    QCoreApplication::postEvent(frame_.get(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(openFile(server.url("/slow.kov")), nullptr);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(AppTest, PumpingDropsInputThatCouldStartOtherWork) {
    makeFrame().show();
    EventCounter target;
    target.resize(50, 50);
    target.show();
    auto click = [](QEvent::Type type) -> QEvent* {
        const QPointF at(5, 5);
        return new QMouseEvent(type, at, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    };
    for (QEvent* event : std::initializer_list<QEvent*>{
             click(QEvent::MouseButtonDblClick),
             new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5)),
             new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier),
             click(QEvent::MouseButtonPress), new QCloseEvent})
        QCoreApplication::postEvent(&target, event);
    frame_->PumpMessages();
    for (QEvent::Type dropped :
         {QEvent::MouseButtonDblClick, QEvent::ContextMenu, QEvent::KeyPress, QEvent::Close})
        EXPECT_EQ(target.seen[dropped], 0) << dropped;
    EXPECT_EQ(target.seen[QEvent::MouseButtonPress], 1) << "ordinary input still arrives";

    // Outside the pump the same input is delivered.
    QCoreApplication::postEvent(&target, click(QEvent::MouseButtonDblClick));
    QCoreApplication::processEvents();
    EXPECT_EQ(target.seen[QEvent::MouseButtonDblClick], 1);
}

TEST_F(AppTest, OpeningInstallsTheProjectAndAFailureKeepsIt) {
    CKovVDoc& doc = *document_;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_EQ(std::tuple(messages.size(), doc.IsModified(), doc.PathName(), doc.Title(),
                         doc.coordinates().zone),
              std::tuple(0u, false, sampleProject(), QString::fromUtf8(sample::kSampleProjectTitle),
                         doc.meshes()->planeZone));

    // Garbage, a file that does not open, a folder, a FIFO (refused without blocking), a file
    // past the size bound: a message naming the file and, in the window's words, why; the
    // project stays.
    const HMeshProject* before = doc.meshes();
    test::writeFile(dir_.file("broken.kovv5"), "not a project");
    std::filesystem::create_directories(dir_.file("folder.kovv5"));
    ASSERT_EQ(::mkfifo(dir_.file("fifo.kovv5").c_str(), 0600), 0);
    test::writeFile(dir_.file("big.kovv5"), "");
    std::filesystem::resize_file(dir_.file("big.kovv5"), KovXmlParser::kMaxFileBytes + 1);
    for (const auto& [path, why] :
         {std::pair{file("broken.kovv5"), QStringLiteral("XML 文書ではありません")},
          {file("missing.kovv5"), QStringLiteral("ファイルが見つかりません")},
          {file("folder.kovv5"), QStringLiteral("フォルダーです")},
          {file("fifo.kovv5"), QStringLiteral("FIFO")},
          {file("big.kovv5"), QStringLiteral("64 MiB")}}) {
        messages.clear();
        EXPECT_TRUE(test::endsWithoutBlocking(path.toStdString(),
                                              [&] { EXPECT_FALSE(doc.OnOpenDocument(path)); }));
        const QString told = onlyMessage();
        EXPECT_TRUE(told.startsWith(path) && told.contains(why)) << told.toStdString();
        EXPECT_EQ(std::tuple(doc.meshes(), doc.PathName()), std::tuple(before, sampleProject()));
    }
    EXPECT_EQ(recentFileList(), QStringList{sampleProject()});
}

// A damaged cache entry is rebuilt from the source and said in one line, not a message box.
TEST_F(AppTest, ACacheProblemIsOneWarningInTheMessagePane) {
    makeFrame().show();
    const auto cache = std::make_shared<TileCache>(dir_.file("cache"));
    TileCache::setActive(cache);
    openSample();
    const int32_t firstCell = document_->meshes()->GetMesh(0)->cells[0];
    for (const auto& entry : std::filesystem::directory_iterator(cache->folder()))
        if (entry.path().extension() == ".kce") test::writeFile(entry.path().string(), "damaged");
    openSample();
    // The tiles' records come from the folder's index; their cells are read as the map is drawn.
    frame_->View()->repaint();
    TileCache::setActive(nullptr);
    EXPECT_TRUE(messages.empty());
    const QString pane = frame_->PaneText(0);
    EXPECT_TRUE(pane.startsWith(QStringLiteral("警告: ")) &&
                pane.contains(QStringLiteral("キャッシュ")))
        << pane.toStdString();
    EXPECT_EQ(document_->meshes()->GetMesh(0)->cells[0], firstCell);
}

// After a load the map takes the keys again: a key given to the window (its focus widget), not
// to the view object, pans the map.
TEST_F(AppTest, TheMapHasTheKeyboardAfterALoad) {
    CMainFrame& frame = makeFrame();
    frame.show();
    frame.activateWindow();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(document_->OnOpenDocument(sampleProject()));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, frame.View());
    const double west = frame.View()->viewport().x0;
    QTest::keyClick(focus, Qt::Key_Right);
    EXPECT_GT(frame.View()->viewport().x0, west);
}

TEST_F(AppTest, SavePromptAnswers) {
    CKovVDoc& doc = *document_;
    const QString copy = file("copy.kovv5");
    ASSERT_TRUE(QFile::copy(sampleProject(), copy));
    ASSERT_TRUE(doc.OnOpenDocument(copy));
    EXPECT_TRUE(doc.SaveModified()) << "unmodified: no question";
    doc.SetModifiedFlag(true);

    answer = QMessageBox::Cancel;
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(copy));
    EXPECT_EQ(messages[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    answer = QMessageBox::No;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(doc.IsModified());

    // Yes saves to the document's file without asking for one, and says so.
    doc.meshes()->stepHeight = 7.5;
    answer = QMessageBox::Yes;
    EXPECT_TRUE(doc.SaveModified());
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(std::tuple(doc.IsModified(), messages[3].icon, fileRequests_.size()),
              std::tuple(false, QMessageBox::Information, 0u));
    HMeshProject reread;
    ASSERT_TRUE(LoadProjectFile(reread, copy.toStdString()));
    EXPECT_EQ(reread.stepHeight, 7.5);
}

// A project file cut short opens with what could be read; the user is told once about the
// damage and the layers that could not be read, and saving over the file asks first.
TEST_F(AppTest, DamagedProjectsAndUnreadableLayersAreToldAndSavingAsks) {
    const std::string lonely = dir_.file("lonely/L.kov");
    std::filesystem::create_directories(dir_.file("lonely"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(dir->file("Data/09LD281.kov")),
                            QString::fromStdString(lonely)));  // without its header
    std::string text = test::readFile(dir->file("sample.kovv5"));
    const size_t root = text.find("<MeshProject>") + 13;
    text.insert(root, "<Mesh>" + lonely + "</Mesh>");
    const QString damaged = file("damaged.kovv5");
    test::writeFile(damaged.toStdString(), text.substr(0, text.find("</MeshProject>") - 20));

    CKovVDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(damaged));
    EXPECT_TRUE(doc.HasProject());
    ASSERT_EQ(messages.size(), 1u);
    const QString told = messages[0].text;
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(told.contains(damaged + QStringLiteral(" は破損しています"))) << told.toStdString();
    // Japanese throughout: the parser's and the reader's English stay out of the window.
    EXPECT_TRUE(told.contains(QString::fromStdString(lonely) +
                              QStringLiteral(": ヘッダーファイル（.csv）が同じフォルダーにも")))
        << told.toStdString();
    EXPECT_FALSE(told.contains(QRegularExpression("its header|end tag|end of buffer")))
        << told.toStdString();

    // Save asks; No keeps the damaged file as it is.
    const std::string before = test::readFile(damaged.toStdString());
    messages.clear();
    answer = QMessageBox::No;
    EXPECT_TRUE(doc.OnCommand(kCmdSaveProject));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(messages[0].text.startsWith(damaged));
    EXPECT_EQ(test::readFile(damaged.toStdString()), before);

    // Yes saves; the next save no longer asks.
    answer = QMessageBox::Yes;
    EXPECT_TRUE(doc.OnSaveDocument(damaged));
    EXPECT_NE(test::readFile(damaged.toStdString()), before);
    messages.clear();
    EXPECT_TRUE(doc.OnSaveDocument(damaged));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, QMessageBox::Information) << "only the saved notice";
}

TEST_F(AppTest, NewProjectWithoutAFileAsksForOneAndFailedSavesAbort) {
    CKovVDoc& doc = *document_;
    CKovVDoc::setProjectDialog([](HMeshProject& project, bool) {
        LoadReport report;
        return loadLayerPaths({dir->file("Data")}, project, report) > 0;
    });
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_TRUE(doc.HasProject());
    EXPECT_EQ(std::tuple(doc.IsModified(), doc.PathName()), std::tuple(true, QString()));
    EXPECT_EQ(states({kCmdSaveProject, kCmdSaveProjectAs}), "01") << "never saved: no Save";

    answer = QMessageBox::Yes;
    chosenFile_ = std::nullopt;  // the save dialog is cancelled
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_TRUE(fileRequests_[0].save);

    // A file that cannot be written: a warning, abort, still modified.
    messages.clear();
    chosenFile_ = file("no/such/folder/p.kovv5");
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.startsWith(*chosenFile_));
    EXPECT_EQ(std::tuple(messages[1].icon, doc.IsModified()),
              std::tuple(QMessageBox::Warning, true));

    chosenFile_ = file("new.kovv5");
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_EQ(std::tuple(doc.IsModified(), doc.PathName(), QFileInfo::exists(*chosenFile_),
                         recentFileList().value(0), states({kCmdSaveProject})),
              std::tuple(false, *chosenFile_, true, *chosenFile_, "1"));
}

TEST_F(AppTest, NewAndChangeWithoutOrCancelledDialogKeepTheProject) {
    CKovVDoc& doc = *document_;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    const HMeshProject* before = doc.meshes();
    // No dialog installed: a message for both.
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_EQ(std::tuple(messages.size(), doc.meshes()), std::tuple(2u, before));

    bool askedForNew = false, ok = false;
    CKovVDoc::setProjectDialog([&](HMeshProject& project, bool newProject) {
        askedForNew = newProject;
        project.projectTitle.clear();
        return ok;
    });
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(std::tuple(askedForNew, doc.meshes(), doc.IsModified()),
              std::tuple(true, before, false))
        << "cancelled: the previous project stays";

    // Change works on the installed project; OK marks it modified, an empty title keeps the
    // document title.
    const QString title = doc.Title();
    ok = true;
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_EQ(std::tuple(askedForNew, doc.meshes(), doc.IsModified(), doc.Title()),
              std::tuple(false, before, true, title));

    // Files removed in the dialog stay removed whatever button closed it: the map is drawn again
    // and the project is modified.
    doc.SetModifiedFlag(false);
    CMainFrame& frame = makeFrame();
    int redrawn = 0;
    QObject::connect(frame.View(), &CKovVView::mapInvalidated, [&] { ++redrawn; });
    const int meshes = doc.meshes()->meshCount();
    CKovVDoc::setProjectDialog([](HMeshProject& project, bool) {
        project.RemoveMesh(0);
        return false;
    });
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_EQ(std::tuple(doc.meshes()->meshCount(), doc.IsModified(), redrawn > 0),
              std::tuple(meshes - 1, true, true));
}

TEST_F(AppTest, TitlesAreCutToTheirFirst128Bytes) {
    document_->SetTitle(QString(200, QLatin1Char('a')));
    EXPECT_EQ(document_->Title(), QString(128, QLatin1Char('a')));
    // Japanese characters take two bytes each in the project's code page, and stay whole.
    document_->SetTitle(QStringLiteral("a") + QString(100, QChar(0x6A19)));
    EXPECT_EQ(document_->Title(), QStringLiteral("a") + QString(63, QChar(0x6A19)));
}

TEST_F(AppTest, ToolCommandsRunTheirHandlerOrSayTheyAreMissing) {
    CKovVDoc& doc = *document_;
    CommandState state;
    EXPECT_FALSE(doc.OnUpdateCommand(kCmdNewProject, state)) << "new belongs to the application";

    openSample();
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    EXPECT_EQ(messages.size(), 1u);
    int called = 0;
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea,
                                [&called](CKovVDoc&, int id) { called = id; });
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    EXPECT_EQ(std::tuple(called, messages.size()), std::tuple(kCmdMeasureDistanceArea, 1u));
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea, {});

    // The colour-map dialog: OK redraws and marks the project modified.
    bool ok = false;
    CKovVDoc::setColorMapDialog([&ok](HMeshProject& project) {
        project.stepMode = 2;
        return ok;
    });
    EXPECT_TRUE(doc.OnCommand(kCmdEditColorMap));
    EXPECT_FALSE(doc.IsModified());
    ok = true;
    EXPECT_TRUE(doc.OnCommand(kCmdEditColorMap));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(AppTest, RecentFileListKeepsTenNewestFirst) {
    auto files = [](std::initializer_list<int> numbers) {
        QStringList paths;
        for (int n : numbers)
            paths << QStringLiteral("/p/%1.kovv5").arg(n);
        return paths;
    };
    for (const QString& path : files({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}))
        AddToRecentFileList(path);
    EXPECT_EQ(recentFileList(), files({11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
    AddToRecentFileList(files({5})[0]);
    removeFromRecentFileList(files({9})[0]);
    reloadRecentFileList();
    EXPECT_EQ(recentFileList(), files({5, 11, 10, 8, 7, 6, 4, 3, 2}));
    EXPECT_EQ(settings::readString("Recent File List", "File10", "x"), "");
}

// ---- command line and help topics (no windows) --------------------------------------------------

TEST(ShellCommandLine, FileOpenAndPrintForms) {
    using A = CommandLineInfo;
    // A path beginning with / is a file.
    for (const auto& [arguments, action, file, printer, timed] :
         {std::tuple{QStringList{}, A::FileNew, "", "", false},
          {{"/d/p.kovv5"}, A::FileOpen, "/d/p.kovv5", "", false},
          {{"--print", "a.kovv5"}, A::FilePrint, "a.kovv5", "", false},
          {{"/p", "a.kovv5"}, A::FilePrint, "a.kovv5", "", false},
          {{"/P", "a.kovv5"}, A::FilePrint, "a.kovv5", "", false},
          {{"/pt", "a.kovv5", "Office"}, A::FilePrintTo, "a.kovv5", "Office", false},
          {{"--startup-time", "a.kovv5"}, A::FileOpen, "a.kovv5", "", true},
          {{"--help"}, A::Usage, "", "", false},
          {{"--print"}, A::Error, "", "", false},
          {{"--print-to", "a.kovv5"}, A::Error, "", "", false},
          {{"a.kovv5", "b.kovv5"}, A::Error, "", "", false},
          {{"--frobnicate"}, A::Error, "", "", false}}) {
        const CommandLineInfo info = ParseCommandLine(arguments);
        EXPECT_EQ(info.action, action) << arguments.join(' ').toStdString();
        if (action == A::Error || action == A::Usage) continue;
        EXPECT_EQ(std::tuple(info.file, info.printer, info.startupTime),
                  std::tuple(QString(file), QString(printer), timed))
            << arguments.join(' ').toStdString();
    }
}

TEST(ShellFileDialog, WindowsFiltersBecomeQtFilters) {
    EXPECT_EQ(
        qtFileFilter(QStringLiteral("5M標高メッシュプロジェクト(*.kovv5)|*.kovv5|"
                                    "標高メッシュプロジェクト(*.kovv)|*.kovv||")),
        QStringLiteral("5M標高メッシュプロジェクト(*.kovv5);;標高メッシュプロジェクト(*.kovv)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Pictures|*.jpg;*.png||")),
              QStringLiteral("Pictures (*.jpg *.png)"));
}

// ---- the application with its windows ---------------------------------------------------------

TEST_F(AppTest, StartsEmptyOrWithAProjectFromTheCommandLine) {
    ASSERT_TRUE(start({}));
    ASSERT_NE(app_->mainFrame(), nullptr);
    EXPECT_TRUE(app_->mainFrame()->isVisible());
    EXPECT_EQ(app_->document()->meshes(), nullptr) << "the start-up document is empty";
    // Qt's own buttons and dialogs speak Japanese too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));

    ASSERT_TRUE(start({sampleProject()}));
    EXPECT_TRUE(app_->document()->HasProject());
    EXPECT_TRUE(app_->mainFrame()->acceptDrops());
    EXPECT_TRUE(messages.empty());

    // The print-to switch names a printer that does not exist: start-up ends before the file
    // is opened, with status 1 (and no message box: the reason goes to stderr).
    EXPECT_FALSE(start({"/pt", sampleProject(), "no-such-printer-here"}));
    EXPECT_EQ(std::tuple(app_->exitCode(), messages.size()), std::tuple(1, 0u));
}

TEST_F(AppTest, CommandLineFailuresEndStartUp) {
    // The file is opened, and its failure told, with the main window already shown.
    int shownOverFrame = 0;
    testPrompts().message = [&](QWidget*, QMessageBox::Icon, const QString&,
                                QMessageBox::StandardButtons) {
        shownOverFrame += app_->mainFrame() && app_->mainFrame()->isVisible();
        return QMessageBox::Ok;
    };
    ASSERT_FALSE(start({file("none.kovv5")}));
    EXPECT_EQ(std::tuple(app_->exitCode(), shownOverFrame), std::tuple(1, 1));
    EXPECT_FALSE(start({"--no-such-switch"}));
    EXPECT_EQ(app_->exitCode(), 2);

    // Measuring the start-up (and printing) has nobody to press a button: the message goes to
    // stderr and the program ends with status 1.
    testPrompts().message = {};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(start({"--startup-time", file("none.kovv5")}));
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(app_->exitCode(), 1);
    EXPECT_NE(told.find("kovview: "), std::string::npos);
    EXPECT_NE(told.find("none.kovv5"), std::string::npos) << told;
}

TEST_F(AppTest, OpenCommandTestsTheExtension) {
    ASSERT_TRUE(start({}));
    chosenFile_ = file("elevations.txt");
    test::writeFile(chosenFile_->toStdString(), "1 2 3\n");
    app_->mainFrame()->RouteCommand(kCmdOpenProject);
    EXPECT_TRUE(onlyMessage().startsWith(*chosenFile_));
    EXPECT_FALSE(app_->document()->HasProject());

    // The older extension is read by the same reader.
    const QString older = file("older.kovv");
    ASSERT_TRUE(QFile::copy(sampleProject(), older));
    chosenFile_ = older;
    app_->mainFrame()->RouteCommand(kCmdOpenProject);
    EXPECT_EQ(std::tuple(messages.size(), app_->document()->HasProject()), std::tuple(1u, true));

    // A recent file that no longer opens leaves the list.
    ASSERT_EQ(recentFileList().value(0), older);
    QFile::remove(older);
    app_->mainFrame()->RouteCommand(kCmdFirstRecentFile);
    EXPECT_FALSE(recentFileList().contains(older));
}

TEST_F(AppTest, DroppedFileOpensWithoutTheExtensionTest) {
    ASSERT_TRUE(start({}));
    const QString renamed = file("project.xml");
    ASSERT_TRUE(QFile::copy(sampleProject(), renamed));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(renamed)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app_->mainFrame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app_->mainFrame(), &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(app_->document()->PathName(), messages.size()), std::tuple(renamed, 0u));
}

TEST_F(AppTest, HelpPagesAndMessages) {
    ASSERT_TRUE(start({}));
    // Every command of the menu bar has its page.
    for (QAction* menu : app_->mainFrame()->menuBar()->actions()) {
        for (QAction* entry : menu->menu()->actions()) {
            bool ok = false;
            const int id = entry->objectName().toInt(&ok);
            if (!ok || id == kCmdFirstRecentFile) continue;
            const QString topic = helpTopicFor(kHelpIdCommand + id, kHelpContext).topic;
            EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/") + topic)) << topic.toStdString();
        }
    }

    // The help opens by its main window, wholly on the screen even when that window is near the
    // screen's corner.
    const QRect room = app_->mainFrame()->screen()->availableGeometry();
    app_->mainFrame()->move(room.right() - 200, room.bottom() - 150);
    app_->mainFrame()->RouteCommand(kCmdHelpContents);
    ASSERT_NE(app_->helpWindow(), nullptr);
    const QRect help = app_->helpWindow()->frameGeometry();
    EXPECT_TRUE(room.contains(help));
    EXPECT_GT(help.center().x(), room.center().x());
    EXPECT_GT(help.center().y(), room.center().y());
    EXPECT_TRUE(app_->helpWindow()->currentPage().endsWith(QStringLiteral("/Index.htm")));
    app_->WinHelp(kHelpIdCommand + kCmdEditColorMap, kHelpContext);
    EXPECT_TRUE(app_->helpWindow()->currentPage().endsWith(QStringLiteral("/M32777.htm")));
    EXPECT_EQ(app_->helpWindow()->windowTitle(),
              QStringLiteral("カラーマップの設定 - Kov View5 ヘルプ"));
    EXPECT_TRUE(app_->helpWindow()->browser()->toPlainText().contains(
        QStringLiteral("カラーマップの設定")));

    // The main window's own help shows nothing; a page that does not exist is named.
    app_->mainFrame()->RouteCommand(kCmdHelpForCurrent);
    EXPECT_TRUE(messages.empty());
    app_->WinHelp(kHelpIdResource + 581, kHelpContext);
    EXPECT_TRUE(onlyMessage().endsWith(QStringLiteral("/Help/D00581.htm")));

    // F1 in a dialog, pressed in one of its controls, opens the dialog's page in a help window
    // that the (modal) dialog does not block.
    ZarHColorMap map;
    CProjectDlg project(app_->mainFrame());
    CColorMapDlg colorMap(app_->mainFrame(), map, 0, 5.0, 0.0, 100.0);
    CDsmResoDlg dsm(app_->mainFrame());
    for (QDialog* dialog : std::initializer_list<QDialog*>{&project, &colorMap, &dsm}) {
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        QWidget* control = dialog->findChildren<QWidget*>().front();
        QTest::keyClick(control, Qt::Key_F1);
        ASSERT_NE(app_->helpWindow(), nullptr);
        const QString page = QStringLiteral("/D%1.htm")
                                 .arg(dialog->property("helpId").toUInt(), 5, 10, QLatin1Char('0'));
        EXPECT_TRUE(app_->helpWindow()->currentPage().endsWith(page)) << page.toStdString();
        EXPECT_EQ(app_->helpWindow()->parentWidget(), dialog) << "not blocked by the dialog";
        dialog->hide();
    }
    EXPECT_EQ(messages.size(), 1u) << "every dialog has its page";
    app_->WinHelp(kHelpIdCommand + kCmdEditColorMap, kHelpContext);

    // Closing the main window closes the help window.
    EXPECT_TRUE(app_->helpWindow()->isVisible());
    app_->mainFrame()->close();
    EXPECT_FALSE(app_->helpWindow()->isVisible());
}

}  // namespace
}  // namespace kov
