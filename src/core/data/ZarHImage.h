// SPDX-License-Identifier: MIT
// A georeferenced raster image (aerial photograph, scanned map) drawn over or under the map.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/data/BlockGrid.h"
#include "core/data/FloodResult.h"

namespace kov {

class Dib24;
class HMeshProject;
struct MapRect;

class ZarHImage {
public:
    ZarHImage() = default;
    virtual ~ZarHImage() = default;
    ZarHImage(const ZarHImage&) = delete;
    ZarHImage& operator=(const ZarHImage&) = delete;

    // Decodes the picture and places it: GeoTIFF keys for TIFF files, then a world file beside
    // the image (which wins over the keys). 1 on success; 0 when the picture cannot be decoded
    // or a picture other than TIFF has no usable world file, and then nothing is kept.
    int Load(const std::string& path);

    // Draws the part of the image that lies in the map rectangle shown by target (x east,
    // y north over the whole bitmap). Opacity 1..254 scales the picture's alpha; 0 and 255 draw
    // it as it is. In flood results opaque white pixels are left out, so that cells without a
    // rank let the map show through. Only the part shown is read, and the work is that of the
    // target's pixels.
    void DrawImage(Dib24& target, const MapRect& shown, int opacity) const;

    // Whether there is anything to draw: a decoded or an indexed picture.
    bool hasPicture() const { return !bitmap.isNull() || indexedCells; }
    // The memory the picture holds, in bytes (what the project's memory budget counts).
    int64_t memoryBytes() const {
        return static_cast<int64_t>(bitmap.sizeInBytes()) +
               (indexedCells ? indexedCells->memoryBytes() : 0);
    }
    bool isFloodResult() const { return flood.has_value(); }

    HMeshProject* owner = nullptr;  // set by AddImage
    QImage bitmap;                  // the decoded picture, premultiplied 32-bit, row 0 at the top
    // Covered rectangle in plane metres (x east, y north).
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
    int32_t flagC = 1;
    int32_t datumFlag = 1;  // 1: GRS 1980 based datum (JGD2000 and alike); 0: Tokyo datum
    int32_t zone = 9;       // plane rectangular zone of the coordinates
    int32_t utmZone = 0;    // set instead of zone when the coordinates are UTM
    std::string name;       // file name with extension, without folder
    std::string path;       // the path given to Load
    // Why the last Load failed; empty after a successful one. Shown by the caller.
    std::string errorText;

    // A picture made in memory instead of the bitmap (a flood's rank image): one palette index
    // per cell, row 0 the southernmost, drawn through the palette (0x00BBGGRR).
    std::shared_ptr<const BlockGrid> indexedCells;
    std::array<uint32_t, 16> palette{};
    // Set when the layer is a flood result: by the flood estimation that makes it, and by Load
    // for a picture whose name marks it as one (isFloodLayerName).
    std::optional<FloodResult> flood;

private:
    // Where the picture lands: target pixels from left and from bottom (counted from the bottom
    // row), w x h of them, showing the picture rectangle from sx, sy (from its northern edge)
    // of sw x sh pixels.
    struct DrawArea {
        int left = 0;
        int bottom = 0;
        int w = 0;
        int h = 0;
        double sx = 0.0;
        double sy = 0.0;
        double sw = 0.0;
        double sh = 0.0;
    };
    std::optional<DrawArea> drawAreaOf(const Dib24& target, const MapRect& shown, int pw,
                                       int ph) const;
    void drawPicture(Dib24& target, const DrawArea& area, uint32_t scale, bool dropWhite) const;
    void drawIndexed(Dib24& target, const DrawArea& area, uint32_t scale, bool dropWhite) const;
};

}  // namespace kov
