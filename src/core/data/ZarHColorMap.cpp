// SPDX-License-Identifier: MIT
#include "core/data/ZarHColorMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kov {
namespace {

uint8_t channelByte(double channel) {
    return static_cast<uint8_t>(channel * 255.0 + 0.5);
}

// Hue travelling from h0 to h1 through hue 0 at constant speed, for t in [0, 1].
double reverseHue(double h0, double h1, double t) {
    const double lo = std::min(h0, h1);
    const double hi = std::max(h0, h1);
    const double u = h0 <= h1 ? t : 1.0 - t;
    const double arc = lo + (1.0 - hi);
    const double c = arc > 0.0 ? lo / arc : 0.0;
    if (c > u) return lo * (c - u) / c;
    const double w = c < 1.0 ? (u - c) / (1.0 - c) : 0.0;
    return 1.0 - w * (1.0 - hi);
}

void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void putF64(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(bits >> (8 * i));
}
uint32_t getU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
double getF64(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

}  // namespace

void rgbToHsv(uint32_t color, double& hue, double& saturation, double& value) {
    const double r = (color & 0xFF) / 255.0;
    const double g = ((color >> 8) & 0xFF) / 255.0;
    const double b = ((color >> 16) & 0xFF) / 255.0;
    const double v = std::max({r, g, b});
    const double m = std::min({r, g, b});
    value = v;
    saturation = v > 0.0 ? (v - m) / v : 0.0;
    if (saturation == 0.0) {
        hue = 0.0;
        return;
    }
    const double rc = (v - r) / (v - m);
    const double gc = (v - g) / (v - m);
    const double bc = (v - b) / (v - m);
    double h;
    if (r == v) {
        h = bc - gc;
    } else if (g == v) {
        h = 2.0 + rc - bc;
    } else {
        h = 4.0 + gc - rc;
    }
    h *= 60.0;
    if (h < 0.0) h += 360.0;
    hue = h / 360.0;
}

Rgb hsvToRgb(double hue, double saturation, double value) {
    const int i = static_cast<int>(hue * 6.0);
    const double f = hue * 6.0 - i;
    const double p = value * (1.0 - saturation);
    const double q = value * (1.0 - f * saturation);
    const double t = value * (1.0 - (1.0 - f) * saturation);
    double r, g, b;
    switch (((i % 6) + 6) % 6) {
        case 0:
            r = value, g = t, b = p;
            break;
        case 1:
            r = q, g = value, b = p;
            break;
        case 2:
            r = p, g = value, b = t;
            break;
        case 3:
            r = p, g = q, b = value;
            break;
        case 4:
            r = t, g = p, b = value;
            break;
        default:
            r = value, g = p, b = q;
            break;
    }
    return Rgb{channelByte(r), channelByte(g), channelByte(b)};
}

ZarHColorMap::ZarHColorMap(const ColorMapDefaults& defaults) : defaults_(defaults) {
    ColorStop stops[2];
    stops[0].color = defaults.firstStopColor;
    stops[0].height = 0.0;
    stops[1].color = defaults.secondStopColor;
    stops[1].height = 200.0;
    noDataColor = defaults.noDataColor | kColorNotPainted;
    seaColor = defaults.seaColor;
    topColor = defaults.topColor;
    bottomColor = defaults.bottomColor;
    edgeLightColor = rgb32(255, 251, 240);
    edgeShadowColor = rgb32(128, 128, 128);
    shadowLevel = defaults.shadowLevel;
    setStops(stops, 2);
}

void ZarHColorMap::setStops(const ColorStop* stops, unsigned count) {
    count = std::min<unsigned>(count, kMaxStops);
    std::vector<ColorStop> copied(stops, stops + count);
    for (ColorStop& stop : copied)
        rgbToHsv(stop.color, stop.hue, stop.saturation, stop.value);
    stops_.swap(copied);
    ready_ = true;
    rebuildTable();
}

ColorStop* ZarHColorMap::stop(int index) {
    if (index < 0 || index >= stopCount()) return nullptr;
    return &stops_[static_cast<size_t>(index)];
}

const ColorStop* ZarHColorMap::stop(int index) const {
    if (index < 0 || index >= stopCount()) return nullptr;
    return &stops_[static_cast<size_t>(index)];
}

std::array<ColorStop, 2> ZarHColorMap::firstTwoStops() const {
    if (stops_.size() >= 2) return {stops_[0], stops_[1]};
    const ZarHColorMap created(defaults_);
    return {stops_.empty() ? *created.stop(0) : stops_[0], *created.stop(1)};
}

void ZarHColorMap::rebuildTable() {
    if (stops_.empty()) return;
    // A stop changed in place has stale HSV; derive it again.
    for (ColorStop& stop : stops_)
        rgbToHsv(stop.color, stop.hue, stop.saturation, stop.value);
    const double first = stops_.front().height;
    const double last = stops_.back().height;
    for (int i = 0; i < kTableSize; ++i) {
        const double t = i / 999.0;
        ColorTableEntry& entry = table_[static_cast<size_t>(i)];
        entry.height = last * t + (1.0 - t) * first;
        Rgb color;
        if (colorAt(entry.height, color)) {
            entry.red = color.red;
            entry.green = color.green;
            entry.blue = color.blue;
        }
    }
}

bool ZarHColorMap::colorAt(double height, Rgb& out) const {
    if (!ready_ || stops_.empty()) return false;
    const ColorStop& first = stops_.front();
    const ColorStop& last = stops_.back();
    const auto bytes = [](uint32_t c) {
        return Rgb{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                   static_cast<uint8_t>(c >> 16)};
    };
    if (height <= first.height) {
        out = bytes(first.color);
        return true;
    }
    if (height >= last.height) {
        out = bytes(last.color);
        return true;
    }
    size_t k = 1;
    while (k < stops_.size() && !(height < stops_[k].height))
        ++k;
    if (k >= stops_.size()) {
        // Stops out of height order can leave no segment; the last colour answers.
        out = bytes(last.color);
        return true;
    }
    const ColorStop& s0 = stops_[k - 1];
    const ColorStop& s1 = stops_[k];
    const double t = (height - s0.height) / (s1.height - s0.height);
    const double s = s0.saturation * (1.0 - t) + s1.saturation * t;
    const double v = s0.value * (1.0 - t) + s1.value * t;
    const double h = s0.reverse ? reverseHue(s0.hue, s1.hue, t) : s0.hue * (1.0 - t) + s1.hue * t;
    out = hsvToRgb(h, s, v);
    return true;
}

Dib24 ZarHColorMap::makeStrip(int width, int height, bool vertical) const {
    if (!ready_ || stops_.empty() || width <= 0 || height <= 0) return Dib24();
    Dib24 strip(width, height);
    const double first = stops_.front().height;
    const double last = stops_.back().height;
    const double level = shadowLevel;
    const int along = vertical ? height : width;
    const int across = vertical ? width : height;
    std::vector<Rgb> colors(static_cast<size_t>(along));
    for (int i = 0; i < along; ++i) {
        const double f = along > 1 ? static_cast<double>(i) / (along - 1) : 0.0;
        colorAt(first + f * (last - first), colors[static_cast<size_t>(i)]);
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = strip.row(y);
        for (int x = 0; x < width; ++x) {
            // Darkest at the bottom row (horizontal) or the left column (vertical).
            const int fromDark = vertical ? x : y;
            const double factor =
                across > 1 ? 1.0 - (across - 1 - fromDark) * (1.0 - level) / (across - 1) : 1.0;
            const Rgb& c = colors[static_cast<size_t>(vertical ? y : x)];
            row[x * 3 + 0] = static_cast<uint8_t>(c.blue * factor);
            row[x * 3 + 1] = static_cast<uint8_t>(c.green * factor);
            row[x * 3 + 2] = static_cast<uint8_t>(c.red * factor);
        }
    }
    return strip;
}

std::vector<uint8_t> ZarHColorMap::write() const {
    std::vector<uint8_t> image(kHeaderSize + kStopRecordSize * stops_.size(), 0);
    uint8_t* h = image.data();
    putU32(h + 0, kHeaderSize);
    putU32(h + 4, static_cast<uint32_t>(stops_.size()));
    putU32(h + 16, seaColor);
    putU32(h + 20, noDataColor);
    putU32(h + 24, topColor);
    putU32(h + 28, bottomColor);
    putF64(h + 32, lightAzimuth);
    putF64(h + 40, lightElevation);
    putF64(h + 48, diffuseWeight);
    putF64(h + 56, shadowLevel);
    putU32(h + 64, edgeLightColor);
    putU32(h + 68, edgeShadowColor);
    for (size_t i = 0; i < stops_.size(); ++i) {
        uint8_t* r = h + kHeaderSize + kStopRecordSize * i;
        const ColorStop& s = stops_[i];
        putU32(r + 0, s.color);
        putU32(r + 4, static_cast<uint32_t>(s.reverse));
        putF64(r + 8, s.height);
        putF64(r + 16, s.hue);
        putF64(r + 24, s.saturation);
        putF64(r + 32, s.value);
    }
    return image;
}

bool ZarHColorMap::read(std::span<const uint8_t> image) {
    if (image.size() < kHeaderSize || getU32(image.data()) != kHeaderSize) return false;
    const uint8_t* h = image.data();
    uint32_t count = std::min<uint32_t>(getU32(h + 4), kMaxStops);
    // Only whole stop records that are present are read.
    count = std::min<uint32_t>(count, (image.size() - kHeaderSize) / kStopRecordSize);
    seaColor = getU32(h + 16);
    noDataColor = getU32(h + 20);
    topColor = getU32(h + 24);
    bottomColor = getU32(h + 28);
    lightAzimuth = getF64(h + 32);
    lightElevation = getF64(h + 40);
    diffuseWeight = getF64(h + 48);
    shadowLevel = getF64(h + 56);
    edgeLightColor = getU32(h + 64);
    edgeShadowColor = getU32(h + 68);
    std::vector<ColorStop> stops(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = h + kHeaderSize + kStopRecordSize * i;
        stops[i].color = getU32(r + 0);
        stops[i].reverse = static_cast<int32_t>(getU32(r + 4));
        stops[i].height = getF64(r + 8);
    }
    setStops(stops.data(), count);
    return true;
}

std::unique_ptr<ZarHColorMap> ZarHColorMap::clone() const {
    auto copy = std::make_unique<ZarHColorMap>(defaults_);
    copy->read(write());
    return copy;
}

}  // namespace kov
