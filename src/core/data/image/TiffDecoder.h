// SPDX-License-Identifier: MIT
// Reader of TIFF pictures and their GeoTIFF tags, from a file held in memory.
#pragma once

#include <QImage>
#include <string_view>

#include "core/data/image/GeoTiffKeys.h"
#include "core/data/image/PictureLimits.h"

namespace kov {

// Decodes the first image of a TIFF file into a premultiplied 32-bit picture (null on failure)
// and, when tags is given, reads its GeoTIFF keys, pixel scale and tie point into it (also when
// the pixels cannot be decoded but the file's directory can be read).
QImage decodeTiff(std::string_view bytes, GeoTiffTags* tags, const PictureLimits& limits = {});

}  // namespace kov
