// A georeferenced raster image (aerial photograph, scanned map) drawn over or under the map.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <string>

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
    // left out.
    void DrawImage(Dib24& target, const MapRect& shown, int opacity) const;

    // The memory the decoded picture holds, in bytes (what the project's memory budget counts).
    int64_t memoryBytes() const { return static_cast<int64_t>(bitmap.sizeInBytes()); }

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
    // Load. The bitmap then holds the rank image: pixel value r < rankCount is rank r, 15 none.
    double floodLowest = 0.0;    // metres: lowest ground met by the flood (0 for the whole area)
    double floodHighest = 0.0;   // metres: highest ground met by the flood
    int32_t floodDepthMode = 0;  // 1: ranks are flood depths ("m～" from the value up)
    int32_t rankCount = 0;
    std::array<double, 10> rankHeights{};   // metres
    std::array<uint32_t, 10> rankColors{};  // 0x00BBGGRR
};

}  // namespace kov
