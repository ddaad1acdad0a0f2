// The result window of the measuring tools and the measurement properties dialog, driven by
// mouse and key events as a user drives them.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/dialogs/CHelpWindow.h"
#include "ui/measure/CMeasureMsgDlg.h"
#include "ui/measure/CMeasurePropDlg.h"

namespace kov {
namespace {

using test::control;

// A left click in the middle of the widget.
void click(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A key pressed in the widget; what it ignores goes on to its parents as a real key does.
void press(QWidget* widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class MeasureWindowsTest : public test::WindowTest {
protected:
    QPoint storedPosition() {
        return {settings::readInt("MeasureMsgDlg", "XPos", -1),
                settings::readInt("MeasureMsgDlg", "YPos", -1)};
    }
};

TEST_F(MeasureWindowsTest, ResultRowsHideAndCopyTheShownValues) {
    QPointer<CMeasureMsgDlg> window = new CMeasureMsgDlg(nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("図上計測"));
    EXPECT_FALSE(window->isModal());
    for (int row = 0; row < CMeasureMsgDlg::kRowCount; ++row) {
        EXPECT_TRUE(control<QLabel>(*window, 2751 + row)->text().isEmpty()) << row;
        EXPECT_TRUE(control<QLineEdit>(*window, 2101 + row)->isReadOnly()) << row;
    }
    window->setLabel(0, QStringLiteral("区間距離"));
    window->setValue(0, QStringLiteral("   100.0 (m)"));
    window->setLabel(1, QStringLiteral("勾　　配"));
    window->setValue(1, QStringLiteral("5.71(Deg) 10.00(%)"));
    window->setValue(2, QStringLiteral("not shown"));
    window->setValue(3, QStringLiteral("no such row"));
    window->setLabel(-1, QStringLiteral("no such row"));
    window->hideRows(2);
    window->show();
    EXPECT_EQ(control<QLabel>(*window, 2752)->text(), QStringLiteral("勾　　配"));
    EXPECT_FALSE(control<QLabel>(*window, 2753)->isVisible());
    EXPECT_FALSE(control<QLineEdit>(*window, 2103)->isVisible());
    EXPECT_TRUE(control<QLineEdit>(*window, 2102)->isVisible());

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    auto* copy = control<QPushButton>(*window, 2301);
    EXPECT_EQ(copy->text(), QStringLiteral("コピー(&C)"));
    click(copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "   100.0 (m)\r\n5.71(Deg) 10.00(%)\r\n");

    // The longest values fit their fields whole.
    for (const QString& text :
         {QStringLiteral("10,000,000.0 (㎡)"), QStringLiteral("-89.99(Deg) -9999.99(%)")}) {
        QLineEdit* value = control<QLineEdit>(*window, 2101);
        value->setText(text);
        // The line edit keeps its frame and 2 pixels each side clear of text.
        const int frame = value->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        const int textWidth = value->fontMetrics().horizontalAdvance(text);
        EXPECT_GE(value->width() - 2 * frame - 4, textWidth) << text.toStdString();
    }
    delete window;
}

TEST_F(MeasureWindowsTest, ClosingOrEscDestroysTheWindowAndKeepsItsPosition) {
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    // Both numbers from 1 up to 33 pixels short of the screen's edges.
    EXPECT_TRUE(CMeasureMsgDlg::storedPositionFits({1, 1}, screen));
    EXPECT_TRUE(
        CMeasureMsgDlg::storedPositionFits({screen.width() - 33, screen.height() - 33}, screen));
    EXPECT_FALSE(CMeasureMsgDlg::storedPositionFits({0, 50}, screen));
    EXPECT_FALSE(CMeasureMsgDlg::storedPositionFits({50, -1}, screen));
    EXPECT_FALSE(CMeasureMsgDlg::storedPositionFits({screen.width() - 32, 50}, screen));
    EXPECT_FALSE(CMeasureMsgDlg::storedPositionFits({50, screen.height() - 32}, screen));

    // A window never shown keeps nothing.
    delete new CMeasureMsgDlg(nullptr);
    EXPECT_EQ(storedPosition(), QPoint(-1, -1));

    // The close box: the stored place is used on the first show, the last one is kept.
    settings::writeInt("MeasureMsgDlg", "XPos", 120);
    settings::writeInt("MeasureMsgDlg", "YPos", 140);
    QPointer<CMeasureMsgDlg> window = new CMeasureMsgDlg(nullptr);
    window->show();
    EXPECT_EQ(window->pos(), QPoint(120, 140));
    window->move(200, 210);
    window->hide();
    settings::writeInt("MeasureMsgDlg", "XPos", 300);
    window->show();
    EXPECT_EQ(window->pos(), QPoint(200, 210)) << "applied on the first show only";
    window->close();
    EXPECT_FALSE(window.isNull() || window->isVisible());
    runDeferredDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(storedPosition(), QPoint(200, 210));

    // Esc in a value field; a place off the screen is not used.
    settings::writeInt("MeasureMsgDlg", "XPos", screen.width());
    window = new CMeasureMsgDlg(nullptr);
    window->move(60, 70);
    window->show();
    EXPECT_EQ(window->pos(), QPoint(60, 70));
    press(control<QLineEdit>(*window, 2102), Qt::Key_Escape);
    runDeferredDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(storedPosition(), QPoint(60, 70));
}

TEST_F(MeasureWindowsTest, PropertiesCommandShowsAndStoresTheChoices) {
    registerMeasureDialogs();
    CKovVDoc document;
    settings::writeInt("TrackRange", "Window", 0);
    // OK after clicking the result window and the ticks off.
    std::vector<QString> seen;
    testPrompts().runModal = [&](QDialog& dialog) {
        dialog.show();
        seen.push_back(dialog.windowTitle());
        auto* window = control<QRadioButton>(dialog, CMeasurePropDlg::kIdWindow);
        auto* tip = control<QRadioButton>(dialog, CMeasurePropDlg::kIdTip);
        auto* tick = control<QCheckBox>(dialog, CMeasurePropDlg::kIdTick);
        EXPECT_EQ(std::tuple(window->isChecked(), tip->isChecked(), tick->isChecked()),
                  std::tuple(false, true, true));
        click(window);
        click(tick);
        click(control<QPushButton>(dialog, 1));
        return dialog.result();
    };
    EXPECT_TRUE(document.OnCommand(kCmdMeasureProperties));
    EXPECT_EQ(std::tuple(settings::readInt("TrackRange", "Window", -1),
                         settings::readInt("TrackRange", "Tick", -1)),
              std::tuple(1, 0));

    // Cancel after changing everything stores nothing.
    testPrompts().runModal = [&](QDialog& dialog) {
        dialog.show();
        auto* window = control<QRadioButton>(dialog, CMeasurePropDlg::kIdWindow);
        auto* tick = control<QCheckBox>(dialog, CMeasurePropDlg::kIdTick);
        EXPECT_EQ(std::tuple(window->isChecked(), tick->isChecked()), std::tuple(true, false));
        click(control<QRadioButton>(dialog, CMeasurePropDlg::kIdTip));
        click(tick);
        click(control<QPushButton>(dialog, 2));
        return dialog.result();
    };
    EXPECT_TRUE(document.OnCommand(kCmdMeasureProperties));
    EXPECT_EQ(std::tuple(settings::readInt("TrackRange", "Window", -1),
                         settings::readInt("TrackRange", "Tick", -1)),
              std::tuple(1, 0));
    EXPECT_EQ(seen, std::vector<QString>{QStringLiteral("図上計測のプロパティ")});
    EXPECT_TRUE(messages.empty()) << "the command is carried out, not reported missing";
    CKovVDoc::setCommandHandler(kCmdMeasureProperties, {});
}

TEST_F(MeasureWindowsTest, F1OpensTheHelpPageOfEachWindow) {
    CKovVApp app;
    app.setKeepSettingsLocation(true);
    ASSERT_TRUE(app.InitInstance({}));
    QWidget* frame = app.mainFrame();

    auto* result = new CMeasureMsgDlg(frame);
    result->show();
    press(control<QPushButton>(*result, 2301), Qt::Key_F1);
    ASSERT_NE(app.helpWindow(), nullptr);
    EXPECT_TRUE(app.helpWindow()->currentPage().endsWith(QStringLiteral("/D00583.htm")))
        << app.helpWindow()->currentPage().toStdString();
    EXPECT_TRUE(result->isVisible()) << "F1 does not close the window";
    delete result;

    {
        CMeasurePropDlg properties(frame);
        properties.setWindowModality(Qt::ApplicationModal);
        properties.show();
        press(control<QCheckBox>(properties, CMeasurePropDlg::kIdTick), Qt::Key_F1);
        EXPECT_TRUE(app.helpWindow()->currentPage().endsWith(QStringLiteral("/D00582.htm")))
            << app.helpWindow()->currentPage().toStdString();
        EXPECT_TRUE(app.helpWindow()->browser()->toPlainText().contains(
            QStringLiteral("図上計測のプロパティ")));
    }
    EXPECT_TRUE(messages.empty());
    app.ExitInstance(0);
}

}  // namespace
}  // namespace kov
