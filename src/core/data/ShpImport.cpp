// SPDX-License-Identifier: MIT
#include "core/data/ShpImport.h"

#include <bit>
#include <cstdio>
#include <memory>

#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/data/HxFile.h"

namespace kov {
namespace {

constexpr size_t kRecordHeaderSize = 12;  // record number, content length, shape type
constexpr size_t kIndexEntrySize = 8;
constexpr size_t kSmallestRecord = 28;  // a point record; bounds the record count

uint32_t bigEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
}

uint32_t littleEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | uint32_t{b[0]};
}

double littleEndianDouble(const char* p) {
    const uint64_t bits = uint64_t{littleEndian32(p + 4)} << 32 | littleEndian32(p);
    return std::bit_cast<double>(bits);
}

// A stored Z or M at or below -1e38 stands for "no value".
double measured(double v) {
    return v > -1e38 ? v : 0.0;
}

// Reads the content of one record; every read is checked against the bytes left in it.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    size_t left() const { return bytes_.size() - pos_; }
    bool skip(size_t n) {
        if (left() < n) return false;
        pos_ += n;
        return true;
    }
    bool int32(int32_t& v) {
        if (left() < 4) return false;
        v = static_cast<int32_t>(littleEndian32(bytes_.data() + pos_));
        pos_ += 4;
        return true;
    }
    // Callers check the room for a whole array first; single reads check it themselves.
    double float64() {
        const double v = littleEndianDouble(bytes_.data() + pos_);
        pos_ += 8;
        return v;
    }
    bool float64(double& v) {
        if (left() < 8) return false;
        v = float64();
        return true;
    }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

bool isPolygonType(int32_t type) {
    return type == ShpImport::kPolygon || type == ShpImport::kPolygonZ ||
           type == ShpImport::kPolygonM || type == ShpImport::kMultiPatch;
}

}  // namespace

// The record readers of one load: each answers false for a malformed record and then adds
// nothing.
class ShpImport::Reader {
public:
    explicit Reader(ShpImport& layer) : layer_(layer) {}

    bool point(Cursor& in) {
        double x, y;
        if (!in.float64(x) || !in.float64(y)) return false;
        layer_.points.push_back({++layer_.recordCounter, x, y, 0.0});
        return true;
    }

    bool multiPoint(Cursor& in) {
        int32_t count = 0;
        if (!in.skip(32) || !in.int32(count)) return false;
        if (count < 1 || count > kMaxMultiPoints) return false;
        if (in.left() / 16 < static_cast<size_t>(count)) return false;
        const int32_t id = ++layer_.recordCounter;
        layer_.points.reserve(layer_.points.size() + count);
        for (int32_t i = 0; i < count; ++i) {
            const double x = in.float64();
            const double y = in.float64();
            layer_.points.push_back({id, x, y, 0.0});
        }
        return true;
    }

    // Polylines, polygons, their Z and M variants and multipatches.
    bool Poly(Cursor& in, int32_t type) {
        int32_t partCount = 0, pointCount = 0;
        if (!in.skip(32) || !in.int32(partCount) || !in.int32(pointCount)) return false;
        if (partCount < 1 || partCount > kMaxPolyCount || pointCount < 1 ||
            pointCount > kMaxPolyCount)
            return false;
        const size_t parts = static_cast<size_t>(partCount);
        const size_t count = static_cast<size_t>(pointCount);
        // A multipatch carries a part type after the part starts.
        const size_t perPart = type == kMultiPatch ? 8 : 4;
        if (in.left() < parts * perPart + count * 16) return false;

        std::vector<int32_t> starts(parts);
        for (size_t i = 0; i < parts; ++i) {
            in.int32(starts[i]);
            if (starts[i] < 0 || starts[i] >= pointCount || (i > 0 && starts[i] <= starts[i - 1]))
                return false;
        }
        if (type == kMultiPatch) in.skip(parts * 4);

        std::vector<FPoint> all(count);
        for (FPoint& p : all) {
            p.x = in.float64();
            p.y = in.float64();
        }
        const bool zType = type == kPolyLineZ || type == kPolygonZ || type == kMultiPatch;
        const bool mType = type == kPolyLineM || type == kPolygonM;
        if (zType && layer_.hasZ) {
            // The Z array is part of every Z record.
            if (!in.skip(16) || in.left() / 8 < count) return false;
            for (FPoint& p : all)
                p.z = measured(in.float64());
        } else if (mType && layer_.hasM) {
            // The M array is optional; without it z stays 0.
            if (in.skip(16) && in.left() / 8 >= count) {
                for (FPoint& p : all)
                    p.z = measured(in.float64());
            }
        }

        SHP_POLYLINE record;
        record.id = ++layer_.recordCounter;
        record.kind = isPolygonType(type) ? SHP_POLYLINE::kPolygon : SHP_POLYLINE::kLine;
        record.parts.resize(parts - 1);
        for (size_t i = 0; i < parts; ++i) {
            const size_t end = i + 1 < parts ? static_cast<size_t>(starts[i + 1]) : count;
            std::vector<FPoint>& part = i == 0 ? record.points : record.parts[i - 1];
            part.assign(all.begin() + starts[i], all.begin() + end);
        }
        layer_.polylines.push_back(std::move(record));
        return true;
    }

