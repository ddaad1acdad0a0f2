// SPDX-License-Identifier: MIT
#include "ui/measure/CSliceWnd.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPointer>
#include <QPrinter>
#include <QTest>

#include "core/base/CommandIds.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/SharedPrinter.h"
#include "ui/measure/MeasureHooks.h"

namespace kov {
namespace {

ProfileData profile(double top) {
    ProfileData data;
    for (int i = 0; i <= 40; ++i)
        data.samples.push_back({i * 10.0, 0, top * i / 40});
    data.step = 10.0;
    data.length = 400.0;
    data.vertexDistances = {0.0, 150.0, 400.0};
    return data;
}

int redPixels(const QImage& image) {
    return test::countPixels(image, [](QRgb p) { return p == qRgb(255, 0, 0); });
}

class SliceWndTest : public test::SampleWindowTest {
protected:
    void TearDown() override {
        delete CSliceWnd::current();
        CSliceWnd::setSavePrompt({});
        test::SampleWindowTest::TearDown();
    }
    // Opens the window with the profile and waits until it is shown.
    CSliceWnd* open(const ProfileData& data) {
        CSliceWnd* w = CSliceWnd::Open(data, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([w] { return w->isVisible(); }));
        return w;
    }
};

TEST_F(SliceWndTest, OneWindowAtATimeWithItsMenuAndItsOwnCopy) {
    ProfileData data = profile(75);
    QPointer<CSliceWnd> first = open(data);
    data.samples.clear();  // the window keeps its own copy
    EXPECT_EQ(first->data().samples.size(), 41u);

    QPointer<CSliceWnd> second = open(profile(20));
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(CSliceWnd::current(), second.data());
    // Close (57602) posts the request: the window goes on the next turn of the loop.
    second->action(kCmdCloseWindow)->trigger();
    EXPECT_FALSE(second.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }));
    EXPECT_EQ(CSliceWnd::current(), nullptr);
}

TEST_F(SliceWndTest, ControlPointMarksToggleAndAreRemembered) {
    CSliceWnd* w = open(profile(75));
    EXPECT_GT(redPixels(w->plotWidget()->grab().toImage()), 20);
    EXPECT_TRUE(w->action(kCmdToggleControlPoints)->isChecked());
    w->action(kCmdToggleControlPoints)->trigger();
    EXPECT_EQ(settings::readInt("SliceWnd", "FPos", 1), 0);
    EXPECT_FALSE(w->action(kCmdToggleControlPoints)->isChecked());
    EXPECT_EQ(redPixels(w->plotWidget()->grab().toImage()), 0);
    // A new window starts without marks.
    w = open(profile(75));
    EXPECT_FALSE(w->showControlPoints());
    EXPECT_EQ(redPixels(w->plotWidget()->grab().toImage()), 0);
}

TEST_F(SliceWndTest, PlacementOnTheScreenMaximisedNotReapplied) {
    for (const auto& [key, value] :
         {std::pair{"XPos", 100}, {"YPos", 120}, {"XSize", 500}, {"YSize", 300}})
        settings::writeInt("SliceWnd", key, value);
    CSliceWnd* w = open(profile(75));
    EXPECT_EQ(w->geometry(), QRect(100, 120, 500, 300));
    // Maximised at close: "Zoom" 1, the normal place kept.
    w->showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isMaximized(); }));
    w->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return CSliceWnd::current() == nullptr; }));
    EXPECT_EQ(settings::readInt("SliceWnd", "Zoom", 0), 1);
    w = open(profile(75));
    EXPECT_FALSE(w->isMaximized());
    EXPECT_EQ(w->geometry(), QRect(100, 120, 500, 300));
    // A place off the screen is not used.
    w->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return CSliceWnd::current() == nullptr; }));
    EXPECT_EQ(settings::readInt("SliceWnd", "Zoom", 1), 0);
    settings::writeInt("SliceWnd", "XPos", 100000);
    w = open(profile(75));
    EXPECT_NE(w->geometry().x(), 100000);
}

