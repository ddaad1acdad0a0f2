// SPDX-License-Identifier: MIT
// Crossing from the renderer's bottom-up 24-bit bitmap to Qt's top-down images.
#pragma once

#include <QImage>

#include "core/base/Dib24.h"

namespace kov {

// A w x h image (contents undefined, as QImage's own) whose pixels come from large blocks, as
// the renderer's bitmaps do, once it is large: a frame of megabytes then costs a few huge pages
// rather than a fault for every 4 KiB. Null when a side is not positive or memory is short.
QImage largeImage(int width, int height, QImage::Format format);
// The bitmap as a top-down 32-bit image (one pass over the rows; the pixel bytes match).
QImage dib24ToImage(const Dib24& dib);
// The same pixels written into the top left of a 32-bit image at least as large (a page that
// holds more below), without an image between.
void copyDib24Into(const Dib24& dib, QImage& into);

}  // namespace kov
