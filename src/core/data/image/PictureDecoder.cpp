#include "core/data/image/PictureDecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstdint>

#include "core/data/HxFile.h"
#include "core/data/image/BmpDecoder.h"
#include "core/data/image/PcxDecoder.h"
#include "core/data/image/TiffDecoder.h"

namespace kov {

QImage decodeWithQt(std::string_view bytes, const char* formatHint, const PictureLimits& limits) {
    if (bytes.empty()) return QImage();
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly)) return QImage();
    QImageReader reader(&buffer, formatHint ? QByteArray(formatHint) : QByteArray());
    reader.setAutoDetectImageFormat(true);
    reader.setAllocationLimit(
        static_cast<int>(std::min<int64_t>((limits.maxBytes + (1 << 20) - 1) >> 20, INT32_MAX)));
    const QSize size = reader.size();
    if (size.isValid() && !fitsLimits(size.width(), size.height(), limits)) return QImage();
    QImage image;
    if (!reader.read(&image) || image.isNull()) return QImage();
    if (!fitsLimits(image.width(), image.height(), limits)) return QImage();
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage decodePicture(std::string_view bytes, std::string_view extension, GeoTiffTags* tags,
                     const PictureLimits& given) {
    if (tags) *tags = GeoTiffTags();
    const PictureLimits limits = limitsForFile(bytes.size(), given);
    auto is = [&](std::string_view e) { return equalsIgnoringCase(extension, e); };
    QImage image;
    if (is(".bmp") || is(".dib"))
        image = decodeBmp(bytes, limits);
    else if (is(".pcx"))
        image = decodePcx(bytes, limits);
    else if (is(".tif") || is(".tiff"))
        image = decodeTiff(bytes, tags, limits);
    if (!image.isNull()) return image;
    // A reader of the hinted format first, then one told by the contents.
    const char* hint = nullptr;
    if (is(".gif"))
        hint = "gif";
    else if (is(".jpg") || is(".jpeg"))
        hint = "jpeg";
    else if (is(".png"))
        hint = "png";
    else if (is(".tga"))
        hint = "tga";
    if (hint) image = decodeWithQt(bytes, hint, limits);
    return image.isNull() ? decodeWithQt(bytes, nullptr, limits) : image;
}

}  // namespace kov