    // One record's content after its shape type; false when the record is malformed.
    bool record(Cursor& in, int32_t type) {
        switch (type) {
            case kNull:
                ++layer_.recordCounter;
                return true;
            case kPoint:
            case kPointZ:
            case kPointM:
                layer_.hasPoints = 1;
                return point(in);
            case kMultiPoint:
            case kMultiPointZ:
            case kMultiPointM:
                layer_.hasPoints = 1;
                return multiPoint(in);
            case kPolyLine:
            case kPolyLineZ:
            case kPolyLineM:
                layer_.hasLines = 1;
                return Poly(in, type);
            case kPolygon:
            case kPolygonZ:
            case kPolygonM:
            case kMultiPatch:
                layer_.hasPolygons = 1;
                return Poly(in, type);
            default:
                return true;  // an unknown shape is passed over
        }
    }

private:
    ShpImport& layer_;
};

bool ShpImport::carriesZ() const {
    return shapeType == kPointZ || shapeType == kPolyLineZ || shapeType == kPolygonZ ||
           shapeType == kMultiPointZ || shapeType == kMultiPatch;
}

bool ShpImport::carriesM() const {
    const bool mType = shapeType == kPointM || shapeType == kPolyLineM || shapeType == kPolygonM ||
                       shapeType == kMultiPointM;
    return mType || (carriesZ() && measuresInRange_);
}

int64_t ShpImport::memoryBytes() const {
    size_t bytes =
        points.capacity() * sizeof(SHP_POINT) + polylines.capacity() * sizeof(SHP_POLYLINE);
    for (const SHP_POLYLINE& line : polylines) {
        bytes += line.points.capacity() * sizeof(FPoint) +
                 line.parts.capacity() * sizeof(std::vector<FPoint>);
        for (const std::vector<FPoint>& part : line.parts)
            bytes += part.capacity() * sizeof(FPoint);
    }
    return static_cast<int64_t>(bytes);
}

void ShpImport::Clear() {
    errorText.clear();
    recordCounter = 0;
    hasPolygons = hasLines = hasPoints = hasM = hasZ = shapeType = 0;
    measuresInRange_ = false;
    points.clear();
    polylines.clear();
    bounds = MapRect();
}

std::string ShpImport::headRefusal(std::string_view head) {
    if (head.size() < 4) return {};
    const auto fileCode = static_cast<int32_t>(bigEndian32(head.data()));
    if (fileCode == kFileCode) return {};
    return "not a shapefile: the file code at byte 0 is " + std::to_string(fileCode) + ", not " +
           std::to_string(kFileCode);
}

namespace {

// A shapefile's main file or index, refused unread when its first bytes disqualify it.
std::unique_ptr<HxFile> openShapeFile(const std::string& path, std::string* reason) {
    return openFile(path, {}, reason, ShpImport::kMaxFileBytes, ShpImport::headRefusal);
}

}  // namespace

int ShpImport::Load(const std::string& shpPath, HxProgress* progress) {
    Clear();
    path = shpPath;
    std::unique_ptr<HxFile> file = openShapeFile(shpPath, &errorText);
    if (!file) {
        const std::string found = findPathIgnoringCase(shpPath);
        if (!found.empty() && found != shpPath) file = openShapeFile(found, &errorText);
    }
    if (!file) return 0;

    // The index beside the main file: same folder and base name, extension ".shx".
    std::unique_ptr<HxFile> index;
    if (useIndex && file->contents().size() >= kHeaderSize) {
        const std::string indexPath = withoutExtension(file->fullPath()) + ".shx";
        index = openShapeFile(indexPath, nullptr);
        if (!index) {
            const std::string found = findPathIgnoringCase(indexPath);
            if (!found.empty() && found != indexPath) index = openShapeFile(found, nullptr);
        }
    }
    return loadFromMemory(file->contents(), index ? index->contents() : std::string_view(),
                          progress);
}

