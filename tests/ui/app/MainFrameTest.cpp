#include "ui/app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWidgetAction>
#include <memory>

#include "core/base/CommandIds.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainProgress.h"

#include <gtest/gtest.h>

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

class MainFrameTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        reloadRecentFileList();
    }
    void TearDown() override {
        frame_.reset();
        document_.reset();
        CMainFrame::setProgressClock({});
        QLocale::setDefault(QLocale::c());
        test::SampleWindowTest::TearDown();
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
    void OpenSample() {
        ASSERT_TRUE(document_->OnOpenDocument(QString::fromStdString(dir->file("sample.kovv5"))));
    }

    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest, StatusBarPanesToolbarIconsAndScrollPadBar) {
    CMainFrame& frame = makeFrame();
    for (QAction* action : frame.toolBar()->actions()) {
        if (!action->isSeparator() && !qobject_cast<QWidgetAction*>(action)) {
            EXPECT_FALSE(action->icon().isNull()) << action->objectName().toStdString();
        }
    }
    frame.resize(1400, 700);
    frame.show();
    EXPECT_GT(frame.paneWidth(1), 0);
    EXPECT_EQ(frame.paneWidth(1), frame.paneWidth(2));
    EXPECT_EQ(frame.paneWidth(3), frame.paneWidth(4));
    EXPECT_LT(frame.paneWidth(3), frame.paneWidth(1));
    EXPECT_GT(frame.paneWidth(0), frame.paneWidth(1)) << "pane 0 takes the remaining width";

    // Control characters become spaces; nothing is written while the status bar is hidden.
    setStatusText(2, QStringLiteral("a\tb\r\nc"));
    EXPECT_EQ(frame.PaneText(2), QStringLiteral("a b  c"));
    frame.RouteCommand(kCmdToggleStatusBar);
    EXPECT_TRUE(frame.statusBar()->isHidden());
    setStatusText(2, QStringLiteral("hidden"));
    EXPECT_EQ(frame.PaneText(2), QStringLiteral("a b  c"));
    frame.RouteCommand(kCmdToggleStatusBar);

    // The scroll pad starts hidden and remembers its visibility.
    EXPECT_TRUE(frame.scrollPadBar()->isHidden());
    frame.RouteCommand(kCmdToggleScrollPad);
    EXPECT_FALSE(frame.scrollPadBar()->isHidden());
    frame.updateCommandStates();
    EXPECT_TRUE(frame.Action(kCmdToggleScrollPad)->isChecked());
    frame_.reset();
    makeFrame();
    EXPECT_FALSE(frame_->scrollPadBar()->isHidden());
}

TEST_F(MainFrameTest, ProjectCommandsNeedAProject) {
    CKovVApp app;
    makeFrame().show();
    const int projectCommands[] = {kCmdChangeProject,
                                   kCmdSaveProject,
                                   kCmdSaveProjectAs,
                                   kCmdPrint,
                                   kCmdShowWholeArea,
                                   kCmdZoomIn,
                                   kCmdZoomOut,
                                   kCmdPan,
                                   kCmdRedraw,
                                   kCmdMeasureDistanceArea,
                                   kCmdMeasureDistanceSlope,
                                   kCmdCrossSection,
                                   kCmdEditColorMap,
                                   kCmdToggleSheetInfo};
    for (int id : projectCommands)
        EXPECT_FALSE(enabled(id)) << id;
    for (int id :
         {kCmdNewProject, kCmdOpenProject, kCmdExit, kCmdHelpContents, kCmdAbout,
          kCmdMeasureProperties, kCmdToggleScrollPad, kCmdToggleToolBar, kCmdToggleStatusBar})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_FALSE(frame_->Action(kCmdFirstRecentFile)->isEnabled()) << "the empty recent-file list";

    OpenSample();
    for (int id : projectCommands)
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_EQ(frame_->Action(kCmdToggleSheetInfo)->isChecked(),
              document_->meshes()->showSheetInfo == 1);
    EXPECT_TRUE(
        frame_->Action(kCmdFirstRecentFile)->text().endsWith(QStringLiteral("sample.kovv5")));

    // Clearing the trace needs a trace.
    EXPECT_FALSE(enabled(kCmdClearTrace));
    document_->trace().push_back({1.0, 2.0, 3.0});
    EXPECT_TRUE(enabled(kCmdClearTrace));
    frame_->RouteCommand(kCmdClearTrace);
    EXPECT_TRUE(document_->trace().empty());

    // The sheet toggle flips the check and leaves the document unmodified.
    const bool sheets = frame_->Action(kCmdToggleSheetInfo)->isChecked();
    frame_->RouteCommand(kCmdToggleSheetInfo);
    EXPECT_EQ(frame_->Action(kCmdToggleSheetInfo)->isChecked(), !sheets);
    EXPECT_FALSE(document_->IsModified());
}

