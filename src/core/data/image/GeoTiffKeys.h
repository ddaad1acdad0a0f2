// SPDX-License-Identifier: MIT
// Interpretation of the GeoTIFF keys of an image: coordinate kind, zone and datum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/data/HMeshProject.h"

namespace kov {

// The GeoTIFF values an image georeference is built from; 0 stands for an absent key.
struct GeoTiffTags {
    bool hasKeys = false;    // the file has a GeoTIFF key directory
    int modelType = 0;       // GTModelTypeGeoKey: 1 projected, 2 geographic, 3 geocentric
    int projectedCode = 0;   // ProjectedCSTypeGeoKey (EPSG)
    int geographicCode = 0;  // GeographicTypeGeoKey (EPSG)
    int ellipsoidCode = 0;   // GeogEllipsoidGeoKey (EPSG)
    bool hasPixelScale = false;
    double scaleX = 0.0;
    double scaleY = 0.0;
    bool hasTiePoint = false;
    double tieI = 0.0;  // raster column and row of the tie point
    double tieJ = 0.0;
    double tieX = 0.0;  // model coordinates of the tie point
    double tieY = 0.0;
};

// The TIFF tags of GeoTIFF: placement, and the key directory with the values its keys point at.
enum GeoTiffTag : uint16_t {
    kPixelScaleTag = 33550,
    kTiePointTag = 33922,
    kTransformationTag = 34264,
    kKeyDirectoryTag = 34735,
    kDoubleParamsTag = 34736,
    kAsciiParamsTag = 34737,
};

// Fills the key fields of tags (hasKeys and the codes) from a GeoKeyDirectory: a header of four
// shorts (version, revision, minor revision, number of keys), then four shorts per key (key id,
// the tag holding the value or 0 when the fourth short is the value itself, value count, value or
// index into that tag). doubleCount and asciiLength are the sizes of the GeoDoubleParams and
// GeoAsciiParams tags keys may point into. A damaged directory (an unknown version, keys beyond
// its end, a value outside its tag) gives no keys at all: none of it can be trusted.
void readGeoKeyDirectory(std::span<const uint16_t> directory, size_t doubleCount,
                         size_t asciiLength, GeoTiffTags& tags);

enum class GeoKind { PlaneRectangular, Utm, Geographic, Projected, Other };

struct GeoSystem {
    GeoKind kind = GeoKind::Other;
    int zone = 0;   // plane rectangular zone or UTM zone; 0 when not known
    int datum = 0;  // 1: GRS 1980 based datum (JGD2000, JGD2011 and alike); 0: Tokyo datum
};

// The coordinate system the keys name. The code looked at is the projected system's code, or
// the geographic system's code when the file names no projected system.
GeoSystem interpretGeoTiffKeys(const GeoTiffTags& tags);

// The rectangle an image of width x height pixels covers according to its pixel scale and tie
// point; nothing when the file has no positive pixel scale or no tie point. A file without a key
// directory is placed all the same.
std::optional<MapRect> geoTiffRectangle(const GeoTiffTags& tags, int width, int height);

}  // namespace kov
