// SPDX-License-Identifier: MIT
#include "core/data/cache/CacheEntry.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

#include "core/data/ZarHMesh.h"
#include "core/data/cache/TileCache.h"

namespace kov {
namespace {

constexpr char kMagic[8] = {'K', 'O', 'V', 'C', 'A', 'C', 'H', 'E'};
constexpr char kIndexMagic[8] = {'K', 'O', 'V', 'I', 'N', 'D', 'E', 'X'};
// The index head: magic, version, count, body bytes, checksum of head (field zero) and body.
constexpr size_t kIndexHeadBytes = 32;
constexpr size_t kIndexCountAt = 12, kIndexBodyBytesAt = 16, kIndexChecksumAt = 24;
constexpr size_t kHeadBytes = 64;
constexpr size_t kAlignment = 64;
// Byte offsets in the head.
constexpr size_t kVersionAt = 8, kKindAt = 12, kMetaBytesAt = 16, kCellBitsAt = 20,
                 kPayloadOffsetAt = 24, kPayloadBytesAt = 32, kHeadChecksumAt = 40,
                 kPayloadChecksumAt = 44;
// A key and a record are a few hundred bytes; more is damage.
constexpr uint32_t kMaxMetaBytes = 4096;

// CRC-32 (zlib's); libdeflate's carry-less multiply makes it many times faster over the cells.
uint32_t checksum(const void* bytes, size_t n, uint32_t start = 0) {
    return libdeflate_crc32(start, bytes, n);
}

template <typename T>
void putAt(std::vector<uint8_t>& out, size_t at, const T& value) {
    std::memcpy(out.data() + at, &value, sizeof value);
}

template <typename T>
T getAt(const uint8_t* bytes, size_t at) {
    T value;
    std::memcpy(&value, bytes + at, sizeof value);
    return value;
}

uint32_t indexChecksum(const uint8_t* head, std::string_view body) {
    uint8_t zeroed[kIndexHeadBytes];
    std::memcpy(zeroed, head, kIndexHeadBytes);
    std::memset(zeroed + kIndexChecksumAt, 0, sizeof(uint32_t));
    return checksum(body.data(), body.size(), checksum(zeroed, kIndexHeadBytes));
}

}  // namespace

void putText(std::vector<uint8_t>& out, std::string_view text) {
    putValue(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

std::string_view ByteReader::getView() {
    uint32_t n = 0;
    get(n);
    if (!ok || bytes.size() < n) {
        ok = false;
        return {};
    }
    const std::string_view text = bytes.substr(0, n);
    bytes.remove_prefix(n);
    return text;
}

bool CacheRecord::operator==(const CacheRecord& o) const {
    return valid == o.valid && className == o.className && cols == o.cols && rows == o.rows &&
           minRaw == o.minRaw && maxRaw == o.maxRaw && flagA == o.flagA && flagB == o.flagB &&
           zone == o.zone && reserved == o.reserved && datum == o.datum && cellSize == o.cellSize &&
           scale == o.scale && xmin == o.xmin && ymin == o.ymin && xmax == o.xmax &&
           ymax == o.ymax && name == o.name && coding.offset == o.coding.offset &&
           coding.step == o.coding.step;
}

CacheRecord recordOfMesh(const ZarHMesh& mesh) {
    CacheRecord r;
    r.valid = true;
    r.className = mesh.className();
    r.cols = mesh.cols;
    r.rows = mesh.rows;
    r.minRaw = mesh.minRaw;
    r.maxRaw = mesh.maxRaw;
    r.flagA = mesh.flagA;
    r.flagB = mesh.flagB;
    r.zone = mesh.zone;
    r.reserved = mesh.reserved;
    r.datum = static_cast<int32_t>(mesh.datum);
    r.cellSize = mesh.cellSize;
    r.scale = mesh.scale;
    r.xmin = mesh.xmin;
    r.ymin = mesh.ymin;
    r.xmax = mesh.xmax;
    r.ymax = mesh.ymax;
    r.name = mesh.name;
    if (mesh.cells.isCompact()) r.coding = mesh.cells.coding();
    return r;
}

void applyRecord(const CacheRecord& r, ZarHMesh& mesh) {
    mesh.cols = r.cols;
    mesh.rows = r.rows;
    mesh.minRaw = r.minRaw;
    mesh.maxRaw = r.maxRaw;
    mesh.flagA = r.flagA;
    mesh.flagB = r.flagB;
    mesh.zone = r.zone;
    mesh.reserved = r.reserved;
    mesh.datum = static_cast<GeodeticDatum>(r.datum);
    mesh.cellSize = r.cellSize;
    mesh.scale = r.scale;
    mesh.xmin = r.xmin;
    mesh.ymin = r.ymin;
    mesh.xmax = r.xmax;
    mesh.ymax = r.ymax;
    mesh.name = r.name;
}

std::vector<uint8_t> encodeRecord(const CacheRecord& r) {
    std::vector<uint8_t> out;
    putText(out, r.className);
    for (const int32_t value : {r.cols, r.rows, r.minRaw, r.maxRaw, r.flagA, r.flagB, r.zone,
                                r.reserved, r.datum, r.coding.offset, r.coding.step})
        putValue(out, value);
    for (const double value : {r.cellSize, r.scale, r.xmin, r.ymin, r.xmax, r.ymax})
        putValue(out, value);
    putText(out, r.name);
    return out;
}

CacheRecord decodeRecord(std::string_view bytes) {
    CacheRecord r;
    ByteReader in{bytes};
    in.getText(r.className);
    for (int32_t* value : {&r.cols, &r.rows, &r.minRaw, &r.maxRaw, &r.flagA, &r.flagB, &r.zone,
                           &r.reserved, &r.datum, &r.coding.offset, &r.coding.step})
        in.get(*value);
    for (double* value : {&r.cellSize, &r.scale, &r.xmin, &r.ymin, &r.xmax, &r.ymax})
        in.get(*value);
    in.getText(r.name);
    r.valid = in.ok && in.bytes.empty() && r.datum >= 0 &&
              r.datum <= static_cast<int32_t>(GeodeticDatum::kTokyo);
    return r;
}

std::vector<uint8_t> encodeEntryHead(const std::string& key, uint32_t kind,
                                     const std::vector<uint8_t>& record, const void* payload,
                                     uint64_t payloadBytes, uint32_t cellBits) {
    std::vector<uint8_t> head(kHeadBytes, 0);
    std::memcpy(head.data(), kMagic, sizeof kMagic);
    putText(head, key);
    head.insert(head.end(), record.begin(), record.end());
    const auto metaBytes = static_cast<uint32_t>(head.size() - kHeadBytes);
    head.resize((head.size() + kAlignment - 1) / kAlignment * kAlignment, 0);
    putAt(head, kVersionAt, TileCache::kFormatVersion);
    putAt(head, kKindAt, kind);
    putAt(head, kMetaBytesAt, metaBytes);
    putAt(head, kCellBitsAt, cellBits);
    putAt(head, kPayloadOffsetAt, static_cast<uint64_t>(head.size()));
    putAt(head, kPayloadBytesAt, payloadBytes);
    putAt(head, kPayloadChecksumAt, checksum(payload, payloadBytes));
    putAt(head, kHeadChecksumAt, checksum(head.data(), kHeadBytes + metaBytes));
    return head;
}

std::optional<EntryView> readEntry(const uint8_t* bytes, size_t available, uint64_t fileSize) {
    if (available < kHeadBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 ||
        getAt<uint32_t>(bytes, kVersionAt) != TileCache::kFormatVersion)
        return std::nullopt;
    const auto metaBytes = getAt<uint32_t>(bytes, kMetaBytesAt);
    if (metaBytes > kMaxMetaBytes || metaBytes > available - kHeadBytes) return std::nullopt;
    // The checksum is taken with its own field zero.
    uint8_t head[kHeadBytes];
    std::memcpy(head, bytes, kHeadBytes);
    std::memset(head + kHeadChecksumAt, 0, sizeof(uint32_t));
    const uint32_t sum = checksum(bytes + kHeadBytes, metaBytes, checksum(head, kHeadBytes));
    if (sum != getAt<uint32_t>(bytes, kHeadChecksumAt)) return std::nullopt;

    EntryView entry;
    entry.kind = getAt<uint32_t>(bytes, kKindAt);
    entry.cellBits = getAt<uint32_t>(bytes, kCellBitsAt);
    entry.payloadOffset = getAt<uint64_t>(bytes, kPayloadOffsetAt);
    entry.payloadBytes = getAt<uint64_t>(bytes, kPayloadBytesAt);
    entry.payloadChecksum = getAt<uint32_t>(bytes, kPayloadChecksumAt);
    if (entry.payloadOffset < kHeadBytes + metaBytes || entry.payloadOffset % kAlignment != 0 ||
        entry.payloadOffset > fileSize || fileSize - entry.payloadOffset != entry.payloadBytes ||
        (entry.cellBits != 8 && entry.cellBits != 16 && entry.cellBits != 32))
        return std::nullopt;
    ByteReader meta{std::string_view(reinterpret_cast<const char*>(bytes) + kHeadBytes, metaBytes)};
    meta.getText(entry.key);
    if (!meta.ok) return std::nullopt;
    entry.record = meta.bytes;
    entry.payloadWhole = available >= fileSize;
    return entry;
}

bool verifyPayload(const EntryView& entry, const uint8_t* bytes) {
    return entry.payloadWhole &&
           checksum(bytes + entry.payloadOffset, entry.payloadBytes) == entry.payloadChecksum;
}

std::vector<uint8_t> encodeIndex(std::string_view folder, const std::vector<IndexedFile>& files) {
    std::vector<uint8_t> out(kIndexHeadBytes, 0);
    std::memcpy(out.data(), kIndexMagic, sizeof kIndexMagic);
    putText(out, folder);
    for (const IndexedFile& file : files) {
        putText(out, file.name);
        putText(out, file.key);
        putText(out, file.record);
    }
    putAt(out, kVersionAt, TileCache::kFormatVersion);
    putAt(out, kIndexCountAt, static_cast<uint32_t>(files.size()));
    putAt(out, kIndexBodyBytesAt, static_cast<uint64_t>(out.size() - kIndexHeadBytes));
    const std::string_view body(reinterpret_cast<const char*>(out.data()) + kIndexHeadBytes,
                                out.size() - kIndexHeadBytes);
    putAt(out, kIndexChecksumAt, indexChecksum(out.data(), body));
    return out;
}

std::optional<std::vector<IndexedFile>> readIndex(std::string_view bytes, std::string_view folder) {
    const auto* head = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() < kIndexHeadBytes || std::memcmp(head, kIndexMagic, sizeof kIndexMagic) != 0 ||
        getAt<uint32_t>(head, kVersionAt) != TileCache::kFormatVersion ||
        getAt<uint64_t>(head, kIndexBodyBytesAt) != bytes.size() - kIndexHeadBytes)
        return std::nullopt;
    const std::string_view body = bytes.substr(kIndexHeadBytes);
    if (indexChecksum(head, body) != getAt<uint32_t>(head, kIndexChecksumAt)) return std::nullopt;
    ByteReader in{body};
    if (in.getView() != folder || !in.ok) return std::nullopt;
    const auto count = getAt<uint32_t>(head, kIndexCountAt);
    std::vector<IndexedFile> files;
    // Each file takes at least its three lengths.
    files.reserve(std::min<size_t>(count, body.size() / 12));
    for (uint32_t i = 0; i < count && in.ok; ++i) {
        IndexedFile file;
        file.name = in.getView();
        file.key = in.getView();
        file.record = in.getView();
        files.push_back(file);
    }
    if (!in.ok || !in.bytes.empty()) return std::nullopt;
    return files;
}

}  // namespace kov
