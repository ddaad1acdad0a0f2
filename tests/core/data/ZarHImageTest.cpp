// SPDX-License-Identifier: MIT
// The image overlay: georeference from GeoTIFF keys and world files, and drawing into the
// renderer's bitmap.
#include "core/data/ZarHImage.h"

#include <gtest/gtest.h>

#include <QColor>
#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/Dib24.h"
#include "core/data/HMeshProject.h"
#include "core/data/image/GeoTiffKeys.h"
#include "core/data/image/WorldFile.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::TempDir;
using test::writeFile;

// "xmin ymin xmax ymax" of a rectangle or an image, to 12 significant digits.
template <class Rect>
std::string text(const Rect& r) {
    char t[128];
    std::snprintf(t, sizeof t, "%.12g %.12g %.12g %.12g", r.xmin, r.ymin, r.xmax, r.ymax);
    return t;
}

TEST(GeoTiffKeys, CodesGiveKindZoneAndDatum) {
    using enum GeoKind;
    const struct {
        int projected, geographic, ellipsoid, model;
        double tieX, tieY;
        GeoKind kind;
        int zone, datum;
    } cases[] = {
        // clang-format off
        {30161, 0, 0, 1, 0, 0, PlaneRectangular, 1, 0},      // Tokyo datum
        {30179, 0, 7019, 1, 0, 0, PlaneRectangular, 19, 1},  // datum from the ellipsoid
        {2442, 0, 0, 1, 0, 0, Projected, 0, 0},              // next to the ranges
        {32661, 0, 0, 1, 0, 0, Utm, 0, 0},  // other code above 20000: (61 mod 100) mod 61
        {25832, 0, 7019, 1, 0, 0, Utm, 32, 1},
        {32767, 4612, 0, 1, -8000, -36000, PlaneRectangular, 0, 1},
        {32767, 0, 7004, 1, 139.5, 35.5, Geographic, 0, 0},  // user-defined, told by the tie point
        {0, 32767, 7019, 2, 180, -90, Geographic, 0, 1},
        {3857, 0, 7030, 1, 0, 0, Projected, 0, 1},           // other code: the model type
        {0, 0, 0, 0, 0, 0, Other, 0, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        GeoTiffTags tags;
        tags.projectedCode = c.projected, tags.geographicCode = c.geographic;
        tags.ellipsoidCode = c.ellipsoid, tags.modelType = c.model;
        tags.tieX = c.tieX, tags.tieY = c.tieY;
        const GeoSystem s = interpretGeoTiffKeys(tags);
        EXPECT_EQ(std::tuple(s.kind, s.zone, s.datum), std::tuple(c.kind, c.zone, c.datum))
            << c.projected << "/" << c.geographic;
    }
}

TEST(GeoTiffKeys, RectangleNeedsPositiveScaleAndTiePointButNoKeys) {
    GeoTiffTags tags;
    tags.hasKeys = tags.hasPixelScale = tags.hasTiePoint = true;
    tags.scaleX = 2, tags.scaleY = 0.5;
    tags.tieI = 1, tags.tieJ = 2, tags.tieX = 100, tags.tieY = 50;
    EXPECT_EQ(text(geoTiffRectangle(tags, 10, 4).value_or(MapRect{})), "98 49 118 51");
    tags.hasKeys = false;
    EXPECT_EQ(text(geoTiffRectangle(tags, 10, 4).value_or(MapRect{})), "98 49 118 51");
    for (auto spoil :
         {+[](GeoTiffTags& t) { t.hasTiePoint = false; }, +[](GeoTiffTags& t) { t.scaleY = 0; }}) {
        GeoTiffTags t = tags;
        spoil(t);
        EXPECT_FALSE(geoTiffRectangle(t, 10, 4));
    }
}

TEST(GeoTiffKeys, KeyDirectoryIsReadWholeOrNotAtAll) {
    // Model type 1 and projected system 6669 as values, the ellipsoid in the directory's own
    // tail (index 20), the geographic system as a double (index 0 of the doubles).
    const std::vector<uint16_t> withTail = {1,    1,     0, 4,  1024, 0,     1, 1, 3072, 0, 1, 6669,
                                            2056, 34735, 1, 20, 2048, 34736, 1, 0, 7019};
    const struct {
        const char* name;
        size_t at;  // the short changed, if inside the directory
        uint16_t value;
        size_t doubles;
        const char* expected;  // "hasKeys modelType projected geographic ellipsoid"
    } cases[] = {
        {"whole", 99, 0, 2, "1 1 6669 0 7019"},
        {"version 2", 0, 2, 2, "0 0 0 0 0"},
        {"more keys than shorts", 3, 5, 2, "0 0 0 0 0"},
        {"index past the directory", 15, 21, 2, "0 0 0 0 0"},
        {"double past its tag", 99, 0, 0, "0 0 0 0 0"},
        {"unknown tag", 17, 999, 2, "0 0 0 0 0"},
        {"no keys", 3, 0, 0, "0 0 0 0 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint16_t> directory = withTail;
        if (c.at < directory.size()) directory[c.at] = c.value;
        GeoTiffTags tags;
        tags.modelType = 9;  // a previous file's key must not survive
        readGeoKeyDirectory(directory, c.doubles, 0, tags);
        EXPECT_EQ(std::to_string(tags.hasKeys) + " " + std::to_string(tags.modelType) + " " +
                      std::to_string(tags.projectedCode) + " " +
                      std::to_string(tags.geographicCode) + " " +
                      std::to_string(tags.ellipsoidCode),
                  c.expected);
    }
}

TEST(WorldFile, NumbersToRectangle) {
    const std::pair<const char*, const char*> cases[] = {
        // 100 x 50 pixels
        {"0.5\n0\n0\n-0.5\n1000.25\n2000.25\n", "1000 1975.5 1050 2000.5"},
        {"  0.5\r\n0.0\r\n\r\n0.0\r\n-0.5\r\n+1000.25\r\n2000.25\r\nextra\r\n",
         "1000 1975.5 1050 2000.5"},
        {"0.6 0.8 -0.8 0.6 10 20", "9.5 -29.5 109.5 20.5"},  // rotation: each pixel of size 1
        {"0\n0\n0\n-1\n10\n20\n", "none"},                   // zero pixel width
        {"1\n0\n0\n-1\n10\n", "none"},                       // five numbers
        {"1\n0\n0\n-1\n1,5\n20\n", "none"},                  // not a number
        {"1e308\n0\n0\n-1\n0\n0\n", "none"},                 // no finite rectangle
    };
    for (const auto& [file, rect] : cases) {
        const auto r = parseWorldFile(file, 100, 50);
        EXPECT_EQ(r ? text(*r) : "none", rect) << file;
    }
}

TEST(ImageFiles, WorldFileChoiceAndFailures) {
    TempDir dir;
    auto picture = [&](const std::string& name, const char* format) {
        QImage image(100, 50, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        EXPECT_TRUE(image.save(QString::fromStdString(dir.file(name)), format));
        return dir.file(name);
    };
    const std::string example = "0.5\n0\n0\n-0.5\n1000.25\n2000.25\n";
    writeFile(dir.file("photo.jgw"), example);
    ZarHImage image;
    ASSERT_EQ(image.Load(picture("photo.JPG", "JPEG")), 1) << "the third extension of a JPEG";
    EXPECT_EQ(std::pair(text(image), image.name),
              std::pair(std::string("1000 1975.5 1050 2000.5"), std::string("photo.JPG")));
    writeFile(dir.file("PHOTO.JPW"), "1\n0\n0\n-1\n0.5\n-0.5\n");
    ASSERT_EQ(image.Load(dir.file("Photo.jpg")), 1) << "names match without regard to case";
    EXPECT_EQ(text(image), "0 -50 100 0") << "the first extension wins, whatever its case";
    // An unusable first file gives way to the next.
    const std::string map = picture("map.png", "PNG");
    writeFile(dir.file("map.pgw"), "0\n0\n0\n0\n5\n5\n");
    writeFile(dir.file("map.pngw"), example);
    ASSERT_EQ(image.Load(map), 1);
    EXPECT_EQ(image.xmin, 1000);
    // A picture saved under a flood result's name is one again when loaded; letter case counts,
    // and the next picture loaded decides anew.
    for (const auto& [base, flood] : {std::pair<std::string, bool>("FloodFill-2", true),
                                      {"floodfill-3", false},
                                      {"map", false}}) {
        writeFile(dir.file(base + ".pgw"), example);
        ASSERT_EQ(image.Load(picture(base + ".png", "PNG")), 1);
        EXPECT_EQ(image.isFloodResult(), flood) << base;
    }
    // Pictures other than TIFF need a usable world file; a failed load keeps nothing.
    picture("lone.png", "PNG");
    writeFile(dir.file("broken.png"), "not a picture");
    writeFile(dir.file("broken.pgw"), example);
    for (const char* name : {"lone.png", "broken.png", "missing.png"}) {
        ZarHImage failed;
        EXPECT_EQ(failed.Load(dir.file(name)), 0) << name;
        EXPECT_TRUE(failed.bitmap.isNull() && failed.path.empty()) << name;
    }
}

// An image with its picture given directly, placed at the rectangle.
std::unique_ptr<ZarHImage> makeImage(const QImage& picture, MapRect r, bool flood = false) {
    auto image = std::make_unique<ZarHImage>();
    image->bitmap = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image->xmin = r.xmin, image->ymin = r.ymin, image->xmax = r.xmax, image->ymax = r.ymax;
    if (flood) image->flood.emplace();
    return image;
}

// A picture of w x h cells of a distinct colour each, every cell block x block pixels.
QImage gridPicture(int w, int h, int block = 1) {
    QImage p(w * block, h * block, QImage::Format_RGB32);
    for (int y = 0; y < h * block; ++y)
        for (int x = 0; x < w * block; ++x)
            p.setPixel(x, y, qRgb(30 * (x / block) + 10, 40 * (y / block) + 20, 99));
    return p;
}

TEST(DrawImage, PlacesTheVisiblePartBottomUp) {
    const MapRect shown{0, 0, 80, 40};  // 8 x 4 pixels of 10 m
    const struct {
        const char* what;
        MapRect rect;
        int pw, ph;
        int left, bottom, w, h;  // target pixels covered
        int col0, row0;          // picture cell of the covered block's north-west corner
        int block = 1;           // picture pixels per cell side; above 1 the picture shrinks
    } cases[] = {
        {"north-east, one pixel in", {50, 30, 80, 40}, 3, 1, 5, 3, 3, 1, 0, 0},
        // 8 x 4 pixels of 10 m from x -40 and y 20: only its eastern half and southern rows show.
        {"clipped west and north", {-40, 20, 40, 60}, 8, 4, 0, 2, 4, 2, 4, 2},
        {"clipped east and south", {60, -10, 100, 30}, 4, 4, 6, 0, 2, 3, 0, 0},
        {"clipped and shrunk", {-40, 20, 40, 60}, 8, 4, 0, 2, 4, 2, 4, 2, 4},
    };
    for (const auto& c : cases) {
        Dib24 target(8, 4);
        const QImage cells = gridPicture(c.pw, c.ph);
        makeImage(gridPicture(c.pw, c.ph, c.block), c.rect)->DrawImage(target, shown, 255);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inside =
                    x >= c.left && x < c.left + c.w && y >= c.bottom && y < c.bottom + c.h;
                // Bitmap row y counts from the bottom; picture rows from the top.
                const QRgb p =
                    inside ? cells.pixel(c.col0 + x - c.left, c.row0 + c.bottom + c.h - 1 - y) : 0;
                EXPECT_EQ(target.pixel(x, y), qRed(p) | qGreen(p) << 8 | qBlue(p) << 16)
                    << c.what << " at " << x << "," << y;
            }
    }
    Dib24 target(8, 4);
    makeImage(gridPicture(2, 2), {100, 0, 120, 10})->DrawImage(target, shown, 255);
    makeImage(gridPicture(2, 2), {0, 0, 0.4, 0.4})->DrawImage(target, shown, 255);  // below a pixel
    makeImage(gridPicture(2, 2), {0, 0, 10, 10})->DrawImage(target, {0, 0, 0, 40}, 255);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(target.pixel(x, y), 0u) << "nothing drawn";
}

TEST(DrawImage, OpacityAndFloodLayerWhite) {
    // A red and a white pixel over a blue background.
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(255, 255, 255));
    QImage halfAlpha(1, 1, QImage::Format_ARGB32);
    halfAlpha.setPixel(0, 0, qRgba(255, 0, 0, 128));
    const struct {
        bool flood;
        const QImage* picture;
        int opacity;
        uint32_t first, second;
    } cases[] = {
        {false, &picture, 0, 0x0000FF, 0xFFFFFF},  // 0 draws opaque
        {false, &picture, 128, 0x7F0080, 0xFF8080},
        {true, &picture, 255, 0x0000FF, 0xFF0000},
        {true, &picture, 51, 0xCC0033, 0xFF0000},
        {false, &halfAlpha, 128, 0xBF0040, 0xFF0000},  // and the picture's own alpha
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flood " << c.flood << ", opacity " << c.opacity);
        Dib24 target(2, 1);
        target.setPixel(0, 0, 0xFF0000);
        target.setPixel(1, 0, 0xFF0000);
        makeImage(*c.picture, {0, 0, c.picture->width() * 10.0, 10}, c.flood)
            ->DrawImage(target, {0, 0, 20, 10}, c.opacity);
        EXPECT_EQ(target.pixel(0, 0), c.first);
        EXPECT_EQ(target.pixel(1, 0), c.second);
    }
}

// A flood layer of w x h cells of 10 m: some cells ranked 0, 1 or 2 (red, green, blue), the
// others without a rank (white, not drawn).
std::unique_ptr<ZarHImage> rankLayer(int w, int h) {
    auto layer = std::make_unique<ZarHImage>();
    auto cells = std::make_shared<BlockGrid>(w, h, 15);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if ((i * 7 + j * 3) % 5 < 3) cells->set(i, j, static_cast<uint8_t>((i + 2 * j) % 3));
    layer->indexedCells = cells;
    layer->palette.fill(0xFFFFFF);
    layer->palette[0] = 0x0000FF;
    layer->palette[1] = 0x00FF00;
    layer->palette[2] = 0xFF0000;
    layer->xmax = w * 10.0;
    layer->ymax = h * 10.0;
    layer->flood.emplace();
    return layer;
}

TEST(DrawImage, FloodRanksAreDrawnAtTargetSizeFromTheShownPartOnly) {
    // 600 x 360 cells (more than one block each way) at one cell a pixel: each pixel is its
    // cell's rank colour, or the background where the cell has no rank.
    const auto layer = rankLayer(600, 360);
    const MapRect all{0, 0, 6000, 3600};
    constexpr uint32_t kBackground = 0x404040;
    const auto grey = [](int w, int h) {
        Dib24 d(w, h);
        std::fill(d.bits(), d.bits() + static_cast<size_t>(d.stride()) * h, 0x40);
        return d;
    };
    Dib24 full = grey(600, 360);
    layer->DrawImage(full, all, 255);
    for (int j = 0; j < 360; j += 7)
        for (int i = 0; i < 600; i += 3) {
            const uint8_t rank = layer->indexedCells->at(i, j);
            EXPECT_EQ(full.pixel(i, j), rank < 3 ? layer->palette[rank] : kBackground)
                << i << "," << j;
        }
    // At 1 to 7.5 cells a pixel: drawing a part of the view alone (one that starts inside a
    // cell) gives the same pixels as that part of the whole drawing.
    for (const int w : {600, 240, 160, 80}) {
        const int h = w * 360 / 600;
        const double metresPerPixel = 6000.0 / w;
        const int x0 = w / 4 + 1, y0 = h / 4 + 1, pw = w / 2, ph = h / 2;
        Dib24 whole = grey(w, h), part = grey(pw, ph);
        layer->DrawImage(whole, all, 200);
        layer->DrawImage(part,
                         {x0 * metresPerPixel, y0 * metresPerPixel, (x0 + pw) * metresPerPixel,
                          (y0 + ph) * metresPerPixel},
                         200);
        int differing = 0;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x)
                differing += part.pixel(x, y) != whole.pixel(x + x0, y + y0);
        EXPECT_EQ(differing, 0) << metresPerPixel / 10 << " cells a pixel";
        if (w == 80) {  // shrunk, the ranks mix with the background
            EXPECT_NE(whole.pixel(w / 2, h / 2), kBackground);
            EXPECT_NE(whole.pixel(w / 2, h / 2), layer->palette[0]);
        }
    }
}

}  // namespace
}  // namespace kov
