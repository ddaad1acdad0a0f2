// kovtool render on the sample project.
#include <gtest/gtest.h>

#include <QImage>

#include "support/SampleSuite.h"

namespace kov {
namespace {

class KovtoolRenderTest : public test::SampleSetSuite {
protected:
    static int render(const std::string& args) {
        int code = -1;
        kovtool("render " + dir->file("sample.kovv5") + " " + args, &code);
        return code;
    }
};

TEST_F(KovtoolRenderTest, WritesTheRequestedPicture) {
    ASSERT_EQ(render("-o " + dir->file("a.png") + " --size 320x200 --no-sheets"), 0) << lastError();
    const QImage plain(QString::fromStdString(dir->file("a.png")));
    EXPECT_EQ(plain.size(), QSize(320, 200));
    // The view's background gradient runs from the top colour to the bottom colour beside the
    // data (the project is wider than tall, so the sides are background).
    EXPECT_EQ(plain.pixel(0, 0) & 0xFFFFFF, qRgb(128, 128, 255) & 0xFFFFFF);

    ASSERT_EQ(render("-o " + dir->file("b.png") + " --size 320x200 --legend --dpi 96"), 0);
    EXPECT_EQ(QImage(QString::fromStdString(dir->file("b.png"))).size(), QSize(320, 263));

    // A zoomed rectangle fills the picture with data.
    ASSERT_EQ(render("-o " + dir->file("c.png") +
                     " --size 200x200 --rect -9000,-36000,-8000,-35000"
                     " --no-sheets --no-scalebar --step-mode 1 --step 10"),
              0);
    const QImage zoomed(QString::fromStdString(dir->file("c.png")));
    EXPECT_NE(zoomed.pixel(0, 0) & 0xFFFFFF, qRgb(128, 128, 255) & 0xFFFFFF);

    ASSERT_EQ(render("-o " + dir->file("d.pdf") + " --size 320x200"), 0);
    EXPECT_EQ(test::readFile(dir->file("d.pdf")).rfind("%PDF", 0), 0u);
}

TEST_F(KovtoolRenderTest, RefusesBadArguments) {
    EXPECT_EQ(render("-o " + dir->file("x.png") + " --size 0x10"), 2);
    EXPECT_EQ(render("-o " + dir->file("x.png") + " --rect 1,2,0,4"), 2);
    EXPECT_EQ(render("-o " + dir->file("x.bmp")), 2);
    EXPECT_EQ(render("--size 10x10"), 2);
    EXPECT_EQ(render("-o " + dir->file("no/such/x.png") + " --size 10x10"), 1);
}

}  // namespace
}  // namespace kov
