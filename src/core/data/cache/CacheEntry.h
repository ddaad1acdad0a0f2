// SPDX-License-Identifier: MIT
// The layout of a cache entry. A fixed 64-byte head (magic, version, kind, sizes, checksums), the
// key echoed in full and the mesh's record, then the payload (the cells) at a 64-byte boundary so
// that it can be mapped and read in place. The head's checksum covers the head and the record,
// the payload's the payload; an entry whose file size is not head plus payload was cut or grown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/MeshCells.h"

namespace kov {

class ZarHMesh;

// The byte form of cached records: values as their bytes, text as its 32-bit length and bytes.
template <typename T>
void putValue(std::vector<uint8_t>& out, const T& value) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}
void putText(std::vector<uint8_t>& out, std::string_view text);

// Reads values in the order they were put; any read past the end makes every later one fail.
struct ByteReader {
    std::string_view bytes;
    bool ok = true;
    template <typename T>
    void get(T& value) {
        if (!ok || bytes.size() < sizeof value) {
            ok = false;
            return;
        }
        std::memcpy(&value, bytes.data(), sizeof value);
        bytes.remove_prefix(sizeof value);
    }
    std::string_view getView();
    void getText(std::string& text) { text.assign(getView()); }
};

inline constexpr uint32_t kMeshEntry = 1;
inline constexpr uint32_t kBlobEntry = 2;

// Everything a mesh holds but its cells.
struct CacheRecord {
    bool valid = false;
    std::string className;
    int32_t cols = 0, rows = 0, minRaw = 0, maxRaw = 0, flagA = 1, flagB = 1, zone = 9;
    int32_t reserved = 0, datum = 0;
    double cellSize = 0, scale = 0, xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    std::string name;
    CompactCoding coding;
    bool operator==(const CacheRecord& other) const;
};

CacheRecord recordOfMesh(const ZarHMesh& mesh);
void applyRecord(const CacheRecord& record, ZarHMesh& mesh);
std::vector<uint8_t> encodeRecord(const CacheRecord& record);
// An invalid record (valid false) when the bytes do not hold a whole one.
CacheRecord decodeRecord(std::string_view bytes);

// The head and record of an entry, up to where the payload starts.
std::vector<uint8_t> encodeEntryHead(const std::string& key, uint32_t kind,
                                     const std::vector<uint8_t>& record, const void* payload,
                                     uint64_t payloadBytes, uint32_t cellBits);

struct EntryView {
    uint32_t kind = 0;
    uint32_t cellBits = 0;
    std::string key;
    std::string_view record;  // into the bytes given to readEntry
    uint64_t payloadOffset = 0;
    uint64_t payloadBytes = 0;
    uint32_t payloadChecksum = 0;
    bool payloadWhole = false;  // the payload lies within the bytes given
};

// Reads the head of an entry from its first `available` bytes, the file being fileSize bytes
// long; none when the head is not sound (magic, version, checksum, sizes).
std::optional<EntryView> readEntry(const uint8_t* bytes, size_t available, uint64_t fileSize);
// Whether the payload (whole in bytes) matches its checksum.
bool verifyPayload(const EntryView& entry, const uint8_t* bytes);

// An index file: a head (magic, version, count, size, checksum of it all), the folder, then per
// file of the folder its name, its key and its encoded record.
struct IndexedFile {
    std::string_view name, key, record;
};
std::vector<uint8_t> encodeIndex(std::string_view folder, const std::vector<IndexedFile>& files);
// The files of an index (views into bytes); none when the bytes are not a whole, sound index of
// this version and folder.
std::optional<std::vector<IndexedFile>> readIndex(std::string_view bytes, std::string_view folder);

}  // namespace kov
