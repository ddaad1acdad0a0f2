// SPDX-License-Identifier: MIT
// The sample data set's image overlay: an invented aerial photograph of the sample terrain,
// a PNG with a world file, identical bytes on every run.
#pragma once

#include <string>

namespace kov::sample {

// The picture: 1000 x 750 pixels of 2 m in zone 9, over the eastern half of one tile and the
// western half of its eastern neighbour in the southern row of the default block: hills,
// fields in the coastal plain, the river mouth and the sea.
inline constexpr int kImageWidth = 1000;
inline constexpr int kImageHeight = 750;
inline constexpr int kImagePixelSize = 2;  // metres
inline constexpr long long kImageWest = -9000;
inline constexpr long long kImageNorth = -36000;
// Paths relative to the output folder.
inline constexpr const char* kImagePath = "image/aerial.png";
inline constexpr const char* kImageWorldFilePath = "image/aerial.pgw";

// Writes OUTDIR/image/aerial.png and its world file OUTDIR/image/aerial.pgw; false with a
// message when a file cannot be written.
bool writeSampleImage(const std::string& outDir, std::string* error);

}  // namespace kov::sample
