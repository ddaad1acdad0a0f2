// SPDX-License-Identifier: MIT
#include "core/data/image/TiffDecoder.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <span>

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

// Readers stay silent: libtiff's messages are dropped.
int quietTiff(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// The GeoTIFF tags, which libtiff does not know by itself: made known to every file it opens so
// that it reads them as arrays of their types (a count, then the values).
char kPixelScaleName[] = "ModelPixelScale";
char kTiePointName[] = "ModelTiepoint";
char kTransformationName[] = "ModelTransformation";
char kKeyDirectoryName[] = "GeoKeyDirectory";
char kDoubleParamsName[] = "GeoDoubleParams";
char kAsciiParamsName[] = "GeoAsciiParams";
const TIFFFieldInfo kGeoTiffFields[] = {
    {kPixelScaleTag, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kPixelScaleName},
    {kTiePointTag, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kTiePointName},
    {kTransformationTag, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kTransformationName},
    {kKeyDirectoryTag, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, kKeyDirectoryName},
    {kDoubleParamsTag, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kDoubleParamsName},
    {kAsciiParamsTag, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, kAsciiParamsName},
};

TIFFExtendProc otherTagExtender = nullptr;  // another library's, called in turn

void addGeoTiffFields(TIFF* tif) {
    TIFFMergeFieldInfo(tif, kGeoTiffFields, static_cast<uint32_t>(std::size(kGeoTiffFields)));
    if (otherTagExtender) otherTagExtender(tif);
}

// A GeoTIFF array tag's values; empty when the file lacks it.
template <typename T>
std::span<const T> arrayTag(TIFF* tif, ttag_t tag) {
    uint16_t count = 0;
    T* values = nullptr;
    if (!TIFFGetField(tif, tag, &count, &values) || !values) return {};
    return {values, count};
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

void readGeoTiffTags(TIFF* tif, GeoTiffTags& tags) {
    tags = GeoTiffTags();
    const char* ascii = nullptr;
    const size_t asciiLength =
        TIFFGetField(tif, kAsciiParamsTag, &ascii) && ascii ? std::strlen(ascii) : 0;
    readGeoKeyDirectory(arrayTag<uint16_t>(tif, kKeyDirectoryTag),
                        arrayTag<double>(tif, kDoubleParamsTag).size(), asciiLength, tags);
    const std::span<const double> scale = arrayTag<double>(tif, kPixelScaleTag);
    if (scale.size() >= 2) {
        tags.hasPixelScale = true;
        tags.scaleX = scale[0];
        tags.scaleY = scale[1];
    }
    const std::span<const double> tie = arrayTag<double>(tif, kTiePointTag);
    if (tie.size() >= 6) {
        tags.hasTiePoint = true;
        tags.tieI = tie[0];
        tags.tieJ = tie[1];
        tags.tieX = tie[3];
        tags.tieY = tie[4];
    }
}

}  // namespace

QImage decodeTiff(std::string_view bytes, GeoTiffTags* tags, const PictureLimits& limits) {
    // Makes the GeoTIFF tags known to libtiff, once for the process.
    static std::once_flag geoTiffTagsKnown;
    std::call_once(geoTiffTagsKnown,
                   [] { otherTagExtender = TIFFSetTagExtender(addGeoTiffFields); });
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
