// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QColor>
#include <algorithm>
#include <tuple>

#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "core/project/SettingsDefaults.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

constexpr uint32_t rgb32(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}
uint32_t packed(const Rgb& c) {
    return rgb32(c.red, c.green, c.blue);
}

// A colour map with defaults taken from an empty settings file.
class ColorMapTest : public ::testing::Test {
protected:
    void SetUp() override { settings::setLocation(dir_.file("absent.ini")); }
    test::TempDir dir_;
};

TEST_F(ColorMapTest, ProjectDefaultsComeFromTheSettingsOnlyWhenAsked) {
    test::writeFile(dir_.file("kov.ini"),
                    "[ColorMap]\nCOLOR1=RGB(10,20,30)\nColorNone=RGB(1,2,3)\n[Shape]\n"
                    "PenWidth=1.25\nPenColor=RGB(1,2,3)\nFillAlpha=64\nFillColor=#0000FF\n");
    settings::setLocation(dir_.file("kov.ini"));
    EXPECT_EQ(std::pair(ZarHColorMap().stop(0)->color, HMeshProject().shapePenWidth),
              std::pair(rgb32(230, 255, 128), 0.75))
        << "only a caller reads settings";
    const ProjectDefaults defaults = projectDefaultsFromSettings();
    ZarHColorMap fromSettings(defaults.colorMap);
    EXPECT_EQ(fromSettings.stop(0)->color, rgb32(10, 20, 30));
    // No-data is never painted on creation, whatever the settings say.
    EXPECT_EQ(fromSettings.noDataColor, rgb32(1, 2, 3) | kColorNotPainted);
    const HMeshProject c(defaults);
    EXPECT_EQ(std::tuple(c.shapePenWidth, c.shapePenColor, c.shapeFillAlpha, c.shapeFillColor),
              std::tuple(1.25, 0x030201u, 64, 0xFFu));
}

TEST_F(ColorMapTest, RampEndsAndHsvInterpolation) {
    ZarHColorMap map;
    Rgb c;
    // Beyond the ends: the end colours.
    for (const auto& [h, end] : {std::pair(-5.0, 0), {250.0, 1}}) {
        ASSERT_TRUE(map.colorAt(h, c));
        EXPECT_EQ(packed(c), map.stop(end)->color);
    }

    // A quarter and half the way, hue, saturation and value each move that far from the first
    // end to the second (checked against Qt's own HSV conversion).
    const QColor a(230, 255, 128), b(192, 64, 32);
    for (const double t : {0.25, 0.5}) {
        auto mix = [t](double from, double to) {
            return static_cast<float>(from + t * (to - from));
        };
        const QColor expected = QColor::fromHsvF(mix(a.hsvHueF(), b.hsvHueF()),
                                                 mix(a.hsvSaturationF(), b.hsvSaturationF()),
                                                 mix(a.valueF(), b.valueF()));
        ASSERT_TRUE(map.colorAt(200.0 * t, c));
        EXPECT_LE(std::max({std::abs(c.red - expected.red()), std::abs(c.green - expected.green()),
                            std::abs(c.blue - expected.blue())}),
                  1)
            << t;
    }
}

TEST_F(ColorMapTest, ReverseSegmentsGoThroughRed) {
    // Hues 0.1 (orange) and 0.6 (blue), full saturation and value.
    const Rgb from = hsvToRgb(0.1, 1.0, 1.0), to = hsvToRgb(0.6, 1.0, 1.0);
    ColorStop stops[2] = {{packed(from), 0, 0.0}, {packed(to), 0, 100.0}};
    ZarHColorMap map;
    map.setStops(stops, 2);
    Rgb c;
    map.colorAt(50.0, c);  // direct: hue 0.35, a green
    EXPECT_NEAR(QColor(c.red, c.green, c.blue).hsvHueF(), 0.35, 0.01);

    map.stop(0)->reverse = 1;
    map.rebuildTable();
    // The arc 0.1 -> 0 -> 0.6 is 0.5 long; a fifth of the way along it is hue 0 (pure red).
    map.colorAt(20.0, c);
    EXPECT_EQ(packed(c), rgb32(255, 0, 0));
    map.colorAt(10.0, c);
    EXPECT_NEAR(QColor(c.red, c.green, c.blue).hsvHueF(), 0.05, 0.01);
    map.colorAt(60.0, c);  // past red, coming down from the top of the circle to 0.6
    EXPECT_NEAR(QColor(c.red, c.green, c.blue).hsvHueF(), 0.8, 0.01);
    // The table follows the in-place change.
    const Rgb t = map.tableColor(20.0);
    EXPECT_EQ(t.red, 255);
    EXPECT_LE(t.green + t.blue, 2);
}

