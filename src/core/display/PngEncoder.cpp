// SPDX-License-Identifier: MIT
#include "core/display/PngEncoder.h"

#include <zlib.h>
#include <QImage>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <future>
#include <thread>
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

// A part of the filtered rows compressed as raw deflate blocks; every part but the last ends on
// a byte boundary without closing the stream, so the parts join into one stream.
struct Segment {
    std::vector<unsigned char> bytes;
    uLong adler = 1;
    size_t length = 0;
    bool ok = false;
};

Segment deflateSegment(const unsigned char* data, size_t size, bool last) {
    Segment segment;
    segment.length = size;
    segment.adler = adler32_z(1, data, size);
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) return segment;
    segment.bytes.resize(deflateBound(&stream, size) + 16);
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = segment.bytes.data();
    stream.avail_out = static_cast<uInt>(segment.bytes.size());
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    segment.ok = last ? result == Z_STREAM_END : result == Z_OK && stream.avail_in == 0;
    segment.bytes.resize(segment.bytes.size() - stream.avail_out);
    deflateEnd(&stream);
    return segment;
}

// The zlib stream of the filtered rows, compressed in parts on all cores (the parts restart the
// run-length matching, which costs a few bytes per part). Empty when compression fails.
std::vector<unsigned char> compressRows(const std::vector<unsigned char>& rows, size_t rowBytes) {
    const size_t rowCount = rows.size() / rowBytes;
    const size_t parts = std::clamp<size_t>(std::thread::hardware_concurrency(), 1,
                                            std::max<size_t>(1, rowCount / 64));
    std::vector<std::future<Segment>> running;
    for (size_t k = 0; k < parts; ++k) {
        const size_t first = rowCount * k / parts * rowBytes;
        const size_t end = rowCount * (k + 1) / parts * rowBytes;
        running.push_back(std::async(parts > 1 ? std::launch::async : std::launch::deferred,
                                     deflateSegment, rows.data() + first, end - first,
                                     k + 1 == parts));
    }
    std::vector<unsigned char> stream = {0x78, 0x01};  // deflate, 32 KiB window, fastest level
    uLong adler = 1;
    for (auto& part : running) {
        const Segment segment = part.get();
        if (!segment.ok) return {};
        stream.insert(stream.end(), segment.bytes.begin(), segment.bytes.end());
        adler = adler32_combine(adler, segment.adler, static_cast<z_off_t>(segment.length));
    }
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(static_cast<unsigned char>(adler >> shift));
    return stream;
}

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
    const size_t filteredBytes = rowBytes + 1;
    std::vector<unsigned char> rows(filteredBytes * static_cast<size_t>(height));
    std::vector<unsigned char> previous(rowBytes, 0);
    std::vector<unsigned char> current(rowBytes);
    for (int y = 0; y < height; ++y) {
        unpackRow(reinterpret_cast<const QRgb*>(pixels.constScanLine(y)), width, alpha,
                  current.data());
        unsigned char* filtered = rows.data() + filteredBytes * static_cast<size_t>(y);
        filtered[0] = kFilterUp;
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = static_cast<unsigned char>(current[i] - previous[i]);
        current.swap(previous);
    }
    const std::vector<unsigned char> stream = compressRows(rows, filteredBytes);
    if (stream.empty()) return {};
    for (size_t at = 0; at < stream.size(); at += kChunkBytes)
        appendChunk(file, "IDAT", stream.data() + at, std::min(kChunkBytes, stream.size() - at));
    appendChunk(file, "IEND", nullptr, 0);
    return file;
}

}  // namespace kov
