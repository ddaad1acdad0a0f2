#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTextBrowser>
#include <QWidgetAction>

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <filesystem>
#include <memory>
#include <new>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/data/HxFile.h"
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
#include "ui/dialogs/CHelpWindow.h"
#include "ui/view/CKovVView.h"

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
    // One command of each owner (document, view, frame) per rule.
    const int projectCommands[] = {kCmdSaveProject, kCmdPrint, kCmdZoomIn, kCmdMeasureDistanceArea,
                                   kCmdToggleSheetInfo};
    for (int id : projectCommands)
        EXPECT_FALSE(enabled(id)) << id;
    for (int id : {kCmdNewProject, kCmdMeasureProperties, kCmdToggleScrollPad})
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
    EXPECT_EQ(std::tuple(CKovVDoc::imageEntryFor(0, 50), CKovVDoc::imageEntryFor(1, 100),
                         CKovVDoc::imageEntryFor(1, 20)),
              std::tuple(0, 0, 8));
    for (int entry = 0; entry <= 10; ++entry) {
        int32_t visible = -1, transparency = -1;
        CKovVDoc::imageSettingsFor(entry, visible, transparency);
        EXPECT_EQ(std::pair(visible, transparency),
                  std::pair(entry > 0 ? 1 : 0, (10 - entry) * 10));
        if (entry > 0) EXPECT_EQ(CKovVDoc::imageEntryFor(visible, transparency), entry);
    }

    makeFrame().show();
    OpenSample();
    HMeshProject& project = *document_->meshes();
    EXPECT_EQ(frame_->imageEntry(),
              CKovVDoc::imageEntryFor(project.imageVisible, project.imageTransparency));
    frame_->OnImageEntryChosen(5);
    EXPECT_EQ(std::pair(project.imageVisible, project.imageTransparency), std::pair(1, 50));
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
    for (const auto& [p, fits] : {std::pair{FramePlacement{100, 80, 640, 480, 0}, true},
                                  {{1567, 967, 1600, 1000, 0}, true},
                                  {{1568, 80, 640, 480, 0}, false},
                                  {{100, 968, 640, 480, 0}, false},
                                  {{100, 80, 1601, 480, 0}, false},
                                  {{100, 80, 640, 1001, 0}, false},
                                  {{0, 80, 640, 480, 0}, false},
                                  {{-1, -1, -1, -1, 0}, false}})
        EXPECT_EQ(p.fits(QSize(1600, 1000)), fits) << p.x << " " << p.y << " " << p.width;
}

TEST_F(MainFrameTest, PlacementRoundTripAndMaximisedWindow) {
    auto stored = [] {
        return std::vector<int>{settings::readInt("MainFrame", "XPos", -1),
                                settings::readInt("MainFrame", "YPos", -1),
                                settings::readInt("MainFrame", "XSize", -1),
                                settings::readInt("MainFrame", "YSize", -1),
                                settings::readInt("MainFrame", "Zoom", -1)};
    };
    for (const auto& [key, value] :
         {std::pair{"XPos", 40}, {"YPos", 30}, {"XSize", 500}, {"YSize", 400}})
        settings::writeInt("MainFrame", key, value);
    makeFrame();
    EXPECT_EQ(frame_->pos(), QPoint(40, 30));
    EXPECT_EQ(frame_->size(), QSize(500, 400));
    frame_->show();
    frame_->setGeometry(60, 50, 520, 410);
    const QRect outer = frame_->frameGeometry();  // the frame is included
    frame_.reset();
    const std::vector<int> normal{outer.x(), outer.y(), outer.width(), outer.height(), 0};
    EXPECT_EQ(stored(), normal);

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
    EXPECT_EQ(std::tuple(progress.StepMask(100000), progress.StepMask(63 * 15 + 62),
                         progress.StepMask(63 * 16)),
              std::tuple(2047, 15, 31));
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

TEST_F(MainFrameTest, OutOfMemoryEndsTheCommandWithAMessageAndEscStopsAFetch) {
    makeFrame().show();
    OpenSample();
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea, [this](CKovVDoc&, int) {
        frame_->enableInput(false);
        ProgressReport(-2, QStringLiteral("work"));
        throw std::bad_alloc();
    });
    frame_->RouteCommand(kCmdMeasureDistanceArea);
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea, {});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("メモリが不足しています")));
    EXPECT_TRUE(frame_->View()->isEnabled());
    EXPECT_EQ(frame_->paneProgress(1), -1) << "the progress display ended";

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

