#include "core/display/PngEncoder.h"

#include <zlib.h>
#include <QImage>
#include <QtEndian>
#include <cstring>
#include <vector>

namespace kov {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr unsigned char kFilterUp = 2;
// Compressed data is written in IDAT chunks of this size.
constexpr size_t kChunkBytes = 1 << 18;

void appendChunk(QByteArray& file, const char type[4], const unsigned char* data, size_t size) {
    unsigned char head[8];
    qToBigEndian<quint32>(static_cast<quint32>(size), head);
    std::memcpy(head + 4, type, 4);
    file.append(reinterpret_cast<const char*>(head), 8);
    if (size) file.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    uLong crc = crc32(0, head + 4, 4);
    if (size) crc = crc32_z(crc, data, size);
    unsigned char tail[4];
    qToBigEndian<quint32>(static_cast<quint32>(crc), tail);
    file.append(reinterpret_cast<const char*>(tail), 4);
}

// One picture row as PNG bytes (RGB or RGBA) from a 32-bit row (0xAARRGGBB).
void unpackRow(const QRgb* pixels, int width, bool alpha, unsigned char* out) {
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        *out++ = static_cast<unsigned char>(qRed(p));
        *out++ = static_cast<unsigned char>(qGreen(p));
        *out++ = static_cast<unsigned char>(qBlue(p));
        if (alpha) *out++ = static_cast<unsigned char>(qAlpha(p));
    }
}

class Deflater {
public:
    explicit Deflater(QByteArray& file) : file_(file), out_(kChunkBytes) {
        ok_ = deflateInit2(&stream_, 1, Z_DEFLATED, 15, 8, Z_RLE) == Z_OK;
        stream_.next_out = out_.data();
        stream_.avail_out = static_cast<uInt>(out_.size());
    }
    ~Deflater() { deflateEnd(&stream_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool add(const unsigned char* data, size_t size, bool last) {
        if (!ok_) return false;
        stream_.next_in = const_cast<unsigned char*>(data);
        stream_.avail_in = static_cast<uInt>(size);
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            const int result = deflate(&stream_, flush);
            if (result == Z_STREAM_ERROR) return ok_ = false;
            if (stream_.avail_out == 0) writeChunk();
            if (last ? result == Z_STREAM_END : stream_.avail_in == 0) break;
        }
        if (last && stream_.avail_out < out_.size()) writeChunk();
        return true;
    }

private:
    void writeChunk() {
        appendChunk(file_, "IDAT", out_.data(), out_.size() - stream_.avail_out);
        stream_.next_out = out_.data();
        stream_.avail_out = static_cast<uInt>(out_.size());
    }

    QByteArray& file_;
    std::vector<unsigned char> out_;
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

QByteArray encodePng(const QImage& image) {
    if (image.isNull()) return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int width = pixels.width();
    const int height = pixels.height();
    const size_t rowBytes = static_cast<size_t>(width) * (alpha ? 4 : 3);

    QByteArray file;
    file.append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    unsigned char header[13] = {};
    qToBigEndian<quint32>(static_cast<quint32>(width), header);
    qToBigEndian<quint32>(static_cast<quint32>(height), header + 4);
    header[8] = 8;              // bits per channel
    header[9] = alpha ? 6 : 2;  // RGBA or RGB
    appendChunk(file, "IHDR", header, sizeof header);
    if (pixels.dotsPerMeterX() > 0 && pixels.dotsPerMeterY() > 0) {
        unsigned char physical[9] = {};
        qToBigEndian<quint32>(static_cast<quint32>(pixels.dotsPerMeterX()), physical);
        qToBigEndian<quint32>(static_cast<quint32>(pixels.dotsPerMeterY()), physical + 4);
        physical[8] = 1;  // the unit is the metre
        appendChunk(file, "pHYs", physical, sizeof physical);
    }

    // Filter "Up": each byte minus the byte above it. Flat areas and smooth relief become runs
    // that zlib's run-length strategy packs faster, and smaller, than its fastest general level.
    Deflater deflater(file);
    std::vector<unsigned char> previous(rowBytes, 0);
    std::vector<unsigned char> current(rowBytes);
    std::vector<unsigned char> filtered(rowBytes + 1);
    filtered[0] = kFilterUp;
    for (int y = 0; y < height; ++y) {
        unpackRow(reinterpret_cast<const QRgb*>(pixels.constScanLine(y)), width, alpha,
                  current.data());
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = static_cast<unsigned char>(current[i] - previous[i]);
        if (!deflater.add(filtered.data(), filtered.size(), y + 1 == height)) return {};
        current.swap(previous);
    }
    appendChunk(file, "IEND", nullptr, 0);
    return file;
}

}  // namespace kov
