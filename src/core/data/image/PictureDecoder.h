// SPDX-License-Identifier: MIT
// The picture decoding service: chooses a decoder by file extension.
#pragma once

#include <QImage>
#include <string>
#include <string_view>

#include "core/data/image/GeoTiffKeys.h"
#include "core/data/image/PictureLimits.h"

namespace kov {

// Decodes through Qt's image readers from memory: the reader of formatHint (e.g. "png"), or when
// it is null the one the contents call for. Premultiplied 32-bit picture or null.
QImage decodeWithQt(std::string_view bytes, const char* formatHint,
                    const PictureLimits& limits = {});

// Damage that a picture library would report on standard error by itself instead of to us:
// a PNG file (told by its signature) whose chunks are cut short, that ends before its IEND
// chunk, or whose critical chunk fails its CRC. The reason, naming the byte offset; empty for
// anything else. The decoders refuse such files before the library sees them.
std::string pictureDamage(std::string_view bytes);

// Whether a file may hold a picture that some decoder reads, judged from its first bytes alone:
// the signature of a format of our own readers (BMP, PCX, TIFF) or one that Qt's readers
// recognise. A file that fails is refused before the rest of it is read.
bool mayHoldPicture(std::string_view head);

// Decodes a whole file by its extension (any letter case): ".bmp"/".dib", ".pcx" and
// ".tif"/".tiff" by our own readers, ".gif", ".jpg"/".jpeg", ".png" and ".tga" by Qt's readers
// of that format; other extensions, and files the chosen reader rejects, by Qt's readers with
// the format told from the contents. For TIFF files the GeoTIFF tags are read into tags (when
// given). The picture's size is checked against limitsForFile before any pixel is decoded.
// Answers a premultiplied 32-bit picture or a null image.
QImage decodePicture(std::string_view bytes, std::string_view extension, GeoTiffTags* tags,
                     const PictureLimits& limits = {});

}  // namespace kov
