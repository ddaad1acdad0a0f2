#include <QApplication>
#include <QColorDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <array>
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

TEST(ColorRefTest, RedIsTheLowByte) {
    EXPECT_EQ(colorFromRef(0x00FF8040u), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(colorFromRef(0x80FF8040u), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(refFromColor(QColor(1, 2, 3)), 0x00030201u);
}

TEST_F(WidgetsTest, MessageBoxesCarryTheProgramsTitle) {
    testPrompts().message = nullptr;  // the real box
    QString caption;
    QTimer::singleShot(0, [&caption] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    ShowMessage(nullptr, QMessageBox::Information, QStringLiteral("text"), QMessageBox::Ok);
    EXPECT_EQ(caption, QStringLiteral("Kov Viewer5"));
}

TEST_F(WidgetsTest, CustomColoursRoundTripThroughTheSettings) {
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, QColor(i, 2 * i, 255 - i));
    CHxColorDlg::saveCustomColors();

    std::array<uint8_t, 64> bytes{};
    ASSERT_EQ(settings::readBinary("HxColorDlg", "CustumColors", bytes.data(), bytes.size()), 64u);
    // Colour 5 as 0x00BBGGRR, little-endian.
    EXPECT_EQ(bytes[20], 5);
    EXPECT_EQ(bytes[21], 10);
    EXPECT_EQ(bytes[22], 250);
    EXPECT_EQ(bytes[23], 0);

    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    CHxColorDlg dialog(0x000000FFu);  // loads them
    EXPECT_EQ(QColorDialog::customColor(15), QColor(15, 30, 240));
    EXPECT_EQ(dialog.color(), 0x000000FFu);

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
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(well.color(), 0x80112233u);
    // The custom colours are kept whichever way the dialog ends.
    std::array<uint8_t, 64> bytes{};
    ASSERT_EQ(settings::readBinary("HxColorDlg", "CustumColors", bytes.data(), bytes.size()), 64u);
    EXPECT_EQ(bytes[12], 7);

    accept = true;
    well.click();
    ASSERT_EQ(changed.size(), 1u);
    // The flag byte on top stays.
    EXPECT_EQ(well.color(), 0x801E140Au);
    EXPECT_EQ(changed[0], 0x801E140Au);
}

TEST_F(WidgetsTest, ProgressWindowShowsPositionTextAndCancel) {
    QWidget owner;
    CProgressWnd window(&owner, QStringLiteral("09LD281"),
                        QStringLiteral("DSM 09LD281を読み込み中..."));
    EXPECT_EQ(window.Begin(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("09LD281"));
    EXPECT_EQ(window.SetPos(250, 1000), 0);
    EXPECT_EQ(window.permille(), 250);
    EXPECT_EQ(window.SetPos(5, 0), 0);  // no range: the bar stays at the start
    EXPECT_EQ(window.permille(), 0);
    window.SetText("second");
    EXPECT_EQ(window.Message(), QStringLiteral("second"));

    auto* cancel = window.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_EQ(window.SetPos(600, 1000), 1);
    EXPECT_EQ(window.IsCancelled(), 1);
    window.End();
    EXPECT_FALSE(window.isVisible());
    // A new run starts uncancelled.
    window.Begin();
    EXPECT_EQ(window.SetPos(1, 2), 0);
    window.End();
}

}  // namespace
}  // namespace kov
