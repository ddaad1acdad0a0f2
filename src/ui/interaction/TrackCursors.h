// SPDX-License-Identifier: MIT
// The map cursors of the zoom and pan tracks, by resource id.
#pragma once

#include <QCursor>

namespace kov {

inline constexpr int kCursorZoomIn = 9301;
inline constexpr int kCursorZoomOut = 9302;
inline constexpr int kCursorPan = 801;

// The cursor with its hot spot: the lens centre of the magnifiers, the palm of the hand; the
// cross-hair when the picture is missing.
QCursor trackCursor(int id);

}  // namespace kov
