// SPDX-License-Identifier: MIT
// The result window of the measuring tools and the measurement properties dialog, driven by
// mouse and key events as a user drives them.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/dialogs/CHelpWindow.h"
#include "ui/measure/CMeasureMsgDlg.h"
#include "ui/measure/CMeasurePropDlg.h"
#include "ui/measure/ToolWindow.h"

namespace kov {
namespace {

using test::control;
using MeasureWindowsTest = test::WindowTest;

// A tool window with a close box and no minimise or maximise button (without
// CustomizeWindowHint a window manager offers them all, and some give any dialog a minimise
// button).
bool onlyCloses(const QWidget& window) {
    const Qt::WindowFlags flags = window.windowFlags();
    return window.windowType() == Qt::Tool &&
           flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint) &&
           !(flags & Qt::WindowMinMaxButtonsHint);
}

TEST_F(MeasureWindowsTest, ResultRowsHideAndCopyTheShownValues) {
    CMeasureMsgDlg window(nullptr);
    window.setLabel(1, QStringLiteral("勾　　配"));
    window.setValue(0, QStringLiteral("   100.0 (m)"));
    window.setValue(1, QStringLiteral("5.71(Deg) 10.00(%)"));
    window.setValue(2, QStringLiteral("hidden"));
    window.setValue(3, QStringLiteral("no such row"));
    window.hideRows(2);
    window.show();
    EXPECT_TRUE(onlyCloses(window));
    EXPECT_FALSE(control<QLabel>(window, 2753)->isVisible() ||
                 control<QLineEdit>(window, 2103)->isVisible());
    QTest::mouseClick(control<QPushButton>(window, CMeasureMsgDlg::kIdCopy), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "   100.0 (m)\r\n5.71(Deg) 10.00(%)\r\n");

    // The longest values fit whole inside the field's frame and its 2-pixel margins.
    QLineEdit* value = control<QLineEdit>(window, CMeasureMsgDlg::kIdValue0);
    const int frame = value->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    for (const QString& text :
         {QStringLiteral("10,000,000.0 (㎡)"), QStringLiteral("-89.99(Deg) -9999.99(%)")})
        EXPECT_GE(value->width() - 2 * frame - 4, value->fontMetrics().horizontalAdvance(text));
}

TEST_F(MeasureWindowsTest, ClosingOrEscDestroysTheWindowAndKeepsItsPosition) {
    auto stored = [] {
        return QPoint(settings::readInt("MeasureMsgDlg", "XPos", -1),
                      settings::readInt("MeasureMsgDlg", "YPos", -1));
    };
    QPointer<CMeasureMsgDlg> window;
    auto open = [&] {
        window = new CMeasureMsgDlg(nullptr);
        window->show();
        return window->geometry().topLeft();
    };
    auto closed = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    };
    delete new CMeasureMsgDlg(nullptr);
    EXPECT_EQ(stored(), QPoint(-1, -1)) << "a window never shown keeps nothing";

    // The stored place (the corner inside the frame) is used when shown; closing keeps the last
    // one, and the window reopens exactly there, time after time.
    settings::writeInt("MeasureMsgDlg", "XPos", 120);
    settings::writeInt("MeasureMsgDlg", "YPos", 140);
    EXPECT_EQ(open(), QPoint(120, 140));
    window->move(200, 210);
    const QPoint placed = window->geometry().topLeft();
    for (int round = 0; round < 3; ++round) {
        window->close();
        EXPECT_TRUE(closed());
        EXPECT_EQ(stored(), placed) << round;
        EXPECT_EQ(open(), placed) << round;
    }
    // Esc in a value field closes it too; a place off the screen is not used.
    window->close();
    closed();
    settings::writeInt("MeasureMsgDlg", "XPos",
                       QGuiApplication::primaryScreen()->virtualSize().width());
    const QPoint offScreen = open();
    EXPECT_NE(offScreen.x(), stored().x());
    QTest::keyClick(control<QLineEdit>(*window, CMeasureMsgDlg::kIdValue0 + 1), Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_EQ(stored(), offScreen);
}

// The command as the program registers it at start-up; F1 in each window opens its own page.
TEST_F(MeasureWindowsTest, PropertiesCommandStoresTheChoicesAndF1OpensEachPage) {
    CKovVApp app;
    app.setKeepSettingsLocation(true);
    ASSERT_TRUE(app.InitInstance({}));
    auto page = [&] { return app.helpWindow() ? app.helpWindow()->currentPage() : QString(); };
    auto* result = new CMeasureMsgDlg(app.mainFrame());  // modeless, the frame's child
    result->show();
    QTest::keyClick(control<QPushButton>(*result, CMeasureMsgDlg::kIdCopy), Qt::Key_F1);
    EXPECT_TRUE(page().endsWith(QStringLiteral("/D00583.htm"))) << page().toStdString();
    EXPECT_TRUE(result->isVisible());

    settings::writeInt("TrackRange", "Window", 0);
    // Shows the stored choices, clicks the other radio button and the tick box, ends with OK (1)
    // or Cancel (2).
    auto answer = [&](bool window, bool tick, int button) {
        testPrompts().runModal = [=](QDialog& dialog) {
            dialog.show();
            auto* first = control<QRadioButton>(dialog, CMeasurePropDlg::kIdWindow);
            auto* second = control<QRadioButton>(dialog, CMeasurePropDlg::kIdTip);
            auto* ticks = control<QCheckBox>(dialog, CMeasurePropDlg::kIdTick);
            EXPECT_EQ(std::tuple(first->isChecked(), second->isChecked(), ticks->isChecked()),
                      std::tuple(window, !window, tick));
            // A tool window: a close box only, and room for the whole title.
            EXPECT_TRUE(onlyCloses(dialog));
            EXPECT_GE(dialog.width(), widthForTitle(dialog));
            QTest::mouseClick(window ? second : first, Qt::LeftButton);
            QTest::mouseClick(ticks, Qt::LeftButton);
            QTest::mouseClick(control<QPushButton>(dialog, button), Qt::LeftButton);
            return dialog.result();
        };
        EXPECT_TRUE(app.document()->OnCommand(kCmdMeasureProperties));
        return std::pair(settings::readInt("TrackRange", "Window", -1),
                         settings::readInt("TrackRange", "Tick", -1));
    };
    EXPECT_EQ(answer(false, true, 1), std::pair(1, 0));
    EXPECT_EQ(answer(true, false, 2), std::pair(1, 0)) << "Cancel stores nothing";
    EXPECT_TRUE(messages.empty()) << "carried out, not reported missing";
    app.ExitInstance(0);
}

}  // namespace
}  // namespace kov
