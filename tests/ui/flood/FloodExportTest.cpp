// Saving a flood result as polygons from the 図上計測 menu, picked with the mouse as a user picks
// it, and the file read back through OGR.
#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "core/base/CommandIds.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/flood/FloodCommands.h"

namespace kov {
namespace {

class FloodExportTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        registerFloodCommands();
        document_ = std::make_unique<CKovVDoc>();
        frame_ = std::make_unique<CMainFrame>(document_.get());
        ASSERT_TRUE(frame_->Create());
        frame_->show();
        ASSERT_TRUE(document_->OnOpenDocument(sampleProject()));
        setFileDialogHook([this](const FileDialogRequest& request) {
            requests.push_back(request);
            return chosen;
        });
    }
    void TearDown() override {
        setFileDialogHook({});
        frame_.reset();
        document_.reset();
        test::SampleWindowTest::TearDown();
    }
    // Opens the menu holding the command and clicks the command; false when it is disabled.
    bool pick(int id) {
        QAction* action = frame_->Action(id);
        for (QMenu* menu : frame_->findChildren<QMenu*>()) {
            if (!menu->actions().contains(action)) continue;
            menu->popup(frame_->mapToGlobal(QPoint(10, 10)));
            EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
            const bool enabled = action->isEnabled();
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            menu->hide();
            return enabled;
        }
        ADD_FAILURE() << "no menu holds " << id;
        return false;
    }
    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<FileDialogRequest> requests;
    std::optional<QString> chosen;
};

TEST_F(FloodExportTest, TheTopmostResultIsSavedAsOnePolygonFeaturePerRank) {
    EXPECT_FALSE(pick(kCmdExportFlood));  // no flood result yet
    EXPECT_TRUE(requests.empty());

    // The whole area by ground height with the defaults: one rank, up to 5 m.
    testPrompts().runModal = [](QDialog&) { return int(QDialog::Accepted); };
    frame_->RouteCommand(kCmdFloodByGroundHeight);
    HMeshProject& project = *document_->meshes();
    const ZarHImage& layer = *project.GetImage(project.imageCount() - 1);
    ASSERT_TRUE(layer.isFloodResult());

    const std::string path = settingsDir.file("flood.geojson");
    chosen = QString::fromStdString(path);
    ASSERT_TRUE(pick(kCmdExportFlood));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    for (const char* pattern : {"*.gpkg", "*.geojson", "*.shp"})
        EXPECT_TRUE(requests[0].filter.contains(QLatin1String(pattern))) << pattern;
    EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();

    int code = -1;
    std::istringstream rows(
        test::runCommand("ogr2ogr -f CSV /vsistdout/ " + path +
                             " -dialect OGRSQL -sql 'SELECT rank, basis, upper, area, volume, "
                             "OGR_GEOM_AREA AS m FROM flood'",
                         &code));
    ASSERT_EQ(code, 0);
    std::string header, row;
    std::getline(rows, header);
    ASSERT_TRUE(std::getline(rows, row));
    EXPECT_FALSE(std::getline(rows, header)) << "one rank, one feature";
    double upper = 0, area = 0, measured = 0;
    ASSERT_EQ(std::sscanf(row.c_str(), "\"1\",ground,%lf,%lf,,%lf", &upper, &area, &measured), 3)
        << row;
    const double cell = (layer.xmax - layer.xmin) / layer.indexedCells->width() *
                        (layer.ymax - layer.ymin) / layer.indexedCells->height();
    EXPECT_EQ(upper, 5.0);
    EXPECT_NEAR(area, layer.indexedCells->histogram()[0] * cell, 1e-6);
    EXPECT_NEAR(measured, area, 1e-3);

    // A folder that does not exist: the window says so and leaves nothing.
    const std::string lost = settingsDir.file("no/flood.gpkg");
    chosen = QString::fromStdString(lost);
    ASSERT_TRUE(pick(kCmdExportFlood));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("保存できませんでした")));
    EXPECT_FALSE(std::filesystem::exists(settingsDir.file("no")));
}

}  // namespace
}  // namespace kov
