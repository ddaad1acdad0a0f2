// SPDX-License-Identifier: MIT
// The picture decoders of the image overlay: bitmaps, PCX and the fall-back to Qt's readers.
#include <gtest/gtest.h>

#include <QColor>
#include <string>
#include <vector>

#include "core/data/image/BmpDecoder.h"
#include "core/data/image/PcxDecoder.h"
#include "core/data/image/PictureDecoder.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

std::string le16(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(v) + le16(v >> 16);
}

// A bitmap file: file header, 40-byte info header, palette (B, G, R, 0) and the pixel bytes as
// stored (rows padded by the caller).
std::string bmpFile(int width, int height, int bits, const std::vector<QRgb>& palette,
                    const std::string& pixels, uint32_t compression = 0) {
    std::string pal;
    for (QRgb c : palette)
        pal += {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
    const uint32_t offset = 54 + static_cast<uint32_t>(pal.size());
    return "BM" + le32(offset + pixels.size()) + le32(0) + le32(offset) + le32(40) + le32(width) +
           le32(height) + le16(1) + le16(bits) + le32(compression) + le32(pixels.size()) +
           le32(2835) + le32(2835) + le32(palette.size()) + le32(0) + pal + pixels;
}

// A PCX file: header for the given form (EGA palette of up to 16 colours), then the encoded data.
std::string pcxFile(int width, int height, int bits, int planes, int bytesPerLine,
                    const std::string& data, const std::vector<QRgb>& palette = {}) {
    std::string h = std::string("\x0A\x05\x01", 3) + char(bits) + le32(0) + le16(width - 1) +
                    le16(height - 1) + std::string(4, '\0');
    for (QRgb c : palette)
        h += {char(qRed(c)), char(qGreen(c)), char(qBlue(c))};
    h.resize(65, '\0');
    return h + char(planes) + le16(bytesPerLine) + std::string(60, '\0') + data;
}

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255), kRed = qRgb(255, 0, 0),
           kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255);

using Rows = std::vector<std::vector<QRgb>>;  // top row first

