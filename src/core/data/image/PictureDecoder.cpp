// SPDX-License-Identifier: MIT
#include "core/data/image/PictureDecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstdint>
#include <string>

#include <zlib.h>

#include "core/base/PathNames.h"
#include "core/data/image/BmpDecoder.h"
#include "core/data/image/PcxDecoder.h"
#include "core/data/image/TiffDecoder.h"

namespace kov {
namespace {

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

uint32_t bigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (uint32_t{u[0]} << 24) | (uint32_t{u[1]} << 16) | (uint32_t{u[2]} << 8) | u[3];
}

}  // namespace

// Qt's PNG reader leaves libpng's error handler at the default, which prints "libpng error: ..."
// on stderr; these checks refuse what libpng would refuse that way.
std::string pictureDamage(std::string_view bytes) {
    if (!bytes.starts_with(kPngSignature)) return {};
    size_t pos = kPngSignature.size();
    for (;;) {
        if (bytes.size() - pos < 12)
            return "the PNG file ends at byte " + std::to_string(bytes.size()) +
                   " before its IEND chunk";
        const uint32_t length = bigEndian32(bytes.data() + pos);
        const std::string type(bytes.substr(pos + 4, 4));
        if (length > 0x7FFFFFFFu || length > bytes.size() - pos - 12)
            return "the PNG chunk " + type + " at byte " + std::to_string(pos) + " is cut short";
        const bool critical = (static_cast<unsigned char>(type[0]) & 0x20) == 0;
        if (critical) {
            const auto* data = reinterpret_cast<const Bytef*>(bytes.data() + pos + 4);
            const uLong crc = crc32(crc32(0L, Z_NULL, 0), data, length + 4);
            if (crc != bigEndian32(bytes.data() + pos + 8 + length))
                return "the PNG chunk " + type + " at byte " + std::to_string(pos) +
                       " fails its CRC";
        }
        if (type == "IEND") return {};
        pos += 12 + size_t{length};
    }
}

QImage decodeWithQt(std::string_view bytes, const char* formatHint, const PictureLimits& limits) {
    if (bytes.empty() || !pictureDamage(bytes).empty()) return QImage();
    // libpng would print "Not a PNG file" for anything else.
    if (formatHint && std::string_view(formatHint) == "png" && !bytes.starts_with(kPngSignature))
        return QImage();
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

bool mayHoldPicture(std::string_view head) {
    using namespace std::string_view_literals;
    for (const std::string_view signature : {"BM"sv, "II*\0"sv, "MM\0*"sv, "II+\0"sv, "MM\0+"sv})
        if (head.starts_with(signature)) return true;
    // PCX: manufacturer byte 10, then the version, then run-length encoding 0 or 1.
    if (head.size() >= 3 && head[0] == 0x0A && static_cast<unsigned char>(head[2]) <= 1)
        return true;
    QByteArray data = QByteArray::fromRawData(head.data(), static_cast<qsizetype>(head.size()));
    QBuffer buffer(&data);
    return buffer.open(QIODevice::ReadOnly) && !QImageReader::imageFormat(&buffer).isEmpty();
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
