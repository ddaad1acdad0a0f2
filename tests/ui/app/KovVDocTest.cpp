#include "ui/app/CKovVDoc.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/project/LayerLoader.h"
#include "core/project/ProjectFile.h"
#include "sample/SampleProject.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CMainFrame.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

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

}  // namespace
}  // namespace kov
