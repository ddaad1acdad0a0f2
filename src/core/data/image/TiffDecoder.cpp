// SPDX-License-Identifier: MIT
#include "core/data/image/TiffDecoder.h"

#include <geotiffio.h>
#include <tiffio.h>
#include <xtiffio.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

namespace kov {
namespace {

// The file's bytes as a read-only stream for libtiff.
struct MemoryStream {
    const char* data;
    uint64_t size;
    uint64_t pos = 0;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t count) {
    auto* s = static_cast<MemoryStream*>(handle);
    if (count <= 0 || s->pos >= s->size) return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    auto* s = static_cast<MemoryStream*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = s->pos;
    else if (whence == SEEK_END)
        base = s->size;
    else if (whence != SEEK_SET)
        return static_cast<toff_t>(-1);
    // Offsets are unsigned; a "negative" one wraps, which libtiff never asks for when reading.
    if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
    s->pos = base + offset;
    return s->pos;
}

int closeProc(thandle_t) {
    return 0;
}

toff_t sizeProc(thandle_t handle) {
    return static_cast<MemoryStream*>(handle)->size;
}

int mapProc(thandle_t handle, void** base, toff_t* size) {
    auto* s = static_cast<MemoryStream*>(handle);
    *base = const_cast<char*>(s->data);  // libtiff only reads a mapping opened for reading
    *size = s->size;
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

// Readers stay silent: libtiff's and libgeotiff's messages are dropped.
int quietTiff(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}
void quietGeoTiff(GTIF*, int, const char*, ...) {}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct GtifFreer {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

int shortKey(GTIF* gtif, geokey_t key) {
    unsigned short value = 0;
    return GTIFKeyGetSHORT(gtif, key, &value, 0, 1) == 1 ? value : 0;
}

void readGeoTiffTags(TIFF* tif, GeoTiffTags& tags) {
    tags = GeoTiffTags();
    std::unique_ptr<GTIF, GtifFreer> gtif(GTIFNewEx(tif, quietGeoTiff, nullptr));
    if (gtif) {
        int versions[3] = {0, 0, 0};
        int keyCount = 0;
        GTIFDirectoryInfo(gtif.get(), versions, &keyCount);
        tags.hasKeys = keyCount > 0;
        tags.modelType = shortKey(gtif.get(), GTModelTypeGeoKey);
        tags.projectedCode = shortKey(gtif.get(), ProjectedCSTypeGeoKey);
        tags.geographicCode = shortKey(gtif.get(), GeographicTypeGeoKey);
        tags.ellipsoidCode = shortKey(gtif.get(), GeogEllipsoidGeoKey);
    }
    uint16_t count = 0;
    double* values = nullptr;
    if (TIFFGetField(tif, TIFFTAG_GEOPIXELSCALE, &count, &values) && values && count >= 2) {
        tags.hasPixelScale = true;
        tags.scaleX = values[0];
        tags.scaleY = values[1];
    }
    count = 0;
    values = nullptr;
    if (TIFFGetField(tif, TIFFTAG_GEOTIEPOINTS, &count, &values) && values && count >= 6) {
        tags.hasTiePoint = true;
        tags.tieI = values[0];
        tags.tieJ = values[1];
        tags.tieX = values[3];
        tags.tieY = values[4];
    }
}

}  // namespace

QImage decodeTiff(std::string_view bytes, GeoTiffTags* tags, const PictureLimits& limits) {
    // Makes the GeoTIFF tags known to libtiff, once for the process.
    static std::once_flag geoTiffTagsKnown;
    std::call_once(geoTiffTagsKnown, XTIFFInitialize);
    if (tags) *tags = GeoTiffTags();

    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return QImage();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quietTiff, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quietTiff, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(limits.maxBytes));

    MemoryStream stream{bytes.data(), bytes.size()};
    std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFClientOpenExt("memory", "r", &stream, readProc, writeProc, seekProc, closeProc,
                          sizeProc, mapProc, unmapProc, options.get()));
    if (!tif) return QImage();
    if (tags) readGeoTiffTags(tif.get(), *tags);

    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return QImage();
    char message[1024];
    if (!TIFFRGBAImageOK(tif.get(), message)) return QImage();
    QImage image = newPicture(width, height, limits);
    if (image.isNull()) return image;

    // The raster is packed A, B, G, R from the high byte down, colours premultiplied by alpha;
    // the picture wants A, R, G, B.
    image.fill(0);  // parts a damaged file leaves undecoded stay transparent
    auto* raster = reinterpret_cast<uint32_t*>(image.bits());
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster, ORIENTATION_TOPLEFT, 0))
        return QImage();
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = raster[i];
        raster[i] = (p & 0xFF00FF00u) | ((p & 0xFF) << 16) | ((p >> 16) & 0xFF);
    }
    return image;
}

}  // namespace kov
