// A georeferenced raster image (aerial photograph, scanned map) drawn over or under the map.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/data/BlockGrid.h"

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
    // it as it is. In flood result layers (name containing "FloodFill") opaque white pixels are
    // left out. Only the part shown is read, and the work is that of the target's pixels.
    void DrawImage(Dib24& target, const MapRect& shown, int opacity) const;

    // Whether there is anything to draw: a picture or a rank image.
    bool hasPicture() const { return !bitmap.isNull() || rankCells; }
    // The memory the decoded picture or the rank image holds, in bytes (what the project's
    // memory budget counts).
    int64_t memoryBytes() const {
        return static_cast<int64_t>(bitmap.sizeInBytes()) +
               (rankCells ? rankCells->memoryBytes() : 0);
    }

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

    // Flood estimation results (layers named "FloodFill-%d" / "FloodFillEx-%d"); untouched by
    // Load. Instead of a bitmap they hold the rank image, row 0 the southernmost, drawn through
    // rankPalette (0x00BBGGRR): value r < rankCount is rank r, 15 none.
    std::shared_ptr<const BlockGrid> rankCells;
    std::array<uint32_t, 16> rankPalette{};
    double floodLowest = 0.0;    // metres: lowest ground met by the flood (0 for the whole area)
    double floodHighest = 0.0;   // metres: highest ground met by the flood
    int32_t floodDepthMode = 0;  // 1: ranks are flood depths ("m～" from the value up)
    int32_t rankCount = 0;
    std::array<double, 10> rankHeights{};   // metres
    std::array<uint32_t, 10> rankColors{};  // 0x00BBGGRR

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
    void drawRanks(Dib24& target, const DrawArea& area, uint32_t scale, bool dropWhite) const;
};

}  // namespace kov
