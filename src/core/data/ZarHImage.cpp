// SPDX-License-Identifier: MIT
#include "core/data/ZarHImage.h"

#include <QColor>
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/base/Dib24.h"
#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/image/GeoTiffKeys.h"
#include "core/data/image/PictureDecoder.h"
#include "core/data/image/WorldFile.h"

namespace kov {
namespace {

constexpr QRgb kOpaqueWhite = 0xFFFFFFFFu;
constexpr int kMostSamples = 4;  // per axis and target pixel, when an indexed picture shrinks

// For each of n target pixels, the source index at its centre: start + (i + 0.5) * scale,
// limited to 0..limit-1.
std::vector<int> sampleIndices(int n, double start, double scale, int limit) {
    std::vector<int> indices(n);
    for (int i = 0; i < n; ++i) {
        const double s = std::floor(start + (i + 0.5) * scale);
        indices[i] = !(s >= 0) ? 0 : s >= limit ? limit - 1 : static_cast<int>(s);
    }
    return indices;
}

// v limited to lo..hi (lo for NaN), as an int.
int clampToInt(double v, int lo, int hi) {
    return !(v >= lo) ? lo : v >= hi ? hi : static_cast<int>(v);
}

void removeOpaqueWhite(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x] == kOpaqueWhite) row[x] = 0;
    }
}

uint8_t blendChannel(uint32_t source, uint32_t alpha, uint8_t target) {
    // Damaged premultiplied data may hold a colour above its alpha.
    return static_cast<uint8_t>(
        std::min<uint32_t>(255, source + (target * (255 - alpha) + 127) / 255));
}

// Lays the premultiplied pixel p, its alpha scaled by scale / 255, over the BGR target pixel.
void blendPixel(uint8_t* out, QRgb p, uint32_t scale) {
    uint32_t a = qAlpha(p), red = qRed(p), green = qGreen(p), blue = qBlue(p);
    if (a == 0) return;
    if (scale != 255) {
        a = (a * scale + 127) / 255;
        red = (red * scale + 127) / 255;
        green = (green * scale + 127) / 255;
        blue = (blue * scale + 127) / 255;
    }
    out[0] = blendChannel(blue, a, out[0]);
    out[1] = blendChannel(green, a, out[1]);
    out[2] = blendChannel(red, a, out[2]);
}

}  // namespace

int ZarHImage::Load(const std::string& imagePath) {
    const std::string extension = fileExtension(imagePath);
    errorText.clear();
    // No file beyond the largest picture that is decoded, and none whose first bytes already
    // tell that no decoder reads it, is read whole.
    const auto open = [&](const std::string& path) {
        return openFile(path, {}, &errorText, static_cast<uint64_t>(PictureLimits().maxBytes),
                        [](std::string_view head) {
                            return mayHoldPicture(head) ? std::string()
                                                        : std::string(
                                                              "the picture cannot be decoded: "
                                                              "its first bytes are of no "
                                                              "known picture format");
                        });
    };
    // A path copied from another machine may differ from the file's name in letter case.
    auto file = open(imagePath);
    if (!file) {
        const std::string found = findPathIgnoringCase(imagePath);
        if (!found.empty() && found != imagePath) file = open(found);
    }
    if (!file) return 0;
    GeoTiffTags tags;
    QImage picture = decodePicture(file->contents(), extension, &tags);
    if (picture.isNull()) {
        errorText = pictureDamage(file->contents());
        if (errorText.empty())
            errorText = "the picture cannot be decoded: damaged, of an unknown format or too large";
        return 0;
    }

    const bool tiff =
        equalsIgnoringCase(extension, ".tif") || equalsIgnoringCase(extension, ".tiff");
    MapRect rect;
    int32_t newDatum = datumFlag, newZone = zone, newUtmZone = utmZone;
    if (tiff) {
        const GeoSystem system = interpretGeoTiffKeys(tags);
        const auto keyed = geoTiffRectangle(tags, picture.width(), picture.height());
        if (keyed && system.kind != GeoKind::Geographic) {
            rect = *keyed;
            newDatum = system.datum;
            if (system.zone > 0) {
                const bool utm = system.kind == GeoKind::Utm;
                newUtmZone = utm ? system.zone : 0;
                newZone = utm ? 0 : system.zone;
            }
        }
    }
    if (const auto world = applyWorldFiles(imagePath, picture.width(), picture.height())) {
        rect = *world;
    } else if (!tiff) {
        errorText = "it has no usable world file beside it";
        return 0;
    }

    xmin = rect.xmin;
    ymin = rect.ymin;
    xmax = rect.xmax;
    ymax = rect.ymax;
    datumFlag = newDatum;
    zone = newZone;
    utmZone = newUtmZone;
    bitmap = std::move(picture);
    path = imagePath;
    name = baseName(imagePath) + extension;
    flood.reset();
    if (isFloodLayerName(name)) flood.emplace();
    return 1;
}

