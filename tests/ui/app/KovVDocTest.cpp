#include "ui/app/CKovVDoc.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/project/LayerLoader.h"
#include "core/project/ProjectFile.h"
#include "sample/SampleData.h"
#include "sample/SampleProject.h"
#include "support/SampleSuite.h"
#include "support/TestSupport.h"
#include "support/ui/TestApplication.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CMainFrame.h"
#include "ui/widgets/DialogPrompts.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

struct Message {
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class KovVDocTest : public test::SampleSetSuite {
protected:
    static void SetUpTestSuite() {
        test::ensureApplication();
        SampleSetSuite::SetUpTestSuite();
    }

    void SetUp() override {
        settings::setLocation(dir_.file("kov.ini"));
        reloadRecentFileList();
        testPrompts().message = [this](QWidget*, QMessageBox::Icon icon, const QString& text,
                                       QMessageBox::StandardButtons buttons) {
            messages_.push_back({icon, text, buttons});
            return answer_;
        };
        setFileDialogHook([this](const FileDialogRequest& request) {
            fileRequests_.push_back(request);
            return chosenFile_;
        });
    }
    void TearDown() override {
        testPrompts() = {};
        setFileDialogHook({});
        CKovVDoc::setProjectDialog({});
        CKovVDoc::setColorMapDialog({});
    }

    static QString sampleProject() { return QString::fromStdString(dir->file("sample.kovv5")); }
    // A composition dialog that adds the sample's tiles.
    static bool addSampleTiles(HMeshProject& project, bool /*newProject*/) {
        LoadReport report;
        return loadLayerPaths({dir->file("Data")}, project, report) > 0;
    }

    test::TempDir dir_;
    std::vector<Message> messages_;
    QMessageBox::StandardButton answer_ = QMessageBox::Ok;
    std::vector<FileDialogRequest> fileRequests_;
    std::optional<QString> chosenFile_;
};

TEST_F(KovVDocTest, OpeningInstallsTheProjectAndAFailureKeepsIt) {
    CKovVDoc doc;
    EXPECT_FALSE(doc.HasProject());
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(doc.HasProject());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), sampleProject());
    EXPECT_EQ(doc.Title(), QString::fromUtf8(sample::kSampleProjectTitle));
    EXPECT_EQ(doc.coordinates().zone, doc.meshes()->planeZone);
    EXPECT_EQ(recentFileList().value(0), sampleProject());
    EXPECT_EQ(settings::readString("Recent File List", "File1", ""), sampleProject().toStdString());

    const HMeshProject* before = doc.meshes();
    const QString garbage = QString::fromStdString(dir_.file("broken.kovv5"));
    test::writeFile(garbage.toStdString(), "not a project");
    EXPECT_FALSE(doc.OnOpenDocument(garbage));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              garbage + QStringLiteral(" は標高メッシュプロジェクトファイルと識別できません"));
    EXPECT_EQ(messages_[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(doc.meshes(), before) << "the previous project stays";
    EXPECT_EQ(doc.PathName(), sampleProject());
    EXPECT_EQ(recentFileList().size(), 1);

    // A file that does not open at all is refused before anything is read.
    messages_.clear();
    EXPECT_FALSE(doc.OnOpenDocument(QString::fromStdString(dir_.file("missing.kovv5"))));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].text.contains(QStringLiteral("missing.kovv5")));
    EXPECT_EQ(doc.meshes(), before);
}

TEST_F(KovVDocTest, SavePromptAnswers) {
    CKovVDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_TRUE(doc.SaveModified()) << "unmodified: no question";
    EXPECT_TRUE(messages_.empty());

    const QString copy = QString::fromStdString(dir_.file("copy.kovv5"));
    ASSERT_TRUE(QFile::copy(sampleProject(), copy));
    ASSERT_TRUE(doc.OnOpenDocument(copy));
    const std::string original = test::readFile(copy.toStdString());
    doc.SetModifiedFlag(true);

    answer_ = QMessageBox::Cancel;
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, copy + QStringLiteral(" への変更を保存しますか?"));
    EXPECT_EQ(messages_[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

    answer_ = QMessageBox::No;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_TRUE(doc.IsModified());

    // Yes saves to the document's file; "Generated" comment lines carry the time, so the file
    // is compared by its settings only through being read back.
    doc.meshes()->stepHeight = 7.5;
    answer_ = QMessageBox::Yes;
    messages_.clear();
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1].text, copy + QStringLiteral("へ構成情報を保存しました"));
    EXPECT_EQ(messages_[1].icon, QMessageBox::Information);
    EXPECT_NE(test::readFile(copy.toStdString()), original);
    HMeshProject reread;
    ASSERT_TRUE(LoadProjectFile(reread, copy.toStdString()));
    EXPECT_EQ(reread.stepHeight, 7.5);
    EXPECT_TRUE(fileRequests_.empty());
}