TEST_F(MainFrameTest, PumpingDropsInputThatCouldStartOtherWork) {
    makeFrame().show();
    EventCounter target;
    target.resize(50, 50);
    target.show();
    auto click = [&target](QEvent::Type type) {
        const QPointF at(5, 5);
        QCoreApplication::postEvent(&target, new QMouseEvent(type, at, at, at, Qt::LeftButton,
                                                             Qt::LeftButton, Qt::NoModifier));
    };
    click(QEvent::MouseButtonDblClick);
    QCoreApplication::postEvent(
        &target, new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5)));
    QCoreApplication::postEvent(&target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier));
    click(QEvent::MouseButtonPress);
    QCoreApplication::postEvent(&target, new QCloseEvent);
    frame_->PumpMessages();
    for (QEvent::Type dropped :
         {QEvent::MouseButtonDblClick, QEvent::ContextMenu, QEvent::KeyPress, QEvent::Close})
        EXPECT_EQ(target.seen[dropped], 0) << dropped;
    EXPECT_EQ(target.seen[QEvent::MouseButtonPress], 1) << "ordinary input still arrives";

    // Outside the pump the same input is delivered.
    click(QEvent::MouseButtonDblClick);
    QCoreApplication::processEvents();
    EXPECT_EQ(target.seen[QEvent::MouseButtonDblClick], 1);
}

class KovVDocTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        reloadRecentFileList();
        setFileDialogHook([this](const FileDialogRequest& request) {
            fileRequests_.push_back(request);
            return chosenFile_;
        });
    }
    void TearDown() override {
        setFileDialogHook({});
        CKovVDoc::setProjectDialog({});
        CKovVDoc::setColorMapDialog({});
        test::SampleWindowTest::TearDown();
    }

    static QString sampleProject() { return QString::fromStdString(dir->file("sample.kovv5")); }
    QString File(const std::string& name) const { return QString::fromStdString(dir_.file(name)); }
    static bool enabled(CKovVDoc& doc, int id) {
        CommandState state;
        EXPECT_TRUE(doc.OnUpdateCommand(id, state)) << id;
        return state.enabled;
    }

    test::TempDir dir_;
    std::vector<FileDialogRequest> fileRequests_;
    std::optional<QString> chosenFile_;
};

TEST_F(KovVDocTest, OpeningInstallsTheProjectAndAFailureKeepsIt) {
    CKovVDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(doc.HasProject());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), sampleProject());
    EXPECT_EQ(doc.Title(), QString::fromUtf8(sample::kSampleProjectTitle));
    EXPECT_EQ(doc.coordinates().zone, doc.meshes()->planeZone);
    EXPECT_EQ(settings::readString("Recent File List", "File1", ""), sampleProject().toStdString());

    // Garbage and a file that does not open: a message naming the file, the project stays.
    const HMeshProject* before = doc.meshes();
    test::writeFile(dir_.file("broken.kovv5"), "not a project");
    for (const QString& path : {File("broken.kovv5"), File("missing.kovv5")}) {
        messages.clear();
        EXPECT_FALSE(doc.OnOpenDocument(path));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].text.startsWith(path)) << messages[0].text.toStdString();
        EXPECT_EQ(doc.meshes(), before);
        EXPECT_EQ(doc.PathName(), sampleProject());
    }
    EXPECT_EQ(recentFileList().size(), 1);
}

TEST_F(KovVDocTest, AFifoOrOversizedFileIsRefusedWithoutBlocking) {
    CKovVDoc doc;
    ASSERT_EQ(::mkfifo(dir_.file("fifo.kovv5").c_str(), 0600), 0);
    EXPECT_TRUE(test::endsWithoutBlocking(
        dir_.file("fifo.kovv5"), [&] { EXPECT_FALSE(doc.OnOpenDocument(File("fifo.kovv5"))); }));
    test::writeFile(dir_.file("big.kovv5"), test::readFile(dir->file("sample.kovv5")));
    std::filesystem::resize_file(dir_.file("big.kovv5"), KovXmlParser::kMaxFileBytes + 1);
    EXPECT_FALSE(doc.OnOpenDocument(File("big.kovv5")));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].text.startsWith(File("fifo.kovv5")));
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("64 MiB")))
        << messages[1].text.toStdString();
    EXPECT_FALSE(doc.HasProject());
}

