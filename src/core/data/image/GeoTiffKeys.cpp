// SPDX-License-Identifier: MIT
#include "core/data/image/GeoTiffKeys.h"

#include <cmath>

namespace kov {
namespace {

constexpr int kUserDefined = 32767;

// The GeoTIFF keys read.
enum : uint16_t {
    kModelTypeKey = 1024,
    kGeographicTypeKey = 2048,
    kEllipsoidKey = 2056,
    kProjectedTypeKey = 3072,
};

struct KeyEntry {
    uint16_t id, location, count, offset;
};

// Whether the entry's values lie inside the tag it names; an ASCII value may run one past the
// text (its closing NUL), as many writers count it.
bool valueInside(const KeyEntry& key, size_t directorySize, size_t doubleCount,
                 size_t asciiLength) {
    const size_t end = size_t{key.offset} + key.count;
    switch (key.location) {
        case 0:
            return true;
        case kKeyDirectoryTag:
            return end <= directorySize;
        case kDoubleParamsTag:
            return end <= doubleCount;
        case kAsciiParamsTag:
            return asciiLength > 0 && end <= asciiLength + 1;
        default:
            return false;
    }
}

// The key's value as a short, or 0 when it is held as doubles or text.
int shortValue(const KeyEntry& key, std::span<const uint16_t> directory) {
    if (key.location == 0) return key.offset;
    if (key.location == kKeyDirectoryTag && key.count > 0) return directory[key.offset];
    return 0;
}

// Ellipsoids of the GRS 1980 family and other modern ones: WGS 84, GRS 1980 and alike.
bool isModernEllipsoid(int code) {
    switch (code) {
        case 7019:
        case 7025:
        case 7030:
        case 7031:
        case 7032:
        case 7033:
        case 7041:
        case 7043:
        case 7049:
            return true;
        default:
            return false;
    }
}

}  // namespace

void readGeoKeyDirectory(std::span<const uint16_t> directory, size_t doubleCount,
                         size_t asciiLength, GeoTiffTags& tags) {
    tags.hasKeys = false;
    tags.modelType = tags.projectedCode = tags.geographicCode = tags.ellipsoidCode = 0;
    if (directory.size() < 4 || directory[0] != 1) return;
    const size_t keyCount = directory[3];
    if (4 + 4 * keyCount > directory.size()) return;
    GeoTiffTags found = tags;
    for (size_t i = 0; i < keyCount; ++i) {
        const std::span<const uint16_t> e = directory.subspan(4 + 4 * i, 4);
        const KeyEntry key{e[0], e[1], e[2], e[3]};
        if (!valueInside(key, directory.size(), doubleCount, asciiLength)) return;
        const int value = shortValue(key, directory);
        if (key.id == kModelTypeKey) found.modelType = value;
        if (key.id == kGeographicTypeKey) found.geographicCode = value;
        if (key.id == kEllipsoidKey) found.ellipsoidCode = value;
        if (key.id == kProjectedTypeKey) found.projectedCode = value;
    }
    found.hasKeys = keyCount > 0;
    tags = found;
}

GeoSystem interpretGeoTiffKeys(const GeoTiffTags& tags) {
    const int code = tags.projectedCode ? tags.projectedCode : tags.geographicCode;
    const int ellipsoidDatum = isModernEllipsoid(tags.ellipsoidCode) ? 1 : 0;

    if (code >= 30161 && code <= 30179)  // Tokyo / plane rectangular I..XIX
        return {GeoKind::PlaneRectangular, code - 30160, ellipsoidDatum};
    if (code >= 2443 && code <= 2461)  // JGD2000 / plane rectangular I..XIX
        return {GeoKind::PlaneRectangular, code - 2442, 1};
    if (code >= 6669 && code <= 6687)  // JGD2011 / plane rectangular I..XIX
        return {GeoKind::PlaneRectangular, code - 6668, 1};
    if (code >= 32601 && code <= 32660) return {GeoKind::Utm, code - 32600, 1};
    if (code >= 32701 && code <= 32760) return {GeoKind::Utm, code - 32700, 1};
    if (code == kUserDefined) {
        const bool geographic = std::fabs(tags.tieX) <= 180.0 && std::fabs(tags.tieY) <= 90.0;
        return {geographic ? GeoKind::Geographic : GeoKind::PlaneRectangular, 0,
                tags.geographicCode == 4612 ? 1 : ellipsoidDatum};
    }
    if (code == 4301) return {GeoKind::Geographic, 0, ellipsoidDatum};     // Tokyo
    if (code == 4612 || code == 6668) return {GeoKind::Geographic, 0, 1};  // JGD2000, JGD2011
    if (code >= 20000) return {GeoKind::Utm, (code % 100) % 61, ellipsoidDatum};
    const GeoKind kind = tags.modelType == 2   ? GeoKind::Geographic
                         : tags.modelType == 1 ? GeoKind::Projected
                                               : GeoKind::Other;
    return {kind, 0, ellipsoidDatum};
}

std::optional<MapRect> geoTiffRectangle(const GeoTiffTags& tags, int width, int height) {
    // The keys are not needed: without them the system is simply not geographic.
    if (!tags.hasPixelScale || !tags.hasTiePoint) return std::nullopt;
    if (!(tags.scaleX > 0.0) || !(tags.scaleY > 0.0)) return std::nullopt;
    MapRect r;
    r.xmin = tags.tieX - tags.scaleX * tags.tieI;
    r.ymin = tags.tieY - tags.scaleY * (height - tags.tieJ);
    r.xmax = r.xmin + width * tags.scaleX;
    r.ymax = r.ymin + height * tags.scaleY;
    if (!std::isfinite(r.xmin) || !std::isfinite(r.ymin) || !std::isfinite(r.xmax) ||
        !std::isfinite(r.ymax))
        return std::nullopt;
    return r;
}

}  // namespace kov
