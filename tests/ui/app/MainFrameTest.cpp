#include "ui/app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWidgetAction>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "sample/SampleData.h"
#include "support/SampleSuite.h"
#include "support/TestSupport.h"
#include "support/ui/TestApplication.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainProgress.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

std::vector<int> idsOf(const QList<QAction*>& actions) {
    std::vector<int> ids;
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            ids.push_back(0);
        } else if (auto* widget = qobject_cast<QWidgetAction*>(action)) {
            ids.push_back(widget->defaultWidget() ? widget->defaultWidget()->objectName().toInt()
                                                  : -1);
        } else {
            ids.push_back(action->objectName().toInt());
        }
    }
    return ids;
}

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

class MainFrameTest : public test::SampleSetSuite {
protected:
    static void SetUpTestSuite() {
        test::ensureApplication();
        SampleSetSuite::SetUpTestSuite();
    }

    void SetUp() override {
        settings::setLocation(settingsDir_.file("kov.ini"));
        reloadRecentFileList();
        testPrompts().message = [this](QWidget*, QMessageBox::Icon, const QString& text,
                                       QMessageBox::StandardButtons) {
            messages_ << text;
            return QMessageBox::Ok;
        };
    }
    void TearDown() override {
        frame_.reset();
        document_.reset();
        testPrompts() = {};
        CMainFrame::setProgressClock({});
        QLocale::setDefault(QLocale::c());
    }

    CMainFrame& makeFrame() {
        document_ = std::make_unique<CKovVDoc>();
        frame_ = std::make_unique<CMainFrame>(document_.get());
        EXPECT_TRUE(frame_->Create());
        return *frame_;
    }

    bool enabled(int id) {
        frame_->updateCommandStates();
        QAction* action = frame_->Action(id);
        EXPECT_NE(action, nullptr) << id;
        return action && action->isEnabled();
    }

    static std::string sampleProject() { return dir->file("sample.kovv5"); }

    test::TempDir settingsDir_;
    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    QStringList messages_;
};

// ---- menus and toolbar --------------------------------------------------------------------------

