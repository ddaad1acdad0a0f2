#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <tuple>

#include <gtest/gtest.h>

#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "support/ui/WindowTest.h"
#include "ui/dialogs/CColorMapDlg.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/CHxColorDlg.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

class ColorMapDlgTest : public test::WindowTest {
protected:
    template <typename T>
    static T* control(QDialog& dialog, int id) {
        T* control = dialog.findChild<T*>(QString::number(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
};

ZarHColorMap mapWithStops(double low, double high) {
    ZarHColorMap map;
    ColorStop stops[2];
    stops[0].color = 0x0080FFE6;
    stops[0].height = low;
    stops[1].color = 0x002040C0;
    stops[1].height = high;
    map.setStops(stops, 2);
    return map;
}

TEST(LeadingNumberTest, ReadsTheNumberAtTheStartOrZero) {
    for (const auto& [text, value] :
         {std::pair{"12.5m", 12.5}, {"  -3", -3.0}, {"+4", 4.0}, {"abc", 0.0}, {"", 0.0}})
        EXPECT_EQ(leadingNumber(text), value) << text;
}

TEST_F(ColorMapDlgTest, ShowsTheMapAndAppliesEveryChangeToTheWorkingCopy) {
    ZarHColorMap map = mapWithStops(12.34, 200);
    map.seaColor = 0x00FFFF80;
    map.noDataColor = 0x80FFFF80;
    CColorMapDlg dialog(nullptr, map, 2, 2.5, 0, 0);

    QLineEdit* first = control<QLineEdit>(dialog, CColorMapDlg::kIdFirstHeight);
    QLineEdit* last = control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight);
    EXPECT_EQ(first->text(), QStringLiteral("12.3"));
    EXPECT_EQ(last->text(), QStringLiteral("200"));
    EXPECT_TRUE(control<QCheckBox>(dialog, CColorMapDlg::kIdSeaCheck)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(dialog, CColorMapDlg::kIdNoDataCheck)->isChecked());
    EXPECT_EQ(control<CColorWell>(dialog, CColorMapDlg::kIdNoDataColor)->color(), 0x00FFFF80u);
    EXPECT_EQ(dialog.stepMode(), 2);
    EXPECT_EQ(dialog.stepHeight(), 2.5);
    // No known range: no optimise button.
    EXPECT_FALSE(control<QPushButton>(dialog, CColorMapDlg::kIdOptimise)->isVisibleTo(&dialog));

    // Opening changed nothing; typing does, and text that is no number reads as 0.
    EXPECT_EQ(map.stop(0)->height, 12.34);
    last->setText(QStringLiteral("350.5"));
    EXPECT_EQ(map.stop(1)->height, 350.5);
    EXPECT_EQ(map.table()[999].height, 350.5);
    first->setText(QStringLiteral("x"));
    EXPECT_EQ(map.stop(0)->height, 0.0);

    // Water painted / not painted is bit 31; a new well colour keeps that choice.
    control<QCheckBox>(dialog, CColorMapDlg::kIdSeaCheck)->setChecked(false);
    EXPECT_EQ(map.seaColor, 0x80FFFF80u);
    control<QCheckBox>(dialog, CColorMapDlg::kIdNoDataCheck)->setChecked(true);
    EXPECT_EQ(map.noDataColor, 0x00FFFF80u);
    testPrompts().runModal = [](QDialog& colours) {
        dynamic_cast<CHxColorDlg&>(colours).setCurrentColor(QColor(0x11, 0x22, 0x33));
        colours.accept();
        return static_cast<int>(QDialog::Accepted);
    };
    control<CColorWell>(dialog, CColorMapDlg::kIdSeaColor)->click();
    EXPECT_EQ(map.seaColor, 0x80332211u);
    control<CColorWell>(dialog, CColorMapDlg::kIdLastColor)->click();
    EXPECT_EQ(map.stop(1)->color, 0x00332211u);
    EXPECT_EQ(map.table()[999].red, 0x11);
    control<CColorWell>(dialog, CColorMapDlg::kIdTopColor)->click();
    EXPECT_EQ(map.topColor, 0x00332211u);

    // The reverse flag rebuilds the table: the mid-point colour takes the other way round.
    const ColorTableEntry middle = map.table()[500];
    control<QCheckBox>(dialog, CColorMapDlg::kIdReverse)->setChecked(true);
    EXPECT_EQ(map.stop(0)->reverse, 1);
    const ColorTableEntry reversed = map.table()[500];
    EXPECT_NE(std::make_tuple(middle.red, middle.green, middle.blue),
              std::make_tuple(reversed.red, reversed.green, reversed.blue));
}

TEST_F(ColorMapDlgTest, OptimiseTakesTheWholeMetresAroundTheDataRange) {
    ZarHColorMap map = mapWithStops(0, 200);
    CColorMapDlg dialog(nullptr, map, 0, 5, 3.7, 152.2);
    QPushButton* optimise = control<QPushButton>(dialog, CColorMapDlg::kIdOptimise);
    ASSERT_TRUE(optimise->isVisibleTo(&dialog));
    optimise->click();
    EXPECT_EQ(control<QLineEdit>(dialog, CColorMapDlg::kIdFirstHeight)->text(), "3");
    EXPECT_EQ(control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->text(), "153");
    EXPECT_EQ(map.stop(0)->height, 3.0);
    EXPECT_EQ(map.stop(1)->height, 153.0);

    // Negative ranges round outward as well.
    ZarHColorMap low = mapWithStops(0, 200);
    CColorMapDlg below(nullptr, low, 0, 5, -2.5, -0.5);
    below.optimiseHeights();
    EXPECT_EQ(low.stop(0)->height, -3.0);
    EXPECT_EQ(low.stop(1)->height, -0.0);
}

TEST_F(ColorMapDlgTest, ASingleStopMapTakesOnlyFirstStopChanges) {
    ZarHColorMap map;
    ColorStop stop;
    stop.height = 10;
    map.setStops(&stop, 1);
    CColorMapDlg dialog(nullptr, map, 0, 5, 0, 0);
    control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->setText("99");
    EXPECT_EQ(map.stop(0)->height, 10.0);
    control<QLineEdit>(dialog, CColorMapDlg::kIdFirstHeight)->setText("20");
    EXPECT_EQ(map.stop(0)->height, 20.0);
}

TEST_F(ColorMapDlgTest, EditColorMapStoresTheCopyOnlyOnOk) {
    HMeshProject project;
    project.stepMode = 0;
    project.stepHeight = 5;
    const ZarHColorMap* original = project.GetColorMap(0);
    const double originalTop = original->stop(1)->height;
    bool ok = false;
    testPrompts().runModal = [&ok](QDialog& dialog) {
        control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->setText("999");
        control<QComboBox>(dialog, CColorMapDlg::kIdStepMode)->setCurrentIndex(1);
        control<QLineEdit>(dialog, CColorMapDlg::kIdStepHeight)->setText("12.5");
        ok ? dialog.accept() : dialog.reject();
        return dialog.result();
    };
    EXPECT_FALSE(editColorMap(nullptr, project));
    EXPECT_EQ(project.GetColorMap(0), original);
    EXPECT_EQ(project.GetColorMap(0)->stop(1)->height, originalTop);
    EXPECT_EQ(project.stepMode, 0);

    ok = true;
    EXPECT_TRUE(editColorMap(nullptr, project));
    EXPECT_EQ(project.GetColorMap(0)->stop(1)->height, 999.0);
    EXPECT_EQ(project.stepMode, 1);
    EXPECT_EQ(project.stepHeight, 12.5);
}

}  // namespace
}  // namespace kov