TEST_F(ColorMapTest, TableLookupAndDegenerateRanges) {
    ZarHColorMap map;
    const auto& table = map.table();
    EXPECT_EQ(std::pair(table[0].height, table[999].height), std::pair(0.0, 200.0));
    // No interpolation between entries: just below entry 500's height answers entry 499.
    const double h500 = table[500].height;
    Rgb below = map.tableColor(std::nextafter(h500, 0.0));
    EXPECT_EQ(packed(below), rgb32(table[499].red, table[499].green, table[499].blue));
    EXPECT_EQ(packed(map.tableColor(-1e9)), rgb32(230, 255, 128));
    EXPECT_EQ(packed(map.tableColor(1e9)), rgb32(192, 64, 32));

    // Equal first and last heights: every height answers the first colour.
    ColorStop flat[2] = {{rgb32(1, 2, 3), 0, 50.0}, {rgb32(200, 100, 0), 0, 50.0}};
    map.setStops(flat, 2);
    for (double h : {-10.0, 50.0, 80.0})
        EXPECT_EQ(packed(map.tableColor(h)), rgb32(1, 2, 3));

    // A grey stop has hue 0, so grey to blue sweeps up from red through green.
    ColorStop grey[2] = {{rgb32(128, 128, 128), 0, 0.0}, {rgb32(0, 0, 255), 0, 10.0}};
    map.setStops(grey, 2);
    EXPECT_EQ(map.stop(0)->hue, 0.0);
    Rgb c;
    map.colorAt(5.0, c);
    EXPECT_NEAR(QColor(c.red, c.green, c.blue).hsvHueF(), 0.3333, 0.01);

    std::vector<ColorStop> many(300);
    map.setStops(many.data(), 300);
    EXPECT_EQ(map.stopCount(), 256);
}

TEST_F(ColorMapTest, StripsShadeTowardOneSide) {
    ZarHColorMap map;
    map.shadowLevel = 0.5;
    const Dib24 h = map.makeStrip(11, 3, false);
    ASSERT_EQ(h.width(), 11);
    // Top row full colour, bottom row at the shadow level; heights run left to right.
    // Factor 0.75 in the middle row, truncated.
    EXPECT_EQ(std::tuple(h.pixel(0, 2), h.pixel(10, 2), h.pixel(10, 0), h.pixel(0, 1)),
              std::tuple(rgb32(230, 255, 128), rgb32(192, 64, 32), rgb32(96, 32, 16),
                         rgb32(172, 191, 96)));

    const Dib24 v = map.makeStrip(3, 11, true);
    // Lowest height at the bottom, full colour at the right edge, darkest at the left.
    EXPECT_EQ(std::tuple(v.pixel(2, 0), v.pixel(2, 10), v.pixel(0, 10)),
              std::tuple(rgb32(230, 255, 128), rgb32(192, 64, 32), rgb32(96, 32, 16)));
    EXPECT_TRUE(map.makeStrip(0, 5, false).isEmpty());
}

TEST_F(ColorMapTest, BinaryImageRoundTripAndRefusal) {
    ZarHColorMap map;
    ColorStop stops[3] = {{rgb32(9, 8, 7), 1, -3.5}, {rgb32(1, 2, 3), 0, 4.25}, {0xFF, 0, 9.0}};
    map.setStops(stops, 3);
    map.seaColor = 0x80123456;
    map.lightAzimuth = 92.0;
    const std::vector<uint8_t> image = map.write();
    ASSERT_EQ(image.size(), 320u + 3 * 40);
    EXPECT_EQ(image[0] | image[1] << 8, 320);

    std::unique_ptr<ZarHColorMap> copy = map.clone();
    EXPECT_EQ(copy->write(), image);
    EXPECT_EQ(std::pair(copy->stop(0)->reverse, copy->seaColor), std::pair(1, 0x80123456u));

    ZarHColorMap other;
    const std::vector<uint8_t> before = other.write();
    std::vector<uint8_t> foreign = image;
    foreign[0] ^= 1;
    EXPECT_FALSE(other.read(foreign));
    EXPECT_FALSE(other.read(std::span<const uint8_t>(image.data(), 319)));
    EXPECT_EQ(other.write(), before);
    // A record count beyond the data reads only the records that are there.
    std::vector<uint8_t> truncated(image.begin(), image.end() - 40);
    EXPECT_TRUE(other.read(truncated));
    EXPECT_EQ(other.stopCount(), 2);
}

TEST_F(ColorMapTest, CollectionSlotsAndPresets) {
    HMeshProject project;
    ZarHColorMap* slot0 = project.GetColorMap(0);
    slot0->seaColor = rgb32(1, 1, 1);
    EXPECT_EQ(project.GetColorMap(-4), slot0);
    EXPECT_EQ(project.GetColorMap(7)->seaColor, rgb32(1, 1, 1));  // copied from slot 0

    // Slot 4 gets its ramp back whenever it has fewer than eleven entries.
    ZarHColorMap* ramp4 = project.GetColorMap(4);
    ASSERT_EQ(ramp4->stopCount(), 11);
    ramp4->setStops(ramp4->stop(0), 2);
    EXPECT_EQ(project.GetColorMap(4)->stopCount(), 11);
}

}  // namespace
}  // namespace kov
