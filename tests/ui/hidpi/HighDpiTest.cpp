// SPDX-License-Identifier: MIT
// On a screen at twice the density (QT_SCALE_FACTOR=2) the relief, the legend and the preview are
// drawn at device pixels, not drawn at logical size and scaled up.
#include <gtest/gtest.h>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtGlobal>

#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "core/display/MeshRenderer.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/dialogs/CHMeshPrevWnd.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQLegend.h"

namespace kov {
namespace {

class DoubleDensity : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_SCALE_FACTOR", "2");
        test::ensureApplication();
    }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DoubleDensity);

// Share of the pixels of `a` equal to those of `b` (same size).
double sameShare(const QImage& a, const QImage& b) {
    long same = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            same += (a.pixel(x, y) & 0xffffff) == (b.pixel(x, y) & 0xffffff);
    return static_cast<double>(same) / (a.width() * a.height());
}

class HighDpiTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string project = test::writeCodedProject(
            dir_, 40, 30, [](int c, int r) { return 10 * ((c * 7 + r * 13) % 200); });
        ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(project)));
        doc_.meshes()->showSheetInfo = 0;
    }

    test::TempDir dir_;
    CKovVDoc doc_;
};

TEST_F(HighDpiTest, ReliefLegendAndPreviewAreDrawnAtDevicePixels) {
    CKovVView view(&doc_);
    doc_.setView(&view);
    view.resize(200, 150);
    view.show();
    ASSERT_DOUBLE_EQ(view.devicePixelRatioF(), 2.0);
    // The relief of the area drawn at w x h pixels.
    const auto fine = [this](const MapRect& area, int w, int h) {
        Dib24 picture(w, h);
        renderMeshes(*doc_.meshes(), picture, &area, nullptr, nullptr, doc_.meshes()->stepMode,
                     doc_.meshes()->stepHeight);
        return dib24ToImage(picture);
    };
    const QImage face = view.grab().toImage();
    ASSERT_EQ(face.size(), QSize(400, 300));
    EXPECT_GT(sameShare(face, fine(view.viewport().world(), 400, 300)), 0.95);
    doc_.setView(nullptr);

    CQLegend legend(&doc_);
    legend.resize(60, 240);
    const QImage legendFace = legend.grab().toImage().copy(0, 2 * 20, 120, 2 * 200);
    const QImage strip = dib24ToImage(doc_.meshes()->GetColorMap(0)->makeStrip(120, 400, true));
    EXPECT_GT(sameShare(legendFace, strip), 0.95);

    CHMeshPrevWnd preview;
    preview.setProject(doc_.meshes());
    preview.resize(160, 120);
    const QImage previewFace = preview.grab().toImage();
    MapRect extent;
    ASSERT_TRUE(doc_.meshes()->GetExtent(extent));
    EXPECT_GT(sameShare(previewFace, fine(CHMeshPrevWnd::fitAspect(extent, 160, 120), 320, 240)),
              0.95);
}

// Toolbar icons come in a version of twice the size, drawn by the same strokes.
TEST(HighDpiIcons, ToolbarIconsHaveTheirDoubleSize) {
    const QPixmap open = QIcon(QStringLiteral(":/icons/57601.png")).pixmap(QSize(16, 15));
    EXPECT_EQ(open.size(), QSize(32, 30));
}

}  // namespace
}  // namespace kov