TEST_F(MainFrameTest, MenuBarHoldsEveryEntryInOrderWithoutFloodEstimation) {
    CMainFrame& frame = makeFrame();
    const QList<QAction*> menus = frame.menuBar()->actions();
    ASSERT_EQ(menus.size(), 5);
    const char* titles[] = {"ファイル(&F)", "設定(&S)", "表示(&V)", "図上計測(&R)", "ヘルプ(&H)"};
    const std::vector<int> entries[] = {
        {kCmdNewProject, kCmdOpenProject, 0, kCmdChangeProject, 0, kCmdPrint,
         kCmdCopyViewToClipboard, 0, kCmdSaveProject, kCmdSaveProjectAs, 0, kCmdFirstRecentFile, 0,
         kCmdExit},
        {kCmdEditColorMap},
        {kCmdShowWholeArea, kCmdZoomIn, kCmdZoomOut, kCmdPan, 0, kCmdRedraw, 0,
         kCmdToggleQuickCoordinates, kCmdToggleScrollPad, kCmdToggleScaleBar, kCmdToggleSheetInfo,
         0, kCmdToggleToolBar, kCmdToggleStatusBar},
        {kCmdMeasureDistanceArea, kCmdMeasureDistanceSlope, 0, kCmdClearTrace,
         kCmdMeasureProperties, 0, kCmdCrossSection},
        {kCmdHelpContents, 0, kCmdAbout}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(menus[i]->text(), QString::fromUtf8(titles[i]));
        QList<QAction*> shown;
        for (QAction* a : menus[i]->menu()->actions())
            if (a->isVisible()) shown << a;
        EXPECT_EQ(idsOf(shown), entries[i]) << titles[i];
    }
    EXPECT_EQ(frame.Action(kCmdOpenProject)->text(), QStringLiteral("プロジェクトを開く(&O)..."));
    EXPECT_EQ(frame.Action(kCmdChangeProject)->statusTip(), QStringLiteral("プロジェクトの設定"));
    EXPECT_EQ(frame.Action(kCmdSaveProject)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kov View5"));
    for (int flood : {kCmdFloodByGroundHeight, kCmdFloodByDepth, kCmdClearFlood})
        EXPECT_EQ(frame.Action(flood), nullptr) << flood;

    // The empty recent-file list is one disabled entry.
    QAction* recent = frame.Action(kCmdFirstRecentFile);
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(recent->text(), QStringLiteral("最近使ったファイル"));
    EXPECT_FALSE(recent->isEnabled());
}

TEST_F(MainFrameTest, ToolbarButtonsAndImageDropDown) {
    CMainFrame& frame = makeFrame();
    // clang-format off
    const std::vector<int> expected = {
        kCmdNewProject, kCmdOpenProject, kCmdSaveProject, kCmdSaveProjectAs, 0,
        kCmdPrint, kCmdChangeProject, kCmdEditColorMap, 2201, 0,
        kCmdToggleSheetInfo, kCmdShowWholeArea, kCmdZoomIn, kCmdZoomOut, kCmdPan, kCmdRedraw, 0,
        kCmdToggleQuickCoordinates, kCmdToggleScrollPad, kCmdToggleScaleBar, kCmdToggleToolBar,
        kCmdToggleStatusBar, 0,
        kCmdScrollWest, kCmdScrollEast, kCmdScrollNorth, kCmdScrollSouth, 0,
        kCmdCopyViewToClipboard, 0,
        kCmdMeasureDistanceArea, kCmdMeasureDistanceSlope, kCmdCrossSection, kCmdClearTrace, 0,
        kCmdHelpContents};
    // clang-format on
    EXPECT_EQ(idsOf(frame.toolBar()->actions()), expected);
    for (int id : expected) {
        if (id == 0 || id == 2201) continue;
        EXPECT_FALSE(frame.Action(id)->icon().isNull()) << id;
    }

    auto* combo = frame.findChild<QComboBox*>(QStringLiteral("2201"));
    ASSERT_EQ(combo, frame.imageCombo());
    ASSERT_EQ(combo->count(), 11);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("画像非表示"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("画像表示（透明 90 %）"));
    EXPECT_EQ(combo->itemText(9), QStringLiteral("画像表示（透明 10 %）"));
    EXPECT_EQ(combo->itemText(10), QStringLiteral("画像表示(不透明）"));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->width(), 150);
}

TEST_F(MainFrameTest, StatusBarPanesAndScrollPadBar) {
    CMainFrame& frame = makeFrame();
    frame.resize(1400, 700);
    frame.show();
    EXPECT_GT(frame.paneWidth(1), 0);
    EXPECT_EQ(frame.paneWidth(1), frame.paneWidth(2));
    EXPECT_EQ(frame.paneWidth(3), frame.paneWidth(4));
    EXPECT_LT(frame.paneWidth(3), frame.paneWidth(1));
    EXPECT_GT(frame.paneWidth(0), frame.paneWidth(1)) << "pane 0 takes the remaining width";
    for (int pane = 0; pane < CMainFrame::kPaneCount; ++pane)
        EXPECT_TRUE(frame.PaneText(pane).isEmpty());

    // Control characters become spaces.
    setStatusText(2, QStringLiteral("a\tb\r\nc"));
    EXPECT_EQ(frame.PaneText(2), QStringLiteral("a b  c"));
    // Nothing is written while the status bar is hidden.
    frame.RouteCommand(kCmdToggleStatusBar);
    EXPECT_TRUE(frame.statusBar()->isHidden());
    setStatusText(2, QStringLiteral("hidden"));
    EXPECT_EQ(frame.PaneText(2), QStringLiteral("a b  c"));
    frame.RouteCommand(kCmdToggleStatusBar);

    // The scroll pad starts hidden and remembers its visibility.
    QDockWidget* pad = frame.scrollPadBar();
    EXPECT_EQ(pad->windowTitle(), QStringLiteral("ｽｸﾛｰﾙﾊﾟｯﾄﾞ"));
    EXPECT_TRUE(pad->isHidden());
    frame.updateCommandStates();
    EXPECT_FALSE(frame.Action(kCmdToggleScrollPad)->isChecked());
    frame.RouteCommand(kCmdToggleScrollPad);
    EXPECT_FALSE(pad->isHidden());
    EXPECT_TRUE(frame.Action(kCmdToggleScrollPad)->isChecked());
    EXPECT_EQ(settings::readInt("MainFrame", "ScrollPad", 0), 1);
    frame_.reset();
    makeFrame();
    EXPECT_FALSE(frame_->scrollPadBar()->isHidden());
}

