// SPDX-License-Identifier: MIT
// The flood estimation dialogs, commands and result layers, driven as a user drives them.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <utility>

#include "core/base/CommandIds.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
#include "core/flood/FloodEstimate.h"
#include "support/MeshFixtures.h"
#include "support/OgrReadBack.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/flood/CToolFloodFillDlg.h"
#include "ui/flood/FloodCommands.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/widgets/CColorWell.h"

namespace kov {
namespace {

using test::control;
using Dlg = CToolFloodFillDlg;

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Replaces the text of an edit field by typing it.
void type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

std::string enabledStates(const QDialog& d) {
    std::string s;
    for (int id : {Dlg::kIdWaterPasses, Dlg::kIdNoDataPasses, Dlg::kIdRange, Dlg::kIdLineAsWall,
                   Dlg::kIdRangeMax, Dlg::kIdHeight})
        s += d.findChild<QWidget*>(QString::number(id))->isEnabled() ? '1' : '0';
    return s;
}

// The main window over the sample project, the flood commands registered.
class FloodDialogTest : public test::SampleFrameTest {
protected:
    void SetUp() override {
        test::SampleFrameTest::SetUp();
        registerFloodCommands();
    }
    void TearDown() override {
        setFloodStarter({});
        setFileDialogHook({});
        setMeasuringTrackStarter({});
        test::SampleFrameTest::TearDown();
    }
    // Answers the next dialog: lets edit change it, then presses OK with the mouse.
    void answerWith(std::function<void(QDialog&)> edit) {
        testPrompts().runModal = [edit](QDialog& dialog) {
            dialog.show();
            edit(dialog);
            click(dialog.findChild<QPushButton*>(QStringLiteral("1")));
            return dialog.result();
        };
    }
    int floodLayers() const {
        int n = 0;
        for (int i = 0; i < document_->meshes()->imageCount(); ++i)
            n += document_->meshes()->GetImage(i)->isFloodResult();
        return n;
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
    bool enabled(int id) {
        frame_->updateCommandStates();
        return frame_->Action(id)->isEnabled();
    }
};

TEST_F(FloodDialogTest, LayoutsDefaultsAndEnabling) {
    Dlg ground(Dlg::kGroundHeightResource, false);
    ground.show();
    // Without a start point only the ranks count; the water level is not needed by height.
    EXPECT_EQ(enabledStates(ground), "000000");
    click(control<QCheckBox>(ground, Dlg::kIdFromStart));
    EXPECT_EQ(enabledStates(ground), "111001");  // no measured line, no distance limit
    click(control<QCheckBox>(ground, Dlg::kIdRange));
    EXPECT_EQ(enabledStates(ground), "111011");

    Dlg depth(Dlg::kDepthResource, true);
    depth.show();
    EXPECT_EQ(enabledStates(depth), "000001");  // the water level gives the depths
    click(control<QCheckBox>(depth, Dlg::kIdFromStart));
    EXPECT_EQ(enabledStates(depth), "111101");  // a measured line exists
}

TEST_F(FloodDialogTest, ClearKeepsRankOneAndOkWritesTheSettings) {
    {
        Dlg d(Dlg::kGroundHeightResource, false);
        d.show();
        type(control<QLineEdit>(d, 2102), QStringLiteral("7.5"));
        type(control<QLineEdit>(d, 2103), QStringLiteral("9"));
        click(control<QPushButton>(d, Dlg::kIdClear));
        EXPECT_EQ(
            (QStringList{control<QLineEdit>(d, 2101)->text(), control<QLineEdit>(d, 2102)->text(),
                         control<QLineEdit>(d, 2103)->text()}),
            (QStringList{"5.0", "", ""}));
        type(control<QLineEdit>(d, 2101), QStringLiteral("2.5"));
        type(control<QLineEdit>(d, 2102), QStringLiteral("4"));
        control<CColorWell>(d, 2302)->setColor(0x00FF00);
        type(control<QLineEdit>(d, 2120), QStringLiteral("12.5"));  // disabled: ignored
        click(control<QCheckBox>(d, Dlg::kIdFromStart));
        type(control<QLineEdit>(d, 2120), QStringLiteral("12.25"));
        click(control<QPushButton>(d, 1));
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    // A dialog opened again reads them back.
    Dlg again(Dlg::kGroundHeightResource, false);
    const FloodParameters p = again.parameters();
    EXPECT_EQ(std::tuple(again.fromStartPoint, p.height, p.rankColors[1],
                         parseRanks(p.rankTexts, 0.1).levels),
              std::tuple(true, 12.25, 0x00FF00u, std::vector<int32_t>{25, 40}));
    // The other layout keeps its own section.
    EXPECT_EQ(Dlg(Dlg::kDepthResource, false).rankTexts[1], "");
}

TEST_F(FloodDialogTest, NumbersThatAreNotFiniteAreIgnoredWhenStoredAndRefusedOnOk) {
    settings::writeReal("ToolFloodFillDlg2", "Height", std::nan(""));
    settings::writeReal("ToolFloodFillDlg2", "RangeMax", HUGE_VAL);
    settings::writeString("ToolFloodFillDlg2", "H1", "nan");
    settings::writeString("ToolFloodFillDlg2", "H2", "-inf");
    Dlg d(Dlg::kDepthResource, false);
    d.show();
    QStringList shown;
    for (int id : {Dlg::kIdHeight, Dlg::kIdRangeMax, 2101, 2102})
        shown << control<QLineEdit>(d, id)->text();
    EXPECT_EQ(shown, (QStringList{"5", "3000", "5.0", ""}));

    // A water level or rank that is no number keeps the dialog open, on that field.
    for (const auto& [id, text] :
         {std::pair(Dlg::kIdHeight, QStringLiteral("-")), std::pair(2103, QStringLiteral("."))}) {
        type(control<QLineEdit>(d, id), text);
        click(control<QPushButton>(d, 1));
        ASSERT_TRUE(d.isVisible() && !messages.empty());
        EXPECT_TRUE(messages.back().text.contains(id == 2103 ? QStringLiteral("ランク３")
                                                             : QStringLiteral("想定高さ")));
        EXPECT_EQ(d.focusWidget(), control<QLineEdit>(d, id));
        type(control<QLineEdit>(d, id), QStringLiteral("2"));
    }
    click(control<QPushButton>(d, 1));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_DOUBLE_EQ(d.height, 2.0);
}

TEST_F(FloodDialogTest, WholeAreaAndStartPointRunsMakeNamedLayersThatClearRemoves) {
    HMeshProject& project = *document_->meshes();
    document_->SetImageDisplay(0, 100);
    EXPECT_FALSE(enabled(kCmdClearFlood));

    // Cancel changes nothing.
    testPrompts().runModal = [](QDialog&) { return int(QDialog::Rejected); };
    frame_->RouteCommand(kCmdFloodByGroundHeight);
    EXPECT_EQ(floodLayers(), 0);

    // A memory budget with no room left for the layer: the window says so and adds nothing.
    answerWith([](QDialog&) {});
    const int before = project.imageCount();
    const int64_t budget = project.memoryBudget;
    project.memoryBudget = project.memoryInUse();
    messages.clear();
    frame_->RouteCommand(kCmdFloodByGroundHeight);
    EXPECT_EQ(project.imageCount(), before);
    EXPECT_TRUE(onlyMessage().contains(QStringLiteral("メモリの上限")));
    project.memoryBudget = budget;

    // The whole area with the defaults: one layer on top, the images shown again.
    frame_->RouteCommand(kCmdFloodByGroundHeight);
    ASSERT_EQ(project.imageCount(), before + 1);
    ASSERT_TRUE(project.GetImage(before)->isFloodResult());
    EXPECT_EQ(project.GetImage(before)->flood->ranks.size(), 1u);
    EXPECT_EQ(std::tuple(project.imageVisible, project.imageTransparency), std::tuple(1, 20));
    EXPECT_TRUE(enabled(kCmdClearFlood));

    // From a start point: the dialog hands a starter to the measuring track (mode 4).
    int trackMode = 0;
    setMeasuringTrackStarter([&](CKovVDoc&, int mode) { return trackMode = mode, true; });
    answerWith([](QDialog& d) {
        click(d.findChild<QCheckBox*>(QString::number(Dlg::kIdFromStart)));
        click(d.findChild<QCheckBox*>(QString::number(Dlg::kIdWaterPasses)));
    });
    frame_->RouteCommand(kCmdFloodByDepth);
    EXPECT_EQ(trackMode, 4);
    ASSERT_TRUE(floodStarter());
    // Starts that give nothing keep the picking going: outside the data (also between two
    // meshes) without a word, on high ground with the reason.
    MapRect extent;
    project.GetExtent(extent);
    auto far = test::makeFlatMesh(4, 4, 5.0, extent.xmax + 100.0, extent.ymin, 0);
    ASSERT_EQ(project.AddMesh(far), 1);
    messages.clear();
    EXPECT_FALSE(floodStarter()(*document_, FPoint{0.0, 0.0}));
    EXPECT_FALSE(floodStarter()(*document_, FPoint{extent.xmax + 50.0, extent.ymin + 5.0}));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(floodStarter()(*document_, FPoint{-9500, -35000}));
    EXPECT_TRUE(onlyMessage().contains(QStringLiteral("浸水が広がりません")));
    // Ground below the water level of 5 m near the coast.
    const FPoint start{-4500, -35900};
    double ground = 0;
    ASSERT_TRUE(project.FindElevation(start.x, start.y, ground) && ground > 0.5 && ground < 4.0);
    ASSERT_TRUE(floodStarter()(*document_, start));
    ASSERT_TRUE(floodStarter()(*document_, start));
    EXPECT_TRUE(project.GetImage(project.imageCount() - 1)->flood->depthMode);
    EXPECT_EQ(floodLayers(), 3);

    frame_->RouteCommand(kCmdClearFlood);
    EXPECT_EQ(floodLayers(), 0);
    EXPECT_EQ(project.imageCount(), before);
    EXPECT_FALSE(enabled(kCmdClearFlood));
}

// Saving the topmost result as polygons, picked from the menu with the mouse, read back by OGR.
TEST_F(FloodDialogTest, TheTopmostResultIsSavedAsOnePolygonFeaturePerRank) {
    std::optional<QString> chosen;
    int asked = 0;
    setFileDialogHook([&](const FileDialogRequest& request) {
        EXPECT_TRUE(request.save && request.filter.contains(QLatin1String("*.shp")));
        return ++asked, chosen;
    });
    EXPECT_FALSE(pick(kCmdExportFlood));  // no flood result yet
    testPrompts().runModal = [](QDialog&) { return int(QDialog::Accepted); };
    frame_->RouteCommand(kCmdFloodByGroundHeight);  // whole area, one rank up to 5 m
    const std::string path = settingsDir.file("flood.geojson");
    chosen = QString::fromStdString(path);
    ASSERT_TRUE(pick(kCmdExportFlood));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(messages.empty());
    // The polygons themselves are checked where the writer is tested; here: one rank, 5 m.
    const test::OgrLayer written = test::readOgrLayer(path);
    ASSERT_EQ(written.features.size(), 1);
    EXPECT_EQ(test::propertiesOf(written.features, 0)["upper"].toDouble(), 5.0);

    // A folder that does not exist: the window says so and leaves nothing.
    chosen = QString::fromStdString(settingsDir.file("no/flood.gpkg"));
    ASSERT_TRUE(pick(kCmdExportFlood));
    EXPECT_TRUE(onlyMessage().contains(QStringLiteral("保存できませんでした")));
    EXPECT_FALSE(std::filesystem::exists(settingsDir.file("no")));
}

}  // namespace
}  // namespace kov
