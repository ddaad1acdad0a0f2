// SPDX-License-Identifier: MIT
// PNG files of rendered maps, written fast: every row with the same cheap filter (no per-row
// trial of all five filters) and zlib's run-length strategy. The pixels are exactly the
// picture's; the file is larger than a size-optimising encoder's.
#pragma once

#include <QByteArray>

class QImage;

namespace kov {

// An 8-bit RGB file for an opaque picture, RGBA when the picture has an alpha channel; empty
// for a null picture or when compression fails.
QByteArray encodePng(const QImage& image);

}  // namespace kov