TEST_F(KovVDocTest, SavePromptAnswers) {
    CKovVDoc doc;
    const QString copy = File("copy.kovv5");
    ASSERT_TRUE(QFile::copy(sampleProject(), copy));
    ASSERT_TRUE(doc.OnOpenDocument(copy));
    EXPECT_TRUE(doc.SaveModified()) << "unmodified: no question";
    EXPECT_TRUE(messages.empty());
    doc.SetModifiedFlag(true);

    answer = QMessageBox::Cancel;
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(copy));
    EXPECT_EQ(messages[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    answer = QMessageBox::No;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(doc.IsModified());

    // Yes saves to the document's file without asking for one.
    doc.meshes()->stepHeight = 7.5;
    answer = QMessageBox::Yes;
    messages.clear();
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].icon, QMessageBox::Information);
    HMeshProject reread;
    ASSERT_TRUE(LoadProjectFile(reread, copy.toStdString()));
    EXPECT_EQ(reread.stepHeight, 7.5);
    EXPECT_TRUE(fileRequests_.empty());
}

TEST_F(KovVDocTest, NewProjectWithoutAFileAsksForOneAndFailedSavesAbort) {
    CKovVDoc doc;
    CKovVDoc::setProjectDialog([](HMeshProject& project, bool) {
        LoadReport report;
        return loadLayerPaths({dir->file("Data")}, project, report) > 0;
    });
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_TRUE(doc.HasProject());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.PathName().isEmpty());
    EXPECT_FALSE(enabled(doc, kCmdSaveProject)) << "never saved: Save is disabled";
    EXPECT_TRUE(enabled(doc, kCmdSaveProjectAs));

    answer = QMessageBox::Yes;
    chosenFile_ = std::nullopt;  // the save dialog is cancelled
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_TRUE(fileRequests_[0].save);

    // A file that cannot be written: a warning, abort, still modified.
    messages.clear();
    chosenFile_ = File("no/such/folder/p.kovv5");
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.startsWith(*chosenFile_));
    EXPECT_EQ(messages[1].icon, QMessageBox::Warning);
    EXPECT_TRUE(doc.IsModified());

    chosenFile_ = File("new.kovv5");
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), *chosenFile_);
    EXPECT_TRUE(QFileInfo::exists(*chosenFile_));
    EXPECT_EQ(recentFileList().value(0), *chosenFile_);
    EXPECT_TRUE(enabled(doc, kCmdSaveProject)) << "saved once, Save works";
}

TEST_F(KovVDocTest, NewAndChangeWithoutOrCancelledDialogKeepTheProject) {
    CKovVDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    const HMeshProject* before = doc.meshes();
    // No dialog installed: a message for both.
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(doc.meshes(), before);

    bool askedForNew = false, ok = false;
    CKovVDoc::setProjectDialog([&](HMeshProject& project, bool newProject) {
        askedForNew = newProject;
        project.projectTitle.clear();
        return ok;
    });
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(askedForNew);
    EXPECT_EQ(doc.meshes(), before) << "cancelled: the previous project stays";
    EXPECT_FALSE(doc.IsModified());

    // Change works on the installed project; OK marks it modified, an empty title keeps the
    // document title.
    const QString title = doc.Title();
    ok = true;
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_FALSE(askedForNew);
    EXPECT_EQ(doc.meshes(), before);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.Title(), title);
}

TEST_F(KovVDocTest, TitlesAreCutToTheirFirst128Bytes) {
    CKovVDoc doc;
    doc.SetTitle(QString(200, QLatin1Char('a')));
    EXPECT_EQ(doc.Title(), QString(128, QLatin1Char('a')));
    // Japanese characters take two bytes each in the project's code page, and stay whole.
    doc.SetTitle(QStringLiteral("a") + QString(100, QChar(0x6A19)));
    EXPECT_EQ(doc.Title(), QStringLiteral("a") + QString(63, QChar(0x6A19)));
}