int ShpImport::loadFromMemory(std::string_view shp, std::string_view shx, HxProgress* progress) {
    Clear();
    if (shp.size() < kHeaderSize) {
        errorText = "shorter than the " + std::to_string(kHeaderSize) + "-byte header (" +
                    std::to_string(shp.size()) + " bytes)";
        return 0;
    }
    const char* header = shp.data();
    const int32_t fileCode = static_cast<int32_t>(bigEndian32(header));
    const int32_t fileLength = static_cast<int32_t>(bigEndian32(header + 24));
    const int32_t version = static_cast<int32_t>(littleEndian32(header + 28));
    const int32_t shapeType = static_cast<int32_t>(littleEndian32(header + 32));
    double box[8];
    for (int i = 0; i < 8; ++i)
        box[i] = littleEndianDouble(header + 36 + 8 * i);

    if (progress) {
        static constexpr char kFormat[] =
            "%s HD:%4d (%6d Length) Ver %d   Shp:%02d  bound(%10.2f %10.2f %10.2f %10.2f)\r\n";
        const std::string name = splitFolder(path).second;
        const int length = std::snprintf(nullptr, 0, kFormat, name.c_str(), fileCode, fileLength,
                                         version, shapeType, box[0], box[1], box[2], box[3]);
        std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
        std::snprintf(text.data(), text.size() + 1, kFormat, name.c_str(), fileCode, fileLength,
                      version, shapeType, box[0], box[1], box[2], box[3]);
        progress->SetText(text);
    }
    errorText = headRefusal(shp);
    if (!errorText.empty()) return 0;

    // A range is absent when its bounds hold the "no value" numbers (at or below -1e38); a
    // range that merely reaches below zero, as land below sea level does, is present.
    hasZ = box[4] > -1e38 && box[5] > -1e38;
    hasM = box[6] > -1e38 && box[7] > -1e38;
    this->shapeType = shapeType;
    measuresInRange_ = hasM && !(box[6] == 0.0 && box[7] == 0.0);

    // An index without even its header cannot give positions: the records are then read in
    // sequence, as without one.
    const bool indexed = useIndex && shx.size() >= kHeaderSize;
    const size_t estimate = indexed ? (shx.size() - kHeaderSize) / kIndexEntrySize
                                    : (shp.size() - kHeaderSize) / kSmallestRecord;
    const long long mask = progress ? progress->StepMask(static_cast<long long>(estimate)) : 0;
    const long long total = static_cast<long long>(shp.size());

    Reader reader(*this);
    size_t next = kHeaderSize;      // end of the last record read: the next one in sequence
    size_t indexPos = kHeaderSize;  // next entry of the index
    for (long long n = 0;; ++n) {
        size_t start = next;
        if (indexed) {
            if (shx.size() - indexPos < kIndexEntrySize) break;
            const uint64_t offset = uint64_t{bigEndian32(shx.data() + indexPos)} * 2;
            indexPos += kIndexEntrySize;
            // Records follow one another: an entry that points into a record already read (or
            // before it) is passed over, so every byte of the main file is read at most once
            // and a small index cannot make one big record into many copies.
            if (offset < next || offset > shp.size() - kRecordHeaderSize) {
                if (strict) break;
                continue;
            }
            start = static_cast<size_t>(offset);
        } else if (shp.size() - start < kRecordHeaderSize) {
            break;
        }
        if (progress && (n & mask) == 0 && progress->SetPos(static_cast<long long>(start), total))
            break;

        const int64_t contentLength = static_cast<int32_t>(bigEndian32(shp.data() + start + 4));
        const int32_t type = static_cast<int32_t>(littleEndian32(shp.data() + start + 8));
        // The content must hold the shape type and end inside the file.
        if (contentLength < 2 ||
            static_cast<uint64_t>(contentLength) * 2 > shp.size() - start - 8) {
            if (strict || !indexed) break;  // without the index the next record is unknown
            continue;
        }
        const size_t end = start + 8 + static_cast<size_t>(contentLength) * 2;
        next = end;
        Cursor content(shp.substr(start + kRecordHeaderSize, end - start - kRecordHeaderSize));
        if (!reader.record(content, type) && strict) break;
    }

    bounds = {scale * box[0], scale * box[1], scale * box[2], scale * box[3]};
    return 1;
}

}  // namespace kov
