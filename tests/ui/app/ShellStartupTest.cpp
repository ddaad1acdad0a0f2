#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTextBrowser>

#include "core/base/CommandIds.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/dialogs/CHelpWindow.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

// ---- command line and help topics (no windows) --------------------------------------------------

TEST(ShellCommandLine, FileOpenAndPrintForms) {
    using A = CommandLineInfo;
    EXPECT_EQ(ParseCommandLine({}).action, A::FileNew);
    const CommandLineInfo open = ParseCommandLine({QStringLiteral("/d/p.kovv5")});
    EXPECT_EQ(open.action, A::FileOpen);
    EXPECT_EQ(open.file, QStringLiteral("/d/p.kovv5")) << "a path beginning with / is a file";
    for (const char* flag : {"--print", "/p", "/P"}) {
        const CommandLineInfo print = ParseCommandLine({QString::fromLatin1(flag), "a.kovv5"});
        EXPECT_EQ(print.action, A::FilePrint) << flag;
        EXPECT_EQ(print.file, QStringLiteral("a.kovv5"));
    }
    const CommandLineInfo printTo = ParseCommandLine({"/pt", "a.kovv5", "Office"});
    EXPECT_EQ(printTo.action, A::FilePrintTo);
    EXPECT_EQ(printTo.printer, QStringLiteral("Office"));
    const CommandLineInfo timed = ParseCommandLine({"--startup-time", "a.kovv5"});
    EXPECT_TRUE(timed.startupTime);
    EXPECT_EQ(timed.action, A::FileOpen);
    for (const QStringList& bad : {QStringList{"--print"}, QStringList{"--print-to", "a.kovv5"},
                                   QStringList{"a.kovv5", "b.kovv5"}, QStringList{"--frobnicate"}})
        EXPECT_EQ(ParseCommandLine(bad).action, A::Error) << bad.join(' ').toStdString();
    EXPECT_EQ(ParseCommandLine({"--help"}).action, A::Usage);
}

TEST(ShellHelp, TopicNamesFromHelpIdentifiers) {
    EXPECT_EQ(helpTopicFor(kHelpIdResource + 581, kHelpContext).topic,
              QStringLiteral("D00581.htm"));
    EXPECT_EQ(helpTopicFor(kHelpIdCommand + kCmdEditColorMap, kHelpContext).topic,
              QStringLiteral("M32777.htm"));
    EXPECT_EQ(helpTopicFor(5, kHelpContext).topic, QStringLiteral("U00005.htm"));
    EXPECT_EQ(helpTopicFor(0, kHelpFinder).topic, QStringLiteral("Index.htm"));
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
    app_->ExitInstance(0);

    app_ = std::make_unique<CKovVApp>();
    app_->setKeepSettingsLocation(true);
    ASSERT_TRUE(app_->InitInstance({sampleProject()}));
    EXPECT_TRUE(app_->document()->HasProject());
    EXPECT_TRUE(app_->mainFrame()->acceptDrops());
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
    app_->ExitInstance(0);

    app_ = std::make_unique<CKovVApp>();
    app_->setKeepSettingsLocation(true);
    EXPECT_FALSE(app_->InitInstance({"--no-such-switch"}));
    EXPECT_EQ(app_->exitCode(), 2);
}

TEST_F(ShellStartupTest, PrintSwitchOpensTheFileAndSaysPrintingIsMissing) {
    ASSERT_TRUE(app_->InitInstance({"/p", sampleProject()}));
    EXPECT_TRUE(app_->document()->HasProject());
    EXPECT_EQ(messages_.size(), 1);
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
    EXPECT_TRUE(app_->document()->HasProject());
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