TEST_F(KovVDocTest, NewProjectWithoutAFileAsksForOneAndFailedSavesAbort) {
    CKovVDoc doc;
    CKovVDoc::setProjectDialog(&KovVDocTest::addSampleTiles);
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_TRUE(doc.HasProject());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.PathName().isEmpty());
    EXPECT_EQ(doc.Title(), QStringLiteral("標高メッシュプロジェクト"));

    // Never saved: Save is disabled, Save as is not.
    CommandState state;
    ASSERT_TRUE(doc.OnUpdateCommand(kCmdSaveProject, state));
    EXPECT_FALSE(state.enabled);
    ASSERT_TRUE(doc.OnUpdateCommand(kCmdSaveProjectAs, state));
    EXPECT_TRUE(state.enabled);

    answer_ = QMessageBox::Yes;
    chosenFile_ = std::nullopt;  // the save dialog is cancelled
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, QStringLiteral("標高メッシュプロジェクト を保存しますか"));
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_TRUE(fileRequests_[0].save);
    EXPECT_EQ(fileRequests_[0].filter, QStringLiteral("KovView5 ﾌｧｲﾙ (*.kovv5)|*.kovv5||"));

    // A file that cannot be written: message, abort, still modified.
    messages_.clear();
    const QString unwritable = QString::fromStdString(dir_.file("no/such/folder/p.kovv5"));
    chosenFile_ = unwritable;
    EXPECT_FALSE(doc.SaveModified());
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1].text, unwritable + QStringLiteral(" への保存に失敗しました"));
    EXPECT_EQ(messages_[1].icon, QMessageBox::Warning);
    EXPECT_TRUE(doc.IsModified());

    const QString target = QString::fromStdString(dir_.file("new.kovv5"));
    chosenFile_ = target;
    EXPECT_TRUE(doc.SaveModified());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), target);
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(recentFileList().value(0), target);
    ASSERT_TRUE(doc.OnUpdateCommand(kCmdSaveProject, state));
    EXPECT_TRUE(state.enabled) << "saved once, Save works";

    // Without a title the question names the untitled document.
    CKovVDoc untitled;
    untitled.SetModifiedFlag(true);
    answer_ = QMessageBox::No;
    messages_.clear();
    EXPECT_TRUE(untitled.SaveModified());
    EXPECT_EQ(messages_.at(0).text, QStringLiteral("無題 を保存しますか"));
}

TEST_F(KovVDocTest, NewAndChangeWithoutOrCancelledDialogKeepTheProject) {
    CKovVDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    const HMeshProject* before = doc.meshes();

    EXPECT_TRUE(doc.OnNewDocument());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("プロジェクトの構成ダイアログはまだ利用できません"));
    EXPECT_EQ(doc.meshes(), before);
    EXPECT_TRUE(doc.OnCommand(kCmdChangeProject));
    EXPECT_EQ(messages_.size(), 2u);

    bool askedForNew = false;
    CKovVDoc::setProjectDialog([&askedForNew](HMeshProject& project, bool newProject) {
        askedForNew = newProject;
        project.projectTitle.clear();
        return false;
    });
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(askedForNew);
    EXPECT_EQ(doc.meshes(), before) << "cancelled: the previous project stays";
    EXPECT_FALSE(doc.IsModified());

    // Change works on the installed project; OK marks it modified, an empty title keeps the
    // document title.
    const QString title = doc.Title();
    CKovVDoc::setProjectDialog([&askedForNew](HMeshProject& project, bool newProject) {
        askedForNew = newProject;
        project.projectTitle.clear();
        return true;
    });
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
    doc.SetTitle(QStringLiteral("短い"));
    EXPECT_EQ(doc.Title(), QStringLiteral("短い"));
}

TEST_F(KovVDocTest, ToolCommandsRunTheirHandlerOrSayTheyAreMissing) {
    CKovVDoc doc;
    CommandState state;
    ASSERT_TRUE(doc.OnUpdateCommand(kCmdMeasureDistanceArea, state));
    EXPECT_FALSE(state.enabled);
    ASSERT_TRUE(doc.OnUpdateCommand(kCmdMeasureProperties, state));
    EXPECT_TRUE(state.enabled) << "measurement properties are always available";
    EXPECT_FALSE(doc.OnUpdateCommand(kCmdNewProject, state)) << "new belongs to the application";

    ASSERT_TRUE(doc.OnOpenDocument(sampleProject()));
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("「距離と面積」はこのバージョンではまだ使用できません"));

    int called = 0;
    CKovVDoc::setCommandHandler(kCmdMeasureDistanceArea,
                                [&called](CKovVDoc&, int id) { called = id; });
    EXPECT_TRUE(doc.OnCommand(kCmdMeasureDistanceArea));
    EXPECT_EQ(called, kCmdMeasureDistanceArea);
    EXPECT_EQ(messages_.size(), 1u);
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
    EXPECT_EQ(doc.meshes()->stepMode, 2);
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

}  // namespace
}  // namespace kov
