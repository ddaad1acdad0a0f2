// SPDX-License-Identifier: MIT
// The print dialog driven through its controls, and the print commands printing to PDF.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/base/CommandIds.h"
#include "core/flood/FloodEstimate.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/SharedPrinter.h"
#include "ui/print/CQPrintDlg.h"
#include "ui/print/PrintJob.h"
#include "ui/view/CKovVView.h"

namespace kov {
namespace {

using test::control;

class PrintDialogTest : public test::SampleFrameTest {
protected:
    void SetUp() override {
        test::SampleFrameTest::SetUp();
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setOutputFileName(QString::fromStdString(dir->file("page.pdf")));
        printer_.setPageSize(QPageSize(QPageSize::A4));
        printer_.setResolution(600);
    }
    CKovVView& view() { return *frame_->View(); }
    void store(const char* key, int value) { settings::writeInt("QPrintDlg", key, value); }
    // Clicks a button on its indicator, at its left.
    static void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
    }

    QPrinter printer_{QPrinter::HighResolution};
};

TEST_F(PrintDialogTest, StoredSettingsModesAndOk) {
    settings::writeReal("QPrintDlg", "Scale", 0.0);  // below 0.01: 2500
    store("Mode", 0);
    store("FtTime", 1);
    CQPrintDlg dialog(view(), printer_);
    dialog.show();
    auto* scale = control<QLineEdit>(dialog, CQPrintDlg::kIdScale);
    auto* list = control<QPushButton>(dialog, CQPrintDlg::kIdScaleList);
    EXPECT_EQ(scale->text(), QStringLiteral("2500"));
    EXPECT_TRUE(control<QRadioButton>(dialog, CQPrintDlg::kIdMode0)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(dialog, CQPrintDlg::kIdTime)->isChecked());
    EXPECT_TRUE(scale->isEnabled() && list->isEnabled());
    // The whole sample at 1:2500 is far larger than A4.
    EXPECT_TRUE(dialog.statusText().endsWith(QStringLiteral("mm をオーバーしています")));

    click(control<QRadioButton>(dialog, CQPrintDlg::kIdMode0 + 1));
    EXPECT_FALSE(scale->isEnabled() || list->isEnabled());
    EXPECT_TRUE(dialog.statusText().endsWith(QStringLiteral("mm ")));
    click(control<QRadioButton>(dialog, CQPrintDlg::kIdMode0 + 2));
    EXPECT_TRUE(scale->isEnabled() && list->isEnabled());
    click(control<QCheckBox>(dialog, CQPrintDlg::kIdLegend));
    // A scale that is no number of at least 0.01 is refused with a message; the box shows the
    // last good scale again and the dialog stays open.
    for (const char* bad : {"0", "-500", "abc"}) {
        scale->selectAll();
        QTest::keyClicks(scale, QString::fromLatin1(bad));
        click(control<QPushButton>(dialog, 1));
        EXPECT_TRUE(dialog.isVisible()) << bad;
        EXPECT_EQ(scale->text(), QStringLiteral("2500")) << bad;
    }
    EXPECT_EQ(messages.size(), 3u);
    click(control<QPushButton>(dialog, 1));  // OK
    EXPECT_EQ(std::tuple(settings::readInt("QPrintDlg", "Mode", -1),
                         settings::readReal("QPrintDlg", "Scale", -1),
                         settings::readInt("QPrintDlg", "Legend", -1),
                         settings::readInt("QPrintDlg", "FtTime", -1),
                         settings::readInt("QPrintDlg", "FttDate", -1)),
              std::tuple(2, 2500.0, 1, 1, 0));
}

// A flood result with ranks makes room for its legend rows: the largest printable map is 7 mm
// lower (a 17 mm band instead of 10 mm).
TEST_F(PrintDialogTest, AFloodResultWithRanksWidensTheLegendBand) {
    store("Mode", 1);
    store("Legend", 1);
    auto printableHeight = [&] {
        CQPrintDlg dialog(view(), printer_);
        dialog.show();
        const QStringList words = dialog.statusText().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return words.size() >= 3 ? words[2].toDouble() : 0.0;
    };
    const double before = printableHeight();
    std::optional<FloodOutcome> flood = floodWholeArea(*document_->meshes(), FloodParameters{});
    ASSERT_TRUE(flood);
    ASSERT_TRUE(addFloodLayer(*document_->meshes(), flood->layer));
    EXPECT_NEAR(before - printableHeight(), 7.0, 0.15);
}

TEST_F(PrintDialogTest, TypedScaleCountsAfterOneSecondAndTheMiniatureHasItsBlueFrame) {
    store("Mode", 0);
    CQPrintDlg dialog(view(), printer_);
    dialog.show();
    auto* scale = control<QLineEdit>(dialog, CQPrintDlg::kIdScale);
    const int drawn = dialog.previewCount();
    ASSERT_TRUE(dialog.statusText().contains(QStringLiteral("オーバー")));
    scale->setFocus();
    scale->selectAll();
    QTest::keyClicks(scale, QStringLiteral("100000"));
    QTest::qWait(500);
    EXPECT_EQ(dialog.previewCount(), drawn);  // still typing
    QTest::qWait(800);
    EXPECT_EQ(dialog.previewCount(), drawn + 1);
    EXPECT_FALSE(dialog.statusText().contains(QStringLiteral("オーバー")));
    // A typed 0 is refused when it would count: the miniature keeps the last good scale.
    scale->selectAll();
    QTest::keyClicks(scale, QStringLiteral("0"));
    QTest::qWait(1300);
    EXPECT_EQ(std::tuple(messages.size(), scale->text()), std::tuple(1u, QStringLiteral("100000")));
    EXPECT_EQ(dialog.settings().scale, 100000.0);

    const int blue =
        test::countPixels(dialog.preview(), [](QRgb p) { return p == qRgb(0, 0, 255); });
    const int coloured = test::countPixels(
        dialog.preview(), [](QRgb p) { return qRed(p) != qGreen(p) || qGreen(p) != qBlue(p); });
    EXPECT_GT(blue, 400);             // the page's outline
    EXPECT_GT(coloured, blue + 100);  // and the map inside it
}

TEST_F(PrintDialogTest, ScaleListShowsTheHistoryThenThePresets) {
    store("Mode", 2);
    store("ScaleHist1", 1234);
    store("ScaleHist2", 0);
    store("ScaleHist3", -5);
    store("ScaleHist10", 99999);
    CQPrintDlg dialog(view(), printer_);
    dialog.show();
    const int drawn = dialog.previewCount();
    QStringList texts;
    QTimer::singleShot(100, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == QStringLiteral(" 1 / 5,000 ")) chosen = action;
        }
        ASSERT_NE(chosen, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
    });
    click(control<QPushButton>(dialog, CQPrintDlg::kIdScaleList));
    QTest::qWait(200);
    ASSERT_EQ(texts.size(), 17);
    EXPECT_EQ(texts.mid(0, 4), (QStringList{" 1 / 1234 ", " 1 / 99999 ", "-", " 1 / 250 "}));
    EXPECT_EQ(texts.last(), QStringLiteral(" 1 / 5,000,000 "));
    EXPECT_EQ(control<QLineEdit>(dialog, CQPrintDlg::kIdScale)->text(), QStringLiteral("5000"));
    EXPECT_EQ(dialog.previewCount(), drawn + 1);  // at once, without the typing delay
}