TEST_F(KovVDocTest, ToolCommandsRunTheirHandlerOrSayTheyAreMissing) {
    CKovVDoc doc;
    EXPECT_FALSE(enabled(doc, kCmdMeasureDistanceArea));
    EXPECT_TRUE(enabled(doc, kCmdMeasureProperties))
        << "measurement properties are always available";
    CommandState state;
    EXPECT_FALSE(doc.OnUpdateCommand(kCmdNewProject, state)) << "new belongs to the application";

    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    EXPECT_EQ(messages.size(), 1u);
    int called = 0;
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea,
                                [&called](CKovVDoc&, int id) { called = id; });
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    EXPECT_EQ(called, kCmdMeasureDistanceArea);
    EXPECT_EQ(messages.size(), 1u);
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

TEST_F(KovVDocTest, RecentFileListKeepsTenNewestFirst) {
    for (int i = 0; i < 12; ++i)
        AddToRecentFileList(QStringLiteral("/p/%1.kovv5").arg(i));
    QStringList files = recentFileList();
    ASSERT_EQ(files.size(), 10);
    EXPECT_EQ(files.first(), QStringLiteral("/p/11.kovv5"));
    EXPECT_EQ(files.last(), QStringLiteral("/p/2.kovv5"));
    AddToRecentFileList(QStringLiteral("/p/5.kovv5"));
    removeFromRecentFileList(QStringLiteral("/p/9.kovv5"));
    reloadRecentFileList();
    files = recentFileList();
    EXPECT_EQ(files.size(), 9);
    EXPECT_EQ(files.first(), QStringLiteral("/p/5.kovv5"));
    EXPECT_EQ(files.count(QStringLiteral("/p/5.kovv5")), 1);
    EXPECT_FALSE(files.contains(QStringLiteral("/p/9.kovv5")));
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

TEST(ShellHelp, TopicNamesFromHelpIdentifiers) {
    for (const auto& [id, command, topic] :
         {std::tuple{kHelpIdResource + 581, kHelpContext, "D00581.htm"},
          {kHelpIdCommand + kCmdEditColorMap, kHelpContext, "M32777.htm"},
          {5, kHelpContext, "U00005.htm"},
          {0, kHelpFinder, "Index.htm"}})
        EXPECT_EQ(helpTopicFor(id, command).topic, QString(topic)) << topic;
    EXPECT_FALSE(helpTopicFor(kHelpIdResource + 128, kHelpContext).show) << "the main window";
    EXPECT_TRUE(helpTopicFor(kHelpIdResource + 129, kHelpContext).show);
    EXPECT_TRUE(helpTopicFor(0x30000, kHelpContext).topic.isEmpty());
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

class ShellStartupTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        app_ = std::make_unique<CKovVApp>();
        app_->setKeepSettingsLocation(true);
        testPrompts().message = [this](QWidget*, QMessageBox::Icon, const QString& text,
                                       QMessageBox::StandardButtons) {
            messages_ << text;
            return QMessageBox::Ok;
        };
        setFileDialogHook([this](const FileDialogRequest&) { return chosen_; });
    }
    void TearDown() override {
        app_->ExitInstance(0);
        app_.reset();
        setFileDialogHook({});
        test::SampleWindowTest::TearDown();
    }

    static QString sampleProject() { return QString::fromStdString(dir->file("sample.kovv5")); }
    // Ends the running application and starts another with the arguments.
    bool restart(const QStringList& arguments) {
        app_->ExitInstance(0);
        app_ = std::make_unique<CKovVApp>();
        app_->setKeepSettingsLocation(true);
        return app_->InitInstance(arguments);
    }

    test::TempDir dir_;
    std::unique_ptr<CKovVApp> app_;
    QStringList messages_;
    std::optional<QString> chosen_;
};

