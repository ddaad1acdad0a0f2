// The picture decoders of the image overlay: bitmaps, PCX and the fall-back to Qt's readers.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <string>
#include <vector>

#include "data/image/BmpDecoder.h"
#include "data/image/PcxDecoder.h"
#include "data/image/PictureDecoder.h"

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
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(pal.size());
    return "BM" + le32(offset + pixels.size()) + le32(0) + le32(offset) + le32(40) + le32(width) +
           le32(static_cast<uint32_t>(height)) + le16(1) + le16(bits) + le32(compression) +
           le32(pixels.size()) + le32(2835) + le32(2835) + le32(palette.size()) + le32(0) + pal +
           pixels;
}

// A PCX file: header for the given form, then the (already encoded) data and optional tail.
std::string pcxFile(int width, int height, int bits, int planes, int bytesPerLine,
                    const std::string& data, const std::vector<QRgb>& egaPalette = {}) {
    std::string h(128, '\0');
    h[0] = 0x0A, h[1] = 5, h[2] = 1, h[3] = static_cast<char>(bits);
    h.replace(8, 2, le16(width - 1));
    h.replace(10, 2, le16(height - 1));
    for (size_t i = 0; i < egaPalette.size(); ++i) {
        h[16 + 3 * i] = static_cast<char>(qRed(egaPalette[i]));
        h[17 + 3 * i] = static_cast<char>(qGreen(egaPalette[i]));
        h[18 + 3 * i] = static_cast<char>(qBlue(egaPalette[i]));
    }
    h[65] = static_cast<char>(planes);
    h.replace(66, 2, le16(bytesPerLine));
    return h + data;
}

std::string vgaPalette(const std::vector<std::pair<int, QRgb>>& entries) {
    std::string tail(769, '\0');
    tail[0] = 0x0C;
    for (auto [i, c] : entries) {
        tail[1 + 3 * i] = static_cast<char>(qRed(c));
        tail[2 + 3 * i] = static_cast<char>(qGreen(c));
        tail[3 + 3 * i] = static_cast<char>(qBlue(c));
    }
    return tail;
}

// A GIF of up to four colours with an optional transparent index. The LZW codes stay 3 bits
// wide because a clear code follows every second pixel.
std::string gifFile(int width, int height, const std::vector<QRgb>& colours,
                    const std::vector<int>& indices, int transparent = -1) {
    std::string g = "GIF89a" + le16(width) + le16(height) + std::string("\xF1\0\0", 3);
    for (int i = 0; i < 4; ++i) {
        const QRgb c = i < int(colours.size()) ? colours[i] : 0;
        g += {char(qRed(c)), char(qGreen(c)), char(qBlue(c))};
    }
    if (transparent >= 0) g += std::string("\x21\xF9\x04\x01\0\0", 6) + char(transparent) + '\0';
    g += "\x2C" + le32(0) + le16(width) + le16(height) + '\0' + '\x02';
    std::vector<int> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) codes.push_back(4);  // clear
        codes.push_back(indices[i]);
    }
    codes.push_back(5);  // end
    std::string data;
    uint32_t bits = 0, count = 0;
    for (int code : codes) {
        bits |= code << count;
        count += 3;
        for (; count >= 8; count -= 8, bits >>= 8)
            data += char(bits);
    }
    if (count) data += char(bits);
    return g + char(data.size()) + data + '\0' + ';';
}

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255), kRed = qRgb(255, 0, 0),
           kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255);

