// SPDX-License-Identifier: MIT
// Reader of Windows device-independent bitmaps (".bmp", ".dib").
#pragma once

#include <QImage>
#include <string_view>

#include "core/data/image/PictureLimits.h"

namespace kov {

// Decodes a bitmap file (with its "BM" file header) or a packed bitmap (info header first):
// 1, 4 and 8 bits with a palette, 16 bits (5-5-5 or bit fields), 24 and 32 bits; rows bottom-up
// or top-down. Run-length compressed and embedded JPEG/PNG bitmaps are not handled. Answers a
// premultiplied 32-bit picture (all pixels opaque) or a null image.
QImage decodeBmp(std::string_view bytes, const PictureLimits& limits = {});

}  // namespace kov