Rows pixelsOf(const QImage& image) {
    Rows rows(image.height(), std::vector<QRgb>(image.width()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            rows[y][x] = image.pixel(x, y);
    return rows;
}

TEST(BmpDecoder, DepthsPalettesAndRowOrder) {
    const std::pair<std::string, Rows> cases[] = {
        {bmpFile(
             3, 2, 24, {},  // bottom-up, rows padded
             std::string("\xFF\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\0\0\0\x80\x80\x80\0\0\0", 24)),
         {{kWhite, kBlack, qRgb(128, 128, 128)}, {kBlue, kGreen, kRed}}},
        {bmpFile(2, -2, 8, {kRed, kGreen}, std::string("\0\1\0\0\1\5\0\0", 8)),  // top-down;
         {{kRed, kGreen}, {kGreen, kBlack}}},  // an index beyond the palette reads black
        {bmpFile(3, 1, 1, {kBlack, kWhite}, std::string("\xA0\0\0\0", 4)),
         {{kWhite, kBlack, kWhite}}},
        {bmpFile(3, 1, 4, {kBlue, kRed, kGreen}, std::string("\x12\0\0\0", 4)),
         {{kRed, kGreen, kBlue}}},
        {bmpFile(2, 1, 16, {}, std::string("\x00\x7C\xE0\x03", 4)), {{kRed, kGreen}}},  // 5-5-5
        {bmpFile(1, 1, 32, {}, std::string("\x0A\x14\x1E\x00", 4)), {{qRgb(30, 20, 10)}}},
    };
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(pixelsOf(decodeBmp(file)), expected) << file.size();
}

TEST(BmpDecoder, RejectsDamagedFilesAndLeavesRunLengthDataToQt) {
    const std::string good = bmpFile(3, 1, 24, {}, std::string(12, '\x40'));
    EXPECT_FALSE(decodeBmp(good).isNull());
    // Pixels cut short, header cut short, 7 bits; beyond the size limit.
    for (const std::string& bad : {good.substr(0, good.size() - 1), good.substr(0, 30),
                                   bmpFile(1, 1, 7, {}, std::string(4, '\0'))})
        EXPECT_TRUE(decodeBmp(bad).isNull()) << bad.size();
    EXPECT_TRUE(decodeBmp(good, PictureLimits{2, 1 << 20}).isNull());
    // Run-length encoded 8 bits: two pixels of index 1, end of bitmap.
    const std::string rle = bmpFile(2, 1, 8, {kRed, kGreen}, std::string("\x02\x01\x00\x01", 4), 1);
    EXPECT_TRUE(decodeBmp(rle).isNull());
    EXPECT_EQ(pixelsOf(decodePicture(rle, ".BMP", nullptr)), (Rows{{kGreen, kGreen}}));
}

TEST(PcxDecoder, CommonFormsAndDamagedFiles) {
    std::string vga(769, '\0');  // the 256-colour palette after the data
    vga[0] = 0x0C, vga[4] = vga[8] = char(255), vga[603] = char(255);  // 1 red, 2 green, 200 blue
    const std::pair<std::string, Rows> cases[] = {
        // A run crosses the line end; a literal 0xC8 needs a run code.
        {pcxFile(3, 2, 8, 1, 4, std::string("\xC5\x01\x02\xC1\xC8\xC1\x00", 7)) + vga,
         {{kRed, kRed, kRed}, {kRed, kGreen, kBlue}}},
        {pcxFile(2, 1, 8, 1, 2, "\x10\x20"), {{qRgb(16, 16, 16), qRgb(32, 32, 32)}}},  // grey
        {pcxFile(2, 1, 8, 3, 2, "\x0A\x14\x1E\x28\x32\x3C"),
         {{qRgb(10, 30, 50), qRgb(20, 40, 60)}}},
        {pcxFile(3, 1, 1, 1, 2, std::string("\xA0\x00", 2)), {{kWhite, kBlack, kWhite}}},
        {pcxFile(2, 1, 1, 4, 2, std::string("\x80\0\x40\0\0\0\0\0", 8), {kBlack, kRed, kGreen}),
         {{kRed, kGreen}}},  // 16 colours in four bit planes
        {pcxFile(2, 1, 4, 1, 2, std::string("\x21\0", 2), {kBlack, kRed, kGreen}),
         {{kGreen, kRed}}},  // 16 colours packed
    };
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(pixelsOf(decodePcx(file)), expected) << file.size();

    // A run without its value, data ending early, a line too short, the 2-bit form.
    const std::string good = pcxFile(2, 2, 8, 1, 2, "\xC4\x05");
    EXPECT_FALSE(decodePcx(good).isNull());
    for (const std::string& bad :
         {good.substr(0, good.size() - 1), pcxFile(2, 2, 8, 1, 2, "\xC3\x05"),
          pcxFile(4, 1, 8, 1, 2, "\xC4\x05"), pcxFile(2, 1, 2, 1, 2, "\xC4\x05")})
        EXPECT_TRUE(decodePcx(bad).isNull()) << bad.size();
    EXPECT_TRUE(decodePcx(good, PictureLimits{1, 1 << 20}).isNull()) << "beyond the size limit";
}

TEST(PictureDecoder, ChoosesByExtensionAndFallsBackToQt) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(kRed);
    source.setPixel(2, 1, kBlue);
    const auto saved = [&](const char* format) { return test::encodedImage(source, format); };
    // Uncompressed 24-bit TGA 2.0, rows bottom-up: Qt reads it only when told the format.
    std::string tga = std::string("\0\0\x02", 3) + std::string(9, '\0') + le16(3) + le16(2) +
                      std::string("\x18\0", 2);
    for (int i = 0; i < 6; ++i) {
        const QRgb c = source.pixel(i % 3, 1 - i / 3);
        tga += {char(qBlue(c)), char(qGreen(c)), char(qRed(c))};
    }
    tga += std::string(8, '\0') + std::string("TRUEVISION-XFILE.", 18);
    const std::pair<std::string, const char*> cases[] = {
        {saved("PNG"), ".xyz"}, {saved("PNG"), ".jpg"}, {saved("BMP"), ".Bmp"},
        {saved("BMP"), ".pcx"}, {tga, ".tga"},
    };
    for (const auto& [bytes, extension] : cases) {
        const QImage image = decodePicture(bytes, extension, nullptr);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied) << extension;
        EXPECT_EQ(pixelsOf(image), pixelsOf(source)) << extension;
    }
    EXPECT_EQ(decodePicture(saved("JPEG"), ".JPEG", nullptr).size(), QSize(3, 2));
    EXPECT_TRUE(decodePicture("not a picture", ".png", nullptr).isNull());
    EXPECT_TRUE(decodePicture("", ".pcx", nullptr).isNull());
}

// PNG damage that libpng would print on stderr is refused before it, with the byte offset.
TEST(PictureDecoder, DamagedPngIsRefusedWithItsOffset) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(kRed);
    const std::string png = test::encodedImage(source, "PNG");
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(pictureDamage(png), "");
    EXPECT_EQ(pictureDamage("GIF89a"), "") << "only PNG files are looked at";
    std::string flipped = png;
    flipped[20] ^= 1;  // inside IHDR, which starts at byte 8
    const std::pair<std::string, std::string> damaged[] = {
        {png.substr(0, png.size() - 12), "ends at byte " + std::to_string(png.size() - 12)},
        {png.substr(0, 46), "at byte 33 is cut short"},  // the chunk after IHDR
        {flipped, "the PNG chunk IHDR at byte 8 fails its CRC"},
    };
    for (const auto& [bytes, reason] : damaged) {
        EXPECT_NE(pictureDamage(bytes).find(reason), std::string::npos) << pictureDamage(bytes);
        EXPECT_TRUE(decodePicture(bytes, ".png", nullptr).isNull());
    }
}

}  // namespace
}  // namespace kov