TEST_F(MainFrameTest, ImageDropDownAndProjectImageSettingsFollowEachOther) {
    EXPECT_EQ(CKovVDoc::imageEntryFor(0, 50), 0);
    EXPECT_EQ(CKovVDoc::imageEntryFor(1, 100), 0);
    EXPECT_EQ(CKovVDoc::imageEntryFor(1, 20), 8);
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
    OpenSample();
    HMeshProject& project = *document_->meshes();
    EXPECT_EQ(frame_->imageEntry(),
              CKovVDoc::imageEntryFor(project.imageVisible, project.imageTransparency));
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

TEST_F(MainFrameTest, PlacementIsUsedOnlyWhenItLiesOnTheScreen) {
    const QSize screen(1600, 1000);
    EXPECT_TRUE((FramePlacement{100, 80, 640, 480, 0}).fits(screen));
    EXPECT_TRUE((FramePlacement{1567, 967, 1600, 1000, 0}).fits(screen));
    for (const FramePlacement& p : {FramePlacement{1568, 80, 640, 480, 0},
                                    {100, 968, 640, 480, 0},
                                    {100, 80, 1601, 480, 0},
                                    {100, 80, 640, 1001, 0},
                                    {0, 80, 640, 480, 0},
                                    {-1, -1, -1, -1, 0}})
        EXPECT_FALSE(p.fits(screen)) << p.x << " " << p.y << " " << p.width << " " << p.height;
}

TEST_F(MainFrameTest, PlacementRoundTripAndMaximisedWindow) {
    settings::writeInt("MainFrame", "XPos", 40);
    settings::writeInt("MainFrame", "YPos", 30);
    settings::writeInt("MainFrame", "XSize", 500);
    settings::writeInt("MainFrame", "YSize", 400);
    makeFrame();
    EXPECT_EQ(frame_->pos(), QPoint(40, 30));
    EXPECT_EQ(frame_->size(), QSize(500, 400));
    frame_->show();
    frame_->setGeometry(60, 50, 520, 410);
    const QRect outer = frame_->frameGeometry();  // the frame is included
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
    EXPECT_EQ(settings::readInt("MainFrame", "XSize", -1), outer.width());
    makeFrame().showInitial();
    EXPECT_TRUE(frame_->isMaximized());
    frame_.reset();

    // A stored size larger than the screen is ignored.
    settings::writeInt("MainFrame", "Zoom", 0);
    settings::writeInt("MainFrame", "XSize", QGuiApplication::primaryScreen()->size().width() + 1);
    makeFrame();
    EXPECT_NE(frame_->pos(), QPoint(60, 50));
}

TEST_F(MainFrameTest, ProgressShowsElapsedAndEstimatedTime) {
    int64_t now = 1000;
    CMainFrame::setProgressClock([&now] { return now; });
    makeFrame().show();
    frame_->SetPaneText(0, QStringLiteral("before"));

    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    ProgressReport(-2, QStringLiteral("読み込み中"));
    ProgressReport(-7, 1);
    EXPECT_EQ(frame_->paneProgress(1), 0);
    now += 500;
    EXPECT_EQ(ProgressReport(10, 100), 0);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中")) << "below a second: no times";
    EXPECT_EQ(frame_->paneProgress(1), 10);
    now = 13000;
    ProgressReport(30, 100);
    EXPECT_EQ(frame_->PaneText(0), QStringLiteral("読み込み中  経過  0:00:12   推定所要  0:01:08"));

    QLocale::setDefault(QLocale::c());
    // Hours include whole days.
    now = 1000 + (26 * 3600 + 5) * int64_t{1000};
    ProgressReport(50, 100);
    EXPECT_EQ(frame_->PaneText(0),
              QStringLiteral("読み込み中  Elapsed 26:00:05  Total Estimated 78:00:15"));

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

    // Without a visible status bar nothing happens.
    frame_->statusBar()->hide();
    EXPECT_EQ(ProgressReport(-1, 100000), 0);
    ProgressReport(-2, QStringLiteral("unseen"));
    EXPECT_TRUE(frame_->PaneText(0).isEmpty());
}

TEST_F(MainFrameTest, StepMasksAndEscape) {
    CMainProgress progress;
    EXPECT_EQ(progress.StepMask(100000), 2047);
    EXPECT_EQ(progress.StepMask(63 * 15 + 62), 15);
    EXPECT_EQ(progress.StepMask(63 * 16), 31);
    EXPECT_EQ(ProgressReport(-1, 100000), 0) << "no main window";
    makeFrame().show();
    EXPECT_EQ(ProgressReport(-1, 500), 15);

    auto escape = [this] {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(frame_.get(), &key);
        }
    };
    // Esc pressed before begin does not cancel the first step.
    escape();
    ProgressReport(-2, QStringLiteral("work"));
    EXPECT_EQ(ProgressReport(1, 10), 0);
    escape();
    EXPECT_EQ(ProgressReport(2, 10), 1) << "pressed since the last test";
    EXPECT_EQ(ProgressReport(3, 10), 0);
    // The main frame's reporter never cancels a loader, and it shows the fraction.
    escape();
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
    auto doubleClick = [&] {
        QCoreApplication::postEvent(
            &target, new QMouseEvent(QEvent::MouseButtonDblClick, at, at, at, Qt::LeftButton,
                                     Qt::LeftButton, Qt::NoModifier));
    };
    doubleClick();
    QCoreApplication::postEvent(
        &target, new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5)));
    QCoreApplication::postEvent(&target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier));
    QCoreApplication::postEvent(
        &target, new QMouseEvent(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(&target, new QCloseEvent);
    frame_->PumpMessages();
    for (QEvent::Type dropped :
         {QEvent::MouseButtonDblClick, QEvent::ContextMenu, QEvent::KeyPress, QEvent::Close})
        EXPECT_EQ(target.seen[dropped], 0) << dropped;
    EXPECT_EQ(target.seen[QEvent::MouseButtonPress], 1) << "ordinary input still arrives";

    // Outside the pump the same input is delivered.
    doubleClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(target.seen[QEvent::MouseButtonDblClick], 1);
}

}  // namespace
}  // namespace kov