void ZarHImage::DrawImage(Dib24& target, const MapRect& shown, int opacity) const {
    if (!hasPicture() || target.isEmpty()) return;
    const int pw = indexedCells ? indexedCells->width() : bitmap.width();
    const int ph = indexedCells ? indexedCells->height() : bitmap.height();
    if (pw < 1 || ph < 1) return;
    const auto area = drawAreaOf(target, shown, pw, ph);
    if (!area) return;
    const uint32_t scale = opacity >= 1 && opacity <= 254 ? static_cast<uint32_t>(opacity) : 255;
    const bool dropWhite = isFloodResult();
    if (indexedCells)
        drawIndexed(target, *area, scale, dropWhite);
    else
        drawPicture(target, *area, scale, dropWhite);
}

std::optional<ZarHImage::DrawArea> ZarHImage::drawAreaOf(const Dib24& target, const MapRect& shown,
                                                         int pw, int ph) const {
    const int W = target.width(), H = target.height();
    const double spanX = shown.xmax - shown.xmin, spanY = shown.ymax - shown.ymin;
    if (!(spanX > 0.0) || !(spanY > 0.0)) return std::nullopt;

    // The image's extent as fractions of the shown rectangle, clamped to it.
    const double f0x = (xmin - shown.xmin) / spanX, f0y = (ymin - shown.ymin) / spanY;
    const double f1x = (xmax - shown.xmin) / spanX, f1y = (ymax - shown.ymin) / spanY;
    if (!std::isfinite(f0x) || !std::isfinite(f0y) || !std::isfinite(f1x) || !std::isfinite(f1y))
        return std::nullopt;
    if (!(f1x > f0x) || !(f1y > f0y)) return std::nullopt;
    const double g0x = std::max(f0x, 0.0), g0y = std::max(f0y, 0.0);
    const double g1x = std::min(f1x, 1.0), g1y = std::min(f1y, 1.0);
    if (!(g1x > g0x) || !(g1y > g0y)) return std::nullopt;
    // The visible part as fractions of the image, from its west and south edges.
    const double u0 = (g0x - f0x) / (f1x - f0x), u1 = (g1x - f0x) / (f1x - f0x);
    const double t0 = (g0y - f0y) / (f1y - f0y), t1 = (g1y - f0y) / (f1y - f0y);

    // Target pixels, the bottom counted from the bottom row.
    DrawArea a;
    a.left = static_cast<int>(std::floor(g0x * W));
    a.bottom = static_cast<int>(std::floor(g0y * H));
    const double wd = std::floor((g1x - g0x) * W + 0.5), hd = std::floor((g1y - g0y) * H + 0.5);
    if (wd < 1 || hd < 1) return std::nullopt;
    a.w = std::min(static_cast<int>(wd), W - a.left);
    a.h = std::min(static_cast<int>(hd), H - a.bottom);
    if (a.w < 1 || a.h < 1) return std::nullopt;

    // The source rectangle in picture pixels (the picture's row 0 is its northern edge).
    a.sx = u0 * pw;
    a.sw = (u1 - u0) * pw;
    a.sy = (1.0 - t1) * ph;
    a.sh = (t1 - t0) * ph;
    return a;
}