// Pixels of a picture, top row first.
std::vector<std::vector<QRgb>> pixelsOf(const QImage& image) {
    std::vector<std::vector<QRgb>> rows(image.height(), std::vector<QRgb>(image.width()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            rows[y][x] = image.pixel(x, y);
    return rows;
}

struct DecodeCase {
    const char* what;
    std::string file;
    std::vector<std::vector<QRgb>> expected;  // top row first
};

TEST(BmpDecoder, DepthsPalettesAndRowOrder) {
    const std::string s0(1, '\0');
    const std::vector<DecodeCase> cases = {
        {"24 bits, bottom-up, rows padded",
         bmpFile(3, 2, 24, {},
                 std::string("\xFF\0\0\0\xFF\0\0\0\xFF", 9) + std::string(3, '\0') +
                     std::string("\xFF\xFF\xFF\0\0\0\x80\x80\x80", 9) + std::string(3, '\0')),
         {{kWhite, kBlack, qRgb(128, 128, 128)}, {kBlue, kGreen, kRed}}},
        {"8 bits, top-down, index beyond the palette reads black",
         bmpFile(2, -2, 8, {kRed, kGreen}, std::string("\0\1\0\0\1\5\0\0", 8)),
         {{kRed, kGreen}, {kGreen, kBlack}}},
        {"1 bit",
         bmpFile(3, 1, 1, {kBlack, kWhite}, std::string("\xA0\0\0\0", 4)),
         {{kWhite, kBlack, kWhite}}},
        {"4 bits",
         bmpFile(3, 1, 4, {kBlue, kRed, kGreen}, std::string("\x12\0\0\0", 4)),
         {{kRed, kGreen, kBlue}}},
        {"16 bits 5-5-5",
         bmpFile(2, 1, 16, {}, std::string("\x00\x7C\xE0\x03", 4)),
         {{kRed, kGreen}}},
        {"32 bits, fourth byte ignored",
         bmpFile(1, 1, 32, {}, std::string("\x0A\x14\x1E\x00", 4)),
         {{qRgb(30, 20, 10)}}},
    };
    for (const auto& c : cases) {
        const QImage image = DecodeBmp(c.file);
        ASSERT_FALSE(image.isNull()) << c.what;
        EXPECT_EQ(pixelsOf(image), c.expected) << c.what;
    }
}

TEST(BmpDecoder, RejectsDamagedFilesAndLeavesRunLengthDataToQt) {
    const std::string good = bmpFile(3, 1, 24, {}, std::string(12, '\x40'));
    EXPECT_FALSE(DecodeBmp(good).isNull());
    EXPECT_TRUE(DecodeBmp(good.substr(0, good.size() - 1)).isNull()) << "pixels cut short";
    EXPECT_TRUE(DecodeBmp(good.substr(0, 30)).isNull()) << "header cut short";
    EXPECT_TRUE(DecodeBmp(good, PictureLimits{2, 1 << 20}).isNull()) << "beyond the size limit";
    EXPECT_TRUE(DecodeBmp(bmpFile(1, 1, 7, {}, std::string(4, '\0'))).isNull()) << "7 bits";

    // Run-length encoded 8 bits: two pixels of index 1, end of bitmap.
    const std::string rle = bmpFile(2, 1, 8, {kRed, kGreen}, std::string("\x02\x01\x00\x01", 4), 1);
    EXPECT_TRUE(DecodeBmp(rle).isNull());
    const QImage viaQt = DecodePicture(rle, ".BMP", nullptr);
    ASSERT_FALSE(viaQt.isNull()) << "files our reader rejects go to Qt's readers";
    EXPECT_EQ(pixelsOf(viaQt), (std::vector<std::vector<QRgb>>{{kGreen, kGreen}}));
}

TEST(PcxDecoder, CommonForms) {
    const std::vector<DecodeCase> cases = {
        {"8 bits with palette; a run crosses the line end; literal 0xC8 needs a run code",
         pcxFile(3, 2, 8, 1, 4, std::string("\xC5\x01\x02\xC1\xC8\xC1\x00", 7)) +
             vgaPalette({{1, kRed}, {2, kGreen}, {200, kBlue}}),
         {{kRed, kRed, kRed}, {kRed, kGreen, kBlue}}},
        {"8 bits without palette: grey levels",
         pcxFile(2, 1, 8, 1, 2, "\x10\x20"),
         {{qRgb(16, 16, 16), qRgb(32, 32, 32)}}},
        {"24 bits in three planes",
         pcxFile(2, 1, 8, 3, 2, "\x0A\x14\x1E\x28\x32\x3C"),
         {{qRgb(10, 30, 50), qRgb(20, 40, 60)}}},
        {"1 bit black and white",
         pcxFile(3, 1, 1, 1, 2, std::string("\xA0\x00", 2)),
         {{kWhite, kBlack, kWhite}}},
        {"16 colours in four bit planes",
         pcxFile(2, 1, 1, 4, 2, std::string("\x80\0\x40\0\0\0\0\0", 8), {kBlack, kRed, kGreen}),
         {{kRed, kGreen}}},
        {"16 colours packed",
         pcxFile(2, 1, 4, 1, 2, std::string("\x21\0", 2), {kBlack, kRed, kGreen}),
         {{kGreen, kRed}}},
    };
    for (const auto& c : cases) {
        const QImage image = DecodePcx(c.file);
        ASSERT_FALSE(image.isNull()) << c.what;
        EXPECT_EQ(pixelsOf(image), c.expected) << c.what;
    }
}

TEST(PcxDecoder, RejectsDamagedFiles) {
    const std::string good = pcxFile(2, 2, 8, 1, 2, "\xC4\x05");
    EXPECT_FALSE(DecodePcx(good).isNull());
    EXPECT_TRUE(DecodePcx(good.substr(0, good.size() - 1)).isNull()) << "run without its value";
    EXPECT_TRUE(DecodePcx(pcxFile(2, 2, 8, 1, 2, "\xC3\x05")).isNull()) << "data ends early";
    EXPECT_TRUE(DecodePcx(pcxFile(4, 1, 8, 1, 2, "\xC4\x05")).isNull())
        << "line shorter than width";
    EXPECT_TRUE(DecodePcx(pcxFile(2, 1, 2, 1, 2, "\xC4\x05")).isNull()) << "2-bit form";
    EXPECT_TRUE(DecodePcx(good.substr(0, 100)).isNull());
    EXPECT_TRUE(DecodePcx(good, PictureLimits{1, 1 << 20}).isNull()) << "beyond the size limit";
}

TEST(PictureDecoder, ChoosesByExtensionAndFallsBackToQt) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(kRed);
    source.setPixel(2, 1, kBlue);
    auto saved = [&](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(source.save(&buffer, format)) << format;
        return bytes.toStdString();
    };
    // Uncompressed 24-bit TGA 2.0, rows bottom-up (Qt writes no TGA and reads only TGA 2.0).
    std::string tga = std::string("\0\0\x02", 3) + std::string(9, '\0') + le16(3) + le16(2) +
                      std::string("\x18\0", 2);
    for (int y = 1; y >= 0; --y)
        for (int x = 0; x < 3; ++x) {
            const QRgb c = source.pixel(x, y);
            tga += {char(qBlue(c)), char(qGreen(c)), char(qRed(c))};
        }
    tga += std::string(8, '\0') + std::string("TRUEVISION-XFILE.", 18);
    const struct {
        std::string bytes;
        const char* extension;
        bool exact;
    } cases[] = {
        {saved("PNG"), ".png", true},
        {saved("PNG"), ".xyz", true},
        {saved("PNG"), ".jpg", true},
        {saved("BMP"), ".Bmp", true},
        {saved("BMP"), ".pcx", true},
        {saved("JPEG"), ".JPEG", false},
        {tga, ".tga", true},
        {gifFile(3, 2, {kRed, kBlue}, {0, 0, 0, 0, 0, 1}), ".GIF", true},
    };
    for (const auto& c : cases) {
        const QImage image = DecodePicture(c.bytes, c.extension, nullptr);
        ASSERT_FALSE(image.isNull()) << c.extension;
        EXPECT_EQ(image.size(), QSize(3, 2));
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
        if (c.exact) {
            EXPECT_EQ(pixelsOf(image), pixelsOf(source)) << c.extension;
        }
    }
    // A GIF's transparent colour becomes transparent pixels.
    const QImage gif = DecodePicture(gifFile(2, 1, {kRed, kBlue}, {1, 0}, 1), ".gif", nullptr);
    ASSERT_FALSE(gif.isNull());
    EXPECT_EQ(gif.pixel(0, 0), 0u);
    EXPECT_EQ(gif.pixel(1, 0), kRed);

    EXPECT_TRUE(DecodePicture("not a picture", ".png", nullptr).isNull());
    EXPECT_TRUE(DecodePicture("", ".pcx", nullptr).isNull());
}

}  // namespace
}  // namespace kov