TEST_F(ShellStartupTest, StartsEmptyOrWithAProjectFromTheCommandLine) {
    ASSERT_TRUE(app_->InitInstance({}));
    ASSERT_NE(app_->mainFrame(), nullptr);
    EXPECT_TRUE(app_->mainFrame()->isVisible());
    EXPECT_EQ(app_->document()->meshes(), nullptr) << "the start-up document is empty";
    EXPECT_TRUE(messages_.isEmpty());

    ASSERT_TRUE(restart({sampleProject()}));
    EXPECT_TRUE(app_->document()->HasProject());
    EXPECT_TRUE(app_->mainFrame()->acceptDrops());

    // The print switch opens the file and says printing is missing.
    ASSERT_TRUE(restart({"/p", sampleProject()}));
    EXPECT_TRUE(app_->document()->HasProject());
    EXPECT_EQ(messages_.size(), 1);
}

TEST_F(ShellStartupTest, CommandLineFailuresEndStartUp) {
    // The file is opened with the main window already shown.
    bool frameShown = false;
    testPrompts().message = [this, &frameShown](QWidget*, QMessageBox::Icon, const QString& text,
                                                QMessageBox::StandardButtons) {
        frameShown = app_->mainFrame() && app_->mainFrame()->isVisible();
        messages_ << text;
        return QMessageBox::Ok;
    };
    ASSERT_FALSE(app_->InitInstance({QString::fromStdString(dir_.file("none.kovv5"))}));
    EXPECT_EQ(app_->exitCode(), 1);
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_TRUE(frameShown);
    EXPECT_FALSE(restart({"--no-such-switch"}));
    EXPECT_EQ(app_->exitCode(), 2);
}

TEST_F(ShellStartupTest, OpenCommandTestsTheExtension) {
    ASSERT_TRUE(app_->InitInstance({}));
    const QString text = QString::fromStdString(dir_.file("elevations.txt"));
    test::writeFile(text.toStdString(), "1 2 3\n");
    chosen_ = text;
    app_->mainFrame()->RouteCommand(kCmdOpenProject);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith(text));
    EXPECT_FALSE(app_->document()->HasProject());

    // The older extension is read by the same reader.
    const QString older = QString::fromStdString(dir_.file("older.kovv"));
    ASSERT_TRUE(QFile::copy(sampleProject(), older));
    chosen_ = older;
    app_->mainFrame()->RouteCommand(kCmdOpenProject);
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_TRUE(app_->document()->HasProject());

    // A recent file that no longer opens leaves the list.
    ASSERT_EQ(recentFileList().value(0), older);
    QFile::remove(older);
    app_->mainFrame()->RouteCommand(kCmdFirstRecentFile);
    EXPECT_FALSE(recentFileList().contains(older));
}

TEST_F(ShellStartupTest, DroppedFileOpensWithoutTheExtensionTest) {
    ASSERT_TRUE(app_->InitInstance({}));
    const QString renamed = QString::fromStdString(dir_.file("project.xml"));
    ASSERT_TRUE(QFile::copy(sampleProject(), renamed));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(renamed)});
    CMainFrame* frame = app_->mainFrame();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->document()->PathName(), renamed);
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(ShellStartupTest, HelpPagesAndMessages) {
    ASSERT_TRUE(app_->InitInstance({}));
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

    app_->mainFrame()->RouteCommand(kCmdHelpContents);
    ASSERT_NE(app_->helpWindow(), nullptr);
    EXPECT_TRUE(app_->helpWindow()->currentPage().endsWith(QStringLiteral("/Index.htm")));
    app_->WinHelp(kHelpIdCommand + kCmdEditColorMap, kHelpContext);
    EXPECT_TRUE(app_->helpWindow()->currentPage().endsWith(QStringLiteral("/M32777.htm")));
    EXPECT_TRUE(app_->helpWindow()->browser()->toPlainText().contains(
        QStringLiteral("カラーマップの設定")));
    EXPECT_TRUE(messages_.isEmpty());

    // The main window's own help shows nothing; a page that does not exist is named.
    app_->mainFrame()->RouteCommand(kCmdHelpForCurrent);
    EXPECT_TRUE(messages_.isEmpty());
    app_->WinHelp(kHelpIdResource + 581, kHelpContext);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].endsWith(QStringLiteral("/Help/D00581.htm")))
        << messages_[0].toStdString();

    // Closing the main window closes the help window.
    EXPECT_TRUE(app_->helpWindow()->isVisible());
    app_->mainFrame()->close();
    EXPECT_FALSE(app_->helpWindow()->isVisible());
}

}  // namespace
}  // namespace kov
