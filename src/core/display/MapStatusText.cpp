// SPDX-License-Identifier: MIT
#include "core/display/MapStatusText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/base/MapSheet.h"
#include "core/base/NumberFormat.h"
#include "core/base/PlaneConverter.h"
#include "core/display/MapViewport.h"

namespace kov {

namespace {

// A snprintf result as a string; the formats below take only texts and integers, so no number
// passes through the locale.
template <typename... Args>
std::string format(const char* fmt, Args... args) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, fmt, args...);
    if (n < 0) return {};
    return std::string(buffer, static_cast<size_t>(std::min<int>(n, sizeof buffer - 1)));
}

struct LatLong {
    std::string latitude;
    std::string longitude;
};

LatLong latLongTexts(const PlaneConverter& converter, double x, double y) {
    const double in[3] = {x, y, 0.0};
    double out[3] = {};
    converter.planeToGeodetic(in, out);
    return {formatDms(out[1], 1), formatDms(out[0], 1)};
}

}  // namespace

std::string elevationStatusText(double z) {
    if (z > kElevationWater) return format("H: %5s (m)", formatGrouped(z, 1).c_str());
    if (z == kElevationWater) return "  水域";
    return "H: ******";
}

std::string sheetCodeAt(int zone, double x, double y) {
    // Beyond any plane coordinate; keeps the conversion to integers defined.
    constexpr double kLimit = 1.0e15;
    auto whole = [](double v) {
        if (!(v == v)) return 0LL;
        return static_cast<long long>(std::floor(std::fmax(-kLimit, std::fmin(kLimit, v))));
    };
    return sheetCodeOfPoint(zone, whole(x), whole(y));
}

StatusTexts statusTexts(const PlaneConverter& converter, int zone, double x, double y, double z) {
    const LatLong ll = latLongTexts(converter, x, y);
    StatusTexts texts;
    texts.latLong = format("B: %s L: %s", ll.latitude.c_str(), ll.longitude.c_str());
    texts.plane = format("%d系 X:%10s Y:%10s (m)", zone, formatGrouped(y, 1).c_str(),
                         formatGrouped(x, 1).c_str());
    texts.sheet = sheetCodeAt(zone, x, y);
    texts.elevation = elevationStatusText(z);
    return texts;
}

std::string quickTipText(const PlaneConverter& converter, int zone, double x, double y, double z) {
    const LatLong ll = latLongTexts(converter, x, y);
    std::string text = format("B:%10s L:%10s\r\n", ll.latitude.c_str(), ll.longitude.c_str());
    text += format("X:%10s Y:%10s [%d系] \r\n", formatGrouped(y, 1).c_str(),
                   formatGrouped(x, 1).c_str(), zone);
    text += "    [ " + sheetCodeAt(zone, x, y) + " ]\r\n";
    if (z > kElevationWater) {
        text += format("H:%6s (m)", formatGrouped(z, 1).c_str());
    } else {
        text += elevationStatusText(z);
    }
    return text;
}

}  // namespace kov