TEST_F(PrintDialogTest, PrintCommandPrintsOnePageOrTellsWhyNot) {
    registerPrinting();
    QPrinter& printer = sharedPrinter();
    const QString pdf = QString::fromStdString(dir->file("job.pdf"));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    testPrompts().runModal = [](QDialog& dialog) {
        click(control<QCheckBox>(dialog, CQPrintDlg::kIdTitle));
        click(control<QCheckBox>(dialog, CQPrintDlg::kIdScaleText));
        dialog.accept();
        return dialog.result();
    };
    frame_->RouteCommand(kCmdPrint);
    EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();
    const std::string info = test::runCommand("pdfinfo " + pdf.toStdString());
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
    // Titled after the project, its text found as typed (高, not the radical ⾼).
    const QString title = QString::fromStdString(document_->meshes()->projectTitle);
    EXPECT_NE(info.find("Title:           " + title.toStdString()), std::string::npos) << info;
    const std::string text = test::runCommand("pdftotext " + pdf.toStdString() + " -");
    ASSERT_TRUE(title.contains(QStringLiteral("標高")));
    EXPECT_NE(text.find(title.toStdString()), std::string::npos) << text;
    EXPECT_NE(text.find("SCALE: 1/"), std::string::npos) << text;

    // Without a printer nothing is printed, and the user is told.
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(QStringLiteral("no-such-printer-here"));
    frame_->RouteCommand(kCmdPrint);
    EXPECT_TRUE(onlyMessage().endsWith(QStringLiteral("印刷しませんでした")));
    printer.setOutputFormat(QPrinter::PdfFormat);
    CKovVDoc::setCommandHandler(kCmdPrint, {});
    CKovVDoc::setCommandHandler(kCmdPrintWithoutDialog, {});
}

}  // namespace
}  // namespace kov
