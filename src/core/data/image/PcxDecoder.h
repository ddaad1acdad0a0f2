// SPDX-License-Identifier: MIT
// Reader of ZSoft PCX pictures.
#pragma once

#include <QImage>
#include <string_view>

#include "core/data/image/PictureLimits.h"

namespace kov {

// Decodes the common forms: 1 bit in 1 plane (black and white), 1 bit in 4 planes and 4 bits in
// 1 plane (16 colours of the header palette), 8 bits in 1 plane (256-colour palette at the end
// of the file, grey levels when it is missing), 8 bits in 3 planes (RGB) and in 4 planes (RGB
// and alpha). Run-length encoded or raw data. Answers a premultiplied 32-bit picture or a null
// image.
QImage decodePcx(std::string_view bytes, const PictureLimits& limits = {});

}  // namespace kov
