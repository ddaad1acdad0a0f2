// SPDX-License-Identifier: MIT
// The colour map that turns elevations into colours: a ramp of colour stops interpolated in HSV
// space, sampled into a 1000-entry table for the renderer, plus the fixed colours and the
// hill-shading light parameters that drawing needs beside the ramp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/base/Dib24.h"

namespace kov {

// Colours are 0x00BBGGRR (red in the low byte). Bit 31 of seaColor / noDataColor means
// "not painted".
inline constexpr uint32_t kColorNotPainted = 0x80000000u;

constexpr uint32_t rgb32(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}

// The colours and shadow level a new colour map starts from. The desktop program reads them
// from its settings (section "ColorMap"); the built-in values apply everywhere else.
struct ColorMapDefaults {
    uint32_t firstStopColor = rgb32(230, 255, 128);  // at 0 m
    uint32_t secondStopColor = rgb32(192, 64, 32);   // at 200 m
    uint32_t noDataColor = rgb32(128, 255, 255);     // never painted on creation
    uint32_t seaColor = rgb32(128, 255, 255);
    uint32_t topColor = rgb32(128, 128, 255);
    uint32_t bottomColor = rgb32(0, 32, 128);
    double shadowLevel = 0.7;
};

struct ColorStop {
    uint32_t color = 0;
    int32_t reverse = 0;  // the segment to the next stop runs the other way round the hue circle
    double height = 0.0;
    // Derived from color whenever the stops are set.
    double hue = 0.0;  // [0, 1)
    double saturation = 0.0;
    double value = 0.0;
};

struct ColorTableEntry {
    double height = 0.0;
    uint8_t red = 0, green = 0, blue = 0;
};

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
};

// HSV conversions with hue in [0, 1).
void rgbToHsv(uint32_t color, double& hue, double& saturation, double& value);
Rgb hsvToRgb(double hue, double saturation, double value);

class ZarHColorMap {
public:
    static constexpr int kMaxStops = 256;
    static constexpr int kTableSize = 1000;
    static constexpr uint32_t kHeaderSize = 320;
    static constexpr uint32_t kStopRecordSize = 40;

    // Stops 0 m and 200 m are set (so the map is ready) and no-data is not painted.
    explicit ZarHColorMap(const ColorMapDefaults& defaults = {});

    uint32_t seaColor = 0;
    uint32_t noDataColor = 0;
    uint32_t topColor = 0;
    uint32_t bottomColor = 0;
    uint32_t edgeLightColor = 0;
    uint32_t edgeShadowColor = 0;
    double lightAzimuth = 45.0;
    double lightElevation = 45.0;
    double diffuseWeight = 0.5;
    double shadowLevel = 0.7;

    // Takes min(count, 256) stops, derives their HSV, sets ready and rebuilds the table.
    void setStops(const ColorStop* stops, unsigned count);
    int stopCount() const { return static_cast<int>(stops_.size()); }
    // Null outside 0..stopCount()-1. Call rebuildTable after changing a field in place.
    ColorStop* stop(int index);
    const ColorStop* stop(int index) const;
    bool ready() const { return ready_; }
    // Stops 0 and 1, the pair the project file carries; a map with fewer stops lends the
    // stops it was created with.
    std::array<ColorStop, 2> firstTwoStops() const;
    void rebuildTable();

    // Exact ramp colour; false (out untouched) while no stops were set.
    bool colorAt(double height, Rgb& out) const;
    // Lookup in the 1000-entry table, no interpolation; the renderer's per-pixel call.
    Rgb tableColor(double height) const {
        if (height <= table_[0].height) return entryColor(0);
        if (height >= table_[kTableSize - 1].height) return entryColor(kTableSize - 1);
        int index = static_cast<int>((height - table_[0].height) /
                                     (table_[kTableSize - 1].height - table_[0].height) * 999.0);
        if (index < 0) index = 0;
        if (index > kTableSize - 1) index = kTableSize - 1;
        return entryColor(index);
    }
    const std::array<ColorTableEntry, kTableSize>& table() const { return table_; }

    // Gradient strip, bottom-up 24-bit; empty while not ready or for non-positive sizes.
    // Horizontal: heights run left to right, darkened toward the bottom row. Vertical: heights
    // run bottom to top, darkened toward the left column.
    Dib24 makeStrip(int width, int height, bool vertical) const;

    // The 320-byte little-endian header followed by 40 bytes per stop.
    std::vector<uint8_t> write() const;
    // False on a short or foreign header (the map is then unchanged).
    bool read(std::span<const uint8_t> image);
    std::unique_ptr<ZarHColorMap> clone() const;

private:
    Rgb entryColor(int index) const {
        const ColorTableEntry& e = table_[static_cast<size_t>(index)];
        return Rgb{e.red, e.green, e.blue};
    }

    std::array<ColorTableEntry, kTableSize> table_{};
    std::vector<ColorStop> stops_;
    bool ready_ = false;
    ColorMapDefaults defaults_;
};

}  // namespace kov
