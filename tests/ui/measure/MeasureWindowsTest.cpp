// The result window of the measuring tools and the measurement properties dialog, driven by
// mouse and key events as a user drives them.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
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

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}
// What the widget ignores goes on to its parents, as a real key does.
void press(QWidget* widget, int key) {
    QTest::keyClick(widget, Qt::Key(key));
}

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
    EXPECT_EQ(control<QLabel>(window, 2752)->text(), QStringLiteral("勾　　配"));
    EXPECT_FALSE(control<QLabel>(window, 2753)->isVisible() ||
                 control<QLineEdit>(window, 2103)->isVisible());
    click(control<QPushButton>(window, 2301));
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "   100.0 (m)\r\n5.71(Deg) 10.00(%)\r\n");

    // The longest values fit whole inside the field's frame and its 2-pixel margins.
    QLineEdit* value = control<QLineEdit>(window, 2101);
    const int frame = value->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    for (const QString text :
         {QStringLiteral("10,000,000.0 (㎡)"), QStringLiteral("-89.99(Deg) -9999.99(%)")})
        EXPECT_GE(value->width() - 2 * frame - 4, value->fontMetrics().horizontalAdvance(text));
}

TEST_F(MeasureWindowsTest, ClosingOrEscDestroysTheWindowAndKeepsItsPosition) {
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    auto stored = [] {
        return std::pair(settings::readInt("MeasureMsgDlg", "XPos", -1),
                         settings::readInt("MeasureMsgDlg", "YPos", -1));
    };
    delete new CMeasureMsgDlg(nullptr);
    EXPECT_EQ(stored(), std::pair(-1, -1)) << "a window never shown keeps nothing";

    // The stored place (the corner inside the frame) is used when shown; closing keeps the last
    // one, and the window reopens exactly there, time after time.
    settings::writeInt("MeasureMsgDlg", "XPos", 120);
    settings::writeInt("MeasureMsgDlg", "YPos", 140);
    QPointer<CMeasureMsgDlg> window = new CMeasureMsgDlg(nullptr);
    window->show();
    EXPECT_EQ(window->geometry().topLeft(), QPoint(120, 140));
    window->move(200, 210);
    QPoint placed = window->geometry().topLeft();
    for (int round = 0; round < 3; ++round) {
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
        EXPECT_EQ(stored(), std::pair(placed.x(), placed.y())) << round;
        window = new CMeasureMsgDlg(nullptr);
        window->show();
        EXPECT_EQ(window->geometry().topLeft(), placed) << round;
    }
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Esc in a value field closes it too; a place off the screen is not used.
    settings::writeInt("MeasureMsgDlg", "XPos", screen.width());
    window = new CMeasureMsgDlg(nullptr);
    window->move(60, 70);
    window->show();
    placed = window->geometry().topLeft();
    press(control<QLineEdit>(*window, 2102), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(stored(), std::pair(placed.x(), placed.y()));
}

// The command as the program registers it at start-up; F1 in each window opens its own page.
TEST_F(MeasureWindowsTest, PropertiesCommandStoresTheChoicesAndF1OpensEachPage) {
    CKovVApp app;
    app.setKeepSettingsLocation(true);
    ASSERT_TRUE(app.InitInstance({}));
    auto page = [&] { return app.helpWindow() ? app.helpWindow()->currentPage() : QString(); };
    auto* result = new CMeasureMsgDlg(app.mainFrame());  // modeless, the frame's child
    result->show();
    press(control<QPushButton>(*result, 2301), Qt::Key_F1);
    EXPECT_TRUE(page().endsWith(QStringLiteral("/D00583.htm"))) << page().toStdString();
    EXPECT_TRUE(result->isVisible());

    settings::writeInt("TrackRange", "Window", 0);
    // Shows the stored choices, clicks the other radio button and the tick box, ends with OK (1)
    // or Cancel (2).
    QString helpPage;
    auto answer = [&](bool window, bool tick, int button) {
        testPrompts().runModal = [=, &helpPage](QDialog& dialog) {
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            auto* first = control<QRadioButton>(dialog, CMeasurePropDlg::kIdWindow);
            auto* second = control<QRadioButton>(dialog, CMeasurePropDlg::kIdTip);
            auto* ticks = control<QCheckBox>(dialog, CMeasurePropDlg::kIdTick);
            EXPECT_EQ(std::tuple(first->isChecked(), second->isChecked(), ticks->isChecked()),
                      std::tuple(window, !window, tick));
            // A tool window: a close box only, and room for the whole title.
            EXPECT_TRUE(onlyCloses(dialog));
            EXPECT_GE(dialog.width(), widthForTitle(dialog));
            press(ticks, Qt::Key_F1);
            helpPage = page();
            click(window ? second : first);
            click(ticks);
            click(control<QPushButton>(dialog, button));
            return dialog.result();
        };
        EXPECT_TRUE(app.document()->OnCommand(kCmdMeasureProperties));
        return std::pair(settings::readInt("TrackRange", "Window", -1),
                         settings::readInt("TrackRange", "Tick", -1));
    };
    EXPECT_EQ(answer(false, true, 1), std::pair(1, 0));
    EXPECT_TRUE(helpPage.endsWith(QStringLiteral("/D00582.htm"))) << helpPage.toStdString();
    EXPECT_EQ(answer(true, false, 2), std::pair(1, 0)) << "Cancel stores nothing";
    EXPECT_TRUE(messages.empty()) << "carried out, not reported missing; both pages exist";
    app.ExitInstance(0);
}

}  // namespace
}  // namespace kov