// ---- enabling rules -----------------------------------------------------------------------------

TEST_F(MainFrameTest, WithoutAProjectMostCommandsAreDisabled) {
    CKovVApp app;
    makeFrame();
    for (int id : {kCmdChangeProject, kCmdSaveProject, kCmdSaveProjectAs, kCmdPrint,
                   kCmdShowWholeArea, kCmdZoomIn, kCmdZoomOut, kCmdPan, kCmdRedraw,
                   kCmdMeasureDistanceArea, kCmdMeasureDistanceSlope, kCmdCrossSection,
                   kCmdClearTrace, kCmdEditColorMap, kCmdToggleSheetInfo})
        EXPECT_FALSE(enabled(id)) << id;
    for (int id :
         {kCmdNewProject, kCmdOpenProject, kCmdExit, kCmdHelpContents, kCmdAbout,
          kCmdMeasureProperties, kCmdToggleScrollPad, kCmdToggleToolBar, kCmdToggleStatusBar})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(frame_->Action(kCmdToggleToolBar)->isChecked());
    EXPECT_FALSE(frame_->Action(kCmdToggleSheetInfo)->isChecked());
}

TEST_F(MainFrameTest, WithTheSampleProjectTheProjectCommandsAreEnabled) {
    makeFrame().show();
    ASSERT_TRUE(document_->OnOpenDocument(QString::fromStdString(sampleProject())));
    for (int id :
         {kCmdChangeProject, kCmdSaveProject, kCmdSaveProjectAs, kCmdPrint, kCmdShowWholeArea,
          kCmdZoomIn, kCmdZoomOut, kCmdPan, kCmdRedraw, kCmdMeasureDistanceArea,
          kCmdMeasureDistanceSlope, kCmdCrossSection, kCmdEditColorMap, kCmdToggleSheetInfo})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_EQ(frame_->Action(kCmdToggleSheetInfo)->isChecked(),
              document_->meshes()->showSheetInfo == 1);

    // Clearing the trace needs a trace.
    EXPECT_FALSE(enabled(kCmdClearTrace));
    document_->trace().push_back({1.0, 2.0, 3.0});
    EXPECT_TRUE(enabled(kCmdClearTrace));
    frame_->RouteCommand(kCmdClearTrace);
    EXPECT_TRUE(document_->trace().empty());
    EXPECT_FALSE(enabled(kCmdClearTrace));

    // The sheet toggle flips the check and leaves the document unmodified.
    const bool sheets = frame_->Action(kCmdToggleSheetInfo)->isChecked();
    frame_->RouteCommand(kCmdToggleSheetInfo);
    EXPECT_EQ(frame_->Action(kCmdToggleSheetInfo)->isChecked(), !sheets);
    EXPECT_FALSE(document_->IsModified());

    // The recent-file list now offers the project.
    QAction* recent = frame_->Action(kCmdFirstRecentFile);
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->text().endsWith(QStringLiteral("sample.kovv5")))
        << recent->text().toStdString();
}

// ---- image display ------------------------------------------------------------------------------

