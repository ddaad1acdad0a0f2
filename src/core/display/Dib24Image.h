// SPDX-License-Identifier: MIT
// Crossing from the renderer's bottom-up 24-bit bitmap to Qt's top-down images.
#pragma once

#include <QImage>

#include "core/base/Dib24.h"

namespace kov {

// The bitmap as a top-down 32-bit image (one pass over the rows; the pixel bytes match).
QImage dib24ToImage(const Dib24& dib);
// The same pixels written into the top left of a 32-bit image at least as large (a page that
// holds more below), without an image between.
void copyDib24Into(const Dib24& dib, QImage& into);

}  // namespace kov
