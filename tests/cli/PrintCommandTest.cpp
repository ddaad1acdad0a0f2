// SPDX-License-Identifier: MIT
// kovtool print: the printed page read back from the PDF with poppler-utils.
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/SampleSuite.h"

namespace kov {
namespace {

constexpr double kPixelsPerMm = 10.0;  // the page is rasterised at 254 dpi

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;  // millimetres from the page's top left
};

class KovtoolPrintTest : public test::SampleSetSuite {
protected:
    static std::string print(const std::string& name, const std::string& options) {
        const std::string out = dir->file(name);
        int code = -1;
        kovtool("print " + dir->file("sample.kovv5") + " -o " + out + " " + options, &code);
        EXPECT_EQ(code, 0) << lastError();
        return out;
    }
    // The bounding box of the coloured pixels above the given depth (the map: the relief fills
    // its whole rectangle; the legend strip starts lower).
    static Box mapBox(const std::string& pdf, double aboveMm) {
        test::runCommand("pdftoppm -r 254 -singlefile -png " + pdf + " " + pdf);
        const QImage page =
            QImage(QString::fromStdString(pdf + ".png")).convertToFormat(QImage::Format_RGB32);
        EXPECT_FALSE(page.isNull());
        int left = page.width(), right = -1, top = page.height(), bottom = -1;
        const int lowest = std::min(page.height(), int(aboveMm * kPixelsPerMm));
        for (int y = 0; y < lowest; ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
            for (int x = 0; x < page.width(); ++x) {
                if (qRed(row[x]) > 235 && qGreen(row[x]) > 235 && qBlue(row[x]) > 235) continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        return {left / kPixelsPerMm, top / kPixelsPerMm, (right + 1) / kPixelsPerMm,
                (bottom + 1) / kPixelsPerMm};
    }
    // The footer's box from pdftotext -bbox, in millimetres.
    static Box footerBox(const std::string& pdf) {
        const QString xml =
            QString::fromStdString(test::runCommand("pdftotext -bbox " + pdf + " -"));
        static const QRegularExpression word(
            "xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\"");
        Box box{1e9, 1e9, -1, -1};
        for (auto it = word.globalMatch(xml); it.hasNext();) {
            const auto m = it.next();
            const double pt = 25.4 / 72.0;
            box.left = std::min(box.left, m.captured(1).toDouble() * pt);
            box.top = std::min(box.top, m.captured(2).toDouble() * pt);
            box.right = std::max(box.right, m.captured(3).toDouble() * pt);
            box.bottom = std::max(box.bottom, m.captured(4).toDouble() * pt);
        }
        return box;
    }
};

TEST_F(KovtoolPrintTest, ModeZeroPrintsTheMapAtScaleCentredWithTheFooterBelow) {
    // 1500 x 1000 m at 1:10000 is 150 x 100 mm on A4 portrait (210 x 297 mm).
    const std::string pdf = print("scale.pdf",
                                  "--mode 0 --scale 10000 --rect -9500,-34000,-8000,-33000 "
                                  "--size 1500x1000 --scale-text --comment footer-note");
    EXPECT_NE(test::runCommand("pdfinfo " + pdf).find("595 x 842 pts (A4)"), std::string::npos);
    const Box footer = footerBox(pdf);
    const Box map = mapBox(pdf, footer.top - 0.2);
    EXPECT_NEAR(map.right - map.left, 150.0, 0.5);
    EXPECT_NEAR(map.bottom - map.top, 100.0, 0.5);
    EXPECT_NEAR((map.left + map.right) / 2, 105.0, 0.5);   // centred across the page
    EXPECT_NEAR((map.top + map.bottom) / 2, 148.5, 0.75);  // and down it (no legend band)

    const std::string text = test::runCommand("pdftotext " + pdf + " -");
    EXPECT_NE(text.find("SCALE: 1/10,000"), std::string::npos) << text;
    EXPECT_NE(text.find("footer-note"), std::string::npos) << text;
    // Its top 5/72 inch (1.8 mm) below the map, centred on the page.
    EXPECT_NEAR(footer.top - map.bottom, 25.4 * 5 / 72, 0.75);
    EXPECT_NEAR((footer.left + footer.right) / 2, 105.0, 1.0);
}

TEST_F(KovtoolPrintTest, AMapLargerThanThePaperIsRefusedOrCutWithClip) {
    // 1500 x 1000 m at 1:2 would be 750 x 500 m of paper.
    const std::string over =
        " --mode 0 --scale 2 --rect -9500,-34000,-8000,-33000 --size 1500x1000";
    EXPECT_EQ(exitOf("print " + dir->file("sample.kovv5") + " -o " + dir->file("over.pdf") + over),
              1);
    EXPECT_NE(lastError().find("exceeds the largest printable size"), std::string::npos)
        << lastError();
    EXPECT_FALSE(std::filesystem::exists(dir->file("over.pdf")));
    // With --clip the part around the centre that fits the paper: a page a PDF reader draws.
    const Box map = mapBox(print("clip.pdf", over + " --clip"), 297.0);
    EXPECT_GT(map.right - map.left, 190.0);
    EXPECT_GT(map.bottom - map.top, 250.0);
}

}  // namespace
}  // namespace kov