TEST_F(MainFrameTest, ImageDropDownAndProjectImageSettingsFollowEachOther) {
    const struct {
        int visible, transparency, entry;
    } toEntry[] = {{0, 50, 0}, {1, 100, 0}, {1, 90, 1}, {1, 50, 5}, {1, 0, 10}, {1, 20, 8}};
    for (const auto& c : toEntry)
        EXPECT_EQ(CKovVDoc::imageEntryFor(c.visible, c.transparency), c.entry)
            << c.visible << " " << c.transparency;
    for (int entry = 0; entry <= 10; ++entry) {
        int32_t visible = -1, transparency = -1;
        CKovVDoc::imageSettingsFor(entry, visible, transparency);
        EXPECT_EQ(visible, entry > 0 ? 1 : 0);
        EXPECT_EQ(transparency, (10 - entry) * 10);
        if (entry > 0) {
            EXPECT_EQ(CKovVDoc::imageEntryFor(visible, transparency), entry);
        }
    }

    makeFrame().show();
    ASSERT_TRUE(document_->OnOpenDocument(QString::fromStdString(sampleProject())));
    HMeshProject& project = *document_->meshes();
    EXPECT_EQ(frame_->imageEntry(),
              CKovVDoc::imageEntryFor(project.imageVisible, project.imageTransparency));
    frame_->selectImageEntry(5);
    frame_->OnImageEntryChosen(5);
    EXPECT_EQ(project.imageVisible, 1);
    EXPECT_EQ(project.imageTransparency, 50);
    frame_->OnImageEntryChosen(0);
    EXPECT_EQ(project.imageVisible, 0);
    EXPECT_FALSE(document_->IsModified());

    document_->SetImageDisplay(1, 30);
    EXPECT_EQ(frame_->imageEntry(), 7);
    document_->SetImageDisplay(0, 30);
    document_->showImages();
    EXPECT_EQ(project.imageVisible, 1);
    EXPECT_EQ(frame_->imageEntry(), 7);
}

// ---- placement ----------------------------------------------------------------------------------

TEST_F(MainFrameTest, PlacementIsUsedOnlyWhenItLiesOnTheScreen) {
    const QSize screen(1600, 1000);
    EXPECT_TRUE((FramePlacement{100, 80, 640, 480, 0}).fits(screen));
    EXPECT_TRUE((FramePlacement{1567, 967, 1600, 1000, 0}).fits(screen));
    EXPECT_FALSE((FramePlacement{1568, 80, 640, 480, 0}).fits(screen)) << "too far right";
    EXPECT_FALSE((FramePlacement{100, 968, 640, 480, 0}).fits(screen)) << "too far down";
    EXPECT_FALSE((FramePlacement{100, 80, 1601, 480, 0}).fits(screen)) << "wider than the screen";
    EXPECT_FALSE((FramePlacement{100, 80, 640, 1001, 0}).fits(screen));
    EXPECT_FALSE((FramePlacement{0, 80, 640, 480, 0}).fits(screen)) << "not positive";
    EXPECT_FALSE((FramePlacement{-1, -1, -1, -1, 0}).fits(screen)) << "nothing stored";
}

