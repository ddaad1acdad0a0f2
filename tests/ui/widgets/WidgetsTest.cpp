// SPDX-License-Identifier: MIT
#include <QColorDialog>
#include <QPushButton>

#include <vector>

#include <gtest/gtest.h>

#include "core/base/SettingsStore.h"
#include "support/ui/WindowTest.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/CHxColorDlg.h"
#include "ui/widgets/CProgressWnd.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

using WidgetsTest = test::WindowTest;

// The custom colours as the settings hold them: 16 colours of 4 bytes.
std::vector<uint8_t> storedCustomColours() {
    std::vector<uint8_t> bytes(64);
    EXPECT_EQ(settings::readBinary("HxColorDlg", "CustumColors", bytes.data(), bytes.size()), 64u);
    return bytes;
}

TEST_F(WidgetsTest, CustomColoursRoundTripThroughTheSettings) {
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, QColor(i, 2 * i, 255 - i));
    CHxColorDlg::saveCustomColors();

    const std::vector<uint8_t> bytes = storedCustomColours();
    // Colour 5 as 0x00BBGGRR, little-endian.
    EXPECT_EQ(std::vector(bytes.begin() + 20, bytes.begin() + 24),
              (std::vector<uint8_t>{5, 10, 250, 0}));

    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    CHxColorDlg dialog(0x000000FFu);  // loads them
    EXPECT_EQ(std::tuple(QColorDialog::customColor(15), dialog.color()),
              std::tuple(QColor(15, 30, 240), 0x000000FFu));

    // A block of another size is not taken.
    settings::writeBinary("HxColorDlg", "CustumColors", bytes.data(), 60);
    QColorDialog::setCustomColor(0, Qt::black);
    CHxColorDlg::loadCustomColors();
    EXPECT_EQ(QColorDialog::customColor(0), QColor(Qt::black));
}

TEST_F(WidgetsTest, ColourWellTakesTheChosenColourAndSignalsOnlyOnOk) {
    CColorWell well;
    well.setColor(0x80112233u);
    std::vector<uint32_t> changed;
    QObject::connect(&well, &CColorWell::colorChanged,
                     [&](uint32_t color) { changed.push_back(color); });

    bool accept = false;
    testPrompts().runModal = [&](QDialog& dialog) {
        auto& colours = dynamic_cast<CHxColorDlg&>(dialog);
        EXPECT_EQ(colours.currentColor(), QColor(0x33, 0x22, 0x11));
        colours.setCurrentColor(QColor(10, 20, 30));
        QColorDialog::setCustomColor(3, QColor(7, 8, 9));
        accept ? dialog.accept() : dialog.reject();
        return dialog.result();
    };
    well.click();
    // The custom colours are kept whichever way the dialog ends.
    EXPECT_EQ(std::tuple(changed.size(), well.color(), storedCustomColours()[12]),
              std::tuple(0u, 0x80112233u, 7));

    accept = true;
    well.click();
    // The flag byte on top stays.
    EXPECT_EQ(std::tuple(changed, well.color()), std::tuple(std::vector{0x801E140Au}, 0x801E140Au));
}

TEST_F(WidgetsTest, ProgressWindowShowsPositionTextAndCancel) {
    QWidget owner;
    CProgressWnd window(&owner, QStringLiteral("09LD281"),
                        QStringLiteral("DSM 09LD281を読み込み中..."));
    EXPECT_EQ(window.Begin(), 1);
    EXPECT_EQ(std::tuple(window.isVisible(), window.windowTitle()),
              std::tuple(true, QStringLiteral("09LD281")));
    EXPECT_EQ(window.SetPos(250, 1000), 0);
    EXPECT_EQ(window.permille(), 250);
    window.SetPos(5, 0);  // no range: the bar stays at the start
    window.SetText("second");
    EXPECT_EQ(std::tuple(window.permille(), window.Message()),
              std::tuple(0, QStringLiteral("second")));

    auto* cancel = window.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_EQ(std::tuple(window.SetPos(600, 1000), window.IsCancelled()), std::tuple(1, 1));
    window.End();
    EXPECT_FALSE(window.isVisible());
    // A new run starts uncancelled.
    window.Begin();
    EXPECT_EQ(window.SetPos(1, 2), 0);
    window.End();
}

}  // namespace
}  // namespace kov
