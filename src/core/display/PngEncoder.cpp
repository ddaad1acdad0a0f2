// SPDX-License-Identifier: MIT
#include "core/display/PngEncoder.h"

#include <libdeflate.h>
#include <zlib.h>
#include <QImage>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "core/base/LargeBlockAllocator.h"

namespace kov {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr unsigned char kFilterUp = 2;
// Compressed data is written in IDAT chunks of this size.
constexpr size_t kChunkBytes = 1 << 18;

// Bytes held in several buffers, taken in order.
class Pieces {
public:
    void add(const unsigned char* data, size_t size) {
        if (size) list_.push_back({data, size});
    }
    size_t size() const {
        size_t total = 0;
        for (size_t k = index_; k < list_.size(); ++k)
            total += list_[k].size;
        return total - offset_;
    }
    // Calls f(data, n) for the next `count` bytes (at most what is left), piece by piece.
    template <class F>
    void take(size_t count, F&& f) {
        while (count > 0 && index_ < list_.size()) {
            const Piece& piece = list_[index_];
            const size_t n = std::min(count, piece.size - offset_);
            f(piece.data + offset_, n);
            count -= n;
            offset_ += n;
            if (offset_ == piece.size) {
                ++index_;
                offset_ = 0;
            }
        }
    }

private:
    struct Piece {
        const unsigned char* data;
        size_t size;
    };
    std::vector<Piece> list_;
    size_t index_ = 0;
    size_t offset_ = 0;
};

// Appends a chunk of `size` bytes taken from data.
void appendChunk(QByteArray& file, const char type[4], Pieces& data, size_t size) {
    unsigned char head[8];
    qToBigEndian<quint32>(static_cast<quint32>(size), head);
    std::memcpy(head + 4, type, 4);
    file.append(reinterpret_cast<const char*>(head), 8);
    uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    data.take(size, [&](const unsigned char* bytes, size_t n) {
        file.append(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(n));
        crc = libdeflate_crc32(crc, bytes, n);
    });
    unsigned char tail[4];
    qToBigEndian<quint32>(crc, tail);
    file.append(reinterpret_cast<const char*>(tail), 4);
}

void appendChunk(QByteArray& file, const char type[4], const unsigned char* data, size_t size) {
    Pieces one;
    one.add(data, size);
    appendChunk(file, type, one, size);
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

// A part of the picture's rows, filtered and compressed as raw deflate blocks; every part but
// the last ends on a byte boundary without closing the stream, so the parts join into one stream.
struct Segment {
    // Reserved at the most deflate may give: megabytes, taken as huge pages.
    std::vector<unsigned char, LargeBlockAllocator<unsigned char>> bytes;
    uLong adler = 1;
    size_t length = 0;
    bool ok = false;
};

// Rows are filtered a few at a time into a small buffer and compressed from it, so that no
// picture-sized buffer of filtered rows is ever made (fresh pages cost more than the filtering).
constexpr int kRowsPerStep = 16;

struct PartRows {
    const QImage* pixels;
    bool alpha;
    int first;  // the part's rows: first..end - 1
    int end;
    bool last;
};

// Deflates what avail_in holds, growing the output as it fills (within the capacity reserved
// for the part, so that only the pages written are ever touched); false on a zlib error.
bool deflateInto(z_stream& stream,
                 std::vector<unsigned char, LargeBlockAllocator<unsigned char>>& out, size_t& used,
                 int flush) {
    for (;;) {
        if (out.size() - used < 4096) out.resize(out.size() + 65536);
        stream.next_out = out.data() + used;
        stream.avail_out = static_cast<uInt>(out.size() - used);
        const int result = deflate(&stream, flush);
        used = out.size() - stream.avail_out;
        if (result == Z_STREAM_END) return true;
        if (result != Z_OK && result != Z_BUF_ERROR) return false;
        // Done when zlib took all input and, for a flush, left room unused.
        if (stream.avail_in == 0 && (flush == Z_NO_FLUSH || stream.avail_out != 0))
            return flush != Z_FINISH;
    }
}

Segment deflatePart(const PartRows& part) {
    Segment segment;
    const int width = part.pixels->width();
    const size_t rowBytes = static_cast<size_t>(width) * (part.alpha ? 4 : 3);
    const size_t filteredBytes = rowBytes + 1;
    // Filter "Up": each byte minus the byte above it; the part starts from the row above it.
    std::vector<unsigned char> previous(rowBytes, 0);
    std::vector<unsigned char> current(rowBytes);
    if (part.first > 0)
        unpackRow(reinterpret_cast<const QRgb*>(part.pixels->constScanLine(part.first - 1)), width,
                  part.alpha, previous.data());
    std::vector<unsigned char> filtered(filteredBytes * kRowsPerStep);
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) return segment;
    segment.bytes.reserve(
        deflateBound(&stream, filteredBytes * static_cast<size_t>(part.end - part.first)) + 65536);
    size_t used = 0;
    bool ok = true;
    for (int y = part.first; y < part.end && ok;) {
        const int rows = std::min(kRowsPerStep, part.end - y);
        for (int r = 0; r < rows; ++r, ++y) {
            unpackRow(reinterpret_cast<const QRgb*>(part.pixels->constScanLine(y)), width,
                      part.alpha, current.data());
            unsigned char* out = filtered.data() + filteredBytes * static_cast<size_t>(r);
            out[0] = kFilterUp;
            for (size_t i = 0; i < rowBytes; ++i)
                out[i + 1] = static_cast<unsigned char>(current[i] - previous[i]);
            current.swap(previous);
        }
        const size_t bytes = filteredBytes * static_cast<size_t>(rows);
        segment.adler = adler32_z(segment.adler, filtered.data(), bytes);
        segment.length += bytes;
        stream.next_in = filtered.data();
        stream.avail_in = static_cast<uInt>(bytes);
        ok = deflateInto(stream, segment.bytes, used, Z_NO_FLUSH);
    }
    segment.ok =
        ok && deflateInto(stream, segment.bytes, used, part.last ? Z_FINISH : Z_SYNC_FLUSH);
    segment.bytes.resize(used);
    deflateEnd(&stream);
    return segment;
}

// The zlib stream of the filtered rows, made in parts on all cores (the parts restart the
// run-length matching, which costs a few bytes per part): its header, the parts and its check
// sum. ok false when compression fails.
struct CompressedRows {
    unsigned char head[2] = {0x78, 0x01};  // deflate, 32 KiB window, fastest level
    std::vector<Segment> parts;
    unsigned char check[4] = {};
    bool ok = false;