TEST_F(MainFrameTest, PlacementRoundTripAndMaximisedWindow) {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    settings::writeInt("MainFrame", "XPos", 40);
    settings::writeInt("MainFrame", "YPos", 30);
    settings::writeInt("MainFrame", "XSize", 500);
    settings::writeInt("MainFrame", "YSize", 400);
    makeFrame();
    EXPECT_EQ(frame_->pos(), QPoint(40, 30));
    EXPECT_EQ(frame_->size(), QSize(500, 400));
    frame_->show();
    frame_->setGeometry(60, 50, 520, 410);
    // The outer rectangle, frame included, is stored.
    const QRect outer = frame_->frameGeometry();
    frame_.reset();
    EXPECT_EQ(settings::readInt("MainFrame", "XPos", -1), outer.x());
    EXPECT_EQ(settings::readInt("MainFrame", "YPos", -1), outer.y());
    EXPECT_EQ(settings::readInt("MainFrame", "XSize", -1), outer.width());
    EXPECT_EQ(settings::readInt("MainFrame", "YSize", -1), outer.height());
    EXPECT_EQ(settings::readInt("MainFrame", "Zoom", -1), 0);

    // Maximised: only "Zoom" is written, the normal placement stays for the next run.
    makeFrame().showInitial();
    frame_->showMaximized();
    frame_.reset();
    EXPECT_EQ(settings::readInt("MainFrame", "Zoom", -1), 1);
    EXPECT_EQ(settings::readInt("MainFrame", "XPos", -1), outer.x());
    EXPECT_EQ(settings::readInt("MainFrame", "XSize", -1), outer.width());
    makeFrame().showInitial();
    EXPECT_TRUE(frame_->isMaximized());
    frame_.reset();

    // A stored size larger than the screen is ignored.
    settings::writeInt("MainFrame", "Zoom", 0);
    settings::writeInt("MainFrame", "XSize", screen.width() + 1);
    makeFrame();
    EXPECT_NE(frame_->width(), screen.width() + 1);
    EXPECT_NE(frame_->pos(), QPoint(60, 50));
}

// ---- progress -----------------------------------------------------------------------------------

TEST_F(MainFrameTest, ProgressShowsElapsedAndEstimatedTime) {
    int64_t now = 1000;
    CMainFrame::setProgressClock([&now] { return now; });
    makeFrame().show();
    frame_->SetPaneText(0, QStringLiteral("before"));

    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    ProgressReport(-2, QStringLiteral("読み込み中"));
    ProgressReport(-7, 1);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中"));
    EXPECT_EQ(frame_->paneProgress(1), 0);
    now += 500;
    EXPECT_EQ(ProgressReport(10, 100), 0);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中")) << "below a second: no times";
    EXPECT_EQ(frame_->paneProgress(1), 10);
    now = 13000;
    ProgressReport(30, 100);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中  経過  0:00:12   推定所要  0:01:08"));
    EXPECT_EQ(frame_->paneProgress(1), 30);

    QLocale::setDefault(QLocale::c());
    ProgressReport(30, 100);
    EXPECT_EQ(frame_->PaneText(0),
              QStringLiteral("読み込み中  Elapsed  0:00:12  Total Estimated  0:01:08"));
    // Hours include whole days.
    now = 1000 + (26 * 3600 + 5) * int64_t{1000};
    ProgressReport(50, 100);
    EXPECT_TRUE(frame_->PaneText(0).contains(QStringLiteral("Elapsed 26:00:05")))
        << frame_->PaneText(0).toStdString();

    ProgressReport(-3);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("before"));
    EXPECT_EQ(frame_->paneProgress(1), -1);
}

TEST_F(MainFrameTest, ProgressStagesPanesAndPersistentMode) {
    makeFrame().show();
    ProgressReport(-2, QStringLiteral("one"));
    ProgressReport(80, 100);
    // The next stage adds the last total shown to base and offset.
    ProgressReport(-5, 0);
    ProgressReport(50, 100);
    EXPECT_EQ(frame_->paneProgress(1), 75);
    ProgressReport(500, 100);
    EXPECT_EQ(frame_->paneProgress(1), 100) << "the position is capped at the total";
    // The indicator moves to another pane.
    ProgressReport(-6, 7);
    EXPECT_EQ(frame_->paneProgress(3), 100);
    EXPECT_EQ(frame_->paneProgress(1), -1);
    ProgressReport(-4, QStringLiteral("two"));
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("two"));
    frame_->SetPaneText(0, QStringLiteral("other"));
    ProgressReport(-8);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("two"));
    ProgressReport(-3);
    EXPECT_EQ(frame_->paneProgress(3), -1);
    EXPECT_TRUE(frame_->PaneText(0).isEmpty());

    // Persistent mode keeps one indicator across inner begin/end pairs.
    ProgressReport(-9, QStringLiteral("all"));
    ProgressReport(-2, QStringLiteral("file 1"));
    ProgressReport(40, 100);
    ProgressReport(-3);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("all"));
    EXPECT_EQ(frame_->paneProgress(1), 40) << "the indicator keeps running";
    ProgressReport(-10);
    EXPECT_EQ(frame_->paneProgress(1), -1);
    EXPECT_TRUE(frame_->PaneText(0).isEmpty());

    // Without a visible status bar nothing happens.
    frame_->statusBar()->hide();
    EXPECT_EQ(ProgressReport(-1, 100000), 0);
    ProgressReport(-2, QStringLiteral("unseen"));
    EXPECT_TRUE(frame_->PaneText(0).isEmpty());
}

