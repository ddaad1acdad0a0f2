// SPDX-License-Identifier: MIT
#include "core/display/PngEncoder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>

namespace kov {
namespace {

QImage noise(int width, int height, QImage::Format format, unsigned seed) {
    QImage image(width, height, format);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random() | (format == QImage::Format_RGB32 ? 0xff000000u : 0u));
    return image;
}

// Decoded by libpng (through Qt), the file gives back exactly the picture's pixels.
TEST(PngEncoder, PixelsComeBackExactlyThroughAnotherDecoder) {
    // Smooth relief with flat areas, as maps are; then noise that spans many compressed chunks.
    QImage relief(333, 201, QImage::Format_RGB32);
    for (int y = 0; y < relief.height(); ++y)
        for (int x = 0; x < relief.width(); ++x)
            relief.setPixel(x, y, x < 100 ? qRgb(128, 200, 255) : qRgb(x % 256, y, (x * y) % 256));
    relief.setDotsPerMeterX(11811);
    relief.setDotsPerMeterY(11811);
    const QImage large = noise(700, 500, QImage::Format_RGB32, 7);
    for (const QImage& image : {relief, large}) {
        const QByteArray file = encodePng(image);
        ASSERT_FALSE(file.isEmpty());
        EXPECT_EQ(file.at(25), 2) << "colour type RGB for an opaque picture";
        const QImage back = QImage::fromData(file, "PNG");
        ASSERT_FALSE(back.isNull());
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
    }
    const QImage back = QImage::fromData(encodePng(relief), "PNG");
    EXPECT_EQ(std::pair(back.dotsPerMeterX(), back.dotsPerMeterY()), std::pair(11811, 11811));
}

TEST(PngEncoder, TransparencyIsKeptAndANullPictureGivesNothing) {
    const QImage image = noise(64, 48, QImage::Format_ARGB32, 3);
    const QByteArray file = encodePng(image);
    EXPECT_EQ(file.at(25), 6) << "colour type RGBA";
    EXPECT_EQ(QImage::fromData(file, "PNG").convertToFormat(QImage::Format_ARGB32), image);
    EXPECT_TRUE(encodePng(QImage()).isEmpty());
}

}  // namespace
}  // namespace kov