void ZarHImage::drawPicture(Dib24& target, const DrawArea& a, uint32_t scale,
                            bool dropWhite) const {
    const int w = a.w, h = a.h;
    const QImage picture = bitmap.format() == QImage::Format_ARGB32_Premultiplied
                               ? bitmap
                               : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int pw = picture.width(), ph = picture.height();
    const double sx = a.sx, sw = a.sw, sy = a.sy, sh = a.sh;

    // Resample to exactly w x h: smoothly when the picture shrinks, otherwise nearest pixel.
    QImage source;
    std::vector<int> columns, rows;
    if (w < pw && h < ph) {
        const int cx0 = clampToInt(std::floor(sx), 0, pw - 1);
        const int cy0 = clampToInt(std::floor(sy), 0, ph - 1);
        const int cx1 = clampToInt(std::ceil(sx + sw), cx0 + 1, pw);
        const int cy1 = clampToInt(std::ceil(sy + sh), cy0 + 1, ph);
        const bool whole = cx0 == 0 && cy0 == 0 && cx1 == pw && cy1 == ph;
        QImage crop = whole && !dropWhite ? picture : picture.copy(cx0, cy0, cx1 - cx0, cy1 - cy0);
        if (dropWhite) removeOpaqueWhite(crop);
        const double kx = w / sw, ky = h / sh;
        const int iw = clampToInt(std::ceil(crop.width() * kx), 1, crop.width());
        const int ih = clampToInt(std::ceil(crop.height() * ky), 1, crop.height());
        source = crop.scaled(iw, ih, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const double rx = static_cast<double>(source.width()) / crop.width();
        const double ry = static_cast<double>(source.height()) / crop.height();
        columns = sampleIndices(w, (sx - cx0) * rx, sw / w * rx, source.width());
        rows = sampleIndices(h, (sy - cy0) * ry, sh / h * ry, source.height());
    } else {
        source = picture;
        columns = sampleIndices(w, sx, sw / w, pw);
        rows = sampleIndices(h, sy, sh / h, ph);
    }
    if (source.isNull()) return;

    for (int r = 0; r < h; ++r) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(rows[r]));
        uint8_t* out = target.row(a.bottom + h - 1 - r) + 3 * a.left;
        for (int c = 0; c < w; ++c, out += 3) {
            const QRgb p = in[columns[c]];
            if (!(dropWhite && p == kOpaqueWhite)) blendPixel(out, p, scale);
        }
    }
}

void ZarHImage::drawIndexed(Dib24& target, const DrawArea& a, uint32_t scale,
                            bool dropWhite) const {
    const BlockGrid& cells = *indexedCells;
    const int w = a.w, h = a.h;
    // Each target pixel averages n x n cells spread evenly over those it covers (n up to 4);
    // at one cell or less per pixel it shows the cell at its centre.
    const auto samplesPer = [](double cellsPerPixel) {
        return clampToInt(std::ceil(cellsPerPixel), 1, kMostSamples);
    };
    const int nx = samplesPer(a.sw / w), ny = samplesPer(a.sh / h);
    const int n = nx * ny;
    std::array<QRgb, 256> colorOf{};  // premultiplied; white left out in flood results
    for (int k = 0; k < 16; ++k) {
        const uint32_t c = palette[k];
        const QRgb rgb = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        colorOf[k] = dropWhite && rgb == kOpaqueWhite ? 0 : rgb;
    }
    std::vector<int> columns, rows;
    std::vector<std::array<uint32_t, 4>> sums;
    try {
        columns = sampleIndices(w * nx, a.sx, a.sw / w / nx, cells.width());
        rows = sampleIndices(h * ny, a.sy, a.sh / h / ny, cells.height());
        sums.resize(static_cast<size_t>(w));
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int r = 0; r < h; ++r) {
        std::fill(sums.begin(), sums.end(), std::array<uint32_t, 4>{});
        for (int s = 0; s < ny; ++s) {
            const int j = cells.height() - 1 - rows[static_cast<size_t>(r) * ny + s];
            // Columns run west to east: the block in hand serves until they leave it.
            int block = -1;
            const uint8_t* row = nullptr;
            for (int c = 0; c < w; ++c)
                for (int t = 0; t < nx; ++t) {
                    const int i = columns[static_cast<size_t>(c) * nx + t];
                    if (i >> BlockGrid::kBlockBits != block) {
                        block = i >> BlockGrid::kBlockBits;
                        row = cells.blockRow(block, j);
                    }
                    const QRgb p =
                        colorOf[row ? row[i & (BlockGrid::kBlockSide - 1)] : cells.background()];
                    auto& sum = sums[c];
                    sum[0] += qAlpha(p);
                    sum[1] += qRed(p);
                    sum[2] += qGreen(p);
                    sum[3] += qBlue(p);
                }
        }
        uint8_t* out = target.row(a.bottom + h - 1 - r) + 3 * a.left;
        if (n == 1) {
            for (int c = 0; c < w; ++c, out += 3)
                blendPixel(out, qRgba(sums[c][1], sums[c][2], sums[c][3], sums[c][0]), scale);
            continue;
        }
        for (int c = 0; c < w; ++c, out += 3) {
            const auto& sum = sums[c];
            const auto mean = [&](int k) { return (sum[k] + n / 2) / n; };
            blendPixel(out, qRgba(mean(1), mean(2), mean(3), mean(0)), scale);
        }
    }
}

}  // namespace kov