TEST_F(MainFrameTest, StepMasksAndEscape) {
    CMainProgress progress;
    EXPECT_EQ(progress.StepMask(100000), 2047);
    EXPECT_EQ(progress.StepMask(500), 15);
    EXPECT_EQ(progress.StepMask(63 * 15 + 62), 15);
    EXPECT_EQ(progress.StepMask(63 * 16), 31);
    EXPECT_EQ(ProgressReport(-1, 100000), 0) << "no main window";

    makeFrame().show();
    EXPECT_EQ(ProgressReport(-1, 100000), 2047);
    EXPECT_EQ(ProgressReport(-1, 500), 15);

    auto escape = [this](QEvent::Type type) {
        QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(frame_.get(), &key);
    };
    // Esc pressed before begin does not cancel the first step.
    escape(QEvent::KeyPress);
    escape(QEvent::KeyRelease);
    ProgressReport(-2, QStringLiteral("work"));
    EXPECT_EQ(ProgressReport(1, 10), 0);
    escape(QEvent::KeyPress);
    escape(QEvent::KeyRelease);
    EXPECT_EQ(ProgressReport(2, 10), 1) << "pressed since the last test";
    EXPECT_EQ(ProgressReport(3, 10), 0);
    // The main frame's reporter never cancels a loader, and it shows the fraction.
    escape(QEvent::KeyPress);
    escape(QEvent::KeyRelease);
    EXPECT_EQ(progress.SetPos(4, 10), 0);
    progress.SetFraction(0.625);
    EXPECT_EQ(frame_->paneProgress(1), 63);
    // An endless indicator for a total of 0.
    EXPECT_EQ(ProgressReport(5, 0), 0);
    EXPECT_EQ(frame_->paneProgress(1), -1);
    ProgressReport(-3);
}

TEST_F(MainFrameTest, PumpingDropsInputThatCouldStartOtherWork) {
    makeFrame().show();
    EventCounter target;
    target.resize(50, 50);
    target.show();
    const QPointF at(5, 5);
    QCoreApplication::postEvent(
        &target, new QMouseEvent(QEvent::MouseButtonDblClick, at, at, at, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        &target, new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5)));
    QCoreApplication::postEvent(&target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier));
    QCoreApplication::postEvent(
        &target, new QMouseEvent(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(&target, new QCloseEvent);
    frame_->PumpMessages();
    EXPECT_EQ(target.seen[QEvent::MouseButtonDblClick], 0);
    EXPECT_EQ(target.seen[QEvent::ContextMenu], 0);
    EXPECT_EQ(target.seen[QEvent::KeyPress], 0);
    EXPECT_EQ(target.seen[QEvent::Close], 0);
    EXPECT_EQ(target.seen[QEvent::MouseButtonPress], 1) << "ordinary input still arrives";
    EXPECT_TRUE(target.isVisible());

    // Outside the pump the same input is delivered.
    QCoreApplication::postEvent(
        &target, new QMouseEvent(QEvent::MouseButtonDblClick, at, at, at, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::processEvents();
    EXPECT_EQ(target.seen[QEvent::MouseButtonDblClick], 1);
}

}  // namespace
}  // namespace kov