    Pieces pieces() const {
        Pieces all;
        all.add(head, sizeof head);
        for (const Segment& part : parts)
            all.add(part.bytes.data(), part.bytes.size());
        all.add(check, sizeof check);
        return all;
    }
};

CompressedRows compressRows(const QImage& pixels, bool alpha) {
    const int rowCount = pixels.height();
    const int parts = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1,
                                 std::max(1, rowCount / 64));
    std::vector<std::future<Segment>> running;
    for (int k = 0; k < parts; ++k) {
        const PartRows part{&pixels, alpha, static_cast<int>(int64_t{rowCount} * k / parts),
                            static_cast<int>(int64_t{rowCount} * (k + 1) / parts), k + 1 == parts};
        running.push_back(
            std::async(parts > 1 ? std::launch::async : std::launch::deferred, deflatePart, part));
    }
    CompressedRows rows;
    uLong adler = 1;
    bool ok = true;
    for (auto& part : running) {
        Segment segment = part.get();
        ok = ok && segment.ok;
        if (!ok) continue;  // every part is waited for before its rows go
        adler = adler32_combine(adler, segment.adler, static_cast<z_off_t>(segment.length));
        rows.parts.push_back(std::move(segment));
    }
    qToBigEndian<quint32>(static_cast<quint32>(adler), rows.check);
    rows.ok = ok;
    return rows;
}

}  // namespace

QByteArray encodePng(const QImage& image) {
    if (image.isNull()) return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int width = pixels.width();
    const int height = pixels.height();

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

    // Filter "Up" on every row: flat areas and smooth relief become runs that zlib's run-length
    // strategy packs faster, and smaller, than its fastest general level.
    const CompressedRows rows = compressRows(pixels, alpha);
    if (!rows.ok) return {};
    // The parts go straight into the file, made at its full size at once.
    Pieces stream = rows.pieces();
    const size_t bytes = stream.size();
    const size_t chunks = (bytes + kChunkBytes - 1) / kChunkBytes;
    file.reserve(file.size() + static_cast<qsizetype>(bytes + 12 * (chunks + 1)));
    for (size_t at = 0; at < bytes; at += kChunkBytes)
        appendChunk(file, "IDAT", stream, std::min(kChunkBytes, bytes - at));
    appendChunk(file, "IEND", nullptr, 0);
    return file;
}

}  // namespace kov