TEST_F(SliceWndTest, PrintsOnePageAtNinetyPercentWithTheWindowsAspect) {
    CSliceWnd* w = open(profile(75));
    w->resize(800, 400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->plotWidget()->width() == 800; }));
    const double aspect = double(w->plotWidget()->width()) / w->plotWidget()->height();
    QPrinter& printer = sharedPrinter();
    const std::string pdf = dir->file("slice.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    w->action(kCmdPrint)->trigger();
    printer.setOutputFileName({});

    int code = -1;
    const std::string info = test::runCommand("pdfinfo '" + pdf + "'", &code);
    ASSERT_EQ(code, 0);
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           Slice"), std::string::npos) << info;
    // The ink lies in the box at 5 % from the left and top, 90 % wide, of the window's aspect.
    test::runCommand("pdftoppm -r 50 -png -singlefile '" + pdf + "' '" + dir->file("page") + "'",
                     &code);
    ASSERT_EQ(code, 0);
    const QImage page(QString::fromStdString(dir->file("page.png")));
    ASSERT_FALSE(page.isNull());
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
    const double pw = page.width(), ph = page.height();
    const QRectF box(pw * 0.05, ph * 0.05, pw * 0.9, pw * 0.9 / aspect);
    // Each edge of the ink at most a pixel outside the box and a little inside it.
    for (const auto& [edge, boxEdge, inside] : {std::tuple{ink.left(), box.left(), pw * 0.02},
                                                {ink.top(), box.top(), box.height() * 0.1},
                                                {-ink.right(), -box.right(), pw * 0.05},
                                                {-ink.bottom(), -box.bottom(), box.height() * 0.1}})
        EXPECT_TRUE(edge >= boxEdge - 1 && edge < boxEdge + inside) << edge << " " << boxEdge;
}

TEST_F(SliceWndTest, SavesTheMetafileAndSaysWhenItCannot) {
    CSliceWnd* w = open(profile(75));
    QString answer = QString::fromStdString(dir->file("p.emf"));
    CSliceWnd::setSavePrompt([&](QWidget*, const QString&) { return answer; });
    w->action(kCmdSaveMetafile)->trigger();
    const std::string bytes = test::readFile(dir->file("p.emf"));
    ASSERT_GT(bytes.size(), 200u);
    EXPECT_EQ(bytes.substr(40, 4), " EMF");
    EXPECT_TRUE(messages.empty());
    answer = QString::fromStdString(dir->file("missing/p.emf"));
    w->action(kCmdSaveMetafile)->trigger();
    EXPECT_TRUE(onlyMessage().startsWith(answer));
}

TEST_F(SliceWndTest, TheTracksLineIsSampledWithTheSettings) {
    registerCrossSectionWindow();
    ASSERT_TRUE(crossSectionBuilder());
    CKovVDoc document;
    ASSERT_TRUE(document.OnOpenDocument(sampleProject()));
    // (A step that is no number, the coarsest cell, is with the sampling's tests.)
    settings::writeString("CrossSection", "Step", "2");
    const std::vector<FPoint> line = {{-9500, -35000, 0}, {-9000, -35000, 0}};
    crossSectionBuilder()(document, line);
    ASSERT_NE(CSliceWnd::current(), nullptr);
    EXPECT_DOUBLE_EQ(CSliceWnd::current()->data().step, 2.0);
    EXPECT_EQ(CSliceWnd::current()->data().samples.size(), 251u);  // 500 m: the end once
    settings::writeInt("CrossSection", "MaxPoint", 50);
    crossSectionBuilder()(document, line);
    EXPECT_EQ(CSliceWnd::current()->data().samples.size(), 50u);
    // A line without length opens nothing and leaves the window as it is.
    QPointer<CSliceWnd> before = CSliceWnd::current();
    crossSectionBuilder()(document, {{-9500, -35000, 0}, {-9500, -35000, 0}});
    EXPECT_EQ(CSliceWnd::current(), before.data());
}

}  // namespace
}  // namespace kov
